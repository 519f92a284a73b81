#!/usr/bin/env bash
# A damaged home never locks the user out. The first start installs the
# sample from the map store (damaged-home/first.scenario). Then the download
# queue and the registry of installed maps are overwritten with garbage: the
# next start sets both aside as "*.corrupt", finds the installed map on disk
# and keeps the "Maps" button, the shelf and the store
# (damaged-home/stores.scenario). Then the installed map itself is damaged:
# the next start shows no map in its place, but the shelf with the map marked
# damaged, and loads it again when asked (damaged-home/map.scenario).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
binary=${KELVARA_BINARY:?}
server=${KELVARA_MAPSTORE_SERVER:?}
content=${KELVARA_MAPSTORE_ROOT:?}
output=${KELVARA_SCENARIO_OUTPUT:-$PWD}
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-damaged-home.XXXXXX")
documents=$work/home/Documents
store=
cleanup() {
    [ -n "$store" ] && kill "$store" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*"
    exit 1
}
play() {
    local scenario=$1 log=$work/$1.log
    (cd "$root" && "$binary" --phone --scale 2 --home "$work/home" --store-url "$url" \
        --scenario "$root/tests/scenarios/damaged-home/$scenario.scenario" \
        --scenario-output "$output") >"$log" 2>&1 || {
        cat "$log"
        fail "$scenario.scenario failed"
    }
}
damage() {
    printf 'garbage, no store of any kind\n' >"$1" || fail "cannot damage $1"
}

setpriv --pdeathsig TERM "$server" --root "$content" --port 0 >"$work/store.port" 2>&1 &
store=$!
port=
for _ in $(seq 100); do
    port=$(head -n 1 "$work/store.port" | tr -dc 0-9)
    [ -n "$port" ] && break
    sleep 0.05
done
[ -n "$port" ] || fail "the map store server did not start"
url=http://127.0.0.1:$port

play first
[ -s "$documents/maps/neubrandenburg/neubrandenburg.sqlite" ] || fail "the sample was not installed"

damage "$documents/DownloadManagerQueue.sqlite"
damage "$documents/CBUserMapStore.bin"
play stores
for file in DownloadManagerQueue.sqlite CBUserMapStore.bin; do
    [ -f "$documents/$file.corrupt" ] || fail "$file was not set aside"
    grep -q "$file does not open.*set aside as .*$file.corrupt" "$work/stores.log" ||
        fail "no log line says $file was set aside"
done
grep -q "installed maps are recorded anew: 1 found" "$work/stores.log" ||
    fail "the installed map was not found on disk"

damage "$documents/maps/neubrandenburg/neubrandenburg.sqlite"
play map
grep -q "installed map neubrandenburg is damaged" "$work/map.log" ||
    fail "no log line says the map is damaged"
echo "the damaged stores were set aside and the damaged map loaded again"

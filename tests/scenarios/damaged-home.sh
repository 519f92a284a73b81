#!/usr/bin/env bash
# A damaged home never locks the user out. The first start installs the
# sample from the map store (damaged-home/first.scenario). Then the download
# queue and the registry of installed maps are overwritten with garbage: the
# next start sets both aside as "*.<date>-<time>.<number>.corrupt", finds the installed map on disk
# and keeps the "Maps" button, the shelf and the store
# (damaged-home/stores.scenario). Then the installed map itself is damaged:
# the next start shows no map in its place, but the shelf with the map marked
# damaged, and loads it again when asked (damaged-home/map.scenario).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
binary=${KELVARA_BINARY:?}
output=${KELVARA_SCENARIO_OUTPUT:-$PWD}
# shellcheck source=scenario-home.sh
. "$root/tests/scenarios/scenario-home.sh"
documents=$work/home/Documents
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

start_store
url=http://127.0.0.1:$port

play first
[ -s "$documents/maps/neubrandenburg/neubrandenburg.sqlite" ] || fail "the sample was not installed"

damage "$documents/DownloadManagerQueue.sqlite"
damage "$documents/CBUserMapStore.bin"
play stores
for file in DownloadManagerQueue.sqlite CBUserMapStore.bin; do
    copies=("$documents/$file".*.corrupt)
    [ -f "${copies[0]}" ] || fail "$file was not set aside"
    grep -q "$file does not open.*set aside as ${copies[0]}" "$work/stores.log" ||
        fail "no log line says $file was set aside"
done
grep -q "installed maps are recorded anew: 1 found" "$work/stores.log" ||
    fail "the installed map was not found on disk"

damage "$documents/maps/neubrandenburg/neubrandenburg.sqlite"
play map
grep -q "installed map neubrandenburg is damaged" "$work/map.log" ||
    fail "no log line says the map is damaged"
echo "the damaged stores were set aside and the damaged map loaded again"

#!/usr/bin/env bash
# A download survives the end of the program: Three Rivers loads from a slow
# map store until the program ends (download-restart/first.scenario); the next
# start, with the store on another port, asks for the rest of the package
# with a Range request and opens the map (download-restart/second.scenario).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
binary=${KELVARA_BINARY:?}
server=${KELVARA_MAPSTORE_SERVER:?}
content=${KELVARA_MAPSTORE_ROOT:?}
output=${KELVARA_SCENARIO_OUTPUT:-$PWD}
package=/map/US-MI/three-rivers.zip
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-download-restart.XXXXXX")
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
# Starts a map store server on a free port; sets $store and $port.
start_store() {
    : >"$work/store.port"
    setpriv --pdeathsig TERM "$server" --root "$content" --port 0 --test-control "$content" >"$work/store.port" 2>&1 &
    store=$!
    port=
    for _ in $(seq 100); do
        port=$(head -n 1 "$work/store.port" | tr -dc 0-9)
        [ -n "$port" ] && return
        sleep 0.05
    done
    fail "the map store server did not start"
}
stop_store() {
    kill "$store" 2>/dev/null
    wait "$store" 2>/dev/null
    store=
}
play() {
    local scenario=$1 url=$2 log=$work/$1.log
    (cd "$root" && "$binary" --phone --scale 2 --home "$work/home" --store-url "$url" \
        --scenario "$root/tests/scenarios/download-restart/$scenario.scenario" \
        --scenario-output "$output") >"$log" 2>&1 || {
        cat "$log"
        fail "$scenario.scenario failed"
    }
}

start_store
first_port=$port
curl -sf -d '' "http://127.0.0.1:$port/_control/fault?path=$package&throttle=15000" >/dev/null ||
    fail "the store took no throttle"
play first "http://127.0.0.1:$port"
partial=$work/home/Documents/maps/three-rivers.map.zip
[ -s "$partial" ] || fail "no part of the package was kept"
stop_store

start_store
[ "$port" != "$first_port" ] || fail "the second store has the first one's port"
play second "http://127.0.0.1:$port"
log=$(curl -sf "http://127.0.0.1:$port/_log") || fail "no request log"
range=$(python3 -c '
import json, sys
for entry in json.loads(sys.argv[1]):
    if entry["path"] == sys.argv[2]:
        print(entry["range"], entry["status"])
' "$log" "$package")
echo "asked of the second store: $range"
grep -Eq '^bytes=[1-9][0-9]*- 206$' <<<"$range" || fail "the rest was not asked for with a Range"
echo "the download went on from the next start's store and Three Rivers opened"

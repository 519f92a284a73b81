#!/usr/bin/env bash
# Kelvara without its services: first the program alone (no map store, no
# tile service: no-services/alone.scenario), then with a map store that
# cuts off the first request for a map's statistics, as an unreachable one
# does, and answers again afterwards (no-services/store-back.scenario).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
binary=${KELVARA_BINARY:?}
output=${KELVARA_SCENARIO_OUTPUT:-$PWD}
# shellcheck source=scenario-home.sh
. "$root/tests/scenarios/scenario-home.sh"
play() {
    local scenario=$1 log=$work/$1.log
    shift
    (cd "$root" && "$binary" --phone --scale 2 --home "$work/$scenario" "$@" \
        --scenario "$root/tests/scenarios/no-services/$scenario.scenario" \
        --scenario-output "$output") >"$log" 2>&1 || {
        cat "$log"
        fail "$scenario.scenario failed"
    }
}

play alone

start_store
curl -sf -d '' "http://127.0.0.1:$port/_control/fault?path=/map/LI_master_Stats.plist&cut=0&count=1" \
    >/dev/null || fail "the store took no fault"
play store-back --store-url "http://127.0.0.1:$port"
echo "alone and with a store that came back, each screen said once what it could not load"

#!/usr/bin/env bash
# Kelvara without its services: first the program alone (no map store, no
# tile service: no-services/alone.scenario), then with a map store that
# cuts off the first request for a map's statistics, as an unreachable one
# does, and answers again afterwards (no-services/store-back.scenario), and
# on that home once the store has gone (no-services/store-gone.scenario).
# Then a first start on a fresh home whose store does not answer
# (no-services/sample-unreachable.scenario), a later start with the store
# still away (sample-still-unreachable.scenario) and one with the store back
# (sample-store-back.scenario): the sample city installs itself then.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=scenario-home.sh
. "$root/tests/scenarios/scenario-home.sh"
play() {
    play_on no-services "$1" "$@"
}

play alone

start_store
curl -sf -d '' "http://127.0.0.1:$port/_control/fault?path=/map/LI_master_Stats.plist&cut=0&count=1" \
    >/dev/null || fail "the store took no fault"
play store-back --store-url "http://127.0.0.1:$port"
stop_store
play_on no-services store-back store-gone --store-url "http://127.0.0.1:$port"

play_on no-services sample sample-unreachable --store-url "http://127.0.0.1:$port"
play_on no-services sample sample-still-unreachable --store-url "http://127.0.0.1:$port"
start_store
play_on no-services sample sample-store-back --store-url "http://127.0.0.1:$port"
stop_store
echo "alone, with a store that came back and after it went, each screen said once what it could not load"

#!/usr/bin/env bash
# The city guide's Wikipedia tab never waits for the map store: the store
# keeps its list of Wikipedia packages back until the guide is open, and the
# tab joins the open guide when the list comes
# (wikipedia-slow-store/late-list.scenario); with the articles installed the
# tab and its articles are there when the store cannot be reached and when
# no store is set at all (wikipedia-slow-store/no-store.scenario).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
output=${KELVARA_SCENARIO_OUTPUT:-$PWD}
list=/map/DE-MV_master_Stats.plist
# The first script's picture of the open guide, without the tab.
opened=$output/wikipedia-slow-store-guide.png
# shellcheck source=scenario-home.sh
. "$root/tests/scenarios/scenario-home.sh"
play() {
    play_on wikipedia-slow-store home "$@"
}

start_store
store_url="http://127.0.0.1:$port"
curl -sf -d '' "$store_url/_control/fault?path=$list&hold=1" >/dev/null ||
    fail "the store took no hold"
rm -f "$opened"
play late-list --store-url "$store_url" &
player=$!
# The list goes once the guide is open, or when the script ended early.
while [ ! -e "$opened" ] && kill -0 "$player" 2>/dev/null; do
    sleep 0.1
done
curl -sf -d '' "$store_url/_control/release?path=$list" >/dev/null ||
    fail "the store let nothing go"
wait "$player" || exit 1
stop_store

play no-store --store-url "$store_url"
play no-store
echo "the tab came with the late list, and the installed articles needed no store"

#!/usr/bin/env bash
# Updates of the map shown never take its pins or its articles with them.
# The map store offers a newer Neubrandenburg than the one it installs. The
# first start pins a search hit, updates the map from its page in the store
# and ends (map-update/first.scenario); the next start finds the pin as its
# place and leaves an update the store cut off in the queue
# (map-update/cut-off.scenario); with that update still to load, the next
# start shows the installed map with its pin and articles, and the update,
# held back by the store until a place screen is open, installs under it
# (map-update/pending.scenario); the pin is there at the last start
# (map-update/after.scenario). Every start ends with status 0.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
output=${KELVARA_SCENARIO_OUTPUT:-$PWD}
package=/map/DE-MV/neubrandenburg.zip
# The place screen's picture of pending.scenario.
opened=$output/map-update-place-open.png
# shellcheck source=scenario-home.sh
. "$root/tests/scenarios/scenario-home.sh"
play() {
    play_on map-update home "$@" --store-url "$url"
}
fault() {
    curl -sf -d '' "$url/_control/$1" >/dev/null || fail "the store took no $1"
}

# A store whose statistics date Neubrandenburg after any install.
cp -r "$content" "$work/store" || fail "cannot copy the store"
content=$work/store
python3 - "$content/map" <<'PY' || fail "cannot date the update"
import datetime, glob, plistlib, sys
for path in glob.glob(sys.argv[1] + "/*_master_Stats.plist"):
    with open(path, "rb") as file:
        statistics = plistlib.load(file)
    if "neubrandenburg" in statistics["maps"]:
        statistics["maps"]["neubrandenburg"]["availableVersion"] = datetime.datetime(2099, 1, 1)
        with open(path, "wb") as file:
            plistlib.dump(statistics, file)
PY
start_store
url=http://127.0.0.1:$port

play first
python3 - "$work/home/Documents/annotations.plist" <<'PY' || fail "the pin was not kept"
import plistlib, sys
with open(sys.argv[1], "rb") as file:
    pins = plistlib.load(file)["annotations"]
assert [pin.get("title") for pin in pins] == ["Turmcafe"], pins
assert pins[0]["place"]["canonicalName"] == "turmcafe", pins
PY

fault "fault?path=$package&cut=100000&count=1"
play cut-off

fault "fault?path=$package&hold=1"
rm -f "$opened"
play pending &
player=$!
# The package goes once the place screen is open, or when the script ended early.
while [ ! -e "$opened" ] && kill -0 "$player" 2>/dev/null; do
    sleep 0.1
done
fault "release?path=$package"
wait "$player" || exit 1
opened_from=$(grep -o "CBOpenMap: opened the map neubrandenburg from .*" "$work/pending.log")
echo "$opened_from"
if grep -v "from $work/home/Documents/maps/neubrandenburg/" <<<"$opened_from"; then
    fail "a map other than the installed one was shown"
fi

play after
echo "the pin and the articles outlived the updates, and every start ended well"

#!/usr/bin/env bash
# The map screen's pins outlive the program: a pin a link dropped in one
# start is there in the next, which shows the map data's attribution as it
# becomes active. A damaged pins file gives a map without pins and one log
# line, and the next save replaces it.
set -uo pipefail
binary=${KELVARA_BINARY:?}
data=$(cd "$(dirname "$0")/../data/app" && pwd)
home=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-annotations.XXXXXX")
trap 'rm -rf "$home"' EXIT
output=${KELVARA_SCENARIO_OUTPUT:-$home/output}
fail() {
    echo "FAILED: $*"
    exit 1
}
start() {
    local log=$1
    shift
    "$binary" --phone --home "$home" "$@" >"$home/$log.log" 2>&1 || {
        cat "$home/$log.log"
        fail "the start $log ended with status $?"
    }
}

start link --scenario "$data/pin-by-link.scenario" --scenario-output "$output" \
    "kelvara2://?ll=53.5560,13.2650&z=17&placemarker=1&placename=Meeting%20point"
[ -f "$home/Documents/annotations.plist" ] || fail "no annotations.plist after the first start"
start restart --scenario "$data/pin-after-restart.scenario" --scenario-output "$output"

printf 'bplist00\001\002garbage' >"$home/Documents/annotations.plist"
start damaged --screenshot "$home/damaged.png"
[ "$(grep -c "Map annotations .*annotations.plist unreadable" "$home/damaged.log")" = 1 ] || {
    cat "$home/damaged.log"
    fail "not one log line for the damaged annotations.plist"
}
start again --screenshot "$home/again.png"
if grep -q "unreadable" "$home/again.log"; then
    cat "$home/again.log"
    fail "the damaged annotations.plist was not replaced"
fi
echo "the pins outlived the program; a damaged file was replaced"

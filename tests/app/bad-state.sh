#!/usr/bin/env bash
# Kelvara starts on damaged state: unreadable user defaults, installed-maps
# state and map view state give defaults and a log line each, and the next
# start finds sound files again; a current map whose folder went is reported
# damaged, and the program starts on the shelf instead of showing another map.
set -uo pipefail
binary=${KELVARA_BINARY:?}
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-bad-state.XXXXXX")
server=
trap '[ -n "$server" ] && kill "$server" 2>/dev/null; rm -rf "$work"' EXIT
fail() {
    echo "FAILED: $*"
    exit 1
}
expect_line() {
    grep -q -- "$1" "$2" || {
        cat "$2"
        fail "no line \"$1\""
    }
}

# Damaged files: truncated XML, a broken binary list, plain text.
home=$work/damaged
mkdir -p "$home/Caches"
printf '<?xml version="1.0"?><plist><dict><key>km</key>' >"$home/Preferences.plist"
printf 'bplist00\001\002garbage' >"$home/Caches/CBUserMapStore_state.plist"
printf 'not a plist' >"$home/Caches/CBMap_state.plist"
"$binary" --phone --home "$home" --screenshot "$work/damaged.png" >"$work/first.log" 2>&1 ||
    fail "the start on damaged state ended with status $?"
expect_line "User defaults .*Preferences.plist unreadable, starting empty" "$work/first.log"
expect_line "Installed maps state .*CBUserMapStore_state.plist unreadable" "$work/first.log"
expect_line "Map view state .*CBMap_state.plist unreadable" "$work/first.log"
# The damaged defaults are kept aside; new ones hold the defaults of a first launch.
kept=("$home/Preferences.plist".*.corrupt)
cmp -s "${kept[0]}" <(printf '<?xml version="1.0"?><plist><dict><key>km</key>') ||
    fail "the damaged user defaults were not kept"
grep -a -q "numShelfViews-v202" "$home/Preferences.plist" || fail "no launch count stored"
"$binary" --phone --home "$home" --screenshot "$work/again.png" >"$work/second.log" 2>&1 ||
    fail "the second start ended with status $?"
if grep -q "unreadable" "$work/second.log"; then
    cat "$work/second.log"
    fail "the second start still found damaged state"
fi

# An installed current map whose folder was deleted.
server_out=$work/server.port
"${KELVARA_MAPSTORE_SERVER:?}" --root "${KELVARA_MAPSTORE_ROOT:?}" --port 0 >"$server_out" 2>/dev/null &
server=$!
for _ in $(seq 1 100); do
    [ -s "$server_out" ] && break
    sleep 0.1
done
port=$(head -n 1 "$server_out")
[ -n "$port" ] || fail "the map store server did not start"
home=$work/lost
printf 'idle\nwait 5\nidle\n' >"$work/install.scenario"
# The install goes on where it stopped on a busy machine.
for _ in 1 2 3 4; do
    "$binary" --phone --home "$home" --store-url "http://127.0.0.1:$port" \
        --scenario "$work/install.scenario" >>"$work/install.log" 2>&1 ||
        fail "the start on an empty home ended with status $?"
    grep -a -q neubrandenburg "$home/Caches/CBUserMapStore_state.plist" 2>/dev/null && break
done
[ -f "$home/Documents/maps/neubrandenburg/neubrandenburg.sqlite" ] || {
    cat "$work/install.log"
    fail "the sample city was not installed"
}
rm -rf "$home/Documents/maps/neubrandenburg"
"$binary" --phone --home "$home" --store-url "http://127.0.0.1:$port" \
    --screenshot "$work/lost.png" >"$work/lost.log" 2>&1 || {
    cat "$work/lost.log"
    fail "the start without the current map's folder ended with status $?"
}
expect_line "the installed map neubrandenburg is damaged: The package has no geo store" "$work/lost.log"
echo "damaged state and a lost map folder start with defaults"

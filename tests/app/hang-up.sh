#!/usr/bin/env bash
# A closed terminal hangs up (SIGHUP): Kelvara ends through its quit as when
# it is told to end, with the same status: the place a link moved the map to
# is saved for the next start, and the services end with it. Needs a display
# (ctest gives it a virtual one).
set -euo pipefail
binary=${KELVARA_BINARY:?}
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-hang-up.XXXXXX")
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
cat >"$work/services" <<SERVICES
#!/bin/sh
sleep 600 &
echo \$! >"$work/service"
printf '\n'
wait
SERVICES
chmod +x "$work/services"
program=
finish() {
    [ -z "$program" ] || kill -KILL "$program" 2>/dev/null || true
    [ ! -s "$work/service" ] || kill "$(cat "$work/service")" 2>/dev/null || true
    rm -rf "$work"
}
trap finish EXIT
fail() {
    echo "FAILED: $*"
    cat "$work/kelvara.log"
    exit 1
}

home=$work/home
"$binary" --home "$home" --services "$work/services" 'kelvara2://?ll=53.5530,13.2700&z=17' \
    >"$work/kelvara.log" 2>&1 &
program=$!
for _ in $(seq 1 600); do
    grep -q "CBOpenMap: opened the map" "$work/kelvara.log" && [ -s "$work/service" ] &&
        compgen -G "$XDG_RUNTIME_DIR/kelvara-*.sock" >/dev/null && break
    kill -0 "$program" 2>/dev/null || fail "Kelvara ended before it was told to"
    sleep 0.1
done
compgen -G "$XDG_RUNTIME_DIR/kelvara-*.sock" >/dev/null || fail "Kelvara did not come up"
kill -HUP "$program"
status=0
wait "$program" || status=$?
program=
[ "$status" -eq 0 ] || fail "a hang-up ended Kelvara with status $status, not as SIGTERM does (0)"
python3 - "$home/Caches/CBMap_state.plist" <<'PY' || fail "the map's place was not saved"
import plistlib, sys
with open(sys.argv[1], "rb") as state:
    box = plistlib.load(state)["neubrandenburg"]
middle = ((box["SWLatitude"] + box["NELatitude"]) / 2, (box["SWLongitude"] + box["NELongitude"]) / 2)
sys.exit(0 if abs(middle[0] - 53.5530) < 0.001 and abs(middle[1] - 13.2700) < 0.001 else 1)
PY
service=$(cat "$work/service")
for _ in $(seq 1 100); do
    kill -0 "$service" 2>/dev/null || break
    sleep 0.1
done
! kill -0 "$service" 2>/dev/null || fail "the services outlived a hang-up"
echo "a hang-up ended Kelvara through its quit"

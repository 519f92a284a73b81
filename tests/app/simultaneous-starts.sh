#!/usr/bin/env bash
# Two windowed starts on one fresh home at the same moment, 0.01 s and 0.03 s
# apart (a double click on a launcher): one shows its window, the other hands
# over to it and ends with status 0; the one left running takes a link from a
# third start. The same holds on a home whose lock file belongs to another
# user (as after one start with sudo by an older Kelvara): it is held by the
# lock of its folder instead, which needs no runtime folder either: with
# none that is private, the later start waits and ends; a hang-up ends the
# one running as being told to end does. A home under a file, a read-only
# one, another user's and one with a folder another user's start left end a
# start with status 1 and a message naming it, before its services start.
# As root, the starts on those homes run without the capabilities that pass
# over file permissions. Needs a display (ctest gives it a virtual one).
set -euo pipefail
binary=${KELVARA_BINARY:?}
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-simultaneous.XXXXXX")
# A services command that only counts its starts.
cat >"$work/services" <<EOF
#!/bin/sh
echo \$\$ >>"$work/services-started"
printf '\n'
exec sleep 600
EOF
chmod +x "$work/services"
start=("$binary" --services "$work/services")
as_user=()
if [ "$(id -u)" -eq 0 ]; then
    as_user=(setpriv "--bounding-set=-dac_override,-dac_read_search" --)
fi
# Makes the file or folder one the user may only read, or not even that
# (chmod's MODE), as another user's is.
belongs_to_another() {
    chmod "$1" "$2"
    [ -z "${as_user[*]}" ] || chown 65534 "$2"
}
nobody=$(id -nu 65534 2>/dev/null || echo "user 65534")
runtime=$work/runtime
mkdir -m 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
pids=()
finish() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap finish EXIT
fail() {
    echo "FAILED: $*"
    for log in "$work"/*.log; do
        echo "--- $log"
        cat "$log"
    done
    exit 1
}

for gap in 0 0.01 0.03 another-users-lock; do
    home=$work/home-$gap
    if [ "$gap" = another-users-lock ]; then
        mkdir "$home"
        touch "$home/instance.lock"
        belongs_to_another 000 "$home/instance.lock"
        start=("${as_user[@]}" "${start[@]}")
    fi
    rm -f "$work/services-started"
    "${start[@]}" --home "$home" >"$work/first-$gap.log" 2>&1 &
    first=$!
    [ "$gap" = 0 ] || [ "$gap" = another-users-lock ] || sleep "$gap"
    "${start[@]}" --home "$home" >"$work/second-$gap.log" 2>&1 &
    second=$!
    pids=("$first" "$second")

    # One of the two ends once it has handed over; the other keeps running.
    ended=
    for _ in $(seq 1 600); do
        kill -0 "$first" 2>/dev/null || { ended=first running=$second; break; }
        kill -0 "$second" 2>/dev/null || { ended=second running=$first; break; }
        sleep 0.1
    done
    [ -n "$ended" ] || fail "$gap s apart: both starts still run on one home"
    status=0
    wait "${!ended}" || status=$?
    [ "$status" -eq 0 ] || fail "$gap s apart: the $ended start ended with status $status"
    grep -q "the running Kelvara comes to the front" "$work/$ended-$gap.log" ||
        fail "$gap s apart: the $ended start ended without handing over"
    pids=("$running")

    [ "$(wc -l <"$work/services-started")" -eq 1 ] ||
        fail "$gap s apart: the services started $(wc -l <"$work/services-started") times"
    if [ "$gap" = another-users-lock ]; then
        grep -q "cannot lock the home $home ($home/instance.lock: Permission denied); holding it by its folder instead" \
            "$work/first-$gap.log" "$work/second-$gap.log" ||
            fail "a start did not say how it holds a home with another user's lock file"
    fi
    output=$("${start[@]}" --home "$home" 'kelvara2://?ll=53.5575,13.2610&z=16')
    grep -q "the running Kelvara opens the link" <<<"$output" ||
        fail "$gap s apart: the link did not reach the running Kelvara: $output"
    kill -0 "$running" 2>/dev/null || fail "$gap s apart: the Kelvara holding the home ended"
    kill "$running"
    wait "$running" 2>/dev/null || true
    pids=()
    echo "$gap s apart: the $ended start handed over"
done
echo "every pair of starts left one Kelvara on its home"

# The lock file is another user's and no runtime folder is private (one open
# to everybody): no hand-over, but still one Kelvara; the later start ends.
# The one running, ended by a hang-up (a closed terminal), quits as when told
# to end: with status 0, the place its link showed saved, its services ended.
home=$work/home-no-runtime
mkdir "$home"
touch "$home/instance.lock"
belongs_to_another 000 "$home/instance.lock"
mkdir -m 1777 "$work/open"
rm -f "$work/services-started"
XDG_RUNTIME_DIR=$work/open "${start[@]}" --home "$home" 'kelvara2://?ll=53.5530,13.2700&z=17' \
    >"$work/first-no-runtime.log" 2>&1 &
first=$!
pids=("$first")
for _ in $(seq 1 600); do
    [ -s "$work/services-started" ] && grep -q "opened the map" "$work/first-no-runtime.log" && break
    sleep 0.1
done
[ -s "$work/services-started" ] || fail "the start without a runtime folder did not run"
status=0
XDG_RUNTIME_DIR=$work/open "${start[@]}" --home "$home" >"$work/second-no-runtime.log" 2>&1 ||
    status=$?
[ "$status" -eq 1 ] || fail "a second start without a runtime folder ended with status $status"
grep -q "another Kelvara holds the home $home and takes no links" "$work/second-no-runtime.log" ||
    fail "the second start without a runtime folder did not say why it ended"
[ "$(wc -l <"$work/services-started")" -eq 1 ] || fail "two Kelvaras ran without a runtime folder"
kill -HUP "$first"
status=0
wait "$first" || status=$?
pids=()
[ "$status" -eq 0 ] || fail "a hang-up ended Kelvara with status $status, not as SIGTERM does"
python3 - "$home/Caches/CBMap_state.plist" <<'PY' || fail "a hang-up lost the map's place"
import plistlib, sys
with open(sys.argv[1], "rb") as state:
    box = plistlib.load(state)["neubrandenburg"]
middle = ((box["SWLatitude"] + box["NELatitude"]) / 2, (box["SWLongitude"] + box["NELongitude"]) / 2)
sys.exit(abs(middle[0] - 53.5530) > 0.001 or abs(middle[1] - 13.2700) > 0.001)
PY
! kill -0 "$(cat "$work/services-started")" 2>/dev/null || fail "the services outlived a hang-up"
echo "without a runtime folder the later start ended; a hang-up ended the first through its quit"

touch "$work/file"
mkdir -m 555 "$work/read-only"
homes=("$work/file/home" "$work/read-only")
# Another user's home (root's start on it, as with sudo), and a folder
# another user's start left in one's own.
if [ -n "${as_user[*]}" ]; then
    mkdir "$work/another-users" "$work/left-behind"
    belongs_to_another 755 "$work/another-users"
    mkdir -p "$work/left-behind/Library/Application Support"
    belongs_to_another 700 "$work/left-behind/Library/Application Support"
    homes+=("$work/another-users" "$work/left-behind")
fi
for home in "${homes[@]}"; do
    rm -f "$work/services-started"
    status=0
    output=$("${start[@]}" --home "$home" 2>&1) || status=$?
    [ "$status" -eq 1 ] || fail "a start on $home ended with status $status: $output"
    case $home in
    */file/home) why="$home cannot be made (Not a directory); not starting on it (choose another home" ;;
    */read-only) why="$home is not writable (Permission denied); not starting on it (choose another home" ;;
    */another-users) why="$home belongs to $nobody; not starting on it (start Kelvara as $nobody" ;;
    *) why="$home/Library/Application Support belongs to $nobody, not to $(id -nu); not starting on it (give it to" ;;
    esac
    if [ "$(grep -c . <<<"$output")" -ne 1 ] ||
        ! grep -qF "kelvara: cannot keep files in the home $home: $why" <<<"$output"; then
        fail "a start on $home did not say why it ended, in one line: $output"
    fi
    [ ! -e "$work/services-started" ] || fail "a start on $home started its services"
    [ "$home" = "$work/left-behind" ] || [ -z "$(ls -A "$home" 2>/dev/null)" ] ||
        fail "a start on $home wrote into it: $(ls -A "$home")"
    echo "a start on $home ended saying why"
done

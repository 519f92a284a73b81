#!/usr/bin/env bash
# Two windowed starts on one fresh home at the same moment, 0.01 s and 0.03 s
# apart (a double click on a launcher): one shows its window, the other hands
# over to it and ends with status 0; the one left running takes a link from a
# third start. Needs a display (ctest gives it a virtual one).
set -euo pipefail
binary=${KELVARA_BINARY:?}
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-simultaneous.XXXXXX")
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

for gap in 0 0.01 0.03; do
    home=$work/home-$gap
    "$binary" --home "$home" >"$work/first-$gap.log" 2>&1 &
    first=$!
    [ "$gap" = 0 ] || sleep "$gap"
    "$binary" --home "$home" >"$work/second-$gap.log" 2>&1 &
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

    output=$("$binary" --home "$home" 'kelvara2://?ll=53.5575,13.2610&z=16')
    grep -q "the running Kelvara opens the link" <<<"$output" ||
        fail "$gap s apart: the link did not reach the running Kelvara: $output"
    kill -0 "$running" 2>/dev/null || fail "$gap s apart: the Kelvara holding the home ended"
    kill "$running"
    wait "$running" 2>/dev/null || true
    pids=()
    echo "$gap s apart: the $ended start handed over"
done
echo "every pair of starts left one Kelvara on its home"

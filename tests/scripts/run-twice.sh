#!/usr/bin/env bash
# The README's command twice at once on one fresh home, at the same moment
# and while the first is still starting its services: one window runs, the
# other start ends with status 0 having handed over, and every port the
# home's service-ports names answers. A link from a third start reaches the
# running one, and so does a start with KELVARA_HOME_LOCK_FD in its
# environment (it decides nothing). The services end with the program,
# whether it is told to end or killed, and the next start gets their ports
# again. Something planted at the home's lock ends a start with a clear error
# before any service starts. Needs a display (xvfb-run).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-run-twice.XXXXXX")
export XDG_RUNTIME_DIR=$work/runtime
mkdir -m 700 "$XDG_RUNTIME_DIR"
pids=()
finish() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
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
# Called as a command, not a function, so that a start in the background is
# the process $! names (a killed function's subshell would leave it running).
run=("$root/scripts/run" --home)
# Waits for the services the start records in service-ports to answer.
await_ports() {
    for _ in $(seq 600); do
        [ -f "$home/service-ports" ] && [ "$(wc -l <"$home/service-ports")" -eq 3 ] &&
            ! ports_free && return
        sleep 0.1
    done
    fail "$1: the services did not start"
}
# Whether no service of service-ports answers any more.
ports_free() {
    while read -r _ port; do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && return 1
    done <"$home/service-ports"
    return 0
}

for gap in 0 0.02 0.4; do
    home=$work/home-$gap
    "${run[@]}" "$home" >"$work/first.log" 2>&1 &
    first=$!
    [ "$gap" = 0 ] || sleep "$gap"
    "${run[@]}" "$home" >"$work/second.log" 2>&1 &
    second=$!
    pids=("$first" "$second")
    ended=
    for _ in $(seq 600); do
        kill -0 "$first" 2>/dev/null || { ended=first running=$second; break; }
        kill -0 "$second" 2>/dev/null || { ended=second running=$first; break; }
        sleep 0.1
    done
    [ -n "$ended" ] || fail "$gap s apart: both starts still run"
    wait "${!ended}"
    status=$?
    [ "$status" -eq 0 ] || fail "$gap s apart: the $ended start ended with status $status"
    grep -q "the running Kelvara comes to the front" "$work/$ended.log" ||
        fail "$gap s apart: the $ended start did not hand over"
    pids=("$running")

    output=$("${run[@]}" "$home" 'kelvara2://?ll=53.5575,13.2610&z=16' 2>&1) ||
        fail "$gap s apart: the start with a link failed: $output"
    grep -q "the running Kelvara opens the link" <<<"$output" ||
        fail "$gap s apart: the link did not reach the running Kelvara: $output"
    recorded=$(stat -c %i "$home/service-ports")
    output=$(KELVARA_HOME_LOCK_FD=0 "${run[@]}" "$home" 2>&1) ||
        fail "$gap s apart: a start with KELVARA_HOME_LOCK_FD failed: $output"
    grep -q "the running Kelvara comes to the front" <<<"$output" ||
        fail "$gap s apart: a start with KELVARA_HOME_LOCK_FD did not hand over: $output"
    [ "$(stat -c %i "$home/service-ports")" = "$recorded" ] ||
        fail "$gap s apart: a start that handed over wrote service-ports"
    [ "$(wc -l <"$home/service-ports")" -eq 3 ] ||
        fail "$gap s apart: service-ports: $(cat "$home/service-ports")"
    while read -r name port; do
        (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null ||
            fail "$gap s apart: $name's port $port does not answer"
    done <"$home/service-ports"
    kill "$running"
    wait "$running" 2>/dev/null
    pids=()
    ports_free || fail "$gap s apart: a service outlived the program"
    echo "$gap s apart: one window, the other start handed over, every port answers"
done

# The start killed outright (as a terminal or a desktop session ends its
# tree): no service is left, and the next start has the same ports.
home=$work/killed
"${run[@]}" "$home" >"$work/killed.log" 2>&1 &
pids=("$!")
await_ports "a first start"
ports=$(sort "$home/service-ports")
kill -9 "${pids[0]}"
wait "${pids[0]}" 2>/dev/null
for _ in $(seq 100); do
    ports_free && break
    sleep 0.1
done
ports_free || fail "a service outlived the killed start"
"${run[@]}" "$home" >"$work/again.log" 2>&1 &
pids=("$!")
await_ports "the start after the killed one"
[ "$(sort "$home/service-ports")" = "$ports" ] ||
    fail "the start after the killed one moved the ports: $ports, then $(cat "$home/service-ports")"
kill "${pids[0]}"
wait "${pids[0]}" 2>/dev/null
pids=()
echo "the services end with a killed start, and the next start keeps their ports"

home=$work/planted
mkdir "$home"
mkfifo "$home/instance.lock"
output=$(timeout 60 "$root/scripts/run" --home "$home" 2>&1)
status=$?
[ "$status" -eq 1 ] || fail "a FIFO at the lock: status $status: $output"
grep -q "cannot hold the home $home: $home/instance.lock: it is not a regular file" <<<"$output" ||
    fail "a FIFO at the lock was not named: $output"
[ ! -e "$home/service-ports" ] || fail "a start that ended started services"
echo "a FIFO at the lock ends the start with a clear error"

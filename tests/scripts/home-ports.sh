#!/usr/bin/env bash
# The map store server of scripts/run, started by its functions for a home:
# it keeps the home's port from one start to the next while the port is free,
# and when another program listens there it says so and takes another port,
# which the home keeps from then on. What else stands at the home's record
# (a link, a folder, odd lines) neither is followed nor gives a port.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
server=${KELVARA_MAPSTORE_SERVER:?}
content=${KELVARA_MAPSTORE_ROOT:?}
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-home-ports.XXXXXX")
pids=()
holder=
cleanup() {
    for pid in "${pids[@]}" $holder; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*"
    exit 1
}
build=$work
# shellcheck source=scripts/local-services.sh
. "$root/scripts/local-services.sh"

home=$work/home
ports=$home/service-ports
stop_all() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null
        wait "$pid" 2>/dev/null
    done
    pids=()
}
# shellcheck disable=SC2034 # the functions take it by its name
store=("$server" --root "$content")
start() {
    start_home_service "$ports" map-store store 2>"$work/said"
}
answers() {
    curl -sf "http://127.0.0.1:$port/mapStore.zip" -o /dev/null || fail "$1: no store on port $port"
}

start
first=$port
curl -sf "http://127.0.0.1:$first/mapStore.zip" -o /dev/null || fail "no store on port $first"
grep -q "^map-store $first\$" "$ports" || fail "port $first not recorded: $(cat "$ports")"
stop_all

# The next start gets the same port and says nothing.
start
[ "$port" = "$first" ] || fail "the second start listens on $port, not on $first"
[ -s "$work/said" ] && fail "a free port was reported: $(cat "$work/said")"
stop_all

# Another program listens on the home's port.
python3 -c '
import socket, sys, time
s = socket.socket()
s.bind(("127.0.0.1", int(sys.argv[1])))
s.listen()
print("ready", flush=True)
time.sleep(60)
' "$first" >"$work/holder" &
holder=$!
for _ in $(seq 100); do
    grep -q ready "$work/holder" && break
    sleep 0.05
done
port_in_use "$first" || fail "the holder does not listen on $first"
start
[ "$port" != "$first" ] || fail "the store shares the taken port $first"
curl -sf "http://127.0.0.1:$port/mapStore.zip" -o /dev/null || fail "no store on port $port"
grep -q "port $first of this home's map-store is taken by another program" "$work/said" ||
    fail "the taken port was not reported: $(cat "$work/said")"
grep -q "listens on port $port now" "$work/said" || fail "the new port was not reported"
grep -q "^map-store $port\$" "$ports" || fail "the new port is not recorded: $(cat "$ports")"
[ "$(wc -l <"$ports")" -eq 1 ] || fail "the old port is still recorded: $(cat "$ports")"
echo "the home keeps its port while it is free and moves when it is taken"

kill "$holder"
wait "$holder" 2>/dev/null
holder=
stop_all
mkdir "$work/outside"
rm "$ports"
ln -s "$work/outside" "$ports"
start
answers "a link at service-ports"
[ -z "$(ls -A "$work/outside")" ] || fail "a start wrote into the folder service-ports links to"
[ "$(stat -c %F "$ports"):$(cat "$ports")" = "regular file:map-store $port" ] ||
    fail "the link was not replaced"
stop_all
rm "$ports"
mkdir -p "$ports/kept"
start
answers "a folder at service-ports"
grep -q "cannot be kept in $ports" "$work/said" || fail "a folder at service-ports was not reported"
[ "$(ls -A "$home"):$(ls -A "$ports")" = service-ports:kept ] ||
    fail "a start changed the home's folders: $(ls -AR "$home")"
stop_all
rm -r "$ports"
echo "a link or a folder at service-ports is never followed"

# Only the first line of a service with one number from 1 to 65535 gives it
# a port: odd ones give none.
printf 'map-store %s\nmap-store 45012\n' "$first" >"$ports"
start
[ "$port" = "$first" ] || fail "two lines: the store listens on $port, not on $first"
stop_all
for odd in 65536 1x2; do
    echo "map-store $odd" >"$ports"
    start
    answers "map-store $odd"
    [ "$port" != "${odd/x/}" ] || fail "map-store $odd counted as a port"
    [ -s "$work/said" ] && fail "map-store $odd counted as a port: $(cat "$work/said")"
    [ "$(cat "$ports")" = "map-store $port" ] || fail "after $odd, recorded: $(cat "$ports")"
    stop_all
done
echo "odd lines give no port"

# A home path with a line break is one path all through.
home=$work/line$'\n'break
ports=$home/service-ports
start
answers "a home with a line break"
[ "$(cat "$ports")" = "map-store $port" ] || fail "a home with a line break: $(cat "$ports")"
stop_all
echo "a home path with a line break is one path"

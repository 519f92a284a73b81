# shellcheck shell=bash
# Functions of scripts/run, which sources this file: the local services it
# starts for the program, each on the port it had for this home the last
# time while that port is free. The ports are kept in the home's
# "service-ports" ("NAME PORT" a line), so what the program stored with a
# service's address (a download queued from the map store, cached tiles of
# the tile service) finds the service again after a restart.
#
# The caller sets $build, the build folder, and keeps the services' process
# ids in the array "pids".

# The services, built in $build, for the scripts that source this file.
# shellcheck disable=SC2034
mapstore=("$build/tools/mapstore-server/kelvara-mapstore-server" --root "$build/mapstore-root")
# KELVARA_SDK_BUILDS names the builds the SDK service lists for the update check.
# shellcheck disable=SC2034
sdk=("$build/tools/sdk-service/kelvara-sdk-service"
    --app 6b656c76617261626574610000000001 --app 6b656c76617261000000000000000001
    ${KELVARA_SDK_BUILDS:+--builds "$KELVARA_SDK_BUILDS"})
# shellcheck disable=SC2034
tiles=("$build/tools/tile-server/kelvara-tile-server")

# Ends the services started so far and waits for them.
stop_services() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
}

# Whether a program listens on 127.0.0.1:PORT. Asked by connecting: the
# services bind with SO_REUSEPORT, so a second one would share a taken port
# instead of failing.
port_in_use() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# Starts COMMAND..., a service that prints its port as its first line, in
# the background; sets $launched to "PID LOG" for await_service.
launch_service() {
    local log
    log=$(mktemp "${TMPDIR:-/tmp}/kelvara-service.XXXXXX")
    # The service ends when the script that started it does, however that
    # ends (killed, its exit trap never run).
    setpriv --pdeathsig TERM "$@" >"$log" 2>&1 &
    pids+=("$!")
    launched="$! $log"
}

# await_service "PID LOG": waits for the service's port; sets $port, empty
# (and fails) when the service did not start.
await_service() {
    local pid=${1% *} log=${1#* }
    port=
    for _ in $(seq 500); do
        port=$(head -n 1 "$log" | tr -dc 0-9)
        [ -n "$port" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.01
    done
    rm -f "$log"
    [ -n "$port" ]
}

# Starts COMMAND... and waits for its port; sets $port, empty (and fails)
# when the service did not start.
try_start_service() {
    launch_service "$@"
    await_service "$launched"
}

# The same, ending the script when the service does not start.
start_service() {
    try_start_service "$@" && return
    echo "scripts/run: $1 did not start" >&2
    exit 1
}

# begin_home_service PORTS NAME COMMAND...: launches the service on the port
# PORTS records for NAME while nothing else listens there, else on a free
# port; finish_home_service NAME then waits for it. Begun one after another,
# the services start side by side.
declare -A home_services=()
begin_home_service() {
    local ports=$1 name=$2
    shift 2
    local recorded=
    [ -f "$ports" ] && recorded=$(awk -v name="$name" '$1 == name { print $2 }' "$ports" | tr -dc 0-9)
    local wanted=0
    if [ -n "$recorded" ]; then
        if port_in_use "$recorded"; then
            echo "scripts/run: port $recorded of this home's $name is taken by another program;" \
                "picking another" >&2
        else
            wanted=$recorded
        fi
    fi
    launch_service "$@" --port "$wanted"
    # What finish_home_service needs, one value a line: the command last.
    home_services[$name]=$(printf '%s\n' "$ports" "$recorded" "$wanted" "$launched" "$@")
}

# finish_home_service NAME: waits for the service begun for NAME (started
# again on a free port when the recorded one cannot be had, saying so),
# keeps the port it got for record_home_ports and sets $port.
declare -A home_ports=()
finish_home_service() {
    local name=$1 ports recorded wanted started
    local -a command
    {
        read -r ports
        read -r recorded
        read -r wanted
        read -r started
        mapfile -t command
    } <<<"${home_services[$name]}"
    if ! await_service "$started"; then
        [ "$wanted" != 0 ] &&
            echo "scripts/run: port $wanted of this home's $name cannot be had; picking another" >&2
        start_service "${command[@]}" --port 0
    fi
    [ -n "$recorded" ] && [ "$port" != "$recorded" ] &&
        echo "scripts/run: this home's $name listens on port $port now" >&2
    home_ports[$name]=$port
}

# record_home_ports PORTS: writes the ports the services finished so far got
# into PORTS, whole and at once (through a file of its own beside it), keeping
# the lines of other services.
record_home_ports() {
    local ports=$1 name written
    mkdir -p "$(dirname "$ports")"
    written=$(mktemp "$ports.XXXXXX")
    {
        if [ -f "$ports" ]; then
            awk -v names=" ${!home_ports[*]} " 'index(names, " " $1 " ") == 0' "$ports"
        fi
        for name in "${!home_ports[@]}"; do
            echo "$name ${home_ports[$name]}"
        done
    } >"$written" && mv -f "$written" "$ports" || {
        rm -f "$written"
        return 1
    }
}

# start_home_service PORTS NAME COMMAND...: both at once, recorded; sets $port.
start_home_service() {
    begin_home_service "$@"
    finish_home_service "$2"
    record_home_ports "$1"
}

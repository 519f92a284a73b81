# shellcheck shell=bash
# Functions of scripts/run, which sources this file: the local services it
# starts for the program, each on the port it had for this home the last
# time while that port is free. The ports are kept in the home's
# "service-ports" ("NAME PORT" a line), so what the program stored with a
# service's address (a download queued from the map store, cached tiles of
# the tile service) finds the service again after a restart.
#
# The caller keeps the services' process ids in the array "pids".

# The folder of the home: the value of --home among the arguments, else
# Kelvara's XDG configuration folder.
services_home_folder() {
    local previous=
    for argument in "$@"; do
        if [ "$previous" = "--home" ]; then
            echo "$argument"
            return
        fi
        previous=$argument
    done
    local config=${XDG_CONFIG_HOME:-}
    [ "${config#/}" != "$config" ] || config=$HOME/.config
    echo "$config/kelvara"
}

# Whether a program listens on 127.0.0.1:PORT. Asked by connecting: the
# services bind with SO_REUSEPORT, so a second one would share a taken port
# instead of failing.
port_in_use() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# Starts COMMAND..., a service that prints its port as its first line; sets
# $port, empty (and fails) when the service did not start.
try_start_service() {
    local log pid
    log=$(mktemp "${TMPDIR:-/tmp}/kelvara-service.XXXXXX")
    "$@" >"$log" 2>&1 &
    pid=$!
    pids+=("$pid")
    port=
    for _ in $(seq 100); do
        port=$(head -n 1 "$log" | tr -dc 0-9)
        [ -n "$port" ] && break
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.05
    done
    rm -f "$log"
    [ -n "$port" ]
}

# The same, ending the script when the service does not start.
start_service() {
    try_start_service "$@" && return
    echo "scripts/run: $1 did not start" >&2
    exit 1
}

# start_home_service PORTS NAME COMMAND...: starts the service on the port
# PORTS records for NAME while nothing else listens there, else on a free
# port, saying so; records the port it got and sets $port.
start_home_service() {
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
    if [ "$wanted" != 0 ]; then
        try_start_service "$@" --port "$wanted" && return
        echo "scripts/run: port $wanted of this home's $name cannot be had; picking another" >&2
    fi
    start_service "$@" --port 0
    [ -n "$recorded" ] && echo "scripts/run: this home's $name listens on port $port now" >&2
    mkdir -p "$(dirname "$ports")"
    { [ -f "$ports" ] && awk -v name="$name" '$1 != name' "$ports"; echo "$name $port"; } \
        >"$ports.new"
    mv "$ports.new" "$ports"
}

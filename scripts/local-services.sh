# shellcheck shell=bash
# Functions of scripts/run, which sources this file: the local services it
# starts for the program, each on the port it had for this home the last
# time while that port is free. The ports are kept in the home's
# "service-ports" ("NAME PORT" a line), so what the program stored with a
# service's address (a download queued from the map store, cached tiles of
# the tile service) finds the service again after a restart.
#
# The caller sets $build, the build folder, and keeps the services' process
# ids in the array "pids". Nothing here runs long in the foreground: bash
# runs a trap (an end asked for) only once its foreground command is done.

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

# Ends the services started so far and waits for them; removes a service's
# log that launch_service made and had not unlinked yet.
stop_services() {
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    done
    [ -z "${service_log:-}" ] || rm -f -- "$service_log"
}

# Whether a program listens on 127.0.0.1:PORT. Asked by connecting: the
# services bind with SO_REUSEPORT, so a second one would share a taken port
# instead of failing.
port_in_use() {
    (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null
}

# Whether TEXT is a port a service may be asked for: one number from 1 to
# 65535, no sign, no leading zero.
is_port() {
    [[ $1 =~ ^[1-9][0-9]{0,4}$ ]] && (($1 <= 65535))
}

# Starts COMMAND..., a service that prints its port as its first line, in
# the background; sets $launched to its process id for await_service. Its
# output goes to a log that is unlinked at once and read through a
# descriptor, so that no end of this script, killed included, leaves it.
declare -A service_output=()
service_log=
launch_service() {
    local written unread
    service_log=$(mktemp "${TMPDIR:-/tmp}/kelvara-service.XXXXXX") || return
    exec {written}>"$service_log"
    exec {unread}<"$service_log"
    rm -f -- "$service_log"
    service_log=
    # The service ends when the script that started it does, however that
    # ends (killed, its exit trap never run).
    setpriv --pdeathsig TERM "$@" >&"$written" 2>&1 {written}>&- {unread}<&- &
    exec {written}>&-
    pids+=("$!")
    launched=$!
    service_output[$launched]=$unread
}

# await_service PID: waits for the port a service launched as PID prints;
# sets $port, empty (and fails) when the service did not start.
await_service() {
    local pid=$1 line='' part
    local unread=${service_output[$pid]:-}
    port=
    [ -n "$unread" ] || return 1
    for _ in {1..500}; do
        if IFS= read -r part <&"$unread"; then
            line+=$part
            is_port "$line" && port=$line
            break
        fi
        # A line not whole yet: read on from where it stops.
        line+=$part
        kill -0 "$pid" 2>/dev/null || break
        sleep 0.01
    done
    exec {unread}<&-
    unset "service_output[$pid]"
    [ -n "$port" ]
}

# Starts COMMAND... and waits for its port; sets $port, empty (and fails)
# when the service did not start.
try_start_service() {
    launch_service "$@" && await_service "$launched"
}

# The same, ending the script when the service does not start.
start_service() {
    try_start_service "$@" && return
    echo "scripts/run: $1 did not start" >&2
    exit 1
}

# read_home_ports PORTS: sets recorded_ports to the port PORTS records for
# each service: its first line "NAME PORT" with a port is_port takes, among
# whole lines of the first 4 KiB. Anything but a regular file (a link, a
# folder) and a file that cannot be read record nothing.
declare -A recorded_ports=()
read_home_ports() {
    local text='' name value rest
    recorded_ports=()
    [ -f "$1" ] && [ ! -L "$1" ] || return 0
    { IFS= read -r -N 4096 text || true; } 2>/dev/null <"$1" || return 0
    if [ ${#text} -eq 4096 ]; then
        case $text in
        *$'\n'*) text=${text%$'\n'*} ;;
        *) text= ;;
        esac
    fi
    while read -r name value rest; do
        if [[ $name =~ ^[A-Za-z0-9._-]+$ ]] && [ -z "$rest" ] && is_port "$value" &&
            [ -z "${recorded_ports[$name]:-}" ]; then
            recorded_ports[$name]=$value
        fi
    done <<<"$text"
}

# begin_home_service PORTS NAME COMMAND: launches the service whose command
# is the array named COMMAND on the port PORTS records for NAME while
# nothing else listens there, else on a free port; finish_home_service NAME
# then waits for it. Begun one after another, the services start side by
# side. What finish_home_service needs is kept a field an array, by NAME.
declare -A home_command=() home_recorded=() home_wanted=() home_launched=()
begin_home_service() {
    local ports=$1 name=$2
    local -n begun_command=$3
    read_home_ports "$ports"
    local recorded=${recorded_ports[$name]:-} wanted=0
    if [ -n "$recorded" ]; then
        if port_in_use "$recorded"; then
            echo "scripts/run: port $recorded of this home's $name is taken by another program;" \
                "picking another" >&2
        else
            wanted=$recorded
        fi
    fi
    launch_service "${begun_command[@]}" --port "$wanted"
    home_command[$name]=$3
    home_recorded[$name]=$recorded
    home_wanted[$name]=$wanted
    home_launched[$name]=$launched
}

# finish_home_service NAME: waits for the service begun for NAME (started
# again on a free port when the recorded one cannot be had, saying so),
# keeps the port it got for record_home_ports and sets $port.
declare -A home_ports=()
finish_home_service() {
    local name=$1
    local recorded=${home_recorded[$name]} wanted=${home_wanted[$name]}
    local -n finished_command=${home_command[$name]}
    if ! await_service "${home_launched[$name]}"; then
        [ "$wanted" != 0 ] &&
            echo "scripts/run: port $wanted of this home's $name cannot be had; picking another" >&2
        start_service "${finished_command[@]}" --port 0
    fi
    [ -n "$recorded" ] && [ "$port" != "$recorded" ] &&
        echo "scripts/run: this home's $name listens on port $port now" >&2
    home_ports[$name]=$port
}

# record_home_ports PORTS: writes the ports the services finished so far got
# into PORTS, keeping what it records for other services. Written whole
# beside it, then renamed over it: whatever is at PORTS, a link included, is
# replaced, never followed. Where it cannot be (a folder, a full disk) it
# says so and fails.
record_home_ports() {
    local ports=$1 name written text=''
    read_home_ports "$ports"
    for name in "${!home_ports[@]}"; do
        recorded_ports[$name]=${home_ports[$name]}
    done
    for name in "${!recorded_ports[@]}"; do
        text+="$name ${recorded_ports[$name]}"$'\n'
    done
    if mkdir -p -- "${ports%/*}" && written=$(mktemp "$ports.XXXXXX"); then
        if printf '%s' "$text" >"$written" && mv -f -T -- "$written" "$ports"; then
            return 0
        fi
        rm -f -- "$written"
    fi
    echo "scripts/run: the ports of this home's services cannot be kept in $ports;" \
        "they may change at its next start" >&2
    return 1
}

# start_home_service PORTS NAME COMMAND: both at once, recorded; sets $port.
start_home_service() {
    begin_home_service "$@"
    finish_home_service "$2"
    record_home_ports "$1"
}

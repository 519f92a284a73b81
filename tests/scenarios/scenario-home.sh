# Sourced by the scenario scripts that start kelvara more than once on one
# home: a work folder removed on exit (with the map store server it started),
# `fail`, `play_on` to play one script of a folder on a home, and
# `start_store`/`stop_store` for a map store server on a free port
# with its test faults on. Needs $KELVARA_MAPSTORE_SERVER and
# $KELVARA_MAPSTORE_ROOT; sets $work, and $store and $port while one runs.
server=${KELVARA_MAPSTORE_SERVER:?}
content=${KELVARA_MAPSTORE_ROOT:?}
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-scenario.XXXXXX")
store=
cleanup() {
    [ -n "$store" ] && kill "$store" 2>/dev/null
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*"
    exit 1
}
start_store() {
    : >"$work/store.port"
    setpriv --pdeathsig TERM "$server" --root "$content" --port 0 --test-control "$content" >"$work/store.port" 2>&1 &
    store=$!
    port=
    for _ in $(seq 100); do
        port=$(head -n 1 "$work/store.port" | tr -dc 0-9)
        [ -n "$port" ] && return
        sleep 0.05
    done
    fail "the map store server did not start"
}
stop_store() {
    kill "$store" 2>/dev/null
    wait "$store" 2>/dev/null
    store=
}

# play_on FOLDER HOME SCRIPT [OPTIONS...]: plays tests/scenarios/FOLDER/SCRIPT.scenario
# on the phone with $work/HOME as its home; its log is printed when it fails.
play_on() {
    local folder=$1 home=$2 scenario=$3 log=$work/$3.log
    shift 3
    (cd "$root" && "${KELVARA_BINARY:?}" --phone --scale 2 --home "$work/$home" "$@" \
        --scenario "$root/tests/scenarios/$folder/$scenario.scenario" \
        --scenario-output "${KELVARA_SCENARIO_OUTPUT:-$PWD}") >"$log" 2>&1 || {
        cat "$log"
        fail "$scenario.scenario failed"
    }
}

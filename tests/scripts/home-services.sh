#!/usr/bin/env bash
# scripts/home-services as the program runs it, leading a process group of
# its own (as root, without the capabilities that pass over file
# permissions): an unreadable service-ports is replaced; where none can be
# written the addresses still come, and the failure is said; told to end
# (SIGTERM to it alone) while it reads a 100 MB service-ports or while it
# waits, it leaves nothing of its group running and no temp file.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
: "${KELVARA_BUILD_DIR:?}"
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-home-services.XXXXXX")
export TMPDIR=$work/tmp
mkdir "$TMPDIR"
as_user=()
[ "$(id -u)" -ne 0 ] || as_user=(setpriv "--bounding-set=-dac_override,-dac_read_search" --)
script=
cleanup() {
    [ -z "$script" ] || kill -- "-$script" 2>/dev/null
    chmod -R u+rwx "$work"
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*"
    cat "$work/said"
    exit 1
}
# Starts the script on HOME, until it "reads" (runs a program of its own) or
# "writes" its addresses (a line each, then an empty one).
start() {
    : >"$work/addresses"
    "${as_user[@]}" setsid "$root/scripts/home-services" "$1" >"$work/addresses" 2>"$work/said" &
    script=$!
    for _ in {1..300}; do
        if [ "$2" = reads ]; then
            children=
            read -r children 2>/dev/null <"/proc/$script/task/$script/children"
            [ -z "$children" ] || return 0
        elif [ "$(wc -l <"$work/addresses")" -eq 7 ]; then
            return 0
        fi
        kill -0 "$script" 2>/dev/null || fail "$1: the script ended: $(cat "$work/addresses")"
        sleep 0.1
    done
    fail "$1: waited in vain until it $2"
}
# Ends the script alone; nothing of its group may be left, nor a temp file.
end() {
    kill -TERM "$script"
    for _ in {1..300}; do
        kill -0 -- "-$script" 2>/dev/null || break
        sleep 0.1
    done
    kill -0 -- "-$script" 2>/dev/null && fail "$1: its process group still runs"
    script=
    [ -z "$(ls -A "$TMPDIR")" ] || fail "$1: left $(ls -A "$TMPDIR")"
}

home=$work/unreadable
mkdir "$home"
echo "map-store 4501" >"$home/service-ports"
chmod 000 "$home/service-ports"
start "$home" writes
[ "$(wc -l <"$home/service-ports")" -eq 3 ] || fail "an unreadable record was not replaced"
end "an unreadable service-ports"
echo "an unreadable service-ports is replaced"

home=$work/read-only
mkdir -m 555 "$home"
start "$home" writes
grep -q "cannot be kept in $home/service-ports" "$work/said" || fail "the failure was not said"
end "a read-only home"
echo "a home where the ports cannot be kept still gets its services"

home=$work/big
mkdir "$home"
{
    printf 'map-store '
    head -c 100000000 /dev/zero | tr '\0' 7
} >"$home/service-ports"
start "$home" reads
end "ended while it reads"
start "$home" writes
end "ended while it waits"
echo "the script ends everything it started and leaves no temp file"

#!/usr/bin/env bash
# The entry scripts/install-desktop writes, opened by gio as a desktop opens
# a kelvara2:// link, starts the program with the local services of its own
# checkout and build, whatever their paths hold; with a service not built
# it is not installed.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-install-desktop.XXXXXX")
trap 'rm -rf "$work"' EXIT
fail() {
    echo "FAILED: $*"
    exit 1
}
export XDG_DATA_HOME=$work/data XDG_CONFIG_HOME=$work/config
checkout="$work/a \$HOME \"b\" 'c' \`d\` 100% e\\f"$'\n'g
build=$checkout/build
mkdir -p "$checkout/scripts" "$build/app" "$build/mapstore-root"
cp "$root/scripts/install-desktop" "$root/scripts/local-services.sh" "$checkout/scripts"
for program in app/kelvara tools/{mapstore-server/kelvara-mapstore-server,sdk-service/kelvara-sdk-service,tile-server/kelvara-tile-server}; do
    mkdir -p "$(dirname "$build/$program")"
    # The program says what it was started with.
    cat >"$build/$program" <<FAKE
#!/bin/sh
printf '%s\n' "\$KELVARA_BUILD_DIR" "\$@" >$work/said && mv $work/said $work/started
FAKE
    chmod +x "$build/$program"
done
(cd "$checkout" && KELVARA_BUILD_DIR=build scripts/install-desktop >/dev/null) || fail "not installed"
link='kelvara2://?ll=53.5575,13.2610&z=15'
(cd "$work" && gio open "$link") || fail "gio did not open the link"
for _ in {1..100}; do
    [ -f "$work/started" ] && break
    sleep 0.1
done
[ "$(cat "$work/started")" = "$(printf '%s\n' "$build" --services "$checkout/scripts/home-services" "$link")" ] ||
    fail "the entry started: $(cat "$work/started" 2>&1)"
echo "the entry starts the program with the services of its build"

rm "$build/tools/tile-server/kelvara-tile-server"
said=$(cd "$checkout" && KELVARA_BUILD_DIR=build scripts/install-desktop 2>&1) && fail "installed without a service"
grep -q "build the program and its services first" <<<"$said" || fail "a missing service was not said: $said"
echo "the entry is not installed before its services are built"

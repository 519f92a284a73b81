#!/usr/bin/env bash
# Starts the real program in a desktop window on the display (ctest gives it
# a virtual 1280 x 1024 one) as a new user would, with no options, and checks
# that the whole window is on the display once it has drawn itself. The
# display's picture is kept as window-fits.png in the output folder.
# Usage: window-fits.sh KELVARA DISPLAY-CAPTURE OUTPUT-DIR
set -euo pipefail
kelvara=$1
capture=$2
output=$3
mkdir -p "$output"
home=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-window-fits.XXXXXX")
pid=
finish() {
    if [ -n "$pid" ]; then
        kill "$pid" 2>/dev/null || true
        wait "$pid" 2>/dev/null || true
    fi
    rm -rf "$home"
}
trap finish EXIT
"$kelvara" --home "$home" >"$home/kelvara.log" 2>&1 &
pid=$!
if ! "$capture" --window Kelvara --output "$output/window-fits.png" --timeout 60; then
    cat "$home/kelvara.log" >&2
    exit 1
fi

#!/usr/bin/env bash
# Starts kelvara headless on a fresh home with the given scenario, waits until
# it takes links, then starts kelvara again on that home, first without a
# link, then with one: each later start must end at once with status 0, and
# the first must have come to the front once and show the link (the scenario
# checks both).
set -euo pipefail
scenario=$1
binary=${KELVARA_BINARY:?}
home=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-forward.XXXXXX")
runtime=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-runtime.XXXXXX")
chmod 700 "$runtime"
export XDG_RUNTIME_DIR=$runtime
first=
trap '[ -n "$first" ] && kill "$first" 2>/dev/null; rm -rf "$home" "$runtime"' EXIT

"$binary" --phone --home "$home" --scenario "$scenario" --scenario-output "${KELVARA_SCENARIO_OUTPUT:-$home/output}" &
first=$!
for _ in $(seq 1 300); do
    compgen -G "$runtime/kelvara-*.sock" >/dev/null && break
    kill -0 "$first" 2>/dev/null || { echo "the first start ended early"; exit 1; }
    sleep 0.1
done
compgen -G "$runtime/kelvara-*.sock" >/dev/null || { echo "the first start never took links"; exit 1; }

# A start without a link runs no second Kelvara beside the first (which would
# open a window of its own and never end).
output=$(timeout 60 "$binary" --phone --home "$home")
echo "$output"
grep -q "the running Kelvara comes to the front" <<<"$output"

# The scheme as a desktop may hand it, in its own letter case.
output=$("$binary" --phone --home "$home" \
    'Kelvara2://?ll=53.5575,13.2610&z=16&placemarker=1&placename=Forwarded%20pin')
echo "$output"
grep -q "the running Kelvara opens the link" <<<"$output"

status=0
wait "$first" || status=$?
first=
[ "$status" -eq 0 ] || { echo "the scenario failed with status $status"; exit 1; }
# The first start removed its socket on the way out.
if compgen -G "$runtime/kelvara-*.sock" >/dev/null; then
    echo "the socket was left behind"
    exit 1
fi
echo "the link went to the running Kelvara"

#!/usr/bin/env bash
# Bookmarks outlive the program: a bookmark and its note made in one start
# are there in the next, and a deletion made just before the program ends
# is kept too.
set -uo pipefail
binary=${KELVARA_BINARY:?}
data=$(cd "$(dirname "$0")/../data/app" && pwd)
home=$(mktemp -d "${TMPDIR:-/tmp}/kelvara-bookmarks.XXXXXX")
trap 'rm -rf "$home"' EXIT
for step in keep delete gone; do
    "$binary" --phone --home "$home" --scenario "$data/bookmark-$step.scenario" \
        --scenario-output "${KELVARA_SCENARIO_OUTPUT:-$home/output}" >"$home/$step.log" 2>&1 || {
        cat "$home/$step.log"
        echo "FAILED: the start of bookmark-$step.scenario"
        exit 1
    }
done
[ -f "$home/Documents/bookmarks/neubrandenburg.sqlite" ] || {
    echo "FAILED: no bookmark store of the sample city"
    exit 1
}
echo "the bookmarks outlived the program"

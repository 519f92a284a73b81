#!/usr/bin/env bash
# Quitting with the bookmark editor open keeps what was typed: a note typed
# into the editor of a new bookmark, the program ended without Done
# (bookmark-quit/typed.scenario), is the bookmark's note at the next start
# on that home (bookmark-quit/kept.scenario).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=scenario-home.sh
. "$root/tests/scenarios/scenario-home.sh"

play_on bookmark-quit home typed "kelvara2://?ll=53.5200,13.2350&z=16"
play_on bookmark-quit home kept
echo "the note typed before quitting was kept"

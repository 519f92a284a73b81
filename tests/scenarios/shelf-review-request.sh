#!/usr/bin/env bash
# The shelf asks for a review once. A home started often (its launch count in
# the user defaults) installs three maps (shelf-review-request/first.scenario);
# the next start opens on a shelf of three maps, which asks for a review or
# feedback, and feedback opens the support mail (second.scenario); the start
# after that asks no more (third.scenario).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=scenario-home.sh
. "$root/tests/scenarios/scenario-home.sh"
play() {
    play_on shelf-review-request home "$1" --store-url "$url"
}

mkdir -p "$work/home" || fail "no home"
cat >"$work/home/Preferences.plist" <<'PLIST'
<?xml version="1.0" encoding="UTF-8"?>
<!DOCTYPE plist PUBLIC "-//Apple//DTD PLIST 1.0//EN" "http://www.apple.com/DTDs/PropertyList-1.0.dtd">
<plist version="1.0">
<dict>
	<key>numShelfViews-v202</key>
	<integer>30</integer>
</dict>
</plist>
PLIST

start_store
url=http://127.0.0.1:$port
play first
play second
play third
echo "the shelf asked for a review once"

#!/usr/bin/env bash
# Takes docs/registers-window.png and docs/trend-window.png from the demo line under Xvfb: the
# Registers window (context menu, Registers...) after FRAMES frames or more (default 300), then a
# trend of its first rows.
#
#   tools/registers_screenshots.sh BUILD_FOLDER [FRAMES]
set -euo pipefail

build=$(cd "${1:?usage: registers_screenshots.sh BUILD_FOLDER [FRAMES]}" && pwd)
frames=${2:-300}
limit=300 # seconds for the whole run
source "$(dirname "$0")/../tests/e2e/e2e_lib.sh"
docs=$root/docs

[ -x "$build/quillon" ] || fail "the window (quillon) is not in this build"
need_tools Xvfb xdotool mbpoll import "$python"

start_window_session
press_go_and_ok 2

track "$work/poll.out" "$work/poll.err" "$root/tools/poll_demo.sh" "$work/bus/peer0" \
    --rounds 100000 --seconds 200 --units "1 2" --baud 38400 --timeout 2
listed() { [ "$(expected_lines < "$work/poll.out" | wc -l)" -ge "$frames" ]; }
wait_until 200 listed || fail "the demo did not reach $frames frames"

# The context menu on the Frame list, then its Registers entry by its accelerator.
click_control 7 32 447 8
xdotool mousemove --window "$main_window" 100 100 click 3
sleep 0.5
xdotool key r
wait_until 20 find_window "^Registers" || fail "the Registers window did not show"
registers=$found_window
sleep 2
import -window root "$docs/registers-window.png"

# The first three rows, then Trend (Ctrl+T).
xdotool windowfocus --sync "$registers" 2> /dev/null || true
xdotool mousemove --window "$registers" 60 60 click 1
xdotool key shift+Down shift+Down ctrl+t
if wait_until 20 find_window "^Trend"; then
    sleep 5
    import -window root "$docs/trend-window.png"
fi
echo "docs/registers-window.png taken after $(expected_lines < "$work/poll.out" | wc -l) frames"
quit_window

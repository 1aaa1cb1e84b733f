#!/usr/bin/env bash
# Takes the pictures in docs/ from the demo line under Xvfb: Port Setup as Go shows it, and
# the Monitor window after a capture of FRAMES frames or more (default 1500), with a function
# filter chosen, paused, and a Frame-list line selected so that its details show; at its
# default size, then grown to the whole screen as maximising it does.
#
#   tools/screenshots.sh BUILD_FOLDER [FRAMES]
set -euo pipefail

build=$(cd "${1:?usage: screenshots.sh BUILD_FOLDER [FRAMES]}" && pwd)
frames=${2:-1500}
limit=400 # seconds for the whole run
source "$(dirname "$0")/../tests/e2e/e2e_lib.sh"
docs=$root/docs

[ -x "$build/quillon" ] || fail "the window (quillon) is not in this build"
need_tools Xvfb xdotool mbpoll import "$python"

start_window_session

click_control 7 177 38 14 # Go
wait_until 20 find_window "^Port Setup" || fail "Port Setup did not show"
sleep 0.5
import -window "$found_window" "$docs/port-setup.png"
xdotool windowfocus --sync "$found_window" 2> /dev/null || true
xdotool key Return
wait_until 20 attached 2 || fail "the window did not open its port"

track "$work/poll.out" "$work/poll.err" "$root/tools/poll_demo.sh" "$work/bus/peer0" \
    --rounds 100000 --seconds 300 --units "1 2" --silent 9 --baud 38400 --timeout 2 \
    --silent-timeout 0.3
listed() { [ "$(expected_lines < "$work/poll.out" | wc -l)" -ge "$frames" ]; }
wait_until 300 listed || fail "the demo did not reach $frames frames"

# Function filter: its first code entry (the drop-down opens on a click, Down picks).
click_control 7 84 181 12
sleep 0.5
xdotool key Down Return
sleep 2
click_control 45 177 38 14 # Pause
sleep 0.5
# A line near the end of the Frame list, then its details.
click_control 7 32 447 8
sleep 1
import -window "$main_window" "$docs/monitor-window.png"
# Xvfb has no window manager to maximise the window: it is given the whole screen instead,
# then its default size back for the clicks that follow.
read -r screen_width screen_height <<< "$(xdotool getdisplaygeometry)"
xdotool windowmove "$main_window" 0 0 windowsize "$main_window" "$screen_width" "$screen_height"
sleep 1
import -window "$main_window" "$docs/monitor-window-maximised.png"
xdotool windowsize "$main_window" "$window_width" "$window_height"
sleep 1
echo "docs/port-setup.png, docs/monitor-window.png and docs/monitor-window-maximised.png taken" \
    "after $(expected_lines < "$work/poll.out" | wc -l) frames"
quit_window

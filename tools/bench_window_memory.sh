#!/usr/bin/env bash
# Resident size of the window with a full capture store: quillon under Xvfb captures 2000
# frames from tools/frame_flood.py on the virtual line; when the capture limit asks its
# question, the store and the Frame list hold 2000 records and lines, and the process's VmRSS
# (and its peak, VmHWM) are read from /proc. Cancel then stops the capture and Quit ends it.
#
#   tools/bench_window_memory.sh BUILD_FOLDER [--registers N]
#
# --registers  holding registers per answer, 1 to 125 (default 100: 205-byte answers)
set -euo pipefail

build=$(cd "${1:?usage: bench_window_memory.sh BUILD_FOLDER [--registers N]}" && pwd)
shift
registers=100
while [ $# -gt 0 ]; do
    case $1 in
    --registers) registers=$2; shift 2 ;;
    *) sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
    esac
done
limit=120
source "$(dirname "$0")/../tests/e2e/e2e_lib.sh"
[ -x "$build/quillon" ] || fail "the window (quillon) is not built"
need_tools Xvfb xdotool "$python"

start_display
# The line runs at the window's rate: a reader at another rate hears what its UART would.
start_bus 3 --baud 115200 --format 8N1
start_window 2 115200 N
started_kb=$(resident_kb "$window_pid")
press_go_and_ok 2

"$python" "$root/tools/frame_flood.py" "$work/bus/peer0" --pairs 1000 --seconds 60 \
    --registers "$registers" > "$work/flood.out" 2> "$work/flood.err" ||
    fail "frame_flood: $(cat "$work/flood.err")"
wait_until 30 find_window "^Maximum Data$" || fail "the capture limit was not reached"
full_kb=$(resident_kb "$window_pid")
peak_kb=$(peak_resident_kb "$window_pid")
xdotool windowfocus --sync "$found_window" 2> /dev/null || true
xdotool key Escape
sleep 0.5
quit_window
[ "$(lines_of "$work/window/Backup.mlog")" -eq 2000 ] ||
    fail "the backup holds $(lines_of "$work/window/Backup.mlog") of 2000 lines"

awk -v s="$started_kb" -v f="$full_kb" -v p="$peak_kb" -v r="$registers" 'BEGIN {
    printf "quillon resident: %.1f MB at start, %.1f MB with 2000 records of %d-byte answers " \
           "and queries listed (peak %.1f MB)\n", s / 1024, f / 1024, 5 + 2 * r, p / 1024 }'

#!/usr/bin/env bash
# The window captures a polling session between real Modbus peers on the virtual line: quillon
# under Xvfb, with its port preselected through a settings folder of its own, is started with
# Go and OK in Port Setup, watches mbpoll poll the pymodbus slave, and quits. Its backup file
# must then hold every query and response of the session, in order, and the user's own
# settings are never touched.
#
#   tests/e2e/window_test.sh BUILD_FOLDER
set -euo pipefail

build=$(cd "${1:?usage: window_test.sh BUILD_FOLDER}" && pwd)
limit=150 # seconds for the whole test
rounds=${QUILLON_E2E_ROUNDS:-12}
source "$(dirname "$0")/e2e_lib.sh"

[ -x "$build/quillon" ] || skip "the window (quillon) is not in this build"
[ -x "$cli" ] || fail "$cli is not built"
need_tools Xvfb xdotool mbpoll timeout "$python"

start_window_session
press_go_and_ok 2

"$root/tools/poll_demo.sh" "$work/bus/peer0" --rounds "$rounds" --seconds 100 --units "1 2" \
    --silent 9 --baud 38400 --timeout 2 --silent-timeout 0.3 > "$work/poll.out" 2>&1 ||
    fail "the polling session went wrong: $(grep -e expected -e 'poll_demo:' "$work/poll.out")"
expected_lines < "$work/poll.out" > "$work/expected.txt"
want=$(lines_of "$work/expected.txt")

# A few passes over the session's last frame, then Quit: the backup catches up on Quit.
sleep 0.5
quit_window
[ "$window_status" -eq 0 ] || fail "the window ended with $window_status"

backup=$work/window/Backup.mlog
[ -s "$backup" ] || fail "no backup file in the window's folder"
"$cli" replay "$backup" > "$work/replayed.txt" 2> "$work/replay.err" ||
    fail "replay of the backup: $(cat "$work/replay.err")"
[ ! -s "$work/replay.err" ] || fail "replay of the backup: $(cat "$work/replay.err")"
strip_timestamps < "$work/replayed.txt" > "$work/listed.txt"
diff -u "$work/expected.txt" "$work/listed.txt" > "$work/listed.diff" ||
    fail "the backup differs from the session: $(head -n 20 "$work/listed.diff")"

# Quit saved the port settings in the window's own folder, and nowhere else.
grep -q "^Port=" "$work/config/Varnel/Orvane.conf" || fail "the settings file lost its port"
[ -z "$(ls -A "$work/home")" ] || fail "the window wrote into its home: $(ls -A "$work/home")"
echo "PASS: $((rounds * 10)) transactions, $want frames in the window's backup file"

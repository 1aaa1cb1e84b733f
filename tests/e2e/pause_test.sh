#!/usr/bin/env bash
# A long Pause loses nothing: quillon under Xvfb captures mbpoll polling the pymodbus slave on
# the virtual line, is paused with its own Pause button for a minute while the polling goes on,
# then continued. Every frame of the session, those sent during the pause included, must be in
# the window's backup file intact and in order (no CRC-error line that was not on the line),
# and the line must have delivered every byte to the window.
#
#   tests/e2e/pause_test.sh BUILD_FOLDER
set -euo pipefail

build=$(cd "${1:?usage: pause_test.sh BUILD_FOLDER}" && pwd)
limit=150 # seconds for the whole test
pause_seconds=${QUILLON_E2E_PAUSE_SECONDS:-60}
source "$(dirname "$0")/e2e_lib.sh"

[ -x "$build/quillon" ] || skip "the window (quillon) is not in this build"
[ -x "$cli" ] || fail "$cli is not built"
need_tools Xvfb xdotool mbpoll timeout "$python"

start_window_session
press_go_and_ok 2

# The master polls from before the pause until after it; the rounds are bounded so that the
# session stays below the window's 2000-line capture limit.
polling_seconds=$((pause_seconds + 12))
track "$work/poll.out" "$work/poll.err" "$root/tools/poll_demo.sh" "$work/bus/peer0" \
    --rounds 95 --seconds "$polling_seconds" --units "1 2" --silent 9 --baud 38400 \
    --timeout 2 --silent-timeout 0.3
poller=$last_pid

pause_button() { click_control 45 177 38 14; }
sleep 4
pause_button
before=$(grep -c "^unit" "$work/poll.out" || true)
sleep "$pause_seconds"
during=$(($(grep -c "^unit" "$work/poll.out" || true) - before))
pause_button
[ "$during" -gt 0 ] || fail "the master sent nothing during the pause"

stop_wait='! kill -0 "$poller" 2> /dev/null'
wait_until 60 eval "$stop_wait" || fail "the polling session did not end"
poll_status=0
wait "$poller" || poll_status=$?
forget "$poller"
[ "$poll_status" -eq 0 ] ||
    fail "the polling session went wrong: $(grep -e expected -e 'poll_demo:' "$work/poll.out")"
expected_lines < "$work/poll.out" > "$work/expected.txt"
want=$(lines_of "$work/expected.txt")
[ "$want" -lt 2000 ] || fail "the session made $want frames, past the capture limit"

# A few passes over the session's last frame, then Quit: the backup catches up on Quit.
sleep 0.5
quit_window
[ "$window_status" -eq 0 ] || fail "the window ended with $window_status"

backup=$work/window/Backup.mlog
[ -s "$backup" ] || fail "no backup file in the window's folder"
"$cli" replay "$backup" > "$work/replayed.txt" 2> "$work/replay.err" ||
    fail "replay of the backup: $(cat "$work/replay.err")"
strip_timestamps < "$work/replayed.txt" > "$work/listed.txt"
crc_lines=$(grep -c "CRC" "$work/listed.txt" || true)
diff -u "$work/expected.txt" "$work/listed.txt" > "$work/listed.diff" ||
    fail "the window's capture differs from the session ($crc_lines CRC-error lines):" \
        "$(head -n 20 "$work/listed.diff")"

stop_process "$bus"
read -r _ received missed <<< "$(peer_figures 2)"
[ "${missed:-1}" -eq 0 ] || fail "the line could not deliver $missed bytes to the window"
echo "PASS: $want frames intact, $during transactions during a $pause_seconds s pause," \
    "$received bytes received by the window"

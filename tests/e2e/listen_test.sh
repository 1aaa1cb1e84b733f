#!/usr/bin/env bash
# quillon-cli listen watches a polling session between real Modbus peers on the virtual line:
# mbpoll as the master, the pymodbus slave answering units 1 and 2, exceptions and a silent
# unit. Every query and response must be listed in order with the right tag, name, node,
# address and byte counts, without a CRC error; the listener must have read every byte that
# passed; the saved capture file must replay to the same lines; the live pcap file must hold
# every listed frame as tshark decodes it; and no backup file is written.
#
#   tests/e2e/listen_test.sh BUILD_FOLDER
set -euo pipefail

build=$(cd "${1:?usage: listen_test.sh BUILD_FOLDER}" && pwd)
limit=150 # seconds for the whole test
rounds=${QUILLON_E2E_ROUNDS:-25}
source "$(dirname "$0")/e2e_lib.sh"

need_listen
need_tools mbpoll timeout tshark "$python"

# Paced like a real 38400 8N1 line: peer0 the master, peer1 the slave, peer2 the monitor.
start_bus 3 --baud 38400 --format 8N1
start_listener 2 --parity N --save "$work/capture.mlog" --pcap "$work/capture.pcap" --stats
start_slave 1 1,2

"$root/tools/poll_demo.sh" "$work/bus/peer0" --rounds "$rounds" --seconds 100 --units "1 2" \
    --silent 9 --baud 38400 --timeout 2 --silent-timeout 0.3 > "$work/poll.out" 2>&1 ||
    fail "the polling session went wrong: $(grep -e expected -e 'poll_demo:' "$work/poll.out")"
expected_lines < "$work/poll.out" > "$work/expected.txt"
want=$(lines_of "$work/expected.txt")
transactions=$((rounds * 10))
grep -q "poll_demo: $transactions transactions" "$work/poll.out" ||
    fail "the master did not run $transactions transactions: $(tail -n 1 "$work/poll.out")"

# The session's last frame is a query to the silent unit, which its own length and CRC settle.
wait_until 10 has_lines "$work/listen.out" "$want" ||
    fail "the listener listed $(lines_of "$work/listen.out") of $want lines"
stop_process "$listener" INT
[ "$stopped_status" -eq 0 ] || fail "the listener ended with $stopped_status"

strip_timestamps < "$work/listen.out" > "$work/listed.txt"
diff -u "$work/expected.txt" "$work/listed.txt" > "$work/listed.diff" ||
    fail "listed lines differ from the session: $(head -n 20 "$work/listed.diff")"
! grep -q "CRC Error" "$work/listen.out" || fail "a CRC error was listed"
grep -q "^quillon-cli: $want lines: " "$work/listen.err" ||
    fail "the listener's figures: $(tail -n 1 "$work/listen.err")"

# Every line in the file as it was listed, and the file replays to the same lines.
[ "$(lines_of "$work/capture.mlog")" -eq "$want" ] ||
    fail "the capture file holds $(lines_of "$work/capture.mlog") of $want lines"
"$cli" replay "$work/capture.mlog" > "$work/replayed.txt" 2> "$work/replay.err" ||
    fail "replay of the capture file: $(cat "$work/replay.err")"
cmp -s "$work/listen.out" "$work/replayed.txt" ||
    fail "the capture file replays to other lines: $(diff "$work/listen.out" "$work/replayed.txt" | head)"
[ ! -e "$work/listen/Backup.mlog" ] || fail "the listener wrote a backup file"

# The pcap file written as the lines were listed: one packet per line, as tshark decodes it, with
# the node, function and CRC status of the line's frame (told by the CSV export of the saved
# capture, whose lines are the listed ones), and the arrival of its first byte: before the pass
# that listed it, by a pass interval and a frame's time, and whatever the scheduler adds to
# them on a loaded machine (a sanitizer build on two busy cores: 0.26 s seen), so 1 s at most.
"$cli" export "$work/capture.mlog" --csv "$work/capture.csv" 2> "$work/export.err" ||
    fail "CSV export of the capture file: $(cat "$work/export.err")"
"$python" "$root/tests/e2e/check_export.py" --lines "$work/listen.out" --csv "$work/capture.csv" \
    --pcap "$work/capture.pcap" --mlog "$work/capture.mlog" --arrival-before 1 \
    > "$work/pcap.check" 2>&1 ||
    fail "the live pcap file: $(cat "$work/pcap.check")"

# The listener read every byte that the master and the slave put on the line.
stop_process "$slave"
stop_process "$bus" INT
master=$(peer_figures 0)
slave_sent=$(peer_figures 1)
monitor=$(peer_figures 2)
[ -n "$master" ] && [ -n "$monitor" ] || fail "the line reported no figures"
carried=$((${master%% *} + ${slave_sent%% *}))
[ "$monitor" = "0 $carried 0" ] ||
    fail "the monitor's peer sent/received/missed '$monitor', the line carried $carried"
grep -q " $carried bytes read in " "$work/listen.err" ||
    fail "the listener read other than $carried bytes: $(tail -n 1 "$work/listen.err")"
echo "PASS: $transactions transactions, $want lines, $carried bytes, replayed the same;" \
    "$(cat "$work/pcap.check")"

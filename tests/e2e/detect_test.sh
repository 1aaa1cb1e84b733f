#!/usr/bin/env bash
# quillon-cli listen --baud auto on a paced 19200 8E1 line where mbpoll polls the pymodbus slave:
# the listener finds the rate by listening alone, says so on stderr, puts nothing on the line,
# and then lists the traffic without a CRC error. (A pseudo-terminal keeps no parity and counts
# no UART errors, so every format at 19200 is heard alike and even parity stands.)
#
#   tests/e2e/detect_test.sh BUILD_FOLDER
set -euo pipefail

build=$(cd "${1:?usage: detect_test.sh BUILD_FOLDER}" && pwd)
limit=150 # seconds for the whole test
source "$(dirname "$0")/e2e_lib.sh"

need_listen
need_tools mbpoll timeout "$python"

start_bus 3 --baud 19200 --format 8E1
start_slave 1 1,2 --baud 19200
track "$work/poll.out" "$work/poll.err" "$root/tools/poll_demo.sh" "$work/bus/peer0" \
    --rounds 1000 --seconds 100 --units "1 2" --silent 9 --baud 19200 --quiet
poller=$last_pid
mkdir -p "$work/listen"
(cd "$work/listen" && exec "$cli" listen "$work/bus/peer2" --baud auto) \
    > "$work/listen.out" 2> "$work/listen.err" &
listener=$!
pids+=("$listener")
wait_until 90 grep -qs "listening on" "$work/listen.err" ||
    fail "the listener found no settings: $(cat "$work/listen.err")"
grep -Eq '^line settings: 19200 8E1 \(detected in [0-9]+\.[0-9] s\)$' "$work/listen.err" ||
    fail "detection said: $(cat "$work/listen.err")"
wait_until 20 has_lines "$work/listen.out" 40 ||
    fail "the listener listed $(lines_of "$work/listen.out") lines"
# The line falls silent before the listener stops: the end of a run lists what it holds, and a
# frame cut off by the stop would be a CRC error line.
stop_process "$poller" TERM
sleep 1
stop_process "$listener" INT
[ "$stopped_status" -eq 0 ] || fail "the listener ended with $stopped_status"
# A monitor that joins a running line may first hear the tail of a frame, and the end of a run
# lists what it holds: between the first and the last whole frame, no CRC error.
inside=$(awk '!/CRC Error/ { if (first == "") first = NR; last = NR } { line[NR] = $0 }
    END { for (i = first; i <= last; i++) if (line[i] ~ /CRC Error/) print line[i] }' \
    "$work/listen.out")
[ -z "$inside" ] || fail "CRC errors listed: $(head -n 3 <<< "$inside")"

kill -INT "$bus"
wait "$bus" || fail "the line did not stop cleanly"
forget "$bus"
[ "$(peer_figures 2 | cut -d' ' -f1)" = 0 ] || fail "the listener transmitted: $(peer_figures 2)"
sed -n "/listening on/q;p" "$work/listen.err" >&2
echo "PASS: $(head -n 1 "$work/listen.err"), $(lines_of "$work/listen.out") lines, nothing sent"

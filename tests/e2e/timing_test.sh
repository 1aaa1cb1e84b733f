#!/usr/bin/env bash
# Frame timing on a paced 1200 8N1 line, where 3.5 character times are 29 ms and 1.5 are 12.5 ms:
# the pymodbus slave answers unit 1 with no gap after the query, pauses 60 ms inside every
# answer of unit 2, and answers unit 3 by the rules. mbpoll asks each unit once a round, with
# pauses between its runs. quillon-cli listen --stats --json must flag every answer of unit 1
# as too soon and every answer of unit 2 as paused inside, list them without a CRC error, and
# flag nothing of unit 3 or of any query.
#
#   tests/e2e/timing_test.sh BUILD_FOLDER
set -euo pipefail

build=$(cd "${1:?usage: timing_test.sh BUILD_FOLDER}" && pwd)
limit=120 # seconds for the whole test
rounds=${QUILLON_E2E_ROUNDS:-4}
source "$(dirname "$0")/e2e_lib.sh"

need_listen
need_tools mbpoll timeout "$python"

start_bus 3 --baud 1200 --format 8N1
start_listener 2 --baud 1200 --parity N --stats --json
start_slave 1 1,2,3 --baud 1200 --no-gap 1 --pause-inside 2=60 --delay 2=60 --delay 3=60

for _ in $(seq "$rounds"); do
    for unit in 1 2 3; do
        timeout -k 1 20 mbpoll -m rtu -b 1200 -P none -0 -1 -o 2 -a "$unit" -r 0 -c 4 -t 4 \
            "$work/bus/peer0" >> "$work/poll.out" 2>&1 || true
        sleep 0.3
    done
done
answers=$(grep -c '^\[3\]:' "$work/poll.out" || true)
[ "$answers" -eq $((3 * rounds)) ] ||
    fail "the master got $answers of $((3 * rounds)) answers: $(tail -n 5 "$work/poll.out")"

wait_until 10 has_lines "$work/listen.out" $((6 * rounds)) ||
    fail "the listener listed $(lines_of "$work/listen.out") of $((6 * rounds)) lines"
stop_process "$listener" INT
[ "$stopped_status" -eq 0 ] || fail "the listener ended with $stopped_status"
! grep -q "CRC" "$work/listen.out" || fail "CRC errors listed: $(grep -m 3 CRC "$work/listen.out")"

grep '^{"frame_timing"' "$work/listen.err" | tail -n 1 > "$work/timing.json" ||
    fail "no frame timing: $(tail "$work/listen.err")"
"$python" - "$work/timing.json" "$rounds" << 'CHECK' > "$work/check.out" 2>&1 ||
import json
import sys

path, rounds = sys.argv[1], int(sys.argv[2])
timing = json.load(open(path))["frame_timing"]
nodes = {n["node"]: n for n in timing["nodes"]}
problems = []
# Each unit's query comes 0.3 s and more after the frame before: never too soon.
want = {1: (rounds, 0), 2: (0, rounds), 3: (0, 0)}
for node, (too_soon, paused) in want.items():
    n = nodes.get(node)
    if n is None or n["too_soon"] != too_soon or n["paused_inside"] != paused:
        problems.append(f"node {node}: {n}, expected {too_soon} too soon, {paused} paused inside")
# The slave stops 60 ms after handing over three bytes, which take 25 ms on the line.
if nodes.get(2) and (nodes[2]["longest_inside_ms"] or 0) < 30:
    problems.append(f"node 2: longest pause inside {nodes[2]['longest_inside_ms']} ms, "
                    "expected 35 or so")
if timing["limit_between_frames_ms"] != 29.166 or timing["limit_inside_ms"] != 12.5:
    problems.append(f"limits {timing}")
for node, n in sorted(nodes.items()):
    print(f"node {node}: shortest gap {n['shortest_gap_ms']} ms, longest pause inside "
          f"{n['longest_inside_ms']} ms, {n['too_soon']} too soon, "
          f"{n['paused_inside']} paused inside, UART errors {n['uart_errors']}")
for problem in problems:
    print("problem:", problem)
sys.exit(1 if problems else 0)
CHECK
    fail "the frame timing is wrong: $(cat "$work/check.out")"
cat "$work/check.out"
echo "PASS: $rounds rounds, answers with no gap and with a pause inside flagged, the rest not"

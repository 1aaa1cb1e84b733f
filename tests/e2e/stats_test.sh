#!/usr/bin/env bash
# quillon-cli listen --stats --json measures a polling session on the virtual line: mbpoll asks
# units 1, 2, 3 and 9 in turn, round after round; the pymodbus slave answers unit 1 after 5 ms,
# unit 2 after 20 ms and unit 3 after 100 ms, and never answers unit 9. The statistics must
# count every query and response, a timeout for every query to unit 9 but the last (which still
# waits when the capture stops), and a median response time within 2 ms of each unit's delay.
# The measured minimum, median, 95th percentile and maximum are printed.
#
#   tests/e2e/stats_test.sh BUILD_FOLDER
set -euo pipefail

build=$(cd "${1:?usage: stats_test.sh BUILD_FOLDER}" && pwd)
limit=150 # seconds for the whole test
rounds=${QUILLON_E2E_ROUNDS:-20}
tolerance_ms=${QUILLON_E2E_TOLERANCE_MS:-2}
source "$(dirname "$0")/e2e_lib.sh"

need_listen
need_tools mbpoll timeout "$python"

# Paced like a real 38400 8N1 line: peer0 the master, peer1 the slave, peer2 the monitor.
start_bus 3 --baud 38400 --format 8N1
start_listener 2 --parity N --stats --json
start_slave 1 1,2,3 --delay 1=5 --delay 2=20 --delay 3=100

for _ in $(seq "$rounds"); do
    # One read of 10 holding registers from each unit; unit 9's is left to time out.
    timeout -k 1 20 mbpoll -m rtu -b 38400 -P none -0 -1 -o 0.5 -a 1,2,3,9 -r 0 -c 10 -t 4 \
        "$work/bus/peer0" >> "$work/poll.out" 2>&1 || true
done
answers=$(grep -c '^\[9\]:' "$work/poll.out" || true)
[ "$answers" -eq $((3 * rounds)) ] ||
    fail "the master got $answers of $((3 * rounds)) answers: $(tail -n 5 "$work/poll.out")"

# Four queries and three responses a round.
wait_until 10 has_lines "$work/listen.out" $((7 * rounds)) ||
    fail "the listener listed $(lines_of "$work/listen.out") of $((7 * rounds)) lines"
stop_process "$listener" INT
[ "$stopped_status" -eq 0 ] || fail "the listener ended with $stopped_status"

grep '^{' "$work/listen.err" > "$work/stats.json" || fail "no statistics: $(tail "$work/listen.err")"
"$python" - "$work/stats.json" "$rounds" "$tolerance_ms" << 'CHECK' > "$work/check.out" 2>&1 ||
import json
import sys

path, rounds, tolerance = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
lines = [json.loads(line) for line in open(path)]
# A pseudo-terminal keeps no error counts: the line's UART errors are unavailable, not 0.
uart = [r for r in lines if "uart_errors" in r]
timing = [r for r in lines if "frame_timing" in r]
lines = [r for r in lines if "node" in r]
totals = lines[-1]
rows = {(r["node"], r["function"]): r for r in lines[:-1]}
problems = []
if not uart or any(r["uart_errors"] != "unavailable" for r in uart):
    problems.append(f"UART errors {uart}, expected unavailable")
# The slave answers after 5 ms and more, so no answer comes too soon; but libmodbus sends the
# next unit's query well within 3.5 character times of the answer before it, which is flagged.
nodes = {n["node"]: n for n in timing[-1]["frame_timing"]["nodes"]} if timing else {}
if set(nodes) != {1, 2, 3, 9} or nodes[1]["too_soon"] != 0 or \
        sum(nodes[n]["too_soon"] for n in (2, 3, 9)) == 0:
    problems.append(f"frame timing {timing}")
delays = {1: 5.0, 2: 20.0, 3: 100.0}
for unit, delay in delays.items():
    r = rows.get((unit, 3))
    if r is None:
        problems.append(f"no row for unit {unit}")
        continue
    want = {"queries": rounds, "responses": rounds, "exceptions": 0, "timeouts": 0,
            "crc_errors": 0, "rt_count": rounds}
    for key, value in want.items():
        if r[key] != value:
            problems.append(f"unit {unit}: {key} {r[key]}, expected {value}")
    # Single answers may stray further when the listener or the slave is not scheduled in
    # time on a busy machine; the median holds the measuring itself to the tolerance.
    if r["rt_median_ms"] is None or abs(r["rt_median_ms"] - delay) > tolerance:
        problems.append(f"unit {unit}: median {r['rt_median_ms']}, expected {delay} +- {tolerance}")
    if r["rt_min_ms"] is None or r["rt_min_ms"] > r["rt_median_ms"] or \
            r["rt_median_ms"] > r["rt_max_ms"]:
        problems.append(f"unit {unit}: min, median and max out of order: {r}")
    print(f"unit {unit} delay {delay} ms: min {r['rt_min_ms']} median {r['rt_median_ms']} "
          f"p95 {r['rt_p95_ms']} max {r['rt_max_ms']} ({r['rt_count']} answers)")
silent = rows.get((9, 3))
want = {"queries": rounds, "responses": 0, "timeouts": rounds - 1, "rt_count": 0}
for key, value in want.items():
    if silent is None or silent[key] != value:
        problems.append(f"unit 9: {key} {silent and silent[key]}, expected {value}")
if set(rows) != {(1, 3), (2, 3), (3, 3), (9, 3)}:
    problems.append(f"rows {sorted(rows)}")
if totals["node"] is not None or totals["frames"] != 7 * rounds or totals["crc_errors"] != 0 \
        or totals["timeouts"] != rounds - 1:
    problems.append(f"totals {totals}")
for problem in problems:
    print("problem:", problem)
sys.exit(1 if problems else 0)
CHECK
    fail "the statistics are wrong: $(cat "$work/check.out")"
cat "$work/check.out"
echo "PASS: $rounds rounds, counts, timeouts, median response times within $tolerance_ms ms"

# Shared by the end-to-end scripts: a work folder, processes tracked by their ids and stopped
# on every exit, a time limit, waiting helpers, and the virtual line with its Modbus slave.
#
# A script sets `limit` (seconds) and `build` (the build folder), then sources this file.

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
vbus=$build/quillon-vbus
cli=$build/quillon-cli
python=/usr/bin/python3
work=$(mktemp -d)
pids=()
skip_status=77

cleanup() {
    local status=$?
    local pid
    for pid in "${pids[@]}"; do
        kill -TERM "$pid" 2> /dev/null || true
    done
    for pid in "${pids[@]}"; do
        # Give each process a moment to end on its own, then make sure.
        for _ in $(seq 40); do
            kill -0 "$pid" 2> /dev/null || break
            sleep 0.05
        done
        kill -KILL "$pid" 2> /dev/null || true
        wait "$pid" 2> /dev/null || true
    done
    if [ -n "${QUILLON_E2E_KEEP:-}" ]; then
        echo "work folder kept: $work" >&2
    else
        rm -rf "$work"
    fi
    exit $status
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
    echo "FAIL: $*" >&2
    local log
    for log in bus.log slave.err listen.err window.err; do
        [ -s "$work/$log" ] && { echo "--- $log" >&2; tail -n 20 "$work/$log" >&2; }
    done
    exit 1
}

skip() {
    echo "SKIP: $*" >&2
    exit $skip_status
}

# Waits up to $1 seconds for the command that follows to succeed.
wait_until() {
    local seconds=$1
    shift
    local end=$((SECONDS + seconds))
    until "$@"; do
        [ $SECONDS -lt $end ] || return 1
        sleep 0.05
    done
}

# Starts a command in the background and tracks its id: track OUT ERR command...
track() {
    local out=$1 err=$2
    shift 2
    "$@" > "$out" 2> "$err" &
    last_pid=$!
    pids+=("$last_pid")
}

# Drops a process that has been waited for, so that cleanup never signals a reused id.
forget() {
    local kept=() pid
    for pid in "${pids[@]}"; do
        [ "$pid" = "$1" ] || kept+=("$pid")
    done
    pids=("${kept[@]}")
}

# Signals a tracked process and waits for it; its exit status lands in $stopped_status.
stop_process() {
    local pid=$1 signal=${2:-TERM}
    kill "-$signal" "$pid" 2> /dev/null || true
    stopped_status=0
    wait "$pid" || stopped_status=$?
    forget "$pid"
}

# Ends the whole script if it runs past its limit; the trap then cleans up.
(
    trap 'kill "$nap" 2> /dev/null; exit 0' TERM
    sleep "$limit" &
    nap=$!
    wait "$nap"
    echo "FAIL: the test ran past $limit s" >&2
    kill -TERM $$
) &
pids+=($!)

need_tools() {
    local tool
    for tool in "$@"; do
        command -v "$tool" > /dev/null || fail "$tool is missing (tools/setup.sh installs it)"
    done
}

need_listen() {
    [ -x "$cli" ] || fail "$cli is not built"
    "$cli" listen --help > /dev/null 2>&1 || skip "this quillon-cli was built without listen (Qt)"
}

lines_of() { [ -e "$1" ] && wc -l < "$1" || echo 0; }
has_lines() { [ "$(lines_of "$1")" -ge "$2" ]; }

# The line: start_bus PEERS vbus-options... ; devices in ${devices[@]}, links $work/bus/peerN.
start_bus() {
    local peers=$1
    shift
    [ -x "$vbus" ] || fail "$vbus is not built"
    track "$work/bus.out" "$work/bus.log" "$vbus" --peers "$peers" --names "$work/names" \
        --links "$work/bus" --verbose --stats "$@"
    bus=$last_pid
    wait_until 10 test -s "$work/names" || fail "the line did not write its peer names"
    mapfile -t devices < "$work/names"
    [ ${#devices[@]} -eq "$peers" ] || fail "expected $peers peer names, got ${#devices[@]}"
}

attached() { grep -qs "peer$1 .* attached" "$work/bus.log"; }

# The pymodbus slave on peer $1, answering units $2.
start_slave() {
    "$python" -c 'import pymodbus, serial_asyncio' 2> /dev/null ||
        fail "python3-pymodbus is missing (tools/setup.sh installs it)"
    track "$work/slave.out" "$work/slave.err" "$python" "$root/tools/modbus_slave.py" \
        "$work/bus/peer$1" --units "$2"
    slave=$last_pid
    local ready_or_gone='grep -qs ready "$work/slave.out" || ! kill -0 "$slave" 2> /dev/null'
    wait_until 30 eval "$ready_or_gone"
    grep -q ready "$work/slave.out" || fail "the slave did not start"
    wait_until 10 attached "$1" || fail "the slave did not attach"
}

# quillon-cli listen on peer $1 with more options; its folder is $work/listen.
start_listener() {
    local peer=$1
    shift
    mkdir -p "$work/listen"
    (cd "$work/listen" && exec "$cli" listen "$work/bus/peer$peer" "$@") \
        > "$work/listen.out" 2> "$work/listen.err" &
    listener=$!
    pids+=("$listener")
    wait_until 10 grep -qs "listening on" "$work/listen.err" || fail "the listener did not start"
    wait_until 10 attached "$peer" || fail "the listener did not attach"
}

# The figures the line reports at its end for peer $1: "sent received missed".
peer_figures() {
    sed -n "s/.*: peer$1 .* sent \([0-9]*\) received \([0-9]*\) missed \([0-9]*\)/\1 \2 \3/p" \
        "$work/bus.log"
}

# Turns the polling script's transcript (on stdin) into the Frame-list lines, without their
# timestamps, that the monitor must show for it.
expected_lines() {
    "$python" -c '
import re
import sys

names = {1: "Read Coil Status", 3: "Read Holding Regs", 4: "Read Input Regs",
         16: "Preset Multiple Regs"}
for text in sys.stdin:
    m = re.match(r"unit (\d+) fc (\d+) at (\d+) x(\d+): (\w+)", text)
    if not m:
        continue
    unit, code, address, count = (int(v) for v in m.groups()[:4])
    outcome = m.group(5)
    name = names[code]
    query_bytes = 8 if code != 16 else 9 + 2 * count
    print(f"(Q) {name}: Node = {unit} : Address = {address} : Registers {count // 2} : "
          f"Bytes = {query_bytes}")
    if outcome == "exception":
        print(f"(R) {name}: Node = {unit} : Bytes = 5 (Error 2)")
    elif outcome == "ok":
        data = {1: (count + 7) // 8, 3: 2 * count, 4: 2 * count, 16: 0}[code]
        length = 8 if code == 16 else 5 + data
        print(f"(R) {name}: Node = {unit} : Bytes = {length}")
'
}

# Frame-list lines without their timestamp texts (which end in two blanks).
strip_timestamps() { sed 's/^[^(]*  (/(/'; }

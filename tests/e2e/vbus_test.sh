#!/usr/bin/env bash
# A real Modbus master (mbpoll) and a real slave (pymodbus) talk over the virtual line while a
# third peer only listens. Checks the master's answers, an exception and a silent unit, that
# the listener heard every byte of both sides in order, and that the line stops cleanly.
#
#   tests/e2e/vbus_test.sh BUILD_FOLDER
set -euo pipefail

build=$(cd "${1:?usage: vbus_test.sh BUILD_FOLDER}" && pwd)
root=$(cd "$(dirname "$0")/../.." && pwd)
limit=120 # seconds for the whole test

# The shared scaffolding: work folder, tracked processes stopped on every exit, time limit,
# fail/wait_until/forget helpers.
# shellcheck source=e2e_lib.sh
source "$root/tests/e2e/e2e_lib.sh"
size_at_least() { [ "$(stat -c %s "$1" 2> /dev/null || echo 0)" -ge "$2" ]; }

[ -x "$vbus" ] || fail "$vbus is not built"
for tool in mbpoll socat timeout "$python"; do
    command -v "$tool" > /dev/null || fail "$tool is missing (tools/setup.sh installs it)"
done
"$python" -c 'import pymodbus, serial_asyncio' 2> /dev/null ||
    fail "python3-pymodbus is missing (tools/setup.sh installs it)"

# The line: peer0 for the master, peer1 for the slave, peer2 for the listener.
"$vbus" --peers 3 --baud 19200 --format 8E1 --names "$work/names" --links "$work/bus" \
    --verbose --stats > "$work/bus.out" 2> "$work/bus.log" &
bus=$!
pids+=("$bus")
wait_until 10 test -s "$work/names" || fail "the line did not write its peer names"
mapfile -t devices < "$work/names"
[ ${#devices[@]} -eq 3 ] || fail "expected 3 peer names, got ${#devices[@]}"
wait_until 5 has_lines "$work/bus.out" 3 || fail "the line did not print its names"
cmp -s "$work/names" "$work/bus.out" || fail "printed names differ from the names file"
for i in 0 1 2; do
    [ -c "${devices[$i]}" ] || fail "${devices[$i]} is not a terminal device"
    [ "$(readlink "$work/bus/peer$i")" = "${devices[$i]}" ] || fail "peer$i link is wrong"
done

attached() { grep -qs "peer$1 .* attached" "$work/bus.log"; }

# Every program sets the line's rate: a peer set otherwise hears what its UART would. (A Linux
# pseudo-terminal keeps no parity setting, so the programs' parity does not reach the line.)
socat -u "FILE:$work/bus/peer2,rawer,b19200" "CREATE:$work/heard.bin" 2> "$work/socat.err" &
pids+=($!)
wait_until 10 attached 2 || fail "the listener did not attach"

"$python" "$root/tools/modbus_slave.py" "$work/bus/peer1" --units 1,2 --baud 19200 \
    > "$work/slave.out" 2> "$work/slave.err" &
slave=$!
pids+=("$slave")
ready_or_gone() { grep -qs ready "$work/slave.out" || ! kill -0 "$slave" 2> /dev/null; }
wait_until 30 ready_or_gone
grep -q ready "$work/slave.out" || fail "the slave did not start"
wait_until 10 attached 1 || fail "the slave did not attach"

# One transaction of the master: poll ARGS... (the device, then any values to write, come
# after the options); output in $out, exit status in $status.
master=$work/bus/peer0
poll() {
    status=0
    out=$(timeout -k 1 10 mbpoll -m rtu -b 19200 -P none -0 -1 -o 1 "$@" 2>&1) || status=$?
}
values() { printf '%s\n' "$out" | awk -F'\t' '/^\[[0-9]+\]:/ { printf "%s ", $2 }'; }

check_read() {
    local what=$1 want=$2
    shift 2
    poll "$@"
    [ $status -eq 0 ] || fail "$what: mbpoll ended with $status: $out"
    [ "$(values)" = "$want" ] || fail "$what: got '$(values)', want '$want'"
}

check_read "holding registers of unit 1" "100 101 102 103 104 " -a 1 -t 4 -r 0 -c 5 "$master"
check_read "input registers of unit 2" "10207 10208 10209 " -a 2 -t 3 -r 7 -c 3 "$master"
check_read "coils of unit 2" "0 1 0 0 1 0 0 1 " -a 2 -t 0 -r 0 -c 8 "$master"
poll -a 1 -t 4 -r 20 "$master" 7 8 9
[ $status -eq 0 ] || fail "writing registers of unit 1: $out"
grep -q "Written 3 references" <<< "$out" || fail "writing registers of unit 1: $out"
check_read "registers just written to unit 1" "7 8 9 " -a 1 -t 4 -r 20 -c 3 "$master"
poll -a 2 -t 4 -r 99 -c 2 "$master"
grep -q "Illegal data address" <<< "$out" ||
    fail "reading past the map of unit 2 should give an exception: $out"
poll -a 9 -t 4 -r 0 -c 1 "$master"
grep -q "Connection timed out" <<< "$out" || fail "unit 9 should stay silent: $out"

# Every query and every answer, in the order they passed, as the listener must have heard them.
"$python" - "$work/expected.bin" << 'EOF'
import struct
import sys

def crc(frame):
    value = 0xFFFF
    for byte in frame:
        value ^= byte
        for _ in range(8):
            value = (value >> 1) ^ 0xA001 if value & 1 else value >> 1
    return frame + struct.pack("<H", value)

def words(*values):
    return b"".join(struct.pack(">H", v) for v in values)

frames = [
    bytes([1, 3]) + words(0, 5), bytes([1, 3, 10]) + words(100, 101, 102, 103, 104),
    bytes([2, 4]) + words(7, 3), bytes([2, 4, 6]) + words(10207, 10208, 10209),
    bytes([2, 1]) + words(0, 8), bytes([2, 1, 1, 0x92]),
    bytes([1, 16]) + words(20, 3) + bytes([6]) + words(7, 8, 9), bytes([1, 16]) + words(20, 3),
    bytes([1, 3]) + words(20, 3), bytes([1, 3, 6]) + words(7, 8, 9),
    bytes([2, 3]) + words(99, 2), bytes([2, 0x83, 2]),
    bytes([9, 3]) + words(0, 1),
]
with open(sys.argv[1], "wb") as out:
    out.write(b"".join(crc(f) for f in frames))
EOF
want=$(stat -c %s "$work/expected.bin")
wait_until 5 size_at_least "$work/heard.bin" "$want" ||
    fail "the listener heard $(stat -c %s "$work/heard.bin") of $want bytes"
cmp "$work/expected.bin" "$work/heard.bin" ||
    fail "the listener heard other bytes: $(od -An -tx1 "$work/heard.bin" | tr -d '\n')"

# A longer session through the polling script: every transaction ends as it should.
"$root/tools/poll_demo.sh" "$master" --rounds 3 --seconds 60 --units "1 2" --silent 7 \
    --baud 19200 --timeout 1 --quiet > "$work/demo.out" 2>&1 ||
    fail "poll_demo: $(cat "$work/demo.out")"
grep -q "30 transactions, 24 answered, 3 exceptions, 3 timeouts, 0 unexpected" "$work/demo.out" ||
    fail "poll_demo: $(cat "$work/demo.out")"

# The slave and the line stop cleanly on a signal; the line then reports what it carried.
kill -TERM "$slave"
wait "$slave" || fail "the slave did not stop cleanly"
forget "$slave"
heard=$(stat -c %s "$work/heard.bin")
kill -INT "$bus"
wait "$bus" || fail "the line did not stop cleanly"
forget "$bus"
[ ! -e "$work/names" ] || fail "the names file was left behind"
[ ! -e "$work/bus" ] || fail "the link folder was left behind"

# The listener missed nothing: it received all that the master and the slave sent.
sent0=$(sed -n 's/.*peer0 .* sent \([0-9]*\) .*/\1/p' "$work/bus.log")
sent1=$(sed -n 's/.*peer1 .* sent \([0-9]*\) .*/\1/p' "$work/bus.log")
got2=$(sed -n 's/.*peer2 .* received \([0-9]*\) missed \([0-9]*\)/\1 \2/p' "$work/bus.log")
[ -n "$sent0" ] || fail "the line reported no figures"
[ -n "$sent1" ] || fail "the line reported no figures"
[ "$got2" = "$((sent0 + sent1)) 0" ] ||
    fail "listener received/missed '$got2', master sent $sent0, slave sent $sent1"
[ "$heard" -eq $((sent0 + sent1)) ] || fail "listener file holds $heard of $((sent0 + sent1)) bytes"
echo "PASS: $((sent0 + sent1)) bytes over the line, all heard by the listener"

#!/usr/bin/env bash
# Drives mbpoll as a Modbus RTU master against tools/modbus_slave.py on a serial device, for
# a bounded number of rounds and a bounded time. Every round writes three holding registers
# (code 16) to each unit in turn, then reads holding registers (code 3), input registers
# (code 4) and coils (code 1) from each unit, reads beyond the register map of the first unit
# (an exception answer) and asks a unit that nobody serves (a timeout).
#
#   tools/poll_demo.sh DEVICE [--rounds N] [--seconds S] [--units "1 2"] [--silent U]
#                             [--baud B] [--parity none|even|odd] [--timeout S]
#                             [--silent-timeout S] [--log FILE] [--quiet]
#
# Prints one line per transaction ("unit 1 fc 3 at 0 x5: ok 100 101 102 103 104") and a last
# line "poll_demo: N transactions, A answered, E exceptions, T timeouts, U unexpected". Exits 0
# when every transaction ended as expected. --log FILE appends mbpoll's verbose output to FILE:
# libmodbus prints there every frame sent ("[01][03]...") and received ("<01><03>...").
set -uo pipefail

usage() {
    sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
}

[ $# -ge 1 ] || usage
device=$1
shift
rounds=10
seconds=60
units="1 2"
silent=9
baud=38400
parity=none
timeout_s=0.5
silent_timeout_s=
quiet=0
log=
while [ $# -gt 0 ]; do
    case $1 in
    --rounds) rounds=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --units) units=$2; shift 2 ;;
    --silent) silent=$2; shift 2 ;;
    --baud) baud=$2; shift 2 ;;
    --parity) parity=$2; shift 2 ;;
    --timeout) timeout_s=$2; shift 2 ;;
    --silent-timeout) silent_timeout_s=$2; shift 2 ;;
    --log) log=$2; shift 2 ;;
    --quiet) quiet=1; shift ;;
    *) usage ;;
    esac
done

command -v mbpoll > /dev/null || { echo "poll_demo: mbpoll is not installed" >&2; exit 2; }

transactions=0 answered=0 exceptions=0 timeouts=0 unexpected=0
deadline=$((SECONDS + seconds))
# mbpoll waits timeout_s for an answer (silent_timeout_s for the unit nobody serves, so that a
# slow machine can be given time without every round waiting that long for nothing); the hard
# limit only catches a hung master.
silent_timeout_s=${silent_timeout_s:-$timeout_s}
hard_limit=$(awk -v t="$timeout_s" 'BEGIN { printf "%d", t + 5 }')

# One transaction: "transact LABEL mbpoll-arguments...". The outcome lands in $outcome.
transact() {
    local label=$1
    shift
    local out verbose=()
    [ -z "$log" ] || verbose=(-v)
    out=$(timeout -k 1 "$hard_limit" mbpoll "${verbose[@]}" -m rtu -b "$baud" -P "$parity" -0 -1 \
        -o "$wait_s" "$@" 2>&1)
    local status=$?
    [ -z "$log" ] || printf '%s\n' "$out" >> "$log"
    transactions=$((transactions + 1))
    local values
    values=$(printf '%s\n' "$out" | awk -F'\t' '/^\[[0-9]+\]:/ { printf " %s", $2 }')
    # Here-strings, not pipes: with pipefail, grep -q leaving early would fail the writer.
    if grep -q 'Connection timed out' <<< "$out"; then
        outcome="timeout"
        timeouts=$((timeouts + 1))
    elif grep -q 'Illegal data address' <<< "$out"; then
        outcome="exception"
        exceptions=$((exceptions + 1))
    elif [ $status -eq 0 ]; then
        outcome="ok$values"
        answered=$((answered + 1))
    else
        outcome="failed: $(grep -v -e "^-- Polling" -e "^$" <<< "$out" | tr "\n" " ")"
    fi
    [ $quiet -eq 1 ] || echo "$label: $outcome"
}

expect() {
    local wanted=$1
    case $outcome in
    "$wanted"*) ;;
    *) unexpected=$((unexpected + 1)); echo "poll_demo: expected $wanted, got $outcome" >&2 ;;
    esac
}

first_unit=${units%% *}
wait_s=$timeout_s
for ((round = 0; round < rounds && SECONDS < deadline; round++)); do
    start=$((round % 90))
    # The writes go to every unit in turn: each 8-byte answer is followed on the line by a
    # request to another unit.
    for unit in $units; do
        transact "unit $unit fc 16 at 50 x3" -a "$unit" -t 4 -r 50 "$device" \
            $((round * 3)) $((round * 3 + 1)) $((round * 3 + 2))
        expect ok
    done
    for unit in $units; do
        transact "unit $unit fc 3 at $start x5" -a "$unit" -t 4 -r "$start" -c 5 "$device"
        expect ok
        transact "unit $unit fc 4 at $start x4" -a "$unit" -t 3 -r "$start" -c 4 "$device"
        expect ok
        transact "unit $unit fc 1 at 0 x10" -a "$unit" -t 0 -r 0 -c 10 "$device"
        expect ok
    done
    transact "unit $first_unit fc 3 at 98 x5" -a "$first_unit" -t 4 -r 98 -c 5 "$device"
    expect exception
    wait_s=$silent_timeout_s
    transact "unit $silent fc 3 at 0 x1" -a "$silent" -t 4 -r 0 -c 1 "$device"
    wait_s=$timeout_s
    expect timeout
done

echo "poll_demo: $transactions transactions, $answered answered, $exceptions exceptions," \
    "$timeouts timeouts, $unexpected unexpected"
[ $unexpected -eq 0 ]

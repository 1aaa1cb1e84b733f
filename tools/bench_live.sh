#!/usr/bin/env bash
# Zero-loss benchmark of live capture: mbpoll polls the pymodbus slave back to back on the
# virtual line while `quillon-cli listen` monitors it, then the line's own figures are compared
# with what the monitor listed. With --flood, tools/frame_flood.py puts queries and answers on
# the line with no gaps at all instead, so the line's pacing, not the peers, sets the rate.
#
#   tools/bench_live.sh BUILD_FOLDER [--baud B|unpaced] [--seconds S] [--registers N]
#                                    [--rate MS] [--flood]
#
# --baud       the line's pacing, 8N1 (default 115200); "unpaced" carries bytes as fast as
#              the peers write them
# --seconds    how long the master polls (default 60)
# --registers  holding registers per read, 1 to 100 (default 100: 205-byte responses)
# --rate       mbpoll's poll period in ms (default 10, its shortest)
# --flood      traffic from frame_flood.py instead of mbpoll and the slave
#
# Prints one result line: what the master and the slave sent, what the monitor listed, frames
# and bytes per second, the longest analysis pass, and "zero loss: yes" or "zero loss: NO".
# Exits 0 only for zero loss.
set -euo pipefail

build=$(cd "${1:?usage: bench_live.sh BUILD_FOLDER [options]}" && pwd)
shift
baud=115200
seconds=60
registers=100
rate=10
flood=0
while [ $# -gt 0 ]; do
    case $1 in
    --baud) baud=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --registers) registers=$2; shift 2 ;;
    --rate) rate=$2; shift 2 ;;
    --flood) flood=1; shift ;;
    *) sed -n '2,19p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
    esac
done

limit=$((seconds + 120))
source "$(dirname "$0")/../tests/e2e/e2e_lib.sh"
need_listen
need_tools mbpoll "$python"

if [ "$baud" = unpaced ]; then
    start_bus 3 --unpaced
    mbpoll_baud=921600
else
    start_bus 3 --baud "$baud" --format 8N1
    mbpoll_baud=$baud
fi
start_listener 2 --baud "$mbpoll_baud" --parity N --save "$work/capture.mlog" --stats
if [ $flood -eq 1 ]; then
    started=$(date +%s.%N)
    "$python" "$root/tools/frame_flood.py" "$work/bus/peer0" --seconds "$seconds" \
        --registers "$registers" > "$work/master.out" 2> "$work/master.err" ||
        fail "frame_flood: $(cat "$work/master.err")"
else
    start_slave 1 1 --baud "$mbpoll_baud"
    track "$work/master.out" "$work/master.err" mbpoll -m rtu -b "$mbpoll_baud" -P none -0 \
        -a 1 -t 4 -r 0 -c "$registers" -l "$rate" -o 1 "$work/bus/peer0"
    master_pid=$last_pid
    started=$(date +%s.%N)
    sleep "$seconds"
    stop_process "$master_pid" INT
fi
polled=$(awk -v s="$started" -v e="$(date +%s.%N)" 'BEGIN { printf "%.3f", e - s }')
# The last answer passes the line, then the monitor takes a last pass as it stops.
sleep 1
stop_process "$listener" INT
[ "$stopped_status" -eq 0 ] || fail "the listener ended with $stopped_status"
[ $flood -eq 1 ] || stop_process "$slave"
stop_process "$bus" INT

read -r sent0 _ _ <<< "$(peer_figures 0)"
read -r sent1 _ _ <<< "$(peer_figures 1)"
read -r _ received2 missed2 <<< "$(peer_figures 2)"
response_bytes=$((5 + 2 * registers))
if [ $flood -eq 1 ]; then
    # Queries and answers both leave peer0.
    queries=$((sent0 / (8 + response_bytes)))
    responses=$queries
    whole=$((sent0 % (8 + response_bytes) == 0))
else
    queries=$((sent0 / 8))
    responses=$((sent1 / response_bytes))
    whole=$((sent0 % 8 == 0 && sent1 % response_bytes == 0))
fi
figures=$(sed -n 's/^quillon-cli: \([0-9]*\) lines: \([0-9]*\) queries, \([0-9]*\) responses, \([0-9]*\) unknown, \([0-9]*\) CRC errors; \([0-9]*\) bytes read in \([0-9]*\) passes, longest pass \([0-9.]*\) ms$/\1 \2 \3 \4 \5 \6 \7 \8/p' "$work/listen.err")
[ -n "$figures" ] || fail "the listener reported no figures: $(tail -n 2 "$work/listen.err")"
read -r lines listed_q listed_r unknown crc bytes_read passes longest <<< "$figures"

zero=yes
[ "$whole" -eq 1 ] || zero=NO
[ "$listed_q" -eq "$queries" ] && [ "$listed_r" -eq "$responses" ] || zero=NO
[ "$unknown" -eq 0 ] && [ "$crc" -eq 0 ] || zero=NO
[ "$bytes_read" -eq $((sent0 + sent1)) ] && [ "$missed2" -eq 0 ] || zero=NO
[ "$(lines_of "$work/capture.mlog")" -eq "$lines" ] || zero=NO

frames_per_s=$(awk -v n="$lines" -v t="$polled" 'BEGIN { printf "%.1f", n / t }')
bytes_per_s=$(awk -v n="$bytes_read" -v t="$polled" 'BEGIN { printf "%.0f", n / t }')
source_name=$([ $flood -eq 1 ] && echo "flood" || echo "mbpoll")
echo "$source_name, line $baud 8N1, $polled s: sent $queries queries and $responses responses" \
    "($((sent0 + sent1)) bytes); listed $listed_q queries, $listed_r responses, $unknown unknown," \
    "$crc CRC errors, read $bytes_read bytes (line delivered $received2, missed $missed2);" \
    "$frames_per_s frames/s, $bytes_per_s bytes/s; $passes passes, longest $longest ms;" \
    "zero loss: $zero"
[ "$zero" = yes ]

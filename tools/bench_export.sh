#!/usr/bin/env bash
# Speed and memory of `quillon-cli export` over a capture of a million frames (mixed codes,
# about 1 % CRC errors, made once by tools/make_capture.py and kept), .mlog to .pcap and to
# .csv, whole process, from a warm file cache; then tshark's rate reading the exported pcap with
# CRC verification, measured in the same run.
#
#   tools/bench_export.sh BUILD_FOLDER [--frames N] [--keep DIR]
#
# Prints frames per second and the peak resident size of each export, tshark's frames per
# second and the ratio of the pcap export's rate to tshark's. Exits 1 when the pcap export is
# under 1 million frames/s, under 20 times tshark's rate, or a resident size reaches 50 MB.
set -euo pipefail

build=$(cd "${1:?usage: bench_export.sh BUILD_FOLDER [--frames N] [--keep DIR]}" && pwd)
shift
frames=1000000
keep=${TMPDIR:-/tmp}/quillon-bench-export
while [ $# -gt 0 ]; do
    case $1 in
    --frames) frames=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    *) sed -n '2,12p' "$0" | sed 's/^# \{0,1\}//' >&2; exit 2 ;;
    esac
done
root=$(cd "$(dirname "$0")/.." && pwd)
cli=$build/quillon-cli
[ -x "$cli" ] || { echo "bench_export: $cli is not built" >&2; exit 2; }
command -v tshark > /dev/null || { echo "bench_export: tshark is missing" >&2; exit 2; }
mkdir -p "$keep"
capture=$keep/capture-$frames.mlog
[ -s "$capture" ] || python3 "$root/tools/make_capture.py" "$capture" --frames "$frames"
cat "$capture" > /dev/null # warm the file cache

# Runs a command, printing "SECONDS PEAK_KB CPU_SECONDS"; the command's output goes to the file
# $1. The processor time (user and system) shows the rate a busy machine hides.
measure() {
    local out=$1
    shift
    local start end
    start=$(date +%s.%N)
    /usr/bin/env time -f '%M %U %S' -o "$keep/time.txt" "$@" > "$out"
    end=$(date +%s.%N)
    read -r peak user system < "$keep/time.txt"
    echo "$(echo "$end - $start" | bc -l) $peak $(echo "$user + $system" | bc -l)"
}

status=0
# Into a file the safe way (temporary file, flushed to the disk, renamed), and to standard
# output, which shows the cost of the flush.
read -r pcap_s pcap_kb pcap_cpu <<< "$(measure /dev/null "$cli" export "$capture" --pcap "$keep/out.pcap")"
read -r pcap_out_s pcap_out_kb _ <<< "$(measure /dev/null "$cli" export "$capture" --pcap -)"
read -r csv_s csv_kb _ <<< "$(measure /dev/null "$cli" export "$capture" --csv "$keep/out.csv")"
read -r csv_out_s csv_out_kb _ <<< "$(measure /dev/null "$cli" export "$capture" --csv -)"
packets=$(tshark -r "$keep/out.pcap" -T fields -e frame.number 2> /dev/null | tail -n 1)
read -r tshark_s tshark_kb tshark_cpu <<< "$(measure /dev/null tshark -r "$keep/out.pcap" \
    -o mbrtu.crc_verification:TRUE -T fields -e modbus.func_code)"

rate() { echo "$1 / $2" | bc -l | xargs printf '%.0f'; }
pcap_rate=$(rate "$packets" "$pcap_s")
pcap_out_rate=$(rate "$packets" "$pcap_out_s")
csv_rate=$(rate "$packets" "$csv_s")
csv_out_rate=$(rate "$packets" "$csv_out_s")
tshark_rate=$(rate "$packets" "$tshark_s")
ratio=$(echo "$pcap_rate / $tshark_rate" | bc -l | xargs printf '%.1f')
ratio_out=$(echo "$pcap_out_rate / $tshark_rate" | bc -l | xargs printf '%.1f')
printf 'export %d lines -> %d frames (load average %s)\n' "$frames" "$packets" \
    "$(cut -d' ' -f1-3 /proc/loadavg)"
report() { printf '  %-12s %.3f s, %8d frames/s, peak resident %d kB\n' "$@"; }
report "pcap file:" "$pcap_s" "$pcap_rate" "$pcap_kb"
report "pcap stdout:" "$pcap_out_s" "$pcap_out_rate" "$pcap_out_kb"
report "csv file:" "$csv_s" "$csv_rate" "$csv_kb"
report "csv stdout:" "$csv_out_s" "$csv_out_rate" "$csv_out_kb"
printf '  tshark with CRC verification: %.3f s, %d frames/s\n' "$tshark_s" "$tshark_rate"
printf '  pcap export / tshark: %s (file), %s (stdout)\n' "$ratio" "$ratio_out"
cpu_ratio=$(echo "$tshark_cpu / $pcap_cpu" | bc -l | xargs printf '%.1f')
printf '  processor time: pcap file export %.2f s, tshark %.2f s, ratio %s\n' "$pcap_cpu" \
    "$tshark_cpu" "$cpu_ratio"
for r in "$pcap_rate" "$csv_rate"; do
    [ "$r" -ge 1000000 ] || { echo "  an export into a file is under 1 million frames/s"; status=1; }
done
awk -v r="$ratio" 'BEGIN { exit !(r >= 20) }' || { echo "  under 20 times tshark"; status=1; }
for kb in "$pcap_kb" "$pcap_out_kb" "$csv_kb" "$csv_out_kb"; do
    [ "$kb" -lt 51200 ] || { echo "  resident size $kb kB reaches 50 MB"; status=1; }
done
exit $status

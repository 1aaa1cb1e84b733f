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

# Runs a command, printing "SECONDS PEAK_KB"; the command's output goes to the file $1.
measure() {
    local out=$1
    shift
    local start end
    start=$(date +%s.%N)
    /usr/bin/env time -f '%M' -o "$keep/time.txt" "$@" > "$out"
    end=$(date +%s.%N)
    echo "$(echo "$end - $start" | bc -l) $(cat "$keep/time.txt")"
}

status=0
read -r pcap_s pcap_kb <<< "$(measure /dev/null "$cli" export "$capture" --pcap "$keep/out.pcap")"
read -r csv_s csv_kb <<< "$(measure /dev/null "$cli" export "$capture" --csv "$keep/out.csv")"
packets=$(tshark -r "$keep/out.pcap" -T fields -e frame.number 2> /dev/null | tail -n 1)
read -r tshark_s tshark_kb <<< "$(measure /dev/null tshark -r "$keep/out.pcap" \
    -o mbrtu.crc_verification:TRUE -T fields -e modbus.func_code)"

rate() { echo "$1 / $2" | bc -l | xargs printf '%.0f'; }
pcap_rate=$(rate "$packets" "$pcap_s")
csv_rate=$(rate "$packets" "$csv_s")
tshark_rate=$(rate "$packets" "$tshark_s")
ratio=$(echo "$pcap_rate / $tshark_rate" | bc -l | xargs printf '%.1f')
printf 'export %d lines -> %d frames\n' "$frames" "$packets"
printf '  pcap: %.3f s, %d frames/s, peak resident %d kB\n' "$pcap_s" "$pcap_rate" "$pcap_kb"
printf '  csv:  %.3f s, %d frames/s, peak resident %d kB\n' "$csv_s" "$csv_rate" "$csv_kb"
printf '  tshark with CRC verification: %.3f s, %d frames/s\n' "$tshark_s" "$tshark_rate"
printf '  pcap export / tshark: %s\n' "$ratio"
[ "$pcap_rate" -ge 1000000 ] || { echo "  pcap export under 1 million frames/s"; status=1; }
awk -v r="$ratio" 'BEGIN { exit !(r >= 20) }' || { echo "  under 20 times tshark"; status=1; }
for kb in "$pcap_kb" "$csv_kb"; do
    [ "$kb" -lt 51200 ] || { echo "  resident size $kb kB reaches 50 MB"; status=1; }
done
exit $status

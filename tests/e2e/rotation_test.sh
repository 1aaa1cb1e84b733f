#!/usr/bin/env bash
# listen --save/--pcap rotation under a flood on the virtual line: 1990 query-answer pairs back to
# back at 921600 baud, files of 500 frames, the newest 3 kept, while its metrics are scraped
# without pause: no frame is lost, and the last scrape counts them all. Every kept file is whole (each
# capture log line a frame, each pcap file read to its end by tshark), the sequence numbers run on,
# the printed lines count every frame, and SIGHUP starts the next files without stopping the
# capture. The systemd template unit in docs/ passes `systemd-analyze verify` where it runs.
#
#   tests/e2e/rotation_test.sh BUILD_FOLDER
set -euo pipefail

build=$(cd "${1:?usage: rotation_test.sh BUILD_FOLDER}" && pwd)
limit=180 # seconds for the whole test
source "$(dirname "$0")/e2e_lib.sh"

need_listen
need_tools tshark curl "$python"

if command -v systemd-analyze > /dev/null; then
    unit="$work/quillon-listen@ttyUSB0.service"
    sed "s|/usr/local/bin/quillon-cli|$cli|" "$root/docs/systemd/quillon-listen@.service" > "$unit"
    systemd-analyze verify "$unit" > "$work/verify.out" 2>&1 ||
        fail "systemd-analyze refuses the unit: $(cat "$work/verify.out")"
else
    echo "SKIP (unit check): systemd-analyze is not installed" >&2
fi

pairs=1990
start_bus 2 --baud 921600 --format 8N1
start_listener 1 --baud 921600 --parity N --save capture.mlog --pcap capture.pcap \
    --rotate-frames 500 --keep 3 --metrics 127.0.0.1:0
url=$(sed -n 's/.*metrics at \(http:[^ ]*\)$/\1/p' "$work/listen.err")
[ -n "$url" ] || fail "the listener did not say where its metrics are"
(while curl -fsS -o /dev/null "$url"; do :; done) &
scraper=$!
pids+=("$scraper")
"$python" "$root/tools/frame_flood.py" "$work/bus/peer0" --pairs "$pairs" --seconds 60 \
    --registers 10 > "$work/flood.out" 2>&1 || fail "the flood failed: $(cat "$work/flood.out")"
frames=$((2 * pairs))
wait_until 20 has_lines "$work/listen.out" "$frames" ||
    fail "the listener printed $(lines_of "$work/listen.out") of $frames frames"
kill -0 "$scraper" 2> /dev/null || fail "a scrape failed during the flood"
stop_process "$scraper"
counted() {
    [ "$(curl -fsS "$url" | awk '/^quillon_frames_total/ { n += $2 } END { print n + 0 }')" = "$frames" ]
}
wait_until 5 counted || fail "the metrics do not count the $frames frames"

# 3980 frames: files 1 to 8, the last holding 480; files 6, 7 and 8 are kept.
check_files() {
    local extension=$1
    mapfile -t kept < <(cd "$work/listen" && ls capture-*."$extension")
    [ ${#kept[@]} -eq 3 ] || fail "kept .$extension files: ${kept[*]}"
    local i expected
    for i in 0 1 2; do
        [[ ${kept[$i]} =~ ^capture-00000$((6 + i))-[0-9]{8}T[0-9]{6}Z\.$extension$ ]] ||
            fail "file ${kept[$i]} is not number $((6 + i)) with its start time"
        expected=$([ $i -lt 2 ] && echo 500 || echo 480)
        local count
        if [ "$extension" = mlog ]; then
            count=$(lines_of "$work/listen/${kept[$i]}")
        else
            count=$(tshark -r "$work/listen/${kept[$i]}" 2> "$work/tshark.err" | wc -l)
            # tshark warns about running as root; anything else is a fault of the file.
            ! grep -v 'Running as user' "$work/tshark.err" | grep -q . ||
                fail "${kept[$i]} does not read whole: $(cat "$work/tshark.err")"
        fi
        [ "$count" -eq "$expected" ] || fail "${kept[$i]} holds $count frames, not $expected"
    done
}
check_files mlog
check_files pcap

# SIGHUP starts file 9 and the capture goes on into it.
kill -HUP "$listener"
wait_until 10 eval 'ls "$work/listen"/capture-000009-*.pcap > /dev/null 2>&1' ||
    fail "SIGHUP did not start the next files"
kill -0 "$listener" || fail "the listener ended on SIGHUP"
"$python" "$root/tools/frame_flood.py" "$work/bus/peer0" --pairs 5 --seconds 10 --registers 10 \
    > "$work/flood.out" 2>&1 || fail "the second flood failed"
wait_until 10 has_lines "$work/listen.out" $((frames + 10)) || fail "frames after SIGHUP were not listed"
stop_process "$listener" INT
[ "$stopped_status" -eq 0 ] || fail "the listener ended with $stopped_status"
[ "$(lines_of "$work/listen"/capture-000009-*.mlog)" -eq 10 ] ||
    fail "the file after SIGHUP holds $(lines_of "$work/listen"/capture-000009-*.mlog) frames, not 10"
[ "$(tshark -r "$work/listen"/capture-000009-*.pcap 2> /dev/null | wc -l)" -eq 10 ] ||
    fail "the pcap file after SIGHUP does not hold its 10 frames"
echo "PASS: rotated files whole, numbered and kept; SIGHUP starts the next ones"

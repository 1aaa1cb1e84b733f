#!/usr/bin/env bash
# quillon-cli export, checked by real readers: tshark must decode every exported frame as
# Modbus RTU with the unit id, function code, CRC status and time of its Frame-list line, and
# Python's csv module must read the CSV back to exactly the Frame-list lines and the capture's
# bytes. A pcap export replays to the same lines as its capture log file, standard output takes
# the same bytes as a file, and a capture longer than the load limit is exported whole.
#
#   tests/e2e/export_test.sh BUILD_FOLDER
set -euo pipefail

build=$(cd "${1:?usage: export_test.sh BUILD_FOLDER}" && pwd)
limit=300 # seconds for the whole test
source "$(dirname "$0")/e2e_lib.sh"

[ -x "$cli" ] || fail "$cli is not built"
need_tools tshark editcap cmp "$python"
check="$python $root/tests/e2e/check_export.py"

for mlog in "$root"/tests/data/*.mlog; do
    for frames in device standard; do
        name=$(basename "$mlog" .mlog).$frames
        "$cli" replay "$mlog" --frames "$frames" > "$work/$name.lines" 2> "$work/$name.err" ||
            fail "replay of $name: $(cat "$work/$name.err")"
        "$cli" export "$mlog" --frames "$frames" --csv "$work/$name.csv" 2> "$work/$name.err" ||
            fail "CSV export of $name: $(cat "$work/$name.err")"
        "$cli" export "$mlog" --frames "$frames" --pcap "$work/$name.pcap" 2> "$work/$name.err" ||
            fail "pcap export of $name: $(cat "$work/$name.err")"
        $check --lines "$work/$name.lines" --csv "$work/$name.csv" --pcap "$work/$name.pcap" \
            --mlog "$mlog" > "$work/$name.check" || fail "$name exports"

        # The pcap file is a capture too: loaded, it lists the same lines.
        "$cli" replay "$work/$name.pcap" --frames "$frames" > "$work/$name.pcap.lines" \
            2> "$work/$name.err" || fail "replay of $name.pcap: $(cat "$work/$name.err")"
        diff -u "$work/$name.lines" "$work/$name.pcap.lines" > "$work/$name.diff" ||
            fail "$name.pcap replays to other lines: $(head -n 20 "$work/$name.diff")"
        # Saved again as pcapng (Wireshark's own format), it still replays to them, silently.
        editcap -F pcapng "$work/$name.pcap" "$work/$name.pcapng" || fail "editcap of $name.pcap"
        "$cli" replay "$work/$name.pcapng" --frames "$frames" > "$work/$name.pcapng.lines" \
            2> "$work/$name.err" || fail "replay of $name.pcapng: $(cat "$work/$name.err")"
        [ ! -s "$work/$name.err" ] || fail "replay of $name.pcapng: $(cat "$work/$name.err")"
        cmp -s "$work/$name.lines" "$work/$name.pcapng.lines" ||
            fail "$name.pcapng replays to other lines"

        "$cli" export "$mlog" --frames "$frames" --pcap - > "$work/$name.stdout.pcap" ||
            fail "pcap export of $name to standard output"
        cmp -s "$work/$name.pcap" "$work/$name.stdout.pcap" ||
            fail "the pcap export of $name to standard output differs from the file"
        echo "$name: $(cat "$work/$name.check")"
    done
done

# Past the load limit: every frame of a 5000-frame capture, its bytes in order.
"$python" "$root/tools/make_capture.py" "$work/long.mlog" --frames 5000
"$cli" export "$work/long.mlog" --csv "$work/long.csv" 2> "$work/long.err" ||
    fail "CSV export of the long capture: $(cat "$work/long.err")"
"$cli" export "$work/long.mlog" --pcap - 2> "$work/long.err" | cat > "$work/long.pcap"
$check --csv "$work/long.csv" --pcap "$work/long.pcap" --mlog "$work/long.mlog" \
    > "$work/long.check" || fail "the long capture exports"
rows=$(($(wc -l < "$work/long.csv") - 1))
[ "$rows" -gt 2000 ] || fail "the long capture exported only $rows frames"
echo "long: $(cat "$work/long.check")"
echo "PASS: exports read by tshark and csv, pcap replays, standard output, $rows frames past the limit"

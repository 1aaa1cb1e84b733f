#!/usr/bin/env bash
# quillon-cli as Wireshark's capture program, driven by tshark itself from a home folder of the
# test's own:
# - `quillon-cli extcap --install` links it where that Wireshark looks, and `tshark -D` lists
#   the quillon interface; --uninstall takes it away again; the folder a newer Wireshark names,
#   both known folders without tshark, and a file of the user's own there is left alone;
# - a wrong port or a rate to be found is an error tshark reports with a failing exit, not a wait
#   without end;
# - a live `tshark -i quillon -o extcap.quillon.port:...` on the virtual line, while mbpoll polls
#   the pymodbus slave, holds every frame that a `listen --save` on the same line listed, with
#   the same bytes, unit, function and a good CRC, and the capture program ends cleanly when
#   tshark stops it;
# - a capture whose reader closes the pipe ends with status 0 at its next frame.
#
#   tests/e2e/extcap_test.sh BUILD_FOLDER
set -euo pipefail

build=$(cd "${1:?usage: extcap_test.sh BUILD_FOLDER}" && pwd)
limit=180
rounds=3
duration=90 # the live capture's bound; it is stopped once the polling session is over
source "$(dirname "$0")/e2e_lib.sh"

need_listen
need_tools mbpoll timeout tshark mkfifo "$python"

home=$work/home
mkdir -p "$home"
# tshark and the install command see only the test's home.
as_user() { env -u XDG_CONFIG_HOME HOME="$home" "$@"; }

as_user "$cli" extcap --install > "$work/install.out" 2> "$work/install.err" ||
    fail "extcap --install: $(cat "$work/install.err")"
as_user tshark -D > "$work/interfaces.txt" 2> /dev/null || fail "tshark -D failed"
grep -q "^[0-9]*\. quillon (" "$work/interfaces.txt" ||
    fail "tshark -D does not list quillon: $(cat "$work/install.out")"

# A capture that cannot start: tshark shows the capture program's reason and fails, well within
# the limit. Each case: option, its value, what tshark must show.
while IFS='|' read -r option value reason; do
    status=0
    as_user timeout 30 tshark -i quillon -o extcap.quillon.port:/dev/quillon-no-such-port \
        -o "extcap.quillon.$option:$value" -w "$work/none.pcapng" > /dev/null \
        2> "$work/wrong.err" || status=$?
    [ "$status" -ne 0 ] && [ "$status" -ne 124 ] ||
        fail "tshark with $option $value ended with status $status: $(cat "$work/wrong.err")"
    grep -qF "$reason" "$work/wrong.err" ||
        fail "tshark did not show why $option $value failed: $(cat "$work/wrong.err")"
done << 'EOF'
parity|N|cannot open port /dev/quillon-no-such-port
baud|auto|give the line's baud rate
EOF

# Paced like a real 38400 8N1 line: peer0 the master, peer1 the slave, peer2 the listener whose
# capture file is the reference, peer3 Wireshark's capture.
start_bus 4 --baud 38400 --format 8N1
start_listener 2 --parity N --save "$work/capture.mlog"
start_slave 1 1,2
track "$work/tshark.out" "$work/tshark.err" env -u XDG_CONFIG_HOME HOME="$home" tshark -i quillon \
    -o "extcap.quillon.port:$work/bus/peer3" -o extcap.quillon.baud:38400 \
    -o extcap.quillon.parity:N -a "duration:$duration" -w "$work/live.pcapng"
tshark_pid=$last_pid
wait_until 15 attached 3 || fail "the capture program did not attach: $(cat "$work/tshark.err")"

"$root/tools/poll_demo.sh" "$work/bus/peer0" --rounds "$rounds" --seconds 60 \
    --units "1 2" --silent 9 --baud 38400 --timeout 2 --silent-timeout 0.3 \
    > "$work/poll.out" 2>&1 ||
    fail "the polling session went wrong: $(grep -e expected -e 'poll_demo:' "$work/poll.out")"
transactions=$((rounds * 10))
grep -q "poll_demo: $transactions transactions" "$work/poll.out" ||
    fail "the master did not run $transactions transactions: $(tail -n 1 "$work/poll.out")"
want=$(expected_lines < "$work/poll.out" | wc -l)

# The last frame, a request to the silent unit, is settled by its length and CRC at once; tshark
# then stops as on Ctrl-C and stops its capture program.
wait_until 10 has_lines "$work/listen.out" "$want" ||
    fail "the listener listed $(lines_of "$work/listen.out") of $want lines"
sleep 0.5
stop_process "$tshark_pid" INT
tshark_status=$stopped_status
[ "$tshark_status" -eq 0 ] || fail "tshark ended with $tshark_status: $(cat "$work/tshark.err")"
! grep -q "Error by extcap" "$work/tshark.err" ||
    fail "the capture program did not end cleanly: $(cat "$work/tshark.err")"
detached() { grep -qs "peer3 .* detached" "$work/bus.log"; }
wait_until 5 detached || fail "the capture program still holds the port after tshark ended"
stop_process "$listener" INT
[ "$stopped_status" -eq 0 ] || fail "the listener ended with $stopped_status"
! grep -q "CRC Error" "$work/listen.out" || fail "a CRC error was listed"

# Every listed frame is one packet of the live capture, decoded as Modbus RTU with its unit,
# function and good CRC, its bytes those of the saved records, arriving no later than listed
# (the other process lists it at its next pass, which a loaded machine may hold back).
"$cli" export "$work/capture.mlog" --csv "$work/capture.csv" 2> "$work/export.err" ||
    fail "CSV export of the capture file: $(cat "$work/export.err")"
"$python" "$root/tests/e2e/check_export.py" --lines "$work/listen.out" --csv "$work/capture.csv" \
    --pcap "$work/live.pcapng" --mlog "$work/capture.mlog" --arrival-before 1 \
    > "$work/live.check" 2>&1 || fail "the live capture: $(cat "$work/live.check")"

# The reader closes the pipe after the header: the next frame ends the capture, with status 0.
mkfifo "$work/pipe"
track "$work/reader.out" "$work/reader.err" head -c 24 "$work/pipe"
track "$work/direct.out" "$work/direct.err" "$cli" --capture --extcap-interface quillon \
    --fifo "$work/pipe" --port "$work/bus/peer3" --baud 38400 --parity N
direct=$last_pid
wait_until 10 test -s "$work/reader.out" || fail "the capture wrote no header into the pipe"
"$root/tools/poll_demo.sh" "$work/bus/peer0" --rounds 1 --seconds 10 --units 1 --silent 9 \
    --baud 38400 --timeout 2 --silent-timeout 0.3 > "$work/poll2.out" 2>&1 || true
gone='! kill -0 "$direct" 2> /dev/null'
wait_until 10 eval "$gone" || fail "the capture went on after its reader had gone"
direct_status=0
wait "$direct" || direct_status=$?
forget "$direct"
[ "$direct_status" -eq 0 ] ||
    fail "the capture ended with $direct_status when its reader went: $(cat "$work/direct.err")"

# Wireshark 4.2 and later name their own personal extcap folder; with no tshark to ask, both
# folders that Wireshark versions use get the link.
mkdir -p "$work/newer" "$work/none" "$work/home42" "$work/home0"
cat > "$work/newer/tshark" << 'EOF'
#!/bin/sh
printf 'Personal configuration:\t%s/.config/wireshark\n' "$HOME"
printf 'Personal Extcap path:\t%s/.local/lib/wireshark/extcap\n' "$HOME"
EOF
chmod +x "$work/newer/tshark"
env -u XDG_CONFIG_HOME HOME="$work/home42" PATH="$work/newer:$PATH" "$cli" extcap --install \
    > /dev/null 2>&1 || fail "extcap --install for a newer Wireshark"
[ -L "$work/home42/.local/lib/wireshark/extcap/quillon" ] &&
    [ ! -e "$work/home42/.config/wireshark/extcap/quillon" ] ||
    fail "the link is not in the folder a newer Wireshark names"
env -u XDG_CONFIG_HOME HOME="$work/home0" PATH="$work/none" "$cli" extcap --install \
    > /dev/null 2>&1 || fail "extcap --install without tshark"
[ -L "$work/home0/.local/lib/wireshark/extcap/quillon" ] &&
    [ -L "$work/home0/.config/wireshark/extcap/quillon" ] ||
    fail "without tshark, the link is not in both known folders"
env -u XDG_CONFIG_HOME HOME="$work/home0" PATH="$work/none" "$cli" extcap --uninstall \
    > /dev/null 2>&1 || fail "extcap --uninstall without tshark"
[ -z "$(find "$work/home0" -name quillon)" ] || fail "--uninstall left a link"
# A file of the user's own where the link would go is never replaced.
rm "$work/home42/.local/lib/wireshark/extcap/quillon"
echo mine > "$work/home42/.local/lib/wireshark/extcap/quillon"
! env -u XDG_CONFIG_HOME HOME="$work/home42" PATH="$work/newer:$PATH" "$cli" extcap --install \
    > /dev/null 2>&1 || fail "extcap --install replaced a file of the user's"
grep -q mine "$work/home42/.local/lib/wireshark/extcap/quillon" || fail "the user's file changed"

as_user "$cli" extcap --uninstall > "$work/uninstall.out" 2>&1 ||
    fail "extcap --uninstall: $(cat "$work/uninstall.out")"
as_user tshark -D 2> /dev/null | grep -q "quillon (" && fail "tshark still lists quillon"

echo "PASS: installed, listed, wrong port reported; $transactions transactions, $want frames" \
    "captured live through tshark: $(cat "$work/live.check"); reader gone ends the capture"

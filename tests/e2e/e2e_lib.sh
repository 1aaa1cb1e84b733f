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
    trap 'kill "${nap:-}" 2> /dev/null; exit 0' TERM
    sleep "$limit" > /dev/null 2>&1 &
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
    local answer
    answer=$("$cli" listen /dev/quillon-no-such-port 2>&1 || true)
    if grep -q "not in this build" <<< "$answer"; then
        skip "this quillon-cli was built without listen (Qt)"
    fi
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

# The pymodbus slave on peer $1, answering units $2; more slave options may follow.
start_slave() {
    "$python" -c 'import pymodbus, serial_asyncio' 2> /dev/null ||
        fail "python3-pymodbus is missing (tools/setup.sh installs it)"
    track "$work/slave.out" "$work/slave.err" "$python" "$root/tools/modbus_slave.py" \
        "$work/bus/peer$1" --units "$2" "${@:3}"
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

# An X server of the test's own on a free display; sets DISPLAY.
start_display() {
    # The server takes the first free display itself and tells its number, so two scripts that
    # start at once never share one.
    track "$work/xvfb.out" "$work/xvfb.err" Xvfb -displayfd 1 -screen 0 1280x1024x24 -nolisten tcp
    wait_until 10 grep -q '^[0-9]' "$work/xvfb.out" || fail "Xvfb did not start"
    export DISPLAY=":$(head -n 1 "$work/xvfb.out")"
    wait_until 10 xdotool getmouselocation > /dev/null 2>&1 || fail "Xvfb did not start on $DISPLAY"
}

# The demo session of the window tests: a display, a 3-peer line at 38400 8N1, the pymodbus slave
# answering units 1 and 2 on peer 1, and the window set up for peer 2.
start_window_session() {
    start_display
    start_bus 3 --baud 38400 --format 8N1
    start_slave 1 1,2
    start_window 2 38400 N
}

# The window with its own settings folder, home and working folder ($work/window), the
# monitor's port preselected as peer $1 of the line: start_window PEER BAUD PARITY.
start_window() {
    local port=${devices[$1]#/dev/}
    [ ${#port} -le 9 ] || fail "the line's device name $port does not fit a port setting"
    mkdir -p "$work/config/Varnel" "$work/home" "$work/window"
    mkdir -m 700 -p "$work/runtime"
    printf '[Settings]\nPort=%s\nBaud=%s\nParity=%s\nDataLength=8\nStopBits=1\n' \
        "$port" "$2" "$3" > "$work/config/Varnel/Orvane.conf"
    (cd "$work/window" && HOME=$work/home XDG_CONFIG_HOME=$work/config \
        XDG_RUNTIME_DIR=$work/runtime QT_QPA_PLATFORM=xcb exec "$build/quillon") > "$work/window.out" 2> "$work/window.err" &
    window_pid=$!
    pids+=("$window_pid")
    wait_until 20 find_window "^Orvane V2 \(Modbus Monitor\)$" ||
        fail "the Monitor window did not show"
    main_window=$found_window
    read -r window_width window_height <<< "$(xdotool getwindowgeometry --shell "$main_window" |
        awk -F= '/^WIDTH/ { w = $2 } /^HEIGHT/ { h = $2 } END { print w, h }')"
}

find_window() {
    found_window=$(xdotool search --onlyvisible --name "$1" 2> /dev/null | head -n 1)
    [ -n "$found_window" ]
}

# Clicks the Monitor window at the centre of a control given in dialog units: x y width height
# (the window is 461 x 326 dialog units).
click_control() {
    local x y
    x=$(awk -v w="$window_width" -v u="$1" -v s="$3" 'BEGIN { printf "%d", (u + s / 2) * w / 461 }')
    y=$(awk -v h="$window_height" -v u="$2" -v s="$4" 'BEGIN { printf "%d", (u + s / 2) * h / 326 }')
    xdotool mousemove --window "$main_window" "$x" "$y" click 1
}

# Go, then OK in Port Setup; waits until the monitor's peer $1 is attached to the line.
press_go_and_ok() {
    click_control 7 177 38 14
    wait_until 20 find_window "^Port Setup" || fail "Port Setup did not show"
    local setup=$found_window
    # OK has the focus when Port Setup opens; Enter presses it.
    xdotool windowfocus --sync "$setup" 2> /dev/null || true
    xdotool key Return
    wait_until 20 attached "$1" || fail "the window did not open its port"
}

# Quit (the Quit button) and wait for the window to end.
quit_window() {
    click_control 404 177 36 14
    local gone='! kill -0 "$window_pid" 2> /dev/null'
    wait_until 20 eval "$gone" || fail "the window did not end on Quit"
    window_status=0
    wait "$window_pid" || window_status=$?
    forget "$window_pid"
}

resident_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
peak_resident_kb() { awk '/^VmHWM:/ { print $2 }' "/proc/$1/status"; }

#!/usr/bin/env bash
# Builds Quillon and starts the monitor.
#
# With a serial adapter plugged in (/dev/ttyUSB*, /dev/ttyACM*) it starts the monitor: the
# window when there is a display, else `quillon-cli listen` on the first adapter until Ctrl-C.
#
# Without an adapter it starts a demo line: the virtual RS-485 line, a Modbus slave answering
# units 1 and 2, and mbpoll polling them (with an exception and a silent unit every round).
# With a display the window starts with that line offered in Port Setup, through a
# configuration folder of its own (your own settings are never read or written): press Go,
# then OK. Without a display `quillon-cli listen` prints what passes on the line for
# QUILLON_DEMO_SECONDS seconds (default 10). Everything the demo started is stopped when the
# window closes or the time is up; the window's Backup.mlog stays in build/demo/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
bash tools/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
# Only what this script runs: the window, the headless companion and the virtual line. The
# test command (tools/test.sh) builds everything else.
cmake --build build -j "$(nproc)" --target quillon quillon-cli quillon-vbus

have_display=0
[ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ] && [ -x build/quillon ] && have_display=1

adapters=()
for device in /dev/ttyUSB* /dev/ttyACM*; do
    [ -c "$device" ] && adapters+=("$device")
done
if [ ${#adapters[@]} -gt 0 ]; then
    if [ $have_display -eq 1 ]; then
        exec build/quillon
    fi
    echo "No display: listening on ${adapters[0]} (Ctrl-C stops; quillon-cli listen --help)"
    exec build/quillon-cli listen "${adapters[0]}"
fi

work=$(mktemp -d)
pids=()
# Drops a process that has been waited for, so that it is never signalled again.
forget() {
    local kept=() pid
    for pid in "${pids[@]}"; do
        [ "$pid" = "$1" ] || kept+=("$pid")
    done
    pids=("${kept[@]}")
}
stop_all() {
    local pid
    for pid in "${pids[@]}"; do
        kill -TERM "$pid" 2> /dev/null || true
    done
    for pid in "${pids[@]}"; do
        wait "$pid" 2> /dev/null || true
    done
    rm -rf "$work"
}
trap stop_all EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

echo "No serial adapter found: starting the demo line."
build/quillon-vbus --peers 3 --baud 38400 --format 8N1 --names "$work/names" \
    --links "$work/bus" > /dev/null 2> "$work/bus.log" &
pids+=($!)
for _ in $(seq 100); do
    [ -s "$work/names" ] && break
    sleep 0.1
done
[ -s "$work/names" ] || { echo "The virtual line did not start:" >&2; cat "$work/bus.log" >&2; exit 1; }
mapfile -t devices < "$work/names"

/usr/bin/python3 tools/modbus_slave.py "$work/bus/peer1" --units 1,2 > "$work/slave.out" \
    2> "$work/slave.err" &
pids+=($!)
for _ in $(seq 300); do
    grep -qs ready "$work/slave.out" && break
    sleep 0.1
done
grep -qs ready "$work/slave.out" || { echo "The Modbus slave did not start:" >&2; cat "$work/slave.err" >&2; exit 1; }

tools/poll_demo.sh "$work/bus/peer0" --rounds 1000000 --seconds 86400 --units "1 2" --silent 9 \
    --baud 38400 --timeout 1 --silent-timeout 0.3 --quiet > "$work/poll.out" 2>&1 &
pids+=($!)

monitor_port=${devices[2]#/dev/}
if [ $have_display -eq 1 ]; then
    # The window reads its settings from this folder only; the demo line is preselected.
    config=$work/config
    mkdir -p "$config/Varnel" build/demo
    printf '[Settings]\nPort=%s\nBaud=38400\nParity=N\nDataLength=8\nStopBits=1\n' \
        "$monitor_port" > "$config/Varnel/Orvane.conf"
    echo "The demo line is $monitor_port. Press Go, then OK in Port Setup; close the window to end."
    (cd build/demo && XDG_CONFIG_HOME=$config exec "$root/build/quillon") &
    window=$!
    pids+=("$window")
    wait "$window" || true
    forget "$window"
    exit 0
fi

seconds=${QUILLON_DEMO_SECONDS:-10}
echo "No display: listening to the demo line ${devices[2]} for $seconds s."
build/quillon-cli listen "${devices[2]}" --parity N &
listener=$!
pids+=("$listener")
sleep "$seconds"
kill -INT "$listener"
wait "$listener" || true
forget "$listener"

#!/usr/bin/env bash
# quillon-cli listen against Modbus stacks it did not write, on the virtual line: a libmodbus
# master and a libmodbus slave (units 1 and 2; unit 9 never answers), and mbpoll against the
# pymodbus slave. Each profile runs one polling session; the frames the master sent and
# received, from libmodbus' debug output, are the truth. Every record of the listener's capture
# file is laid over that wire stream: a frame is listed exactly when one record holds exactly
# its bytes. Prints the figures of every profile and model, then asserts, with every such frame
# tagged as the query or response it is and every byte in the records in order:
# - the default model lists every frame exactly on traffic of the codes it has shapes for
#   (1, 3, 4, 16, 17 and their exceptions);
# - the standard model (--frames standard) lists every frame exactly on every profile; skipped
#   with a message when this quillon-cli has no --frames;
# - `quillon-cli values --json` over the standard model's capture holds exactly the last value
#   the wire carried (read, or written and confirmed) for every node, table and address.
#
#   tests/e2e/peers_test.sh BUILD_FOLDER
set -euo pipefail

build=$(cd "${1:?usage: peers_test.sh BUILD_FOLDER}" && pwd)
limit=240 # seconds for the whole test
rounds=${QUILLON_E2E_PEER_ROUNDS:-4}
source "$(dirname "$0")/e2e_lib.sh"
check=$root/tests/e2e/peers_check.py
shaped_codes=1,3,4,16,17

need_listen
need_tools mbpoll timeout "$python"
[ -x "$build/quillon-peer-master" ] && [ -x "$build/quillon-peer-slave" ] ||
    skip "the libmodbus peers are not built (libmodbus-dev is missing; tools/setup.sh installs it)"

models=(device)
if "$cli" listen --help 2>&1 | grep -q -- "--frames"; then
    models+=(standard)
else
    echo "SKIP (standard model): this quillon-cli has no --frames option" >&2
fi

# A listener for each model on peers 2, 3...: listen_on PEER DIR BAUD [listen options].
listen_on() {
    local peer=$1 dir=$2 baud=$3
    shift 3
    mkdir -p "$dir"
    (cd "$dir" && exec "$cli" listen "$work/bus/peer$peer" --baud "$baud" --parity N \
        --save "$dir/capture.mlog" --stats "$@") > "$dir/listen.out" 2> "$dir/listen.err" &
    pids+=("$!")
    listeners+=("$!")
    wait_until 10 grep -qs "listening on" "$dir/listen.err" || fail "a listener did not start"
    wait_until 10 attached "$peer" || fail "a listener did not attach"
}

failures=()

# One profile: run_profile NAME BAUD libmodbus|mbpoll [master options...]
run_profile() {
    local name=$1 baud=$2 master=$3
    shift 3
    local dir=$work/$name
    mkdir -p "$dir"
    local peers=$((2 + ${#models[@]}))
    start_bus "$peers" --baud "$baud" --format 8N1
    listeners=()
    local i
    for i in "${!models[@]}"; do
        local option=()
        [ "${models[$i]}" = device ] || option=(--frames "${models[$i]}")
        listen_on $((2 + i)) "$dir/${models[$i]}" "$baud" "${option[@]}"
    done

    if [ "$master" = libmodbus ]; then
        local delay=$1
        shift
        track "$dir/slave.out" "$dir/slave.err" "$build/quillon-peer-slave" "$work/bus/peer1" \
            --baud "$baud" --units 1,2 --delay-ms "$delay"
        slave=$last_pid
        wait_until 10 grep -qs ready "$dir/slave.out" || fail "the libmodbus slave did not start"
        wait_until 10 attached 1 || fail "the libmodbus slave did not attach"
        timeout -k 1 60 "$build/quillon-peer-master" "$work/bus/peer0" --baud "$baud" \
            --units 1,2 --silent 9 "$@" > "$dir/master.log" 2> "$dir/master.err" ||
            fail "$name: the master: $(grep -e unexpected "$dir/master.log" | head -n 3)"
    else
        # The slave must run at the line's rate: the line hands it what its UART would hear.
        start_slave 1 1,2 --baud "$baud"
        "$root/tools/poll_demo.sh" "$work/bus/peer0" --units "1 2" --silent 9 --baud "$baud" \
            --timeout 2 --silent-timeout 0.3 --log "$dir/master.log" "$@" > "$dir/poll.out" 2>&1 ||
            fail "$name: the polling session: $(grep -e expected -e 'poll_demo:' "$dir/poll.out")"
    fi

    # The last frame, a request to the silent unit, is complete; a pass or two lists it.
    sleep 0.4
    local pid
    for pid in "${listeners[@]}"; do
        stop_process "$pid" INT
        [ "$stopped_status" -eq 0 ] || fail "$name: a listener ended with $stopped_status"
    done
    stop_process "$slave"
    stop_process "$bus" INT
    cp "$work/bus.log" "$dir/bus.log"

    # The truth holds every byte that the master and the slave put on the line.
    "$python" "$check" truth "$dir/master.log" > "$dir/truth.txt"
    local sent_master sent_slave
    sent_master=$(awk '$1 == "Q" { n += length($2) / 2 } END { print n + 0 }' "$dir/truth.txt")
    sent_slave=$(awk '$1 == "R" { n += length($2) / 2 } END { print n + 0 }' "$dir/truth.txt")
    [ "$(peer_figures 0 | cut -d' ' -f1)" = "$sent_master" ] &&
        [ "$(peer_figures 1 | cut -d' ' -f1)" = "$sent_slave" ] ||
        fail "$name: the debug output ($sent_master + $sent_slave bytes) is not what the line" \
            "carried ($(peer_figures 0) / $(peer_figures 1))"

    local model figures
    for model in "${models[@]}"; do
        "$python" "$check" compare "$dir/truth.txt" "$dir/$model/capture.mlog" \
            "$dir/$model/listen.out" --codes "$shaped_codes" > "$dir/$model/figures.txt"
        figures=$(head -n 1 "$dir/$model/figures.txt")
        printf '%-22s %-8s %s\n' "$name" "$model" "$figures"
        local wire exact codes_wire codes_exact wrong_tags same
        read -r _ wire _ exact _ codes_wire _ codes_exact _ wrong_tags _ same <<< "$figures"
        local wanted=yes
        case $model in
        device) [ "$codes_wire" -eq "$wire" ] && [ "$codes_exact" -eq "$codes_wire" ] || wanted=no ;;
        standard) [ "$exact" -eq "$wire" ] || wanted=no ;;
        esac
        # Shaped traffic for the default model, every profile for the standard one.
        if [ "$model" = standard ] || [ "$codes_wire" -eq "$wire" ]; then
            if [ "$wanted" = no ] || [ "$wrong_tags" -ne 0 ] || [ "$same" != same ]; then
                failures+=("$name $model: $figures")
                tail -n +2 "$dir/$model/figures.txt" | head -n 6 >&2
            fi
        fi
        [ "$model" = standard ] && "$cli" values --help > /dev/null 2>&1 || continue
        "$cli" values "$dir/$model/capture.mlog" --frames standard --json \
            > "$dir/$model/values.json" 2> "$dir/$model/values.err" ||
            failures+=("$name values: $(head -n 1 "$dir/$model/values.err")")
        if ! "$python" "$check" values "$dir/truth.txt" "$dir/$model/values.json" \
            > "$dir/$model/values.txt"; then
            failures+=("$name values: $(head -n 1 "$dir/$model/values.txt")")
            tail -n +2 "$dir/$model/values.txt" >&2
        fi
        printf '%-22s %-8s values: %s\n' "$name" "$model" "$(head -n 1 "$dir/$model/values.txt")"
    done
}

# name baud master [slave delay] master options: scans of every request kind to unit 1, then
# unit 2, back to back (the next request as soon as the answer is in) and spaced.
run_profile shaped-back-9600 9600 libmodbus 1 --profile shaped --rounds "$rounds" --gap-ms 0
run_profile shaped-back-115200 115200 libmodbus 1 --profile shaped --rounds "$rounds" --gap-ms 0
run_profile shaped-spaced-9600 9600 libmodbus 5 --profile shaped --rounds "$rounds" --gap-ms 40
run_profile shaped-spaced-115200 115200 libmodbus 5 --profile shaped --rounds "$rounds" --gap-ms 40
run_profile all-back-9600 9600 libmodbus 1 --profile all --rounds "$rounds" --gap-ms 0
run_profile all-back-115200 115200 libmodbus 1 --profile all --rounds "$rounds" --gap-ms 0
run_profile all-spaced-9600 9600 libmodbus 5 --profile all --rounds "$rounds" --gap-ms 40
run_profile all-spaced-115200 115200 libmodbus 5 --profile all --rounds "$rounds" --gap-ms 40
run_profile mbpoll-pymodbus-9600 9600 mbpoll --rounds "$rounds" --seconds 60
run_profile mbpoll-pymodbus-115200 115200 mbpoll --rounds "$rounds" --seconds 60

if [ ${#failures[@]} -gt 0 ]; then
    printf 'not listed exactly: %s\n' "${failures[@]}" >&2
    fail "${#failures[@]} profile(s) with frames not listed exactly"
fi
echo "PASS: every asserted profile listed exactly (models: ${models[*]})"

#!/usr/bin/env bash
# The Windows companion (quillon-cli.exe, cross-built by tools/build_windows.sh) under Wine:
# replay, export, stats and values on the files under tests/data/ give byte for byte what the
# Linux build gives, also for files with non-ASCII names and outputs that replace a file; and
# listen on COM5, which the Wine prefix maps to a virtual-line peer, lists the frames of a
# polling session exactly as the Linux monitor on the same line lists them.
#
#   tests/e2e/windows_test.sh BUILD_FOLDER [WINDOWS_BUILD_FOLDER]
set -euo pipefail

build=$(cd "${1:?usage: windows_test.sh BUILD_FOLDER [WINDOWS_BUILD_FOLDER]}" && pwd)
limit=300 # seconds for the whole test
source "$(dirname "$0")/e2e_lib.sh"
windows_build=${2:-${QUILLON_WINDOWS_BUILD:-$root/build-windows}}
# A folder not made yet (the Windows program is built after the sanitizer stage) is named as given.
exe=$(cd "$windows_build" 2> /dev/null && pwd || echo "$windows_build")/quillon-cli.exe

# The test command builds the Windows program after its sanitizer stage: the comparison is
# the main build's.
grep -qs "^QUILLON_SANITIZE:BOOL=ON" "$build/CMakeCache.txt" &&
    skip "the sanitizer build: the Windows program is compared with the main build"
command -v wine > /dev/null || skip "wine is missing (tools/setup.sh installs it)"
[ -f "$exe" ] || fail "$exe is not built (tools/build_windows.sh builds it)"
[ -x "$cli" ] || fail "$cli is not built"
need_tools timeout cmp "$python"

# One prefix for this run, made once: the first start takes several seconds. Mono and Gecko
# are not needed and would ask to be installed.
export WINEPREFIX=$work/wine WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" TZ=UTC
timeout 120 wineboot --init > "$work/wineboot.log" 2>&1 ||
    skip "Wine cannot start here: $(tail -n 3 "$work/wineboot.log")"
win() { timeout 60 wine "$exe" "$@"; }

# The same command in two folders with the same files: the Linux build in lin/, the Windows
# one in win/. Standard output, standard error, exit status and every file made must be equal.
mkdir -p "$work/lin" "$work/win"
for dir in lin win; do
    cp "$root"/tests/data/*.mlog "$work/$dir/"
    cp "$root/tests/data/sample.mlog" "$work/$dir/prüfung Ω.mlog"
    # An output that replaces a file already there.
    printf 'old\n' > "$work/$dir/kept.csv"
done
same() {
    local name=$1
    shift
    local lin_status=0 win_status=0
    (cd "$work/lin" && "$cli" "$@") > "$work/lin/$name.out" 2> "$work/lin/$name.err" ||
        lin_status=$?
    (cd "$work/win" && win "$@") > "$work/win/$name.out" 2> "$work/win/$name.err" ||
        win_status=$?
    [ "$lin_status" -eq "$win_status" ] ||
        fail "$name: exit status $win_status under Wine, $lin_status on Linux: $(head -n 3 "$work/win/$name.err")"
    local file
    for file in "$work/lin"/*; do
        cmp -s "$file" "$work/win/${file##*/}" ||
            fail "$name: ${file##*/} differs: $(cmp "$file" "$work/win/${file##*/}" 2>&1 | head -n 1)"
    done
    cases=$((cases + 1))
}
cases=0
for mlog in "$root"/tests/data/*.mlog; do
    base=${mlog##*/}
    stem=${base%.mlog}
    same "$stem.replay" replay "$base"
    same "$stem.detail" replay "$base" --detail
    same "$stem.function" replay "$base" --function 3
    same "$stem.node" replay "$base" --node 2
    same "$stem.pcap" export "$base" --pcap "$stem.pcap"
    same "$stem.csv" export "$base" --csv "$stem.csv"
    same "$stem.stats" stats "$base" --json
    same "$stem.values" values "$base" --json
    same "$stem.pcapstats" stats "$stem.pcap" --json
done
same utf8.replay replay "prüfung Ω.mlog"
same utf8.export export "prüfung Ω.mlog" --csv "ausgabe ä.csv"
same replace.export export "prüfung Ω.mlog" --csv kept.csv
same missing.replay replay "fehlt ü.mlog"
grep -q "Preset\|Read" "$work/win/sample.replay.out" || fail "the replay listed nothing"

# Live: peer0 the master, peer1 the slave, peer2 the Linux monitor, peer3 COM5 under Wine.
need_tools mbpoll
start_bus 4 --baud 38400 --format 8N1
start_slave 1 1,2
start_listener 2 --parity N
ln -s "$work/bus/peer3" "$WINEPREFIX/dosdevices/com5"
mkdir -p "$work/winlisten"
(cd "$work/winlisten" && exec timeout 200 wine "$exe" listen COM5 --parity N) \
    > "$work/winlisten.out" 2> "$work/winlisten.err" &
winlistener=$!
pids+=("$winlistener")
wait_until 60 grep -qs "listening on" "$work/winlisten.err" ||
    fail "the listener under Wine did not start: $(tail -n 3 "$work/winlisten.err")"
wait_until 10 attached 3 || fail "the listener under Wine did not attach"

"$root/tools/poll_demo.sh" "$work/bus/peer0" --rounds 3 --seconds 60 --units "1 2" \
    --silent 9 --baud 38400 --timeout 2 --silent-timeout 0.3 > "$work/poll.out" 2>&1 ||
    fail "the polling session went wrong: $(grep -e expected -e 'poll_demo:' "$work/poll.out")"
expected_lines < "$work/poll.out" > "$work/expected.txt"
want=$(lines_of "$work/expected.txt")
wait_until 10 has_lines "$work/listen.out" "$want" ||
    fail "the Linux listener listed $(lines_of "$work/listen.out") of $want lines"
wait_until 10 has_lines "$work/winlisten.out" "$want" ||
    fail "the listener under Wine listed $(lines_of "$work/winlisten.out") of $want lines: $(tail -n 3 "$work/winlisten.err")"
# Ctrl-C: Wine turns SIGINT into the console's Ctrl-C event.
stop_process "$winlistener" INT
[ "$stopped_status" -eq 0 ] ||
    fail "the listener under Wine ended with $stopped_status: $(tail -n 3 "$work/winlisten.err")"
stop_process "$listener" INT
strip_timestamps < "$work/listen.out" > "$work/lin.listed"
strip_timestamps < "$work/winlisten.out" > "$work/win.listed"
diff -u "$work/expected.txt" "$work/lin.listed" > "$work/lin.diff" ||
    fail "the Linux listener's lines differ from the session: $(head -n 10 "$work/lin.diff")"
diff -u "$work/lin.listed" "$work/win.listed" > "$work/win.diff" ||
    fail "the lines under Wine differ from the Linux listener's: $(head -n 10 "$work/win.diff")"
echo "windows: $cases commands alike under Wine; listen on COM5 listed the $want lines the Linux monitor listed"

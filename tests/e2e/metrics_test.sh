#!/usr/bin/env bash
# quillon-cli listen --metrics under a real Prometheus: two virtual lines, each with the pymodbus
# slave, mbpoll polling it and a listener saving what it hears and serving its figures. The
# Prometheus server of the test scrapes both listeners every half second; through its HTTP API,
# sum(quillon_frames_total) of each listener equals the frames that listener saved, which equal
# the frames the polling put on its line, and response-time histograms are there. While line A is
# polled its listener is bothered: a path that is not /metrics (404), a client that sends half a
# request and stays, and 200 connections at once; the capture loses nothing and the next proper
# scrape answers. The example scrape configuration and alerting rules in docs/ pass promtool.
#
#   tests/e2e/metrics_test.sh BUILD_FOLDER
set -euo pipefail

build=$(cd "${1:?usage: metrics_test.sh BUILD_FOLDER}" && pwd)
limit=240 # seconds for the whole test
rounds=${QUILLON_E2E_METRICS_ROUNDS:-6}
source "$(dirname "$0")/e2e_lib.sh"

need_listen
need_tools prometheus promtool mbpoll curl timeout "$python"
"$cli" listen --help 2>&1 | grep -q -- "--metrics" ||
    skip "this quillon-cli was built without --metrics (prometheus-cpp-dev is missing)"

promtool check config "$root/docs/prometheus/prometheus.yml" > "$work/promtool.out" 2>&1 ||
    fail "promtool refuses the example scrape configuration: $(cat "$work/promtool.out")"
promtool check rules "$root/docs/prometheus/quillon-rules.yml" > "$work/promtool.out" 2>&1 ||
    fail "promtool refuses the example rules: $(cat "$work/promtool.out")"

free_port() {
    "$python" -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'
}

# One line with its slave and listener: line NAME. Peer 0 polls, 1 answers, 2 listens.
line() {
    local name=$1 dir=$work/$1
    mkdir -p "$dir"
    track "$dir/bus.out" "$dir/bus.log" "$vbus" --peers 3 --names "$dir/names" --links "$dir/bus" \
        --verbose --baud 19200 --format 8N1
    wait_until 10 test -s "$dir/names" || fail "line $name did not write its peer names"
    track "$dir/slave.out" "$dir/slave.err" "$python" "$root/tools/modbus_slave.py" \
        "$dir/bus/peer1" --units 1,2 --baud 19200
    wait_until 30 grep -qs ready "$dir/slave.out" || fail "the slave of line $name did not start"
    track "$dir/listen.out" "$dir/listen.err" "$cli" listen "$dir/bus/peer2" --baud 19200 \
        --parity N --save "$dir/capture.mlog" --stats --metrics 127.0.0.1:0
    eval "listener_$name=$last_pid"
    wait_until 10 grep -qs "listening on" "$dir/listen.err" ||
        fail "the listener of line $name did not start: $(cat "$dir/listen.err")"
    local url
    url=$(sed -n 's/.*metrics at \(http:[^ ]*\)$/\1/p' "$dir/listen.err")
    [ -n "$url" ] || fail "the listener of line $name did not say where its metrics are"
    eval "url_$name=$url"
    wait_until 10 grep -qs "peer2 .* attached" "$dir/bus.log" ||
        fail "the listener of line $name did not attach"
}

line a
line b
target_a=${url_a#http://}
target_a=${target_a%/metrics}
target_b=${url_b#http://}
target_b=${target_b%/metrics}

curl -fsS "$url_a" > "$work/first.txt" || fail "the first scrape of line a failed"
status=$(curl -s -o /dev/null -w '%{http_code}' "http://$target_a/other")
[ "$status" = 404 ] || fail "another path answered $status, not 404"

prom_port=$(free_port)
cat > "$work/prometheus.yml" << YAML
global:
  scrape_interval: 500ms
  scrape_timeout: 400ms
scrape_configs:
  - job_name: quillon
    static_configs:
      - targets: ["$target_a"]
        labels: { line: a }
      - targets: ["$target_b"]
        labels: { line: b }
YAML
track "$work/prometheus.out" "$work/prometheus.err" prometheus \
    --config.file="$work/prometheus.yml" --storage.tsdb.path="$work/tsdb" \
    --web.listen-address="127.0.0.1:$prom_port"
api=http://127.0.0.1:$prom_port/api/v1
wait_until 30 curl -fsS "$api/status/buildinfo" -o /dev/null 2> /dev/null ||
    fail "prometheus did not start: $(tail -n 5 "$work/prometheus.err")"

# Line a is bothered while it is polled: a half-open client and 200 connections at once.
"$python" - "$target_a" > "$work/flood.out" 2>&1 << 'PY' &
import socket
import sys
import threading
import time

host, port = sys.argv[1].rsplit(":", 1)
address = (host, int(port))
half = socket.create_connection(address)
half.sendall(b"GET /metrics HTTP/1.1\r\nHost: x\r\n")  # never ends its request
time.sleep(1)
answers = []

def scrape():
    try:
        with socket.create_connection(address, timeout=30) as s:
            s.sendall(b"GET /metrics HTTP/1.0\r\n\r\n")
            data = b""
            while chunk := s.recv(65536):
                data += chunk
            answers.append(data.startswith(b"HTTP/1.1 200") and b"quillon_frames_total" in data)
    except OSError as error:
        answers.append(False)
        print("connection:", error)

threads = [threading.Thread(target=scrape) for _ in range(200)]
for thread in threads:
    thread.start()
for thread in threads:
    thread.join()
print(f"answered {sum(answers)} of {len(answers)}")
half.close()
PY
flood=$!
pids+=("$flood")

poll() {
    "$root/tools/poll_demo.sh" "$work/$1/bus/peer0" --units "1 2" --silent 9 --baud 19200 \
        --timeout 1 --silent-timeout 0.3 --rounds "$rounds" --seconds 120 > "$work/$1/poll.out" 2>&1 ||
        fail "line $1: the polling session: $(tail -n 3 "$work/$1/poll.out")"
}
poll a &
poll_a=$!
poll b
wait "$poll_a" || fail "line a: the polling failed"
wait "$flood" || true
forget "$flood"
grep -q "answered 200 of 200" "$work/flood.out" ||
    fail "not every one of 200 scrapes at once was answered: $(cat "$work/flood.out")"

# The frames the polling put on each line: every transaction's query, and an answer to each but
# the time-outs.
on_line() {
    sed -n 's/^poll_demo: \([0-9]*\) transactions, \([0-9]*\) answered, \([0-9]*\) exceptions.*/\1 \2 \3/p' \
        "$work/$1/poll.out" | awk '{ print $1 + $2 + $3 }'
}

query() {
    curl -fsS --get "$api/query" --data-urlencode "query=$1" |
        "$python" -c '
import json, sys
result = json.load(sys.stdin)["data"]["result"]
pairs = sorted((r["metric"].get("line", "-"), float(r["value"][1])) for r in result)
print(" ".join("%s=%g" % pair for pair in pairs))'
}

# Prometheus holds each listener's count once it has scraped after the last frame was listed.
want=""
for name in a b; do
    wire=$(on_line "$name")
    [ -n "$wire" ] && [ "$wire" -gt 0 ] || fail "line $name: no transactions were counted"
    saved=$(lines_of "$work/$name/capture.mlog")
    [ "$saved" -eq "$wire" ] ||
        fail "line $name: the listener saved $saved frames of the $wire the polling put on the line"
    want+="${want:+ }$name=$saved"
done
held() { [ "$(query 'sum by (line) (quillon_frames_total)')" = "$want" ]; }
wait_until 20 held || fail "prometheus holds '$(query 'sum by (line) (quillon_frames_total)')', not '$want'"
echo "frames per line, saved and in prometheus: $want"

histograms=$(query 'sum by (line) (quillon_response_time_seconds_count)')
for name in a b; do
    grep -Eq "(^| )$name=[1-9]" <<< "$histograms" ||
        fail "line $name has no response times in prometheus: '$histograms'"
done
p95=$(query 'histogram_quantile(0.95, sum by (line, le) (rate(quillon_response_time_seconds_bucket[1m])))')
timeouts=$(query 'sum by (line) (quillon_timeouts_total)')
echo "response times counted: $histograms; p95: $p95; timeouts: $timeouts"
[ "$timeouts" = "a=$((rounds - 1)) b=$((rounds - 1))" ] ||
    fail "the silent unit of each round but the last (still waiting) is one time-out: '$timeouts'"

# The exposer answers a proper scrape after all that, and the listeners stop as asked.
curl -fsS -m 5 "$url_a" > "$work/last.txt" || fail "the next scrape of line a failed"
last=$(< "$work/last.txt")
grep -q '^quillon_frames_total' <<< "$last" || fail "the next scrape of line a has no frames"
for name in a b; do
    pid_var=listener_$name
    stop_process "${!pid_var}" INT
    [ "$stopped_status" -eq 0 ] || fail "the listener of line $name ended with $stopped_status"
done
echo "PASS: prometheus holds what each listener saved"

#!/usr/bin/env bash
# The metrics endpoint with the real Prometheus: kalorix-test.exe with scripted
# sensors and "Uzaktan izleme" on (127.0.0.1, a free port), and a Prometheus
# server of this script (its own data folder, 1 s scrapes) reading it. The CPU
# temperature the window shows arrives through Prometheus's HTTP API; promtool
# finds no problem in a scraped page; /data.json is JSON; other paths and
# methods get 404 and 405. Then a port already in use: the Settings row says
# so and the monitor goes on. All traffic stays on 127.0.0.1; every wait is bounded.
set -u
source "$(dirname "$0")/lib/e2e-common.sh"
e2e_init "$1" "$2" prometheus prometheus
command -v prometheus >/dev/null && command -v promtool >/dev/null || die "prometheus and promtool are missing (scripts/setup-deps)"
profile_save

prom=""; holder=""
stop_helpers() {
    local pid
    for pid in $prom $holder; do
        kill "$pid" 2>/dev/null
        for i in $(seq 1 20); do kill -0 "$pid" 2>/dev/null || break; sleep 0.25; done
        kill -9 "$pid" 2>/dev/null; wait "$pid" 2>/dev/null
    done
    prom=""; holder=""
}
trap 'stop_helpers; e2e_cleanup' EXIT

# The Settings page at its end, where the remote monitoring card is (the wheel
# a few bounded times: on a busy machine a turn can go unseen).
show_remote_card() {
    keys_until ctrl+5 page 4 || { fail "Ctrl+5 did not select the Settings page"; return 1; }
    park_pointer; wait_frames 1 5
    local i
    for i in 1 2 3; do wheel_to_end 5 && return 0; done
    fail "the wheel did not reach the end of the Settings page (scroll $(rv scroll) of $(rv maxscroll))"
}
free_port() { python3 -c 'import socket; s = socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])'; }
port=$(free_port)
prom_port=$(free_port)
[ "$port" != "$prom_port" ] || prom_port=$(free_port)
answered_profile "  \"ShareData\": false,
  \"MetricsEnabled\": true,
  \"MetricsPort\": $port,
"
url="http://127.0.0.1:$port"

# ---- the endpoint itself ---------------------------------------------------------------
KALORIX_FAKE_SENSORS=idle start_app metrics
wait_window 60 || die "no Kalorix window with live data within 60 s"
wait_rv metrics listening 20 || die "the metrics endpoint is not listening (metrics: $(rv metrics))"
meta=$(curl -s --max-time 5 -o "$tmp/scrape.txt" -w '%{http_code} %{content_type}' "$url/metrics")
check "GET /metrics: 200, text format 0.0.4 ($meta)" [ "$meta" = "200 text/plain; version=0.0.4; charset=utf-8" ]
cp "$tmp/scrape.txt" "$out/metrics.txt"
if promtool check metrics < "$tmp/scrape.txt" > "$tmp/promtool.txt" 2>&1; then
    note "promtool check metrics: no problem ($(grep -c '^kalorix_' "$tmp/scrape.txt") series)"
else
    fail "promtool check metrics: $(cat "$tmp/promtool.txt")"
fi
check "the page carries the CPU temperature" grep -q '^kalorix_cpu_temperature_celsius [0-9]' "$tmp/scrape.txt"
curl -s --max-time 5 "$url/data.json" > "$tmp/data.json"
check "GET /data.json is JSON with the sensors" python3 -c '
import json, sys
d = json.load(open(sys.argv[1]))
sys.exit(0 if d["valid"] and d["sensors"] and "cpuTemperatureCelsius" in d else 1)' "$tmp/data.json"
check "another path: 404" [ "$(curl -s --max-time 5 -o /dev/null -w '%{http_code}' "$url/")" = 404 ]
check "another method: 405" [ "$(curl -s --max-time 5 -o /dev/null -w '%{http_code}' -X DELETE "$url/metrics")" = 405 ]

# The Settings page with the remote monitoring card.
show_remote_card
check "the card has its two switches" eval 'has_region set/metrics && has_region set/metricsall'
shoot 01-settings-remote-on >/dev/null

# ---- Prometheus scraping it ------------------------------------------------------------
cat > "$tmp/prometheus.yml" <<EOF
global:
  scrape_interval: 1s
  scrape_timeout: 1s
  evaluation_interval: 1s
scrape_configs:
  - job_name: kalorix
    static_configs:
      - targets: ["127.0.0.1:$port"]
EOF
prometheus --config.file="$tmp/prometheus.yml" --storage.tsdb.path="$tmp/prometheus-data" \
    --web.listen-address="127.0.0.1:$prom_port" > "$tmp/prometheus.log" 2>&1 &
prom=$!
api="http://127.0.0.1:$prom_port/api/v1/query"
ready=0
for i in $(seq 1 60); do
    curl -s --max-time 2 "http://127.0.0.1:$prom_port/-/ready" >/dev/null && { ready=1; break; }
    kill -0 "$prom" 2>/dev/null || break
    sleep 0.5
done
[ $ready = 1 ] || die "Prometheus did not start: $(tail -5 "$tmp/prometheus.log")"

# The value of an instant query (one decimal), or nothing.
query() {
    curl -s --max-time 3 -G --data-urlencode "query=$1" "$api" | python3 -c '
import json, sys
try:
    r = json.load(sys.stdin)["data"]["result"]
    print("%.1f" % float(r[0]["value"][1]) if r else "")
except Exception:
    print("")'
}
# Every CPU temperature the window shows goes into a list; the one Prometheus
# holds must be among them, for two different values in a row.
declare -A shown
matched=""; matches=0
for i in $(seq 1 120); do
    t=$(rv cputemp)
    [ -n "$t" ] && [ "$t" != - ] && shown[$t]=1
    v=$(query kalorix_cpu_temperature_celsius)
    if [ -n "$v" ] && [ -n "${shown[$v]:-}" ] && [ "$v" != "$matched" ]; then
        matches=$((matches + 1)); matched=$v
        note "Prometheus holds $v °C, a value the window showed"
    fi
    [ $matches -ge 2 ] && break
    sleep 0.5
done
[ $matches -ge 2 ] || fail "the window's CPU temperature did not arrive through Prometheus (last query: '$(query kalorix_cpu_temperature_celsius)', shown: ${!shown[*]})"
check "Prometheus sees the target up" [ "$(query 'up{job="kalorix"}')" = 1.0 ]
check "Prometheus has the load series" [ -n "$(query 'count(kalorix_load_ratio)')" ]

stop_helpers
stop_app

# ---- a port already in use --------------------------------------------------------------
python3 -c 'import socket, sys, time
s = socket.socket(); s.bind(("127.0.0.1", int(sys.argv[1]))); s.listen(1); time.sleep(120)' "$port" &
holder=$!
for i in $(seq 1 40); do (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break; sleep 0.25; done
KALORIX_FAKE_SENSORS=idle start_app busy
wait_window 60 || die "no Kalorix window with live data within 60 s"
wait_rv metrics port-in-use 20 || fail "a port in use is not reported (metrics: $(rv metrics))"
show_remote_card
shoot 02-settings-port-in-use >/dev/null
wait_frames 2 10 || fail "the window stopped painting"
check "the monitor keeps running" kill -0 "$app"
stop_helpers

e2e_finish

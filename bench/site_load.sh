#!/usr/bin/env bash
# Load test of the stand-in site: requests per second and latency of the search result
# page for the program's default search, measured with wrk over loopback.
#
#   bench/site_load.sh [DURATION_SECONDS] [CONNECTIONS]      (defaults: 10 s, 16)
#
# Starts vs_site (search open to guests, so that no login is needed) on a free port,
# runs wrk with 2 threads for the given time, stops the server and prints the figures.
# VS_SITE names the server binary (default: build/native/site/vs_site).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
site=${VS_SITE:-$root/build/native/site/vs_site}
duration=${1:-10}
connections=${2:-16}
command -v wrk >/dev/null || { echo "site_load: wrk is not installed (scripts/deps)" >&2; exit 1; }
[[ -x $site ]] || { echo "site_load: no server at $site (build the vs_site target)" >&2; exit 1; }

work=$(mktemp -d)
pid=
cleanup() {
  if [[ -n $pid ]] && kill -0 "$pid" 2>/dev/null; then
    kill -TERM "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# --idle-exit is a safety net: the server ends by itself should this script be killed.
"$site" --port 0 --open-search --idle-exit 30 >"$work/port" 2>"$work/stderr" </dev/null &
pid=$!
for _ in $(seq 100); do
  grep -q '^port ' "$work/port" 2>/dev/null && break
  sleep 0.05
done
port=$(awk '/^port /{print $2; exit}' "$work/port")
[[ -n $port ]] || { echo "site_load: the server did not start" >&2; cat "$work/stderr" >&2; exit 1; }

# "Фантастика 720" in Windows-1251, escaped.
path='/gsearch.php?section=video&q=%D4%E0%ED%F2%E0%F1%F2%E8%EA%E0%20720&name=1'
url="http://127.0.0.1:$port$path"
bytes=$(curl -s -H 'Host: zq.test' "$url" 2>/dev/null | wc -c || echo '?')

wrk -t2 -c"$connections" -d"${duration}s" --latency -H 'Host: zq.test' "$url" >"$work/wrk"
cat "$work/wrk"

rps=$(awk '/^Requests\/sec:/{print $2}' "$work/wrk")
p50=$(awk '$1=="50%"{print $2}' "$work/wrk")
p99=$(awk '$1=="99%"{print $2}' "$work/wrk")
errors=$(awk '/Non-2xx|Socket errors/' "$work/wrk")
echo
echo "site_load: search page (${bytes} bytes), ${duration} s, 2 threads, ${connections} connections"
echo "site_load: requests/s ${rps}   latency p50 ${p50}   p99 ${p99}"
[[ -z $errors ]] || echo "site_load: $errors"

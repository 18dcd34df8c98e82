#!/usr/bin/env bash
# The download service's speed beside curl's, on the same site in the same run:
#   bench/transfer_speed.sh [FILE] [ROUNDS] [PAGES]   (defaults: big1g, 3, 200)
# Starts vs_site (with a request log) on a free port; downloads /u9/video/FILE.480.mp4
# ROUNDS times with curl through the site as a proxy, then with transfer_speed.exe under
# Wine (http_proxy pointing at the site), and prints MiB/s and CPU seconds of each: curl's
# own, the program's (GetProcessTimes) and Wine's server's; the program's last file is
# compared with curl's bytes. When nginx is installed, the same again with nginx in front
# of the site (proxy_pass, its default buffering). Then the program fetches a small page
# PAGES times and the site's log gives requests per connection.
# VS_SITE and VS_TRANSFER_SPEED name the two programs (defaults: build/native/site/vs_site,
# build/win/app/transfer_speed.exe).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
site=${VS_SITE:-$root/build/native/site/vs_site}
bench=${VS_TRANSFER_SPEED:-$root/build/win/app/transfer_speed.exe}
file=${1:-big1g} rounds=${2:-3} pages=${3:-200}
[[ -x $site ]] || { echo "transfer_speed: no server at $site (build the vs_site target)" >&2; exit 1; }
[[ -f $bench ]] || { echo "transfer_speed: no $bench (build the Windows benchmarks)" >&2; exit 1; }

work=$(mktemp -d)
site_pid= xvfb_pid= nginx_pid=
cleanup() {
  [[ -n $nginx_pid ]] && kill "$nginx_pid" 2>/dev/null && wait "$nginx_pid" 2>/dev/null
  [[ -n $site_pid ]] && kill "$site_pid" 2>/dev/null && wait "$site_pid" 2>/dev/null
  WINEPREFIX=$work/prefix timeout 60 wineserver -k 2>/dev/null || true
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
"$site" --port 0 --open-search --idle-exit 600 --log "$work/site.log" >"$work/port" \
  2>"$work/stderr" </dev/null &
site_pid=$!
for _ in $(seq 100); do grep -q '^port ' "$work/port" 2>/dev/null && break; sleep 0.05; done
port=$(awk '/^port /{print $2}' "$work/port")
[[ -n $port ]] || { echo "transfer_speed: the server did not start" >&2; exit 1; }
url=http://cs9.zq.test/u9/video/$file.480.mp4

# A prefix and a display of its own, kept while the script runs, so that its Wine server
# stays up and its CPU time can be read before and after the downloads.
export VS_WINEPREFIX=$work/prefix
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>/dev/null </dev/null &
xvfb_pid=$!
for _ in $(seq 200); do [[ -s $work/display ]] && break; sleep 0.05; done
export DISPLAY=:$(tr -dc '0-9' <"$work/display")
"$root/scripts/wine-run" "$bench" >/dev/null 2>&1 || true # makes the prefix; prints usage
WINEPREFIX=$VS_WINEPREFIX timeout 600 wineserver -p 30 2>/dev/null || true
server_cpu() {
  local pid
  for pid in $(pgrep -f "^/usr/lib/wine/wineserver|^wineserver"); do
    tr '\0' '\n' <"/proc/$pid/environ" 2>/dev/null | grep -qx "WINEPREFIX=$VS_WINEPREFIX" || continue
    awk -v t="$(getconf CLK_TCK)" '{printf "%.2f\n", ($14 + $15) / t}' "/proc/$pid/stat"
    return
  done
  echo 0
}

# measure NAME PROXY: curl, then the program, through the proxy.
measure() {
  local name=$1 proxy=$2 i bytes speed seconds user sys before after saved
  for ((i = 1; i <= rounds; i++)); do
    /usr/bin/time -f '%U %S' -o "$work/curl.time" curl -s -x "$proxy" -o /dev/null \
      -w '%{size_download} %{speed_download} %{time_total}\n' "$url" >"$work/curl.out"
    read -r bytes speed seconds <"$work/curl.out"
    read -r user sys <"$work/curl.time"
    awk -v n="$name" -v i="$i" -v b="$bytes" -v s="$speed" -v t="$seconds" -v u="$user" -v k="$sys" 'BEGIN {
      printf "curl via %s: round %d: %d bytes in %.2f s, %.1f MiB/s, CPU %.2f s (user %.2f, system %.2f)\n",
        n, i, b, t, s / 1048576, u + k, u, k }'
  done
  before=$(server_cpu)
  http_proxy=$proxy VS_WINE_TIMEOUT=600 "$root/scripts/wine-run" "$bench" file "$url" "$rounds" |
    sed "s/^transfer_speed:/transfer_speed via $name:/"
  after=$(server_cpu)
  awk -v n="$name" -v a="$before" -v b="$after" -v r="$rounds" 'BEGIN {
    printf "wineserver via %s: CPU %.2f s for the %d rounds (%.2f s a round)\n", n, b - a, r, (b - a) / r }'
  # The last round's file, byte for byte against what curl gets.
  saved=$(find "$VS_WINEPREFIX/drive_c/users" -name transfer-speed.bin | head -1)
  if [[ -z $saved ]]; then
    echo "transfer_speed via $name: no file kept to compare (a program that does not save it)"
  elif curl -s -x "$proxy" "$url" | cmp -s - "$saved"; then
    echo "transfer_speed via $name: the file is the same as curl's"
    rm -f "$saved"
  else
    echo "transfer_speed via $name: the file differs from curl's" >&2
    exit 1
  fi
}

measure site "http://127.0.0.1:$port"

if command -v nginx >/dev/null; then
  nport=$((20000 + RANDOM % 20000))
  mkdir -p "$work/nginx"
  chmod 711 "$work"  # nginx's workers (another user when started as root) write in there
  cat >"$work/nginx.conf" <<EOF
worker_processes 1;
daemon off;
pid $work/nginx/pid;
error_log $work/nginx/error.log;
events { worker_connections 256; }
http {
  access_log off;
  client_body_temp_path $work/nginx/body;
  proxy_temp_path $work/nginx/proxy;
  fastcgi_temp_path $work/nginx/fastcgi;
  uwsgi_temp_path $work/nginx/uwsgi;
  scgi_temp_path $work/nginx/scgi;
  upstream site { server 127.0.0.1:$port; keepalive 16; }
  server {
    listen 127.0.0.1:$nport;
    location / {
      proxy_pass http://site;
      proxy_http_version 1.1;
      proxy_set_header Connection "";
      proxy_set_header Host \$host;
    }
  }
}
EOF
  nginx -p "$work/nginx" -c "$work/nginx.conf" &
  nginx_pid=$!
  for _ in $(seq 100); do
    curl -s -o /dev/null -x "http://127.0.0.1:$nport" http://zq.test/css/site.css && break
    sleep 0.1
  done
  measure nginx "http://127.0.0.1:$nport"
fi

lines=$(wc -l <"$work/site.log")
http_proxy=http://127.0.0.1:$port VS_WINE_TIMEOUT=600 "$root/scripts/wine-run" "$bench" pages \
  "http://zq.test/css/site.css" "$pages"
tail -n +$((lines + 1)) "$work/site.log" | awk -F'\t' '{r++; c[$9]} END {
  printf "connections: %d requests on %d connections, %.1f requests a connection\n", r, length(c),
    r / length(c) }'

#!/usr/bin/env bash
# Download speed of the site's generated files over loopback, and the server's CPU time
# for them, measured with curl through the site as a proxy (the program's way in):
#   bench/site_download.sh [FILE...]     (default: big1g; any /u9/video/<FILE>.480.mp4)
# Then checks that one connection carries several requests, in proxy form and direct.
# VS_SITE names the server binary (default: build/native/site/vs_site).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
site=${VS_SITE:-$root/build/native/site/vs_site}
command -v curl >/dev/null || { echo "site_download: curl is not installed" >&2; exit 1; }
[[ -x $site ]] || { echo "site_download: no server at $site (build the vs_site target)" >&2; exit 1; }
(($# > 0)) || set -- big1g

source "$root/bench/bench_site.sh"
start_bench_site site_download 120
ticks=$(getconf CLK_TCK)
# cpu_seconds: user and system time of the server so far.
cpu_seconds() { awk -v t="$ticks" '{printf "%.2f %.2f\n", $14 / t, $15 / t}' "/proc/$site_pid/stat"; }

for file in "$@"; do
  url=http://cs9.zq.test/u9/video/$file.480.mp4
  read -r user0 sys0 < <(cpu_seconds)
  read -r bytes speed seconds < <(curl -s -x "http://127.0.0.1:$port" -o /dev/null \
    -w '%{size_download} %{speed_download} %{time_total}\n' "$url")
  read -r user1 sys1 < <(cpu_seconds)
  awk -v f="$file" -v b="$bytes" -v s="$speed" -v t="$seconds" -v u0="$user0" -v u1="$user1" \
    -v k0="$sys0" -v k1="$sys1" 'BEGIN {
      printf "site_download: %s: %d bytes in %.2f s, %.0f MiB/s, server CPU %.2f s (user %.2f, system %.2f)\n",
        f, b, t, s / 1048576, u1 - u0 + k1 - k0, u1 - u0, k1 - k0}'
done

# Keep-alive: curl says so when it sends a second request on the first connection.
page=http://zq.test/css/site.css
proxied=$(curl -sv -x "http://127.0.0.1:$port" -o /dev/null -o /dev/null "$page" "$page" 2>&1 |
  grep -c 'Re-using existing connection' || true)
direct=$(curl -sv -H 'Host: zq.test' -o /dev/null -o /dev/null "http://127.0.0.1:$port/css/site.css" \
  "http://127.0.0.1:$port/css/site.css" 2>&1 | grep -c 'Re-using existing connection' || true)
echo "site_download: connection re-used for the second of two requests: proxy form $proxied, direct $direct"

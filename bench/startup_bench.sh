#!/usr/bin/env bash
# Start-up of the program under Wine against the site, beside two references measured in
# the same rounds: a trivial Win32 program, and the same program importing the system
# libraries the client imports (what loading them costs is the platform's share).
#   bench/startup_bench.sh [ROUNDS]        (default 10)
# Starts vs_site (search open to guests) and runs build/win/bench/startup_timer.exe in one
# Wine prefix, from a folder holding a Registration.ini with the demo account.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
site=${VS_SITE:-$root/build/native/site/vs_site}
win=${VS_WIN_BUILD:-$root/build/win}
rounds=${1:-10}
for f in "$site" "$win/bench/startup_timer.exe" "$win/app/videosearch.exe" \
  "$win/tests/client/trivial_window.exe" "$win/tests/client/trivial_window_dlls.exe"; do
  [[ -e $f ]] || { echo "startup_bench: $f is missing (build the site and the Windows tree)" >&2; exit 1; }
done

source "$root/bench/bench_site.sh"
start_bench_site startup_bench 120
mkdir -p "$work/run"
printf 'mail = demo@zq.test\r\npass = demo\r\n' >"$work/run/Registration.ini"
cp "$win/app/videosearch.exe" "$win/tests/client/trivial_window.exe" \
  "$win/tests/client/trivial_window_dlls.exe" "$work/run/"
cd "$work/run"
http_proxy=http://127.0.0.1:$port VS_WINE_TIMEOUT=600 "$root/scripts/wine-run" \
  "$win/bench/startup_timer.exe" "$rounds" trivial_window.exe trivial_window_dlls.exe videosearch.exe

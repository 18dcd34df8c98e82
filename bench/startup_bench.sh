#!/usr/bin/env bash
# Start-up of the program under Wine against the site, beside two references measured in
# the same alternating rounds: a trivial Win32 program, and a plain Win32 program that shows
# exactly the client's main window (bench/raw_window.cpp: the same windows, manifest, icon
# and imported libraries, the same picture). Two moments: the first visible window
# ("shown") and the window complete on the screen ("complete"; bench/startup_timer.cpp).
#   bench/startup_bench.sh [ROUNDS [CLIENT.exe...]]     (default 20 rounds)
# Other builds of the client given (say, of earlier commits, each under its own name) are
# measured in the same rounds after the client, to tell what a change saved.
# Starts vs_site (search open to guests) and runs build/win/bench/startup_timer.exe in one
# Wine prefix, from a folder holding a Registration.ini with the demo account. Checks that
# the raw program imports the libraries the client imports and shows the same bytes; the
# final pictures of the last round are left in $VS_BENCH_PICTURES (default
# build/startup_bench). Prints the machine's load before and after.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
site=${VS_SITE:-$root/build/native/site/vs_site}
win=${VS_WIN_BUILD:-$root/build/win}
rounds=${1:-20}
others=("${@:2}")
pictures=${VS_BENCH_PICTURES:-$root/build/startup_bench}
client=$win/app/videosearch.exe raw=$win/bench/raw_window.exe
for f in "$site" "$win/bench/startup_timer.exe" "$client" "$raw" "$win/tests/client/trivial_window.exe"; do
  [[ -e $f ]] || { echo "startup_bench: $f is missing (build the site and the Windows tree)" >&2; exit 1; }
done
imports() { x86_64-w64-mingw32-objdump -p "$1" | awk '/DLL Name:/ {print $3}' | sort; }
if [[ $(imports "$client") != "$(imports "$raw")" ]]; then
  echo "startup_bench: the raw program imports other libraries than the client:" >&2
  diff <(imports "$client") <(imports "$raw") >&2
  exit 1
fi
echo "both import: $(imports "$client" | tr '\n' ' ')"

source "$root/bench/bench_site.sh"
start_bench_site startup_bench 600
mkdir -p "$work/run" "$work/pictures" "$pictures"
printf 'mail = demo@zq.test\r\npass = demo\r\n' >"$work/run/Registration.ini"
cp "$client" "$raw" "$win/tests/client/trivial_window.exe" "${others[@]}" "$work/run/"
cd "$work/run"
echo "load before: $(uptime)"
http_proxy=http://127.0.0.1:$port VS_WINE_TIMEOUT=1800 "$root/scripts/wine-run" \
  "$win/bench/startup_timer.exe" --pictures "Z:${work//\//\\}\\pictures" "$rounds" \
  trivial_window.exe raw_window.exe videosearch.exe "${others[@]##*/}" | tr -d '\r' |
  tee "$work/result"
echo "load after: $(uptime)"
for f in "$work"/pictures/*.bmp; do convert "$f" -alpha off "$pictures/$(basename "${f%.bmp}").png"; done
echo "final pictures of the last round: $pictures"
grep -q "of raw_window.exe and videosearch.exe: the same bytes in $rounds of $rounds rounds" \
  "$work/result" || { echo "startup_bench: the raw program's picture is not the client's" >&2; exit 1; }

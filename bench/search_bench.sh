#!/usr/bin/env bash
# Search and row-click times of the program under Wine against the site over loopback:
#   bench/search_bench.sh [TEXT...]    (default: "Фантастика 720", "720", zqtest-10000)
# Wine hands the texts to the program in its code page, Windows-1251.
# Starts vs_site (search open to guests) on a free port and runs search_bench.exe with
# http_proxy pointing at it. VS_SITE and VS_SEARCH_BENCH name the two programs (defaults:
# build/native/site/vs_site, build/win/app/search_bench.exe).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
site=${VS_SITE:-$root/build/native/site/vs_site}
bench=${VS_SEARCH_BENCH:-$root/build/win/app/search_bench.exe}
[[ -x $site ]] || { echo "search_bench: no server at $site (build the vs_site target)" >&2; exit 1; }
[[ -f $bench ]] || { echo "search_bench: no $bench (configure the Windows build with -DVS_BENCH=ON)" >&2; exit 1; }
(($# > 0)) || set -- "Фантастика 720" 720 zqtest-10000

source "$root/bench/bench_site.sh"
start_bench_site search_bench 60
http_proxy=http://127.0.0.1:$port VS_WINE_TIMEOUT=300 "$root/scripts/wine-run" "$bench" "$@" |
  iconv -f cp1251 -t utf-8

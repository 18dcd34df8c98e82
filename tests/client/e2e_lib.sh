# Shared parts of the client's end-to-end tests, sourced by them: a scratch directory, the
# stand-in site (built natively when missing), a private Xvfb, the program under Wine, and
# helpers to find, measure and look at its windows. The sourcing script sets `repo` and
# `native` first, then calls e2e_setup with extra site options.

failures=0
pass() { echo "ok: $*"; }
fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}
die() {
  echo "FAIL: $*"
  exit 1
}

xvfb_pid= site_pid= prog_pid= scratch=
# shellcheck disable=SC2317  # called through the trap
e2e_cleanup() {
  [[ -n $prog_pid ]] && kill "$prog_pid" 2>/dev/null && wait "$prog_pid" 2>/dev/null
  [[ -d ${VS_WINEPREFIX:-} ]] && WINEPREFIX=$VS_WINEPREFIX timeout 20 wineserver -k 2>/dev/null
  [[ -n $site_pid ]] && kill "$site_pid" 2>/dev/null && wait "$site_pid" 2>/dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  # VS_E2E_KEEP=1 keeps the scratch folder (site log, prefix, screenshots) for a look.
  [[ -n $scratch && -z ${VS_E2E_KEEP:-} ]] && rm -rf "$scratch"
}

# site_start PORT: starts the site (0: on a free port) with the setup's options; sets port
# and site_pid. It ends with the script, or by itself after 200 s without requests.
site_start() {
  coproc SITE { exec "$native/site/vs_site" --port "$1" --log "$scratch/site.log" --idle-exit 200 \
    "${site_options[@]}" </dev/null; }
  site_pid=$SITE_PID
  local word
  read -r -t 20 word port <&"${SITE[0]}" || die "the site did not start"
  [[ $word == port && $port =~ ^[0-9]+$ ]] || die "the site said '$word $port'"
}
site_stop() { kill "$site_pid" && wait "$site_pid" 2>/dev/null; site_pid=; }

# e2e_setup [SITE OPTIONS...]: sets scratch, port, http_proxy, DISPLAY, VS_WINEPREFIX,
# work (the program's current directory) and tmp (its temporary directory).
e2e_setup() {
  local site=$native/site/vs_site
  if [[ ! -x $site ]]; then
    echo "building the site in $native"
    { cmake -S "$repo" -B "$native" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null &&
      cmake --build "$native" -j2 --target vs_site >/dev/null; } || die "cannot build vs_site"
  fi
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/vs-e2e.XXXXXX")
  export VS_WINEPREFIX=$scratch/prefix
  trap e2e_cleanup EXIT
  site_options=("$@")
  site_start 0
  export http_proxy=http://127.0.0.1:$port

  Xvfb -displayfd 3 -screen 0 "${VS_E2E_SCREEN:-1280x1024x24}" -nolisten tcp 3>"$scratch/display" \
    2>/dev/null &
  xvfb_pid=$!
  for ((i = 0; i < 200; i++)); do [[ -s $scratch/display ]] && break; sleep 0.05; done
  export DISPLAY=:$(tr -dc '0-9' <"$scratch/display")
  work=$scratch/work
  mkdir -p "$work"
  tmp=$VS_WINEPREFIX/drive_c/users/${USER:-root}/Temp
}

# set_log_pixels DPI: the display scale of the prefix, for programs started after it (a
# screen of VS_E2E_SCREEN=2560x1600x24 holds a window at 200 %).
set_log_pixels() {
  printf 'REGEDIT4\n\n[HKEY_CURRENT_CONFIG\\Software\\Fonts]\n"LogPixels"=dword:%08x\n\n[HKEY_CURRENT_USER\\Control Panel\\Desktop]\n"LogPixels"=dword:%08x\n' \
    "$1" "$1" >"$scratch/scale.reg"
  "$repo/scripts/wine-run" regedit /S "$(winepath_w "$scratch/scale.reg")" || die "cannot set LogPixels"
}

# start PROGRAM: runs it in the background from $work; sets prog_pid and start_ns.
start() {
  start_ns=$(date +%s%N)
  (cd "$work" && VS_WINE_TIMEOUT=${VS_E2E_PROGRAM_TIMEOUT:-90} exec "$repo/scripts/wine-run" "$1") &
  prog_pid=$!
}
# visible_window CLASS SECONDS: the first visible top-level window of the class.
visible_window() {
  local w
  for ((i = 0; i < $2 * 20; i++)); do
    w=$(xdotool search --onlyvisible --classname "$1" 2>/dev/null | head -1)
    [[ -n $w ]] && { echo "$w"; return 0; }
    sleep 0.05
  done
  return 1
}
# geometry WINDOW: sets wx wy ww wh (outer, from the X server).
geometry() {
  eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y|WIDTH|HEIGHT)=')"
  wx=$X wy=$Y ww=$WIDTH wh=$HEIGHT
}
# client_origin WINDOW INNER_W INNER_H: sets cx cy, the screen place of the client area
# (the frame that Wine draws is inside the X window: equal sides, caption on top).
client_origin() {
  geometry "$1"
  local side=$(((ww - $2) / 2))
  cx=$((wx + side)) cy=$((wy + wh - $3 - side))
}
# wait_exit SECONDS: the program's exit code (124 when it had to be stopped).
wait_exit() {
  for ((i = 0; i < $1 * 10; i++)); do
    kill -0 "$prog_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$prog_pid" 2>/dev/null; then
    kill "$prog_pid"
    wait "$prog_pid" 2>/dev/null
    prog_pid=
    return 124
  fi
  wait "$prog_pid"
  local rc=$?
  prog_pid=
  return $rc
}
# close_window WINDOW X Y W H: clicks the client point (X, Y) of a W x H client area to give
# the window the focus, then presses Alt+F4 through the X server, as a user would.
close_window() {
  client_origin "$1" "$4" "$5"
  xdotool mousemove $((cx + $2)) $((cy + $3)) click 1 sleep 0.3 key alt+F4
}
# winepath_w PATH: a Unix path as Wine sees it through drive Z:.
winepath_w() { printf 'Z:%s' "${1//\//\\}"; }
pixel() { convert "$scratch/shot.png" -format "%[pixel:p{$1,$2}]" info: 2>/dev/null; }
# expect_pixel X Y COLOUR WHAT: X, Y in the client area.
expect_pixel() {
  local got
  got=$(pixel $((cx + $1)) $((cy + $2)))
  [[ $got == "$3" ]] && pass "$4: $got" || fail "$4 at ($1,$2): $got, expected $3"
}
# region_has X Y W H COLOUR WHAT: some pixel of the client region has the colour.
region_has() {
  if convert "$scratch/shot.png" -crop "$3x$4+$((cx + $1))+$((cy + $2))" +repage \
    -format %c histogram:info: | grep -q "$5"; then
    pass "$6"
  else
    fail "$6: no $5 in the region ($1,$2 $3x$4)"
  fi
}

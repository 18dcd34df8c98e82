#!/usr/bin/env bash
# The packages under Wine: silent install into a fresh prefix, Apps & Features entry, version,
# first start through the Start-menu shortcut, reinstall, silent uninstall; the zip's exe.
#   package_e2e.sh DIST_BASE NAME VERSION DESCRIPTION_RU PROBE.exe NATIVE_BUILD_DIR BUILT.exe
set -uo pipefail

base=$1 name=$2 version=$3 description=$4 probe=$(realpath "$5") native=$6 built=$7
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
# shellcheck source=../client/e2e_lib.sh
source "$repo/tests/client/e2e_lib.sh"
[[ $base-setup.exe -nt $built && $base-portable.zip -nt $built ]] ||
  die "$base-* missing or older than $built: run scripts/package"
e2e_setup

wrun() { VS_WINE_TIMEOUT=60 "$repo/scripts/wine-run" "$@" 2>>"$scratch/wine.log" | tr -d '\r'; }
ms_since() { echo $((($(date +%s%N) - $1) / 1000000)); }
home=$VS_WINEPREFIX/drive_c/users/${USER:-root} home_w="C:\\users\\${USER:-root}"
inst=$home/AppData/Local/Programs/$name inst_w="$home_w\\AppData\\Local\\Programs\\$name"
data=$home/AppData/Roaming/$name link=$home/AppData/Roaming/Microsoft/Windows/Start\ Menu/Programs
link_w="$home_w\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu\\Programs\\$name.lnk"
key="HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\$name"
has_login() { [[ "$(cat "$1/Registration.ini" 2>/dev/null; echo x)" == $'mail = demo@zq.test\r\npass = demo\r\nx' ]]; }
# The program as the shell started it (no pid of ours): the videosearch.exe of this prefix.
program_pid() { for p in $(pgrep -f 'videosearch\.exe'); do grep -qzx "WINEPREFIX=$VS_WINEPREFIX" "/proc/$p/environ" 2>/dev/null && echo "$p"; done; }
# type_login DIR WHAT: fills in the program's login dialog; the login must land in DIR.
type_login() {
  local dialog
  dialog=$(visible_window videosearch 40) || die "no login dialog"
  client_origin "$dialog" 300 110
  xdotool mousemove $((cx + 150)) $((cy + 22)) click 1 sleep 0.2 type --delay 20 'demo@zq.test'
  xdotool mousemove $((cx + 150)) $((cy + 52)) click 1 sleep 0.2 type --delay 20 'demo'
  xdotool mousemove $((cx + 145)) $((cy + 85)) click 1
  for ((i = 0; i < 100; i++)); do [[ -s $1/Registration.ini ]] && break; sleep 0.1; done
  has_login "$1" && pass "$2" || fail "$2: no login in $1"
}

t0=$(date +%s%N)
wrun "$base-setup.exe" /S && pass "silent install ($(ms_since "$t0") ms)" || fail "silent install"
entry=$(wrun reg query "$key" | tr -s ' ')
for v in "DisplayName REG_SZ $name" "DisplayVersion REG_SZ $version" "NoModify REG_DWORD 0x1" \
  "DisplayIcon REG_SZ $inst_w\\videosearch.exe,0" "InstallLocation REG_SZ $inst_w" \
  "UninstallString REG_SZ \"$inst_w\\uninstall.exe\"" "NoRepair REG_DWORD 0x1" \
  "QuietUninstallString REG_SZ \"$inst_w\\uninstall.exe\" /S"; do
  grep -qxF " $v" <<<"$entry" || fail "the Apps & Features entry lacks '$v'"
done
size_kb=$(($(sed -n 's/^ EstimatedSize REG_DWORD //p' <<<"$entry")))
((size_kb >= $(stat -c %s "$inst/videosearch.exe") / 1024)) && LC_ALL=C grep -qa '^ Publisher REG_SZ .' <<<"$entry" &&
  pass "Apps & Features entry of $size_kb KB" || fail "size $size_kb KB or no publisher"
got=$(wrun "$probe" "$inst_w\\videosearch.exe")
[[ $got == "fixed $version."*$'\n'"041904b0 FileDescription=$description"*"041904b0 ProductVersion=$version"*"040904b0 ProductVersion=$version"* ]] &&
  pass "version $version, Russian block first" || fail "version: $got"

# As from the Start menu, while the current folder is another one.
(cd "$work" && exec "$repo/scripts/wine-run" start "$link_w")
type_login "$data" "the shortcut starts the program, whose login goes to %APPDATA%\\$name"
wrun "$base-setup.exe" /S
(($? == 2)) && pass "a reinstall is refused while the program runs" || fail "reinstall while running"
kill "$(program_pid)"
for ((i = 0; i < 100; i++)); do [[ -z $(program_pid) ]] && break; sleep 0.1; done
wrun "$base-setup.exe" /S && has_login "$data" && [[ -f $inst/videosearch.exe ]] &&
  pass "a reinstall keeps the login" || fail "reinstall: login or program lost"

t0=$(date +%s%N)
wrun "$inst_w\\uninstall.exe" /S
# It hands over to a copy of itself and ends.
for ((i = 0; i < 200; i++)); do [[ -e $inst || -e $link/$name.lnk ]] || break; sleep 0.05; done
[[ ! -e $inst && ! -e $link/$name.lnk ]] && ! wrun reg query "$key" >/dev/null && has_login "$data" &&
  pass "silent uninstall ($(ms_since "$t0") ms): program, shortcut and entry gone, login kept" ||
  fail "after uninstall: $(ls "$inst" "$link" "$data" 2>&1) $(wrun reg query "$key")"

portable=$VS_WINEPREFIX/drive_c/portable
unzip -q "$base-portable.zip" -d "$portable" && [[ -f $portable/README.txt ]] || fail "zip contents"
(cd "$portable" && VS_WINE_TIMEOUT=90 exec "$repo/scripts/wine-run" "$portable/videosearch.exe") &
prog_pid=$!
type_login "$portable" "the portable exe keeps the login beside itself"
echo "$failures failure(s)"
((failures == 0))

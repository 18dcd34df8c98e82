#!/usr/bin/env bash
# End-to-end test of searching: the real program under Wine in a private Xvfb, logged in to
# the stand-in site, driven with xdotool. Checks what the site received (its request log),
# what the program wrote (the temporary files), what it shows (a probe that reads the main
# window's gadgets, and screenshots), and that hostile pages neither crash nor hang it.
#   search_e2e.sh PROGRAM.exe PROBE.exe NATIVE_BUILD_DIR RECORDER.exe
# RECORDER.exe stands in for the system's web browser: it writes down how it was started.
set -uo pipefail

exe=$(realpath "$1") probe_exe=$(realpath "$2") native=$3 recorder=$(realpath "$4")
repo=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
oracle=$repo/tests/client/page_oracle.pl
# shellcheck source=e2e_lib.sh
source "$repo/tests/client/e2e_lib.sh"
stall=6
# The first run of the program takes about two minutes of searches, pictures and plays.
export VS_E2E_PROGRAM_TIMEOUT=${VS_E2E_PROGRAM_TIMEOUT:-300}
e2e_setup --stall-seconds $stall
base=http://zq.test/

# probe [ROWS]: reads the main window into $scratch/probe.txt (UTF-8).
probe() {
  VS_WINE_TIMEOUT=30 "$repo/scripts/wine-run" "$probe_exe" gadgets "${1:-0}" 2>/dev/null |
    iconv -f cp1251 -t utf-8 | tr -d '\r' >"$scratch/probe.txt"
}
field() { sed -n "s/^$1 //p" "$scratch/probe.txt" | head -1; }
# row_field I N: field N (1 top, 2 bottom, 3 text) of row I in the last probe.
row_field() {
  local line
  line=$(grep -m1 "^row $1 " "$scratch/probe.txt") || return 1
  line=${line#row $1 }
  case $2 in
    1) echo "${line%% *}" ;;
    2) line=${line#* }; echo "${line%% *}" ;;
    3) line=${line#* }; echo "${line#* }" ;;
  esac
}
# log_has TARGET [COOKIE]: the site received a GET for exactly this target.
log_has() {
  LC_ALL=C awk -F'\t' -v t="$1" -v c="${2:-}" '$2 == "GET" && $3 == t && (c == "" || $5 == c) {f=1} END {exit !f}' \
    "$scratch/site.log"
}
log_lines() { wc -l <"$scratch/site.log"; }
# gets TARGET: how many GETs for the target the site has answered.
gets() { LC_ALL=C awk -F'\t' -v t="$1" '$2 == "GET" && $3 == t {n++} END {print n + 0}' "$scratch/site.log"; }
# wait_log TARGET SECONDS [BEFORE]: waits until more than BEFORE (default 0) GETs for the
# target have been answered.
wait_log() {
  for ((w = 0; w < $2 * 10; w++)); do (($(gets "$1") > ${3:-0})) && return 0; sleep 0.1; done
  return 1
}
# proxy_form ADDRESS: the target as the download service sends it through the proxy.
proxy_form() { sed -E 's#^http://([^/:]+)/#http://\1:80/#' <<<"$1"; }
# wait_idle SECONDS: until the program answers the probe again. The window answers while
# a transfer runs, so callers first wait for the site to have answered; the program is then
# busy with the answer for a moment (it does not answer while it fills the list).
wait_idle() {
  sleep 0.3
  for ((w = 0; w < $1 * 2; w++)); do
    probe && [[ $(field rows) =~ ^[0-9]+$ ]] && return 0
    sleep 0.5
  done
  return 1
}
alive() { kill -0 "$prog_pid" 2>/dev/null; }
shoot() { import -window root "$scratch/shot.png"; }
# colours X Y W H: number of distinct colours in a client region of the last screenshot.
colours() {
  convert "$scratch/shot.png" -crop "$3x$4+$((cx + $1))+$((cy + $2))" +repage -format %k info:
}

# type_search TEXT: replaces the search field's text by TEXT, typed. xdotool types
# characters that the keyboard lacks (Cyrillic here) through a remapped key, which a busy
# program can read after the next remapping: the field is read back and typed again then.
type_search() {
  # Keys typed before the field has the focus would go to the list.
  xdotool mousemove $((cx + 600)) $((cy + 20)) click 1
  for ((w = 0; w < 20; w++)); do probe && [[ $(field focus) == 103 ]] && break; sleep 0.2; done
  for ((try = 0; try < 3; try++)); do
    xdotool key End shift+Home BackSpace
    [[ -n $1 ]] && xdotool type --delay $((25 + 75 * try)) "$1"
    probe
    [[ $(field text103) == "$1" ]] && return 0
  done
  fail "the search field holds '$(field text103)' after typing '$1' three times"
}
# search TEXT: types TEXT into the search field (replacing what it holds) unless TEXT is
# "-keep", clicks the search link and waits for the page request and the list.
search() {
  local text=$1 q
  if [[ $text != -keep ]]; then
    type_search "$text"
  else
    text="Фантастика 720"
  fi
  # The program sends the text's Windows-1251 bytes percent-escaped (app/addresses.h).
  q=$(printf '%s' "$text" | iconv -f utf-8 -t cp1251 |
    LC_ALL=C perl -pe 's/([^\x21-\x7E]|[%+#&])/sprintf("%%%02X", ord $1)/ge')
  search_target="http://zq.test:80/gsearch.php?section=video&q=$q&name=1"
  local n
  n=$(gets "$search_target")
  xdotool mousemove $((cx + 720)) $((cy + 20)) click 1
  if ! wait_log "$search_target" $((stall + 20)) "$n"; then
    probe
    shoot
    fail "no search request for '$text': the field holds '$(field text103)', the label '$(field text112)'; the site's last: $(tail -2 "$scratch/site.log" | cut -f3,6)"
    return 1
  fi
  wait_idle 30 || { fail "the program does not answer after the search for '$text'"; return 1; }
  perl "$oracle" results "$tmp/Text.txt" >"$scratch/oracle.txt"
  expected_rows=$(sed -n 's/^rows //p' "$scratch/oracle.txt")
}
# choose I: clicks row I (scrolled into view by the caller) and waits for its video page.
choose() {
  local top bottom link n
  probe $(($1 + 1))
  top=$(row_field "$1" 1) bottom=$(row_field "$1" 2)
  link=$(sed -n "s/^link $1 //p" "$scratch/oracle.txt")
  n=$(gets "http://zq.test:80/$link")
  xdotool mousemove $((cx + 600)) $((cy + (top + bottom) / 2)) click 1
  wait_log "http://zq.test:80/$link" 20 "$n" || fail "no video page request for row $1 ($link)"
  wait_idle 20
}
# play I: double-clicks row I and waits for its video page to be read twice. 111.htm is
# first filled with more bytes than any player page, so that a page written over it
# without emptying it first would show.
play() {
  local top bottom link n
  link="http://zq.test:80/$(sed -n "s/^link $1 //p" "$scratch/oracle.txt")"
  n=$(gets "$link")
  head -c 5000 /dev/zero | tr '\0' '#' >"$tmp/111.htm"
  probe $(($1 + 1))
  top=$(row_field "$1" 1) bottom=$(row_field "$1" 2)
  xdotool mousemove $((cx + 600)) $((cy + (top + bottom) / 2)) click --repeat 2 --delay 60 1
  # The click chooses the row (one video page), the double click plays it (another).
  for ((w = 0; w < 200; w++)); do (($(gets "$link") > n + 1)) && break; sleep 0.1; done
  wait_idle 20
}
# expect_player_page: 111.htm holds exactly the page for the last player line of film.htm.
expect_player_page() {
  local want
  want_page=$(perl "$oracle" player "$tmp/film.htm" "$base" zq.test | grep '^page ' | tail -1)
  want=${want_page#page }
  if [[ -n $want && "$(cat "$tmp/111.htm"; echo x)" == "$want"$'\r\nx' ]]; then
    pass "$1: 111.htm holds the player page alone"
  else
    fail "$1: 111.htm is '$(head -c 400 "$tmp/111.htm" 2>/dev/null)', expected '$want'"
  fi
}

# --- start, logged in --------------------------------------------------------------------
printf 'mail = demo@zq.test\r\npass = demo\r\n' >"$work/Registration.ini"
# The stand-in browser for http addresses, and the file it writes.
"$repo/scripts/wine-run" reg add 'HKEY_CLASSES_ROOT\http\shell\open\command' /ve /f \
  /d "\"$(winepath_w "$recorder")\" \"%1\"" >/dev/null 2>&1 || die "cannot register the stand-in browser"
export VS_HELPER_OUT=$(winepath_w "$scratch/browser.txt")
downloads=$VS_WINEPREFIX/drive_c/users/${USER:-root}/Downloads
start "$exe"
main=$(visible_window videosearch 40) || die "no main window"
client_origin "$main" 780 610
for ((w = 0; w < 100; w++)); do
  grep -P '\tlogin\.zq\.test\t1?0?\t302\t' "$scratch/site.log" >/dev/null 2>&1 && break
  grep -qP '\tlogin\.zq\.test\t' "$scratch/site.log" 2>/dev/null && break
  sleep 0.1
done
sleep 0.5
probe
about=$(field text112)
shoot
convert "$scratch/shot.png" -crop "160x120+$((cx + 310))+$((cy + 450))" +repage "$scratch/no-preview.png"

# --- the field's own text ----------------------------------------------------------------
search -keep
log_has "$search_target" 1 && pass "search for the field's text, sent with the session cookie" ||
  fail "search request with cookie missing: $(cut -f2-6 "$scratch/site.log" | tail -3)"
[[ $(field rows) == 11 && $expected_rows == 11 ]] && pass "11 rows for 'Фантастика 720'" ||
  fail "rows $(field rows), page has $expected_rows"
probe 11
bad=0
for ((i = 0; i < 11; i++)); do [[ $(row_field $i 3) == *720* ]] || bad=1; done
((bad == 0)) && pass "every row shows its title" || fail "row texts: $(grep '^row' "$scratch/probe.txt")"
shoot
region_has 510 55 250 160 '#897F62' "the rows are drawn in the front colour"

i=2
row_text=$(row_field $i 3)
picture=$(sed -n "s/^picture $i //p" "$scratch/oracle.txt")
choose $i
log_has "$(proxy_form "$picture")" && pass "row $i: its picture address requested" ||
  fail "row $i: no request for $picture"
[[ $(field selected) == "$i" ]] && pass "row $i selected" || fail "selected $(field selected)"
[[ $(field text113) == "$row_text" ]] && pass "title label = row text" ||
  fail "title label '$(field text113)', row '$row_text'"
desc=$(field text112)
[[ -n $desc && $desc != "$about" && $desc != *'&'*';'* ]] && pass "description label set: $desc" ||
  fail "description label '$desc'"
[[ $(field preview) == "160 120" ]] && pass "preview gadget holds the 160x120 picture" ||
  fail "preview size $(field preview)"
shoot
(($(colours 310 450 160 120) > 20)) && pass "the preview is drawn" || fail "preview region is flat"

play $i
expect_player_page "double click"
[[ $(field text112) == "Встроенный браузер не показывает страниц: видео открыто в вашем браузере." ]] &&
  pass "the first play says that the video opens in the system's browser" ||
  fail "no word that the video opened in the system's browser: '$(field text112)'"
[[ $(xdotool getwindowname "$main") == "$row_text" ]] && pass "window title = row text" ||
  fail "window title '$(xdotool getwindowname "$main")'"
[[ $(field player) == 1 ]] && pass "player panel and its web view exist" || fail "no player panel"

download=$(perl "$oracle" player "$tmp/film.htm" "$base" zq.test | sed -n 's/^download //p' | tail -1)
xdotool mousemove $((cx + 250)) $((cy + 580)) click 1
if wait_log "$(proxy_form "$download")" 15 && log_has "$(proxy_form "$download")" 1; then
  pass "download link: the file server got the GET for $download with the cookie"
else
  fail "no GET for $download: $(cut -f2-6 "$scratch/site.log" | tail -3)"
fi

# --- more than 51 results, then fewer, then the empty search, then typed Cyrillic ---------
search 720
[[ $(field rows) == 56 && $expected_rows == 56 ]] && pass "56 rows for '720'" ||
  fail "rows $(field rows) for '720', page has $expected_rows"
# wholly_shown I: row I lies wholly inside the list's panel (y 52 to 562) in the last probe.
wholly_shown() { (($(row_field "$1" 1) >= 52 && $(row_field "$1" 2) <= 562)); }
picture_of() { proxy_form "$(sed -n "s/^picture $1 //p" "$scratch/oracle.txt")"; }
page_of() { echo "http://zq.test:80/$(sed -n "s/^link $1 //p" "$scratch/oracle.txt")"; }
# requests_since MARK I: "PICTURES/PAGES" requested for row I after log line MARK.
requests_since() {
  tail -n +$(($1 + 1)) "$scratch/site.log" | LC_ALL=C awk -F'\t' -v p="$(picture_of "$2")" \
    -v v="$(page_of "$2")" '$2 == "GET" {n += $3 == p; m += $3 == v} END {print n + 0 "/" m + 0}'
}
# A held Down key moves a row, waits out the repeat delay, then repeats fast: the first
# row and the last are chosen once each when the selection rests, the rows between never.
choose 0
mark=$(log_lines)
xdotool key Down sleep 0.4 key --delay 40 Down Down Down Down
wait_log "$(page_of 5)" 10
sleep 0.5
probe 6
counts=$(for i in 1 2 3 4 5; do printf '%s ' "$(requests_since "$mark" $i)"; done)
[[ $(field selected) == 5 && $counts == "1/1 0/0 0/0 0/0 1/1 " && $(field text113) == "$(row_field 5 3)" ]] &&
  pass "held Down from row 0: rows 1 and 5 chosen once each (picture/page per row 1-5: $counts)" ||
  fail "held Down: selected $(field selected), requests $counts, title '$(field text113)'"
xdotool key End
chosen=$(wait_log "$(picture_of 55)" 10 && echo yes)
wait_idle 20
probe 56
[[ $(field selected) == 55 && $chosen == yes ]] && wholly_shown 55 &&
  pass "End: row 56 of 56 wholly in view, its picture requested after the pause" ||
  fail "End: selected $(field selected), row 55 at $(row_field 55 1), picture requested: $chosen"
# Enter plays the row, as a double click does: the window title becomes its text.
row_text=$(row_field 55 3)
xdotool key Return
for ((w = 0; w < 50; w++)); do [[ $(xdotool getwindowname "$main") == "$row_text" ]] && break; sleep 0.2; done
[[ $(xdotool getwindowname "$main") == "$row_text" ]] && pass "Enter plays the row" ||
  fail "after Enter: window title '$(xdotool getwindowname "$main")' for '$row_text'"
wait_idle 20
# The wheel and the scroll bar reach the last row too.
xdotool mousemove $((cx + 600)) $((cy + 300))
for ((k = 0; k < 20; k++)); do xdotool click 5; done
sleep 0.3
probe 56
wholly_shown 55 && pass "the wheel scrolls row 56 wholly into view" || fail "the wheel: row 55 at $(row_field 55 1)"
for ((k = 0; k < 20; k++)); do xdotool click 4; done
sleep 0.3 && probe 56 && wholly_shown 55 && fail "the wheel did not scroll back up"
xdotool mousemove $((cx + 759)) $((cy + 500)) click --repeat 3 --delay 150 1
sleep 0.3
probe 56
wholly_shown 55 && pass "the scroll bar scrolls row 56 wholly into view" || fail "the scroll bar: row 55 at $(row_field 55 1)"
choose 55
[[ $(field selected) == 55 ]] && log_has "$(picture_of 55)" &&
  pass "row 56 of 56: clicked, its own picture and video page" || fail "row 55: selected $(field selected)"
search "Фантастика 720"
[[ $(field rows) == 11 ]] && pass "a second search with fewer results shows 11 rows" ||
  fail "rows $(field rows) after the shorter search (field '$(field text103)')"
search ""
[[ $(field rows) == 64 && $expected_rows == 64 ]] && pass "empty search: q= directly before &name=1, 64 rows" ||
  fail "empty search: rows $(field rows)"
search "котики 720"
[[ $(field rows) == "$expected_rows" && $expected_rows -ge 1 ]] &&
  pass "typed Cyrillic text with a blank: sent byte for byte, $expected_rows row(s)" ||
  fail "typed search: rows $(field rows), page has $expected_rows"

# --- references and search-word marks: clean titles -------------------------------------
search zqtest-references
choose 0
probe 2
[[ $(row_field 0 3) == "<b> & 720p" && $(row_field 1 3) == "720p (720p) Ёё &lt;i&gt;" &&
  $(field text113) == "<b> & 720p" && $(field text112) == "Tom & Jerry <3" ]] &&
  pass "references and marks cleaned: '<b> & 720p', '$(row_field 1 3)', 'Tom & Jerry <3'" ||
  fail "rows '$(row_field 0 3)', '$(row_field 1 3)', labels '$(field text113)', '$(field text112)'"

# --- hostile pages -----------------------------------------------------------------------
choose 0  # a real picture on screen before the bad ones
for s in zqtest-longline zqtest-nul zqtest-noend zqtest-10000 zqtest-404 zqtest-cut \
  zqtest-empty zqtest-stall; do
  t0=$(date +%s%N)
  rows_before=$(field rows)
  search "$s" || continue
  ms=$((($(date +%s%N) - t0) / 1000000))
  rows=$(field rows) text=$(field text112)
  case $s in
    zqtest-404 | zqtest-cut) want=$rows_before ;;  # a failure keeps the list (and Text.txt)
    zqtest-empty) want=0 ;;
    zqtest-nul) want=$rows ;;  # NULs end lines: checked for survival only
    *) want=$expected_rows ;;
  esac
  case $s in
    zqtest-404) [[ $text == *"Поиск не удался: сайт ответил ошибкой 404."* ]] ;;
    zqtest-cut) [[ $text == *"Поиск не удался: соединение оборвалось"* ]] ;;
    zqtest-empty) [[ $text == "По запросу «zqtest-empty» ничего не найдено." ]] ;;
    *) [[ $text != *"Поиск не удался"* ]] ;;
  esac || fail "$s: the description label says '$text'"
  if alive && [[ $rows == "$want" ]]; then
    pass "$s: $rows rows, answering again after $ms ms"
  else
    fail "$s: rows $rows (page has $expected_rows), alive $(alive && echo yes || echo no)"
  fi
done

# A server that takes the request and never answers: the window answers throughout the
# wait, the search fails by the time limit, and the files of the last search stay.
sums() { (cd "$tmp" && md5sum Text.txt film.htm); }
before=$(sums) rows_before=$(field rows)
type_search zqtest-silent
t0=$(date +%s%N)
xdotool mousemove $((cx + 720)) $((cy + 20)) click 1
answers=$(VS_WINE_TIMEOUT=40 "$repo/scripts/wine-run" "$probe_exe" answers 14 2>/dev/null | tr -d '\r')
[[ $answers =~ over200\ 0$ ]] && pass "the window answers within 200 ms while the site is silent: $answers" ||
  fail "the window was slow to answer during the wait: $answers"
for ((w = 0; w < 60; w++)); do probe; [[ $(field text112) == *"не ответил"* ]] && break; sleep 0.5; done
ms=$((($(date +%s%N) - t0) / 1000000))
[[ $(field text112) == "Поиск не удался: сайт не ответил вовремя. В списке остались прежние результаты." &&
  $(field rows) == "$rows_before" ]] && pass "a silent site: the search fails after $ms ms, the list stays" ||
  fail "silent site: label '$(field text112)', rows $(field rows) of $rows_before, after $ms ms"
[[ $(sums) == "$before" ]] && pass "Text.txt and film.htm are unchanged after the failure" ||
  fail "the files of the last search changed"
search zqtest-noend && choose 0 && alive && pass "zqtest-noend: a row with an empty link is chosen safely"

search zqtest-notpicture
for ((i = 0; i < 4; i++)); do
  choose $i
  alive || { fail "the program ended on bad picture $i"; break; }
done
shoot
convert "$scratch/shot.png" -crop "160x120+$((cx + 310))+$((cy + 450))" +repage "$scratch/after.png"
if [[ $(compare -metric AE "$scratch/no-preview.png" "$scratch/after.png" null: 2>&1) == 0 ]]; then
  pass "bad pictures: the preview is emptied, as before any picture"
else
  fail "the preview region after bad pictures differs from the empty preview"
fi
search zqtest-hugepng && choose 0 && alive && pass "a PNG claiming 60000x60000 is refused"

for s in zqtest-video-quotes zqtest-video-script zqtest-video-otherhost zqtest-video-twice \
  zqtest-video-thrice; do
  search "$s" || continue
  for ((i = 0; i < expected_rows; i++)); do
    choose $i
    rm -f "$scratch/browser.txt"
    play $i
    expect_player_page "$s row $i"
    # Without an HTML engine the player frame opens in the system's browser.
    frame=$(sed -n "s/^page .*<iframe src='\([^']*\)'.*/\1/p" <<<"$want_page")
    for ((w = 0; w < 50; w++)); do [[ -s $scratch/browser.txt ]] && break; sleep 0.1; done
    [[ $(head -1 "$scratch/browser.txt" 2>/dev/null | tr -d '\r') == *"\"$frame\"" ]] &&
      pass "$s row $i: the system's browser was given $frame" ||
      fail "$s row $i: the browser got '$(head -1 "$scratch/browser.txt" 2>/dev/null)', expected $frame"
    probe
    [[ $(field text112) == "Встроенный браузер"* ]] && fail "the word about the system's browser came again"
    if [[ $s == zqtest-video-t* ]]; then
      play $i
      expect_player_page "$s row $i, played again"
    fi
    grep -qiE '<script|onload=|onerror=' "$tmp/111.htm" && fail "$s row $i: markup got through"
    n=$(log_lines)
    xdotool mousemove $((cx + 250)) $((cy + 580)) click 1
    sleep 1.5
    want=$(perl "$oracle" player "$tmp/film.htm" "$base" zq.test | sed -n 's/^download //p' | tail -1)
    [[ -z $want ]] || log_has "$(proxy_form "$want")" || fail "$s row $i: no GET for $want"
    if tail -n +$((n + 1)) "$scratch/site.log" | cut -f4 | grep -vqE '(^|\.)zq\.test$'; then
      fail "$s row $i: a request left the site: $(tail -n +$((n + 1)) "$scratch/site.log" | cut -f3,4)"
    else
      pass "$s row $i: download stays on the site (${want:-line refused})"
    fi
  done
done
# A video page without a player line: the earlier panel and title stay, the label says why,
# and the download link fetches nothing (not the earlier video's file).
title_before=$(xdotool getwindowname "$main")
search zqtest-video-nomarker && choose 0
probe
nomarker_label=$(field text112)
play 0
alive && [[ $(xdotool getwindowname "$main") == "$title_before" && $(field player) == 1 &&
  $(field text112) == "Видео не открылось: на странице видео нет проигрывателя." ]] &&
  pass "a video page without a player line: the earlier panel and title stay, the label says why" ||
  fail "no player line: title '$(xdotool getwindowname "$main")' (was '$title_before'), label '$(field text112)'"
n=$(log_lines)
xdotool mousemove $((cx + 250)) $((cy + 580)) click 1
sleep 1
probe
[[ $nomarker_label == "На странице этого видео нет адреса файла: скачать нечего." &&
  $(field text112) == "$nomarker_label" ]] && ! tail -n +$((n + 1)) "$scratch/site.log" | grep -q '\.mp4' &&
  pass "no player line: the download address is cleared and the label says so" ||
  fail "no player line: label after the row '$nomarker_label', after the download click '$(field text112)'"

# --- downloads: saved in Downloads with progress, " (2)" for a second copy, no duplicate
# while one runs, nothing complete-looking after a cut ---------------------------------------
search zqtest-video-files
choose 0
big=http://cs1.zq.test/u9/video/big50.480.mp4
curl -s -x "$http_proxy" -o "$scratch/big.bin" "$big"
n=$(gets "$(proxy_form "$big")")
t0=$(date +%s%N)
xdotool mousemove $((cx + 250)) $((cy + 580)) click 1 sleep 0.3 click 1
progress=
for ((w = 0; w < 100; w++)); do
  probe
  [[ -z $progress && $(field text114) == *% ]] && progress=$((($(date +%s%N) - t0) / 1000000))
  [[ $(field text112) == "Видео сохранено: "* ]] && break
  sleep 0.2
done
[[ -n $progress ]] && pass "the download's progress shows $progress ms after the click" ||
  fail "no progress shown in place of the link"
[[ $(field text112) == 'Видео сохранено: C:\users\'*'\Downloads\big50.480.mp4' && $(field text114) == Скачать ]] &&
  cmp -s "$downloads/big50.480.mp4" "$scratch/big.bin" && (($(gets "$(proxy_form "$big")") == n + 1)) &&
  pass "50 MiB saved byte for byte in Downloads, fetched once for two clicks: $(field text112)" ||
  fail "download: label '$(field text112)', link '$(field text114)', GETs $(($(gets "$(proxy_form "$big")") - n))"
xdotool mousemove $((cx + 250)) $((cy + 580)) click 1
for ((w = 0; w < 50; w++)); do [[ -f "$downloads/big50.480 (2).mp4" ]] && break; sleep 0.2; done
cmp -s "$downloads/big50.480 (2).mp4" "$scratch/big.bin" && pass "a second copy is saved as 'big50.480 (2).mp4'" ||
  fail "no second copy: $(ls "$downloads")"
choose 1
xdotool mousemove $((cx + 250)) $((cy + 580)) click 1
for ((w = 0; w < 50; w++)); do probe; [[ $(field text112) == Скачивание* ]] && break; sleep 0.2; done
[[ $(field text112) == "Скачивание не удалось: соединение оборвалось на полпути." && -z $(ls "$downloads" | grep cut) ]] &&
  pass "a cut download says so and leaves nothing" || fail "cut download: '$(field text112)', $(ls "$downloads")"

# --- close after viewing: the question ---------------------------------------------------
# question_and ANSWER-KEYS: closes the main window, answers the question, checks the exit.
question_and() {
  close_window "$main" 500 600 780 610
  local box= t0
  t0=$(date +%s%N)
  for ((w = 0; w < 100; w++)); do
    box=$(xdotool search --onlyvisible --name 'Закрыть!' 2>/dev/null | head -1)
    [[ -z $box ]] && box=$(xdotool search --onlyvisible --pid "$(pgrep -f 'videosearch.exe' | head -1)" 2>/dev/null | grep -vx "$main" | head -1)
    [[ -n $box ]] && break
    sleep 0.1
  done
  question_ms=$((($(date +%s%N) - t0) / 1000000))
  [[ -n $box ]] && pass "closing after viewing asks" || fail "no question on close"
  xdotool windowfocus "$box" 2>/dev/null
  xdotool key $1
  wait_exit 20
  local rc=$?
  ((rc == 0)) && pass "exit code 0 after answering" || fail "exit code $rc after answering"
}
# Closing while a search waits for a stalled page: the question at once, and Yes ends it.
type_search zqtest-stall-60
xdotool mousemove $((cx + 720)) $((cy + 20)) click 1
sleep 1.5  # half the page has come, the rest waits
t0=$(date +%s%N)
question_and Return  # Yes
ms=$((($(date +%s%N) - t0) / 1000000))
((question_ms < 1000 && ms - question_ms < 1500)) &&
  pass "closing during a transfer: question after $question_ms ms, gone $((ms - question_ms)) ms after Yes" ||
  fail "closing during a transfer: question after $question_ms ms, gone $((ms - question_ms)) ms after Yes"
left=$(cd "$tmp" && ls Text.txt defolt.jpg 111.htm film.htm ./*.part 2>/dev/null)
[[ -z $left ]] && pass "Yes deletes the four temporary files, and nothing of the transfer stays" ||
  fail "left behind: $left"

start "$exe"
main=$(visible_window videosearch 40) || die "no main window at the second start"
client_origin "$main" 780 610
sleep 1
search -keep
play 0
# With the connection refused, a row click shows no picture (not the previous one), and
# the download link then fetches nothing (not the previous video's file).
site_stop
probe 2
xdotool mousemove $((cx + 600)) $((cy + ($(row_field 1 1) + $(row_field 1 2)) / 2)) click 1
wait_idle 30
shoot
convert "$scratch/shot.png" -crop "160x120+$((cx + 310))+$((cy + 450))" +repage "$scratch/after.png"
[[ $(field selected) == 1 && $(compare -metric AE "$scratch/no-preview.png" "$scratch/after.png" null: 2>&1) == 0 ]] &&
  pass "connection refused: the row click shows an empty preview" ||
  fail "connection refused: selected $(field selected), the preview is not empty"
site_start "$port"
n=$(log_lines)
xdotool mousemove $((cx + 250)) $((cy + 580)) click 1
sleep 1.5
probe
if tail -n +$((n + 1)) "$scratch/site.log" | grep -q '\.mp4'; then
  fail "the download link fetched a file after the failed video page"
elif [[ $(field text112) != "Страница видео не загрузилась: нет соединения с сайтом." ]]; then
  fail "after the failed video page the download link says '$(field text112)'"
else
  pass "the download link fetches nothing after the failed video page, and says why: $(field text112)"
fi
question_and "Tab Return"  # No
left=$(cd "$tmp" && ls Text.txt defolt.jpg 111.htm film.htm 2>/dev/null | wc -l)
((left == 4)) && pass "No keeps the four temporary files" || fail "$left of the four files kept"

echo "$failures failure(s)"
((failures == 0))

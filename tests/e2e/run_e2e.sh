#!/usr/bin/env bash
# End-to-end test of QuillmarkLauncher.exe (its build with the test hooks) under Wine in an
# X display, against releases made by quillmark-publish and served by nginx on loopback.
#
#   install     a start in an empty folder installs the game and reaches READY TO PLAY
#   second      a second start brings the first (minimised with Escape) back and exits 0
#   play        a click on PLAY starts the fake game (command line, working folder) and the
#               launcher exits
#   error       the server is down: ERROR with the connection message
#   download    a slow server: mid-download, with speed, time left and transfer line; meanwhile
#               quillmark-update on the same folder is refused at once (one writer per folder)
#   pause       a slow release with a large file: the pause control stops the transfers within
#               a second (counted at nginx), the window shows PAUSED and keeps the partial file;
#               the control resumes; closed while paused, the next start resumes by itself and
#               completes the folder, and no object that had arrived whole is fetched again
#   self-update the release names another launcher build, signed with Authenticode by a
#               throw-away certificate: it replaces itself (the signed bytes, whose signature
#               still verifies), restarts with --updated, finishes the update, and no .old file
#               is left
#   front page  the header and the news of the release: a link click reaches the shell (the
#               hooks record it), Tab from no focus reaches a news row, "Advanced settings"
#               and PLAY with the focus ring round each, the card expands, the language list
#               opens and Deutsch turns every text German and writes loca.cfg; the close
#               button ends the launcher
#   close       the close button during a download: exit 0, no temporary file left
#   settings    the side panel's resolution list; "Advanced settings" and each of its seven
#               pages; the wheel over a long page; one Choice, one List, one Toggle and one
#               Slider (dragged) changed and saved: vessa.cfg differs in exactly those lines,
#               its comments, blank lines, unknown keys and CR LF kept; the close button from
#               the pages. Then with the fake game running, a start with --settings=1 shows the
#               pages with the warning band and "Save & play" disabled (Save saves); once the
#               game has ended "Save & play" saves and starts it
#
# Screenshots of the window (PNG) go to OUT_DIR: ready.png, restored.png, error.png,
# downloading.png, paused.png, updated.png, front-page.png, keyboard-news-row.png,
# keyboard-play.png, news-expanded.png, language-list.png,
# deutsch.png, resolution-list.png, settings-page-0.png ... settings-page-6.png,
# settings-edited.png, settings-warning.png; each is taken once the window shows the colours
# expected at the screen's places. Controls of the settings are clicked where the last frame
# put them: the hooks report its regions and slider tracks in the status file. The state is
# read from the status file that the hooks write after each painted frame; nothing waits a
# fixed time for something to happen.
#
# Usage: run_e2e.sh LAUNCHER_E2E_EXE PUBLISH_EXE FAKE_GAME_EXE UPDATE_EXE OUT_DIR
# Uses $DISPLAY and $WINEPREFIX when set (scripts/wine-env.sh sets both); otherwise starts
# Xvfb and uses a prefix beside OUT_DIR.
set -uo pipefail

launcher_exe=$(realpath "$1")
publish_exe=$(realpath "$2")
fake_exe=$(realpath "$3")
update_exe=$(realpath "$4")
out_dir=$5
mkdir -p "$out_dir"
out_dir=$(realpath "$out_dir")

export WINEPREFIX=${WINEPREFIX:-$(dirname "$out_dir")/e2e-wineprefix}
work=$(mktemp -d)
here=$(dirname "$(realpath "$0")")
# shellcheck source=e2e_lib.sh
source "$here/e2e_lib.sh"
trap e2e_cleanup EXIT
e2e_start_wine

# ---- releases
game="$work/game"
mkdir -p "$game/data/levels" "$work/stage" "$work/www/patch" "$work/www/slow/patch" "$work/www/self/patch" \
  "$work/www/pause/patch"
cp "$fake_exe" "$game/Play Quillmark.exe"
printf 'Quillmark test data\r\n' > "$game/data/readme.txt"
head -c 300000 /dev/urandom > "$game/data/levels/level1.dat"
# The news and links of the demo's release: nine entries of the three kinds, some in German.
cp "$here/release/news.json" "$work/news.json"
cp "$here/release/links.json" "$work/links.json"
cp "$launcher_exe" "$work/stage/QuillmarkLauncher.exe"
# Another build of the launcher: the same program signed with Authenticode by a throw-away
# certificate, as a studio publishes it. The self-update must put it in place byte for byte,
# its signature intact.
mkdir -p "$work/stage2"
cp "$launcher_exe" "$work/stage2/QuillmarkLauncher.exe"
bash "$here/test_certificate.sh" "$work/certificate" 2
bash "$here/../../scripts/sign.sh" --cert "$work/certificate/signer.pem" --key "$work/certificate/signer.key" \
  "$work/stage2/QuillmarkLauncher.exe" >/dev/null || fail "could not sign the launcher"
osslsigncode verify -in "$work/stage2/QuillmarkLauncher.exe" -CAfile "$work/certificate/ca.pem" >/dev/null 2>&1 ||
  fail "the signed launcher does not verify"

e2e_keygen "$publish_exe"
build_release() {  # out launcher_stage [extra...]
  local out=$1 stage=$2; shift 2
  publish build --game "$(winpath "$game")" --out "$(winpath "$out")" --version 7 \
    --key "$(winpath "$work/e2e.key")" --news "$(winpath "$work/news.json")" \
    --links "$(winpath "$work/links.json")" --launcher "$(winpath "$stage/QuillmarkLauncher.exe")" \
    "$@" >"$work/publish.log" 2>&1 || fail "publish build: $(cat "$work/publish.log")"
}
build_release "$work/www/patch" "$work/stage"
build_release "$work/www/self/patch" "$work/stage2"
# The slow release has one large file more, so that its download lasts: under the chunking
# threshold, so that it is one transfer at the slow server's rate (chunks would be fetched 32
# at a time, each at that rate), about 30 s.
head -c 4000000 /dev/urandom > "$game/data/levels/big.dat"
build_release "$work/www/slow/patch" "$work/stage"
rm "$game/data/levels/big.dat"
# The pause release has a large file instead, cut into chunks (about 60), which the slow
# location sends at 32 KiB/s each: the download lasts about fifteen seconds.
head -c 12000000 /dev/urandom > "$game/data/levels/huge.dat"
cp "$game/data/levels/huge.dat" "$work/huge.dat"
build_release "$work/www/pause/patch" "$work/stage"
rm "$game/data/levels/huge.dat"

# The pause release's answers are logged (time, status, body bytes sent, their announced length,
# path), and the server's count of answers being sent is at /nginx_status.
e2e_start_nginx "location /slow/ { limit_rate 128k; }
    location /pause/ { limit_rate 32k; access_log $work/nginx/pause.log e2e; }
    location = /nginx_status { stub_status; }"

# ---- the launcher
new_folder() {
  mkdir -p "$work/$1"
  cp "$launcher_exe" "$work/$1/QuillmarkLauncher.exe"
  echo "$work/$1"
}
# shellcheck source=window_shots.sh
source "$(dirname "$(realpath "$0")")/window_shots.sh"
screenshot() {  # FILE CHECK...
  local file=$1; shift
  qm_screenshot "$out_dir/$file" 20 "$@" ||
    fail "the window never showed what $file should (see $out_dir/failed-$file)"
  echo "screenshot: $out_dir/$file"
}
window_origin() {
  local origin
  origin=$(qm_window_origin) || fail "no visible launcher window"
  x=${origin% *}; y=${origin#* }
}

# region NAME ID ITEM: "X Y", the centre of the last frame's (topmost) region with that action
# id and item; 1 when there is none.
region() {
  awk -v id="$2" -v item="$3" '
    $1 == "region=" id && $2 == item { x = int(($3 + $5) / 2); y = int(($4 + $6) / 2); found = 1 }
    END { if (!found) exit 1; print x, y }' "$work/status-$1.txt"
}
click_region() {  # NAME ID ITEM
  local at
  at=$(region "$@") || fail "no region $2 item $3 in the last frame"
  window_origin
  click ${at% *} ${at#* }
}
has_line() { grep -qx -- "$2" "$work/status-$1.txt" 2>/dev/null; }
# tab_to NAME ID ITEM: Tab from where the focus is until it is on that region, each press
# once the last one's frame was shown; 1 after a round of 60 presses without it.
tab_to() {
  local focus
  for _ in $(seq 60); do
    has_line "$1" "focus=$2 $3" && return 0
    focus=$(field "$1" focus)
    xdotool key Tab
    wait_for "the focus to move from $focus" 20 bash -c "! grep -qx 'focus=$focus' '$work/status-$1.txt'"
  done
  return 1
}
click() { xdotool mousemove $((x + $1)) $((y + $2)) click 1; }

# 1. install into an empty folder
g1=$(new_folder g1)
start_launcher install "$g1" "$base/patch/"
install_pid=$last_pid
wait_for "READY TO PLAY" 120 status_is install $phase_ready 0
[ "$(field install title)" = "READY TO PLAY" ] || fail "title: $(field install title)"
for f in "Play Quillmark.exe" data/readme.txt data/levels/level1.dat; do
  cmp -s "$game/$f" "$g1/$f" || fail "installed $f differs"
done
[ -f "$g1/patcher.ini" ] && [ -f "$g1/patcher_cache.dat" ] || fail "patcher.ini or patcher_cache.dat missing"
screenshot ready.png "${qm_ready_checks[@]}"

# 2. a second start restores the first and leaves with 0
window_origin
xdotool mousemove $((x + 500)) $((y + 300)) click 1   # the backdrop: takes the focus
xdotool key Escape                                     # with nothing open: minimise
wait_for "the window to minimise" 20 bash -c "grep -q '^iconic=1$' '$work/status-install.txt'"
(cd "$g1" && exec timeout 60 wine "$g1/QuillmarkLauncher.exe" </dev/null >/dev/null 2>&1)
second=$?
[ $second -eq 0 ] || fail "second start exited with $second"
wait_for "the first window to be restored" 20 bash -c "grep -q '^iconic=0$' '$work/status-install.txt'"
status_is install $phase_ready 0 || fail "the first launcher is not ready any more"

# 3. PLAY starts the game and closes the launcher
screenshot restored.png "${qm_ready_checks[@]}"
window_origin
xdotool mousemove $((x + 949)) $((y + 629)) click 1
wait_for "the fake game's record" 30 test -f "$g1/fake_game_record.txt"
record=$(cat "$g1/fake_game_record.txt")
grep -q '^command=.*Play Quillmark.exe.* /launcher:quillmark$' <<<"$record" || fail "game command line: $record"
folder=$(sed -n 's/^folder=//p' <<<"$record" | tr -d '\r')
[ "${folder%\\}" = "$(winpath "$g1")" ] || [ "${folder%\\}" = "$(winpath "$g1" | tr 'a-z' 'A-Z')" ] ||
  fail "game working folder: $folder (expected $(winpath "$g1"))"
wait_for "the launcher to exit after PLAY" 30 bash -c "! kill -0 $install_pid 2>/dev/null"
wait "$install_pid"; code=$?
[ $code -eq 0 ] || fail "launcher exit code after PLAY: $code"
rm -f "$work/status-install.txt"
echo "ok: install, second start, play"

# 4. the server is down
g2=$(new_folder g2)
start_launcher error "$g2" "http://127.0.0.1:1/patch/"
wait_for "ERROR" 60 status_is error $phase_error 0
[ "$(field error error)" = "Could not connect to the patch server." ] || fail "error text: $(field error error)"
screenshot error.png "${qm_error_checks[@]}"
stop_launcher error
echo "ok: server down"

# 5. mid-download from a slow server
g4=$(new_folder g4)
start_launcher download "$g4" "$base/slow/patch/"
wait_for "a download with a measured speed" 90 bash -c "grep -q '^phase=$phase_downloading$' '$work/status-download.txt' 2>/dev/null && ! grep -q '^speed=0$' '$work/status-download.txt'"
screenshot downloading.png "${qm_download_checks[@]}"
busy=$(cd "$g4" && timeout 60 wine "$update_exe" --dir "$(winpath "$g4")" --patch-url "$base/slow/patch/" \
  --public-key "$public_key" --lang en </dev/null 2>&1)
code=$?
[ $code -eq 6 ] || fail "quillmark-update beside a running launcher exited with $code (6: the folder is busy): $busy"
grep -q "Another update of this game folder is running." <<<"$busy" || fail "quillmark-update said: $busy"
status_is download 4 1 || fail "the launcher's download did not go on"
stop_launcher download
echo "ok: mid-download"

# 5b. pause and resume: the transfers stop at the pause (counted at nginx), the window shows it,
# and neither resuming with the control nor closing while paused and starting again fetches an
# object again that had arrived whole
pause_log=$work/nginx/pause.log
# The number of objects nginx delivered whole (status 200, every announced byte sent).
whole_at_least() {
  [ "$(awk '$2 == 200 && $3 == $4 && $5 ~ /\/files\// { n++ } END { print n + 0 }' "$pause_log" 2>/dev/null)" -ge "$1" ]
}
object_of() { echo "/pause/patch/files/${1:0:2}/$1.z"; }
# The large file's chunk list (one line a chunk: hash, size, object length), inflated by perl's
# zlib module.
list=$(sed -n 's/.*"chunk_list":{"h":"\([0-9a-f]\{64\}\)".*/\1/p' "$work/www/pause/patch/manifest.json")
[ -n "$list" ] || fail "the pause release has no chunked file"
perl -MCompress::Zlib -e 'local $/; print uncompress(<STDIN>)' \
  < "$work/www/pause/patch/files/${list:0:2}/$list.z" > "$work/huge.chunks"
[ "$(wc -l < "$work/huge.chunks")" -gt 20 ] || fail "could not read the chunk list"
# What the stopped run finished, as the objects it will never need again: the files in place and
# the chunks the partial file holds, each range checked against its hash.
finished_objects() {
  local offset=0 hash size rest f
  while read -r hash size rest; do
    [ "$(tail -c +$((offset + 1)) "$g8/data/levels/huge.dat.ap_tmp" | head -c "$size" | sha256sum | cut -c1-64)" = "$hash" ] &&
      object_of "$hash"
    offset=$((offset + size))
  done < "$work/huge.chunks"
  for f in "Play Quillmark.exe" data/readme.txt data/levels/level1.dat; do
    [ -f "$g8/$f" ] && object_of "$(sha256sum < "$g8/$f" | cut -c1-64)"
  done
}
nothing_sending() { curl -s "$base/nginx_status" | grep -q 'Writing: 1 '; }  # itself alone
paused_at=()
# Clicks the pause control (once more when Wine lost the click) and times, from the frame that
# shows the pause, the moment nginx has nothing more to send.
pause_download() {
  local t0 ms
  click_region pause 34 -1
  for _ in $(seq 30); do has_line pause "paused=1" && break; sleep 0.1; done
  has_line pause "paused=1" || click_region pause 34 -1
  wait_for "the pause to show" 10 has_line pause "paused=1"
  t0=$(date +%s.%N)
  wait_for "the transfers to stop" 10 nothing_sending
  ms=$(awk -v a="$t0" -v b="$(date +%s.%N)" 'BEGIN { printf "%d", (b - a) * 1000 }')
  echo "pause: nginx sent nothing more ${ms} ms after the window showed the pause"
  [ "$ms" -le 1000 ] || fail "the transfers went on for ${ms} ms after the pause"
  wait_for "the paused run to stop" 20 has_line pause "running=0"
  paused_at+=("$t0")
  finished_objects > "$work/finished-${#paused_at[@]}"
  [ "$(wc -l < "$work/finished-${#paused_at[@]}")" -ge 4 ] || fail "nothing was finished at the pause"
}
g8=$(new_folder g8)
start_launcher pause "$g8" "$base/pause/patch/"
pause_pid=$last_pid
wait_for "chunks of the large file" 120 whole_at_least 4
status_is pause $phase_downloading 1 || fail "not downloading when paused"
pause_download
[ "$(field pause title)" = "PAUSED" ] || fail "paused title: $(field pause title)"
[ -f "$g8/data/levels/huge.dat.ap_tmp" ] || fail "the large file's chunks were not kept"
screenshot paused.png "${qm_paused_checks[@]}"
click_region pause 34 -1   # resume
wait_for "the resumed download" 30 bash -c "grep -qx 'paused=0' '$work/status-pause.txt' && grep -qx 'phase=$phase_downloading' '$work/status-pause.txt'"
wait_for "more chunks" 120 whole_at_least $(($(wc -l < "$work/finished-1") + 4))
pause_download
window_origin
click 1075 31   # closed while paused
wait_for "the launcher to close while paused" 30 bash -c "! kill -0 $pause_pid 2>/dev/null"
wait "$pause_pid"; code=$?
[ $code -eq 0 ] || fail "exit code after closing while paused: $code"
rm -f "$work/status-pause.txt"
start_launcher pause "$g8" "$base/pause/patch/"   # resumes by itself
wait_for "READY TO PLAY after the pauses" 180 status_is pause $phase_ready 0
cmp -s "$work/huge.dat" "$g8/data/levels/huge.dat" || fail "huge.dat differs after the pauses"
for f in "Play Quillmark.exe" data/readme.txt data/levels/level1.dat; do
  cmp -s "$game/$f" "$g8/$f" || fail "$f differs after the pauses"
done
leftovers=$(find "$g8" -name '*.ap_tmp')
[ -z "$leftovers" ] || fail "temporary files left: $leftovers"
# Nothing that a paused run had finished is asked for after its pause (only what was in transfer
# then, and the chunk list, which each run that rebuilds the file reads).
for i in "${!paused_at[@]}"; do
  again=$(awk -v t="${paused_at[$i]}" '$1 > t { print $5 }' "$pause_log" | grep -Fx -f "$work/finished-$((i + 1))" | sort -u)
  [ -z "$again" ] || fail "fetched again after pause $((i + 1)): $again"
done
stop_launcher pause
echo "ok: pause, resume, closed while paused and resumed at the next start; nothing fetched twice"

# 6. self-update
g3=$(new_folder g3)
start_launcher self "$g3" "$base/self/patch/"
first_pid=$last_pid
wait_for "the restarted launcher to finish" 120 bash -c "grep -q -- '--updated' '$work/status-self.txt' 2>/dev/null && grep -q '^phase=$phase_ready$' '$work/status-self.txt' && grep -q '^running=0$' '$work/status-self.txt'"
cmp -s "$work/stage2/QuillmarkLauncher.exe" "$g3/QuillmarkLauncher.exe" || fail "the launcher was not replaced"
osslsigncode verify -in "$g3/QuillmarkLauncher.exe" -CAfile "$work/certificate/ca.pem" >"$work/verify.log" 2>&1 ||
  fail "the replaced launcher's signature does not verify: $(cat "$work/verify.log")"
[ ! -e "$g3/QuillmarkLauncher.exe.old" ] || fail ".old file left"
[ ! -e "$g3/QuillmarkLauncher.exe.new" ] || fail ".new file left"
wait_for "the replaced launcher to exit" 30 bash -c "! kill -0 $first_pid 2>/dev/null"
wait "$first_pid"; code=$?
[ $code -eq 0 ] || fail "the replaced launcher exited with $code"
cmp -s "$game/data/levels/level1.dat" "$g3/data/levels/level1.dat" || fail "game not installed after the restart"
screenshot updated.png "${qm_ready_checks[@]}"
stop_launcher self
echo "ok: self-update"

# 7. the front page: links, news, the keyboard, the language list, German, the close button
g5=$(new_folder g5)
start_launcher front "$g5" "$base/patch/"
front_pid=$last_pid
wait_for "READY TO PLAY with the news" 120 bash -c "grep -q '^news=9$' '$work/status-front.txt' 2>/dev/null && grep -q '^phase=$phase_ready$' '$work/status-front.txt'"
screenshot front-page.png "${qm_ready_checks[@]}" "${qm_front_checks[@]}"
# A fresh folder: the selector shows the language the window speaks, and nothing chose it yet.
[ "$(field front selector)" = "$(field front language)" ] ||
  fail "the selector shows $(field front selector) in a window speaking $(field front language)"
[ ! -e "$g5/loca.cfg" ] || fail "loca.cfg written before a choice: $(cat "$g5/loca.cfg")"
window_origin
click 46 31   # "Home", always the first link
wait_for "the Home link to reach the shell" 20 grep -qx 'https://quillmark.example/' "$work/opened-front.txt"
# From no focus (the click took it), Tab reaches a news row, "Advanced settings" and PLAY in
# that order, the ring round each.
has_line front "focus=0 -1" || fail "a focus after the click: $(field front focus)"
tab_to front 8 0 || fail "Tab never reached the first news row"
screenshot keyboard-news-row.png "${qm_front_checks[@]}" "${qm_news_row_focus_checks[@]}"
tab_to front 17 -1 || fail "Tab never reached Advanced settings"
tab_to front 21 -1 || fail "Tab never reached PLAY"
screenshot keyboard-play.png "${qm_ready_checks[@]}" "${qm_play_focus_checks[@]}"
window_origin
click 131 519   # "Read more"
wait_for "the expanded card" 20 has_line front "newsdetail=1"
screenshot news-expanded.png "${qm_front_checks[@]}" "${qm_expanded_checks[@]}"
click 131 519   # "Back"
wait_for "the card collapsed" 20 has_line front "newsdetail=0"
click 937 31    # the language selector
wait_for "the language list" 20 bash -c "grep -q '^region=13 11 ' '$work/status-front.txt'"
screenshot language-list.png "${qm_language_list_checks[@]}"
click 900 198   # Deutsch, the fifth of the client's languages
wait_for "German texts" 20 bash -c "grep -q '^language=de$' '$work/status-front.txt'"
[ "$(tr -d '\r\n' <"$g5/loca.cfg")" = "1252 de" ] || fail "loca.cfg holds: $(cat "$g5/loca.cfg")"
[ "$(field front title)" = "BEREIT ZUM SPIELEN" ] || fail "German title: $(field front title)"
screenshot deutsch.png "${qm_ready_checks[@]}" "${qm_front_checks[@]}"
click 1075 31   # close
wait_for "the launcher to close" 30 bash -c "! kill -0 $front_pid 2>/dev/null"
wait "$front_pid"; code=$?
[ $code -eq 0 ] || fail "launcher exit code after the close button: $code"
rm -f "$work/status-front.txt"
echo "ok: front page, language, close"

# 8. the close button during a download
g6=$(new_folder g6)
start_launcher closing "$g6" "$base/slow/patch/"
closing_pid=$last_pid
wait_for "a download" 90 bash -c "grep -q '^phase=$phase_downloading$' '$work/status-closing.txt' 2>/dev/null"
window_origin
click 1075 31
wait_for "the launcher to close mid-download" 30 bash -c "! kill -0 $closing_pid 2>/dev/null"
wait "$closing_pid"; code=$?
[ $code -eq 0 ] || fail "exit code after closing mid-download: $code"
leftovers=$(find "$g6" -name '*.ap_tmp')
[ -z "$leftovers" ] || fail "temporary files left: $leftovers"
rm -f "$work/status-closing.txt"
echo "ok: close during a download"

# 9. the side panel and the advanced settings pages
set_value() {  # NAME KEY VALUE: waits for the pending value
  wait_for "$2 to become $3" 20 has_line "$1" "value=$2 $3"
}
# A client file with comments, blank lines, a key the launcher does not know and CR LF line
# ends, and every key the pages save, so that a save changes only what the player changed.
write_vessa() {
  local lines=("# Quillmark client settings" "WIDTH 1024" "HEIGHT 768" "FREQUENCY 60" "WINDOWED 1"
    "FPS_LIMIT 144" "SOFTWARE_CURSOR 0" "" "# graphics" "GRAPHICS_LEVEL 2" "VISIBILITY 3"
    "SHADOW_QUALITY_LEVEL 2" "SHADOW_TARGET_LEVEL 3" "TERRAIN_SHADOW 1" "SHADOW_DETAILS 1"
    "GRASS_TYPE 3" "SPECULAR 0" "SHARPNESS 0.00" "OBJECT_CULLING 1" "FOG_MODE_ON 0"
    "NIGHT_MODE_ON 1" "SNOW_MODE_ON 1" "SNOW_TEXTURE_MODE 1" "RAIN_LEVEL 2" "EFFECT_LEVEL 0"
    "DROP_ITEM_LEVEL 0" "BLOOD 1" "SHOW_DAMAGE 1" "FOV 30.00" "CAMERA_MODE 1" "" "# interface"
    "ALWAYS_VIEW_NAME 1" "VIEW_CHAT 1" "SHOW_SALESTEXT 1" "SHOW_MOBLEVEL 1" "SHOW_MOBAIFLAG 1"
    "USE_DEFAULT_IME 0" "CLIENT_MACRO_1 /wave hello  " "MUSIC_VOLUME 1.000" "VOICE_VOLUME 5"
    "# end")
  printf '%s\r\n' "${lines[@]}" > "$1"
}
g7=$(new_folder g7)
write_vessa "$g7/vessa.cfg"
cp "$g7/vessa.cfg" "$work/vessa-before.cfg"
start_launcher settings "$g7" "$base/patch/"
settings_pid=$last_pid
wait_for "READY TO PLAY" 120 status_is settings $phase_ready 0
click_region settings 11 -1   # the resolution box
# The list below the box: the configured size marked in gold with its check.
screenshot resolution-list.png "${qm_ready_checks[@]}" "826 198 200 250 #FFD98A" "1040 198 36 250 #E8B04B"
xdotool key Escape            # closes the list, nothing else
click_region settings 17 -1   # "Advanced settings"
wait_for "the settings pages" 20 has_line settings "settings=1"
for page in 0 1 2 3 4 5 6; do
  click_region settings 23 $page
  wait_for "page $page" 20 has_line settings "page=$page"
  screenshot "settings-page-$page.png" "46 $((120 + 62 * page)) 3 30 #E8B04B" "820 600 260 50 #E8B04B"
done
click_region settings 23 1
wait_for "page 1" 20 has_line settings "page=1"
click_region settings 24 80   # GRAPHICS_LEVEL (entry 5): Low
set_value settings GRAPHICS_LEVEL 0
click_region settings 25 6    # VISIBILITY's list
wait_for "the open list" 20 bash -c "grep -q '^region=26 1 ' '$work/status-settings.txt'"
click_region settings 26 1    # Short
set_value settings VISIBILITY 1
click_region settings 28 9    # TERRAIN_SHADOW
set_value settings TERRAIN_SHADOW 0
# The wheel over the page brings its last row (OBJECT_CULLING, entry 14) into view.
window_origin
xdotool mousemove $((x + 700)) $((y + 400))
for _ in 1 2 3 4 5 6 7 8; do xdotool click 5; done
wait_for "the page's last row" 20 bash -c "grep -q '^region=28 14 ' '$work/status-settings.txt'"
click_region settings 23 4
wait_for "page 4" 20 has_line settings "page=4"
# FOV (entry 24) dragged along its track: down on the knob's side, past the right end, back to
# the middle, up.
track=$(sed -n 's/^track=29 24 //p' "$work/status-settings.txt")
[ -n "$track" ] || fail "no slider track for FOV"
read -r left top right bottom <<<"$track"
mid_x=$(awk -v l="$left" -v r="$right" 'BEGIN { print int((l + r) / 2) }')
mid_y=$(awk -v t="$top" -v b="$bottom" 'BEGIN { print int((t + b) / 2) }')
fov=$(awk -v l="$left" -v r="$right" -v x="$mid_x" 'BEGIN { printf "%.2f", 10 + 90 * (x - l) / (r - l) }')
window_origin
xdotool mousemove $((x + ${left%.*} + 10)) $((y + mid_y)) mousedown 1
xdotool mousemove $((x + ${right%.*} + 40)) $((y + mid_y + 30))
set_value settings FOV 100.00
xdotool mousemove $((x + mid_x)) $((y + mid_y)) mouseup 1
set_value settings FOV "$fov"
[ "$(tr -d '\r' <"$g7/vessa.cfg")" = "$(tr -d '\r' <"$work/vessa-before.cfg")" ] || fail "vessa.cfg written before Save"
click_region settings 32 -1   # Save
wait_for "Settings saved." 20 has_line settings "notice=1"
screenshot settings-edited.png "36 600 200 60 #7BD88F"
sed -e 's/^GRAPHICS_LEVEL 2\r$/GRAPHICS_LEVEL 0\r/' -e 's/^VISIBILITY 3\r$/VISIBILITY 1\r/' \
    -e 's/^TERRAIN_SHADOW 1\r$/TERRAIN_SHADOW 0\r/' -e "s/^FOV 30.00\r\$/FOV $fov\r/" \
    "$work/vessa-before.cfg" > "$work/vessa-expected.cfg"
cmp -s "$work/vessa-expected.cfg" "$g7/vessa.cfg" ||
  fail "vessa.cfg after Save: $(diff <(cat -A "$work/vessa-expected.cfg") <(cat -A "$g7/vessa.cfg"))"
click_region settings 1 -1    # the close button, reachable from the pages
wait_for "the launcher to close from the pages" 30 bash -c "! kill -0 $settings_pid 2>/dev/null"
wait "$settings_pid"; code=$?
[ $code -eq 0 ] || fail "exit code after closing from the pages: $code"
rm -f "$work/status-settings.txt"
echo "ok: side panel, seven pages, edits saved line for line, closed from the pages"

# 10. the running game: the warning band, then "Save & play"
touch "$g7/fake_game_hold"
(cd "$g7" && exec wine "$g7/Play Quillmark.exe" </dev/null >/dev/null 2>&1) &
started_pids+=("$!")
wait_for "the fake game to run" 30 test -f "$g7/fake_game_record.txt"
rm -f "$g7/fake_game_record.txt"
cp "$g7/vessa.cfg" "$work/vessa-before.cfg"
start_launcher warning "$g7" "$base/patch/" --settings=1
warning_pid=$last_pid
wait_for "the pages at page 1 from the command line" 60 bash -c "grep -qx 'settings=1' '$work/status-warning.txt' 2>/dev/null && grep -qx 'page=1' '$work/status-warning.txt'"
wait_for "the warning band" 20 has_line warning "gamerunning=1"
wait_for "READY TO PLAY behind the pages" 120 status_is warning $phase_ready 0
# "Save & play" is dimmed and disabled while the game runs: it would start a second client.
wait_for "Save & play disabled" 20 bash -c "grep -q '^region=33 -1 .* 0$' '$work/status-warning.txt'"
screenshot settings-warning.png "330 150 60 30 #FF6B6B" "820 600 260 50 #9A8983"
click_region warning 28 10    # SHADOW_DETAILS
set_value warning SHADOW_DETAILS 0
click_region warning 33 -1    # Save & play, disabled: nothing
click_region warning 32 -1    # Save
wait_for "Settings saved." 20 has_line warning "notice=1"
kill -0 "$warning_pid" 2>/dev/null || fail "the launcher closed: Save & play acted while the game ran"
[ ! -f "$g7/fake_game_record.txt" ] || fail "a second game was started while the game ran"
# The game ends: within the poll's second "Save & play" is enabled, and starts it.
rm -f "$g7/fake_game_hold"
wait_for "the warning band gone" 20 has_line warning "gamerunning=0"
wait_for "Save & play enabled" 20 bash -c "grep -q '^region=33 -1 .* 1$' '$work/status-warning.txt'"
click_region warning 33 -1    # Save & play
wait_for "the game started by Save & play" 30 test -f "$g7/fake_game_record.txt"
wait_for "the launcher to exit after Save & play" 30 bash -c "! kill -0 $warning_pid 2>/dev/null"
wait "$warning_pid"; code=$?
[ $code -eq 0 ] || fail "exit code after Save & play: $code"
sed -e 's/^SHADOW_DETAILS 1\r$/SHADOW_DETAILS 0\r/' "$work/vessa-before.cfg" > "$work/vessa-expected.cfg"
cmp -s "$work/vessa-expected.cfg" "$g7/vessa.cfg" || fail "vessa.cfg after Save & play differs"
rm -f "$work/status-warning.txt"
echo "ok: warning band and no Save & play while the game runs; Save & play once it ended"
echo "PASS"

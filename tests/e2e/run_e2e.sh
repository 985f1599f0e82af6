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
#   self-update the release names another launcher build: it replaces itself, restarts with
#               --updated, finishes the update, and no .old file is left
#
# Screenshots of the window (PNG) go to OUT_DIR: ready.png, restored.png, error.png,
# downloading.png, updated.png; each is taken once the window shows the colours expected at
# the main screen's places. The state is read from the status file that the hooks write after
# each painted frame; nothing waits a fixed time for something to happen.
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

export WINEDEBUG=-all
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
export WINEPREFIX=${WINEPREFIX:-$(dirname "$out_dir")/e2e-wineprefix}
mkdir -p "$WINEPREFIX"

work=$(mktemp -d)
nginx_pid=
xvfb_pid=
started_pids=()

fail() {
  echo "FAIL: $*" >&2
  for f in "$work"/status-*.txt; do [ -f "$f" ] && { echo "--- $f"; cat "$f"; } >&2; done
  [ -f "$work/nginx/error.log" ] && { echo "--- nginx error.log"; tail -5 "$work/nginx/error.log"; } >&2
  exit 1
}

cleanup() {
  # Launchers still running (a failed step) end by their Windows process id.
  for f in "$work"/status-*.txt; do
    [ -f "$f" ] || continue
    winpid=$(sed -n 's/^pid=//p' "$f")
    [ -n "$winpid" ] && wine taskkill /f /pid "$winpid" >/dev/null 2>&1 </dev/null
  done
  for p in "${started_pids[@]}"; do kill "$p" 2>/dev/null; done
  [ -n "$nginx_pid" ] && kill "$nginx_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# Polls (every 0.1 s, up to $2 seconds) until the command in $3... succeeds.
wait_for() {
  local what=$1 seconds=$2; shift 2
  local end=$((SECONDS + seconds))
  until "$@"; do
    [ $SECONDS -ge $end ] && fail "timed out after ${seconds}s waiting for: $what"
    sleep 0.1
  done
}

field() { sed -n "s/^$2=//p" "$work/status-$1.txt" 2>/dev/null; }
status_is() { [ "$(field "$1" phase)" = "$2" ] && [ "$(field "$1" running)" = "$3" ]; }

# ---- display and Wine
if [ -z "${DISPLAY:-}" ]; then
  for n in $(seq 121 160); do
    [ -e "/tmp/.X$n-lock" ] && continue
    Xvfb ":$n" -screen 0 1600x1000x24 -nolisten tcp >/dev/null 2>&1 </dev/null &
    xvfb_pid=$!
    export DISPLAY=":$n"
    wait_for "Xvfb on :$n" 10 test -e "/tmp/.X11-unix/X$n"
    break
  done
fi
wineserver -p >/dev/null 2>&1 </dev/null &
wine cmd /c exit >/dev/null 2>&1 </dev/null

# ---- releases
game="$work/game"
mkdir -p "$game/data/levels" "$work/stage" "$work/www/patch" "$work/www/slow/patch" "$work/www/self/patch"
cp "$fake_exe" "$game/Play Quillmark.exe"
printf 'Quillmark test data\r\n' > "$game/data/readme.txt"
head -c 300000 /dev/urandom > "$game/data/levels/level1.dat"
printf '[{"date":"2026-12-01","title":"Patch notes","text":"Fixes.","type":"update"}]' > "$work/news.json"
printf '{"site":"https://quillmark.example/","discord":"https://discord.example/q"}' > "$work/links.json"
cp "$launcher_exe" "$work/stage/QuillmarkLauncher.exe"
mkdir -p "$work/stage2"
cp "$launcher_exe" "$work/stage2/QuillmarkLauncher.exe"
# Another build of the launcher: the same program with bytes after its image, which Windows
# ignores and the hash does not.
printf 'another build of the launcher for the self-update test\n' >> "$work/stage2/QuillmarkLauncher.exe"

publish() { wine "$publish_exe" "$@" </dev/null; }
publish keygen --out "$(winpath "$work/e2e")" >"$work/keygen.log" 2>&1 || fail "keygen: $(cat "$work/keygen.log")"
public_key=$(tr -d ' \r\n' < "$work/e2e.pub")
build_release() {  # out launcher_stage [extra...]
  local out=$1 stage=$2; shift 2
  publish build --game "$(winpath "$game")" --out "$(winpath "$out")" --version 7 \
    --key "$(winpath "$work/e2e.key")" --news "$(winpath "$work/news.json")" \
    --links "$(winpath "$work/links.json")" --launcher "$(winpath "$stage/QuillmarkLauncher.exe")" \
    "$@" >"$work/publish.log" 2>&1 || fail "publish build: $(cat "$work/publish.log")"
}
build_release "$work/www/patch" "$work/stage"
build_release "$work/www/self/patch" "$work/stage2"
# The slow release has one large file more, so that its download lasts.
head -c 16000000 /dev/urandom > "$game/data/levels/big.dat"
build_release "$work/www/slow/patch" "$work/stage"
rm "$game/data/levels/big.dat"

# ---- nginx on a free port
mkdir -p "$work/nginx/tmp"
temps=
for module in proxy fastcgi uwsgi scgi; do
  nginx -V 2>&1 | grep -q -- "--without-http_${module}_module" || temps+="  ${module}_temp_path $work/nginx/tmp/$module;"$'\n'
done
for attempt in $(seq 20); do
  port=$((20000 + RANDOM % 20000))
  cat > "$work/nginx/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid $work/nginx/nginx.pid;
error_log $work/nginx/error.log warn;
events { worker_connections 256; }
http {
  access_log off;
  client_body_temp_path $work/nginx/tmp/body;
$temps  default_type application/octet-stream;
  sendfile on;
  server {
    listen 127.0.0.1:$port;
    root $work/www;
    location /slow/ { limit_rate 512k; }
  }
}
CONF
  rm -f "$work/nginx/nginx.pid"
  nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" >/dev/null 2>&1 </dev/null &
  nginx_pid=$!
  for _ in $(seq 50); do
    [ -s "$work/nginx/nginx.pid" ] && break
    kill -0 "$nginx_pid" 2>/dev/null || break
    sleep 0.1
  done
  [ -s "$work/nginx/nginx.pid" ] && break
  nginx_pid=
done
[ -n "$nginx_pid" ] || fail "nginx did not start"
base="http://127.0.0.1:$port"

# ---- the launcher
# start_launcher NAME FOLDER PATCH_URL [ARGS...]: starts it in the background; its state goes
# to status-NAME.txt.
start_launcher() {
  local name=$1 folder=$2 url=$3; shift 3
  rm -f "$work/status-$name.txt"
  (cd "$folder" && QM_E2E_PATCH_URL="$url" QM_E2E_PUBLIC_KEY="$public_key" \
     QM_E2E_STATUS_FILE="$(winpath "$work/status-$name.txt")" \
     exec wine "$folder/QuillmarkLauncher.exe" "$@" </dev/null >/dev/null 2>&1) &
  last_pid=$!
  started_pids+=("$last_pid")
}
stop_launcher() {
  local winpid; winpid=$(field "$1" pid)
  [ -n "$winpid" ] && wine taskkill /f /pid "$winpid" >/dev/null 2>&1 </dev/null
  rm -f "$work/status-$1.txt"
}
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

# 1. install into an empty folder
g1=$(new_folder g1)
start_launcher install "$g1" "$base/patch/"
install_pid=$last_pid
wait_for "READY TO PLAY" 120 status_is install 8 0
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
status_is install 8 0 || fail "the first launcher is not ready any more"

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
wait_for "ERROR" 60 status_is error 9 0
[ "$(field error error)" = "Could not connect to the patch server." ] || fail "error text: $(field error error)"
screenshot error.png "${qm_error_checks[@]}"
stop_launcher error
echo "ok: server down"

# 5. mid-download from a slow server
g4=$(new_folder g4)
start_launcher download "$g4" "$base/slow/patch/"
wait_for "a download with a measured speed" 90 bash -c "grep -q '^phase=4$' '$work/status-download.txt' 2>/dev/null && ! grep -q '^speed=0$' '$work/status-download.txt'"
screenshot downloading.png "${qm_download_checks[@]}"
busy=$(cd "$g4" && timeout 60 wine "$update_exe" --dir "$(winpath "$g4")" --patch-url "$base/slow/patch/" \
  --public-key "$public_key" --lang en </dev/null 2>&1)
code=$?
[ $code -eq 1 ] || fail "quillmark-update beside a running launcher exited with $code: $busy"
grep -q "Another update of this game folder is running." <<<"$busy" || fail "quillmark-update said: $busy"
status_is download 4 1 || fail "the launcher's download did not go on"
stop_launcher download
echo "ok: mid-download"

# 6. self-update
g3=$(new_folder g3)
start_launcher self "$g3" "$base/self/patch/"
first_pid=$last_pid
wait_for "the restarted launcher to finish" 120 bash -c "grep -q -- '--updated' '$work/status-self.txt' 2>/dev/null && grep -q '^phase=8$' '$work/status-self.txt' && grep -q '^running=0$' '$work/status-self.txt'"
cmp -s "$work/stage2/QuillmarkLauncher.exe" "$g3/QuillmarkLauncher.exe" || fail "the launcher was not replaced"
[ ! -e "$g3/QuillmarkLauncher.exe.old" ] || fail ".old file left"
[ ! -e "$g3/QuillmarkLauncher.exe.new" ] || fail ".new file left"
wait_for "the replaced launcher to exit" 30 bash -c "! kill -0 $first_pid 2>/dev/null"
wait "$first_pid"; code=$?
[ $code -eq 0 ] || fail "the replaced launcher exited with $code"
cmp -s "$game/data/levels/level1.dat" "$g3/data/levels/level1.dat" || fail "game not installed after the restart"
screenshot updated.png "${qm_ready_checks[@]}"
stop_launcher self
echo "ok: self-update"
echo "PASS"

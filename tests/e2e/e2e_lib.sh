# Shared by the end-to-end scripts, sourced after they set $work (a temporary folder) and
# $WINEPREFIX: failing with the launchers' state, polling, a display and a warm Wine, nginx on a
# free loopback port serving $work/www, quillmark-publish under Wine, and launchers with the
# test hooks whose state lands in $work/status-NAME.txt.
#
# Sections: 1 failure and clean-up, 2 polling and the status file, 3 display and Wine,
# 4 nginx, 5 releases, 6 launchers.

# ---- 1. failure and clean-up
nginx_pid=
xvfb_pid=
started_pids=()

fail() {
  echo "FAIL: $*" >&2
  for f in "$work"/status-*.txt; do [ -f "$f" ] && { echo "--- $f"; cat "$f"; } >&2; done
  [ -f "$work/nginx/error.log" ] && { echo "--- nginx error.log"; tail -5 "$work/nginx/error.log"; } >&2
  exit 1
}

e2e_cleanup() {
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

winpath() { local p=${1//\//\\}; echo "Z:$p"; }

# ---- 2. polling and the status file
# Polls (every 0.1 s, up to $2 seconds) until the command in $3... succeeds.
wait_for() {
  local what=$1 seconds=$2; shift 2
  local end=$((SECONDS + seconds))
  until "$@"; do
    [ $SECONDS -ge $end ] && fail "timed out after ${seconds}s waiting for: $what"
    sleep 0.1
  done
}

# The phases of src/update/launcher_state.h, as the status file writes them.
phase_downloading=4
phase_ready=8
phase_error=9

field() { sed -n "s/^$2=//p" "$work/status-$1.txt" 2>/dev/null; }
status_is() { [ "$(field "$1" phase)" = "$2" ] && [ "$(field "$1" running)" = "$3" ]; }

# ---- 3. display and Wine
e2e_start_wine() {
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}
  mkdir -p "$WINEPREFIX"
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
}

# ---- 4. nginx
# e2e_start_nginx [EXTRA_SERVER_LINES]: serves $work/www at $base (http://127.0.0.1:PORT).
# With $nginx_certificate (a PEM file, its key beside it as .key) it serves TLS, at
# https://localhost:PORT.
e2e_start_nginx() {
  local extra=${1:-} temps= module tls= scheme=http host=127.0.0.1
  if [ -n "${nginx_certificate:-}" ]; then
    tls=" ssl; ssl_certificate $nginx_certificate; ssl_certificate_key ${nginx_certificate%.pem}.key"
    scheme=https host=localhost
  fi
  mkdir -p "$work/nginx/tmp"
  for module in proxy fastcgi uwsgi scgi; do
    nginx -V 2>&1 | grep -q -- "--without-http_${module}_module" || temps+="  ${module}_temp_path $work/nginx/tmp/$module;"$'\n'
  done
  for _ in $(seq 20); do
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
  log_format e2e '\$msec \$status \$body_bytes_sent \$sent_http_content_length \$uri';
  client_body_temp_path $work/nginx/tmp/body;
$temps  default_type application/octet-stream;
  sendfile on;
  server {
    listen 127.0.0.1:$port$tls;
    root $work/www;
    $extra
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
  base="$scheme://$host:$port"
}

# ---- 5. releases
# e2e_keygen PUBLISH_EXE: the key pair $work/e2e.key and .pub; $public_key holds the public half.
e2e_keygen() {
  publish_exe=$1
  publish keygen --out "$(winpath "$work/e2e")" >"$work/keygen.log" 2>&1 || fail "keygen: $(cat "$work/keygen.log")"
  public_key=$(tr -d ' \r\n' < "$work/e2e.pub")
}
publish() { wine "$publish_exe" "$@" </dev/null; }

# ---- 6. launchers
# start_launcher NAME FOLDER PATCH_URL [ARGS...]: starts it in the background; its state goes
# to status-NAME.txt.
start_launcher() {
  local name=$1 folder=$2 url=$3; shift 3
  rm -f "$work/status-$name.txt"
  (cd "$folder" && QM_E2E_PATCH_URL="$url" QM_E2E_PUBLIC_KEY="$public_key" \
     QM_E2E_STATUS_FILE="$(winpath "$work/status-$name.txt")" \
     QM_E2E_OPENED_FILE="$(winpath "$work/opened-$name.txt")" \
     exec wine "$folder/QuillmarkLauncher.exe" "$@" </dev/null >/dev/null 2>&1) &
  last_pid=$!
  started_pids+=("$last_pid")
}
stop_launcher() {
  local winpid; winpid=$(field "$1" pid)
  [ -n "$winpid" ] && wine taskkill /f /pid "$winpid" >/dev/null 2>&1 </dev/null
  rm -f "$work/status-$1.txt"
}

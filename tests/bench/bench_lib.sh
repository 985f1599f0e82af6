# shellcheck shell=bash disable=SC2154,SC2034  # $work and $runs are the sourcing script's; the variables set are its results
# What the benchmarks share, sourced by them: nginx on loopback, and timing a command. Needs
# "$work" (an absolute path) and, for measure, "$runs".
#
#   nginx_start PREFIX=FOLDER...   serves each FOLDER under its URL PREFIX ("/patch/=$work/r/")
#                                  on a free port from 18280; sets nginx_port and nginx_base
#                                  (http://127.0.0.1:PORT). With nginx_access_log=on set first,
#                                  every request is logged to $work/nginx/access.log as
#                                  "URI BYTES_SENT" when it ends.
#   nginx_wait URL                 waits until nginx answers URL (up to 10 s), fails otherwise
#   nginx_stop                     for the script's exit trap
#   measure NAME PREPARE COMMAND...
#                                  runs PREPARE (shell text) then COMMAND, $runs times, and
#                                  sets <NAME>_wall (best wall time, s) and <NAME>_kib (the
#                                  peak resident memory of that run)
nginx_pid=
nginx_access_log=${nginx_access_log:-off}

nginx_start() {
  local port='' candidate locations='' pair log='access_log off;'
  for candidate in $(seq 18280 18479); do
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then port=$candidate; break; fi
  done
  [ -n "$port" ] || { echo "no free port for nginx" >&2; return 1; }
  for pair in "$@"; do
    locations+="    location ${pair%%=*} { alias \"${pair#*=}\"; }"$'\n'
  done
  if [ "$nginx_access_log" = on ]; then
    log="log_format sent '\$request_uri \$bytes_sent'; access_log \"$work/nginx/access.log\" sent;"
  fi
  rm -rf "$work/nginx"
  mkdir -p "$work/nginx/tmp"
  cat >"$work/nginx/nginx.conf" <<CONF
daemon off;
master_process off;
worker_processes 1;
pid "$work/nginx/nginx.pid";
error_log "$work/nginx/error.log" warn;
events { worker_connections 1024; }
http {
  $log
  client_body_temp_path "$work/nginx/tmp/body";
  proxy_temp_path "$work/nginx/tmp/proxy";
  fastcgi_temp_path "$work/nginx/tmp/fastcgi";
  uwsgi_temp_path "$work/nginx/tmp/uwsgi";
  scgi_temp_path "$work/nginx/tmp/scgi";
  default_type application/octet-stream;
  sendfile on;
  tcp_nopush on;
  keepalive_requests 1000000;
  server {
    listen 127.0.0.1:$port;
$locations  }
}
CONF
  /usr/sbin/nginx -p "$work/nginx" -c "$work/nginx/nginx.conf" -e "$work/nginx/error.log" \
    >"$work/nginx/output.log" 2>&1 &
  nginx_pid=$!
  nginx_port=$port
  nginx_base=http://127.0.0.1:$port
}

nginx_wait() {
  local _
  for _ in $(seq 1 100); do
    curl -fsS -o /dev/null "$1" 2>/dev/null && return 0
    sleep 0.1
  done
  curl -fsS -o /dev/null "$1"
}

nginx_stop() {
  if [ -n "$nginx_pid" ]; then
    kill "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
    nginx_pid=
  fi
}

measure() {
  local name=$1 prepare=$2 _
  shift 2
  local best='' best_kib='' wall kib
  for _ in $(seq 1 "$runs"); do
    eval "$prepare"
    /usr/bin/time -v -o time.txt "$@" >run.log 2>&1 ||
      { echo "$name failed:" >&2; cat run.log time.txt >&2; exit 1; }
    wall=$(awk -F': ' '/Elapsed \(wall clock\)/ {
      n = split($2, p, ":"); s = 0; for (i = 1; i <= n; i++) s = s * 60 + p[i]; print s }' time.txt)
    kib=$(awk -F': ' '/Maximum resident set size/ { print $2 }' time.txt)
    if [ -z "$best" ] || awk -v a="$wall" -v b="$best" 'BEGIN { exit !(a < b) }'; then
      best=$wall best_kib=$kib
    fi
  done
  printf -v "${name}_wall" '%s' "$best"
  printf -v "${name}_kib" '%s' "$best_kib"
  echo "  $name: $best s, $best_kib KiB" >&2
}

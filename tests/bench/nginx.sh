# shellcheck shell=bash disable=SC2154,SC2034  # $work is the sourcing script's; the nginx_ variables are its results
# nginx on loopback for the benchmarks, sourced by them. Needs "$work" (an absolute path).
#
#   nginx_start PREFIX=FOLDER...   serves each FOLDER under its URL PREFIX ("/patch/=$work/r/")
#                                  on a free port from 18280; sets nginx_port and nginx_base
#                                  (http://127.0.0.1:PORT). With nginx_access_log=on set first,
#                                  every request is logged to $work/nginx/access.log as
#                                  "URI BYTES_SENT" when it ends.
#   nginx_wait URL                 waits until nginx answers URL (up to 10 s), fails otherwise
#   nginx_stop                     for the script's exit trap
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

#!/usr/bin/env bash
# quillmark-update.exe over https:// under Wine, so through WinHTTP: nginx on loopback with the
# certificates of tests/integration/tls_certificates.sh. Wine's WinHTTP trusts the authorities
# of the host's CA bundle, so the test's authority is added to a copy of that bundle mounted
# over it in a private mount namespace (unshare): the machine's trust store never holds it.
# A certificate from the test's authority is accepted; a self-signed one, one for another host
# name and an expired one are refused each with its own message and nothing written; a redirect
# from https:// to http:// is refused; --ca-file is refused on Windows.
#
# Usage: tls_e2e.sh UPDATE_EXE PUBLISH_EXE (as root, or anyone allowed to unshare -m)
set -uo pipefail
bundle=/etc/ssl/certs/ca-certificates.crt
if [ -z "${QM_TLS_NAMESPACE:-}" ]; then
  QM_TLS_NAMESPACE=1 exec unshare --mount --propagation private bash "$0" "$@"
fi
update_exe=$(realpath "$1")
work=$(mktemp -d)
here=$(dirname "$(realpath "$0")")
export WINEPREFIX=${WINEPREFIX:-$work/wineprefix}
# shellcheck source=e2e_lib.sh
source "$here/e2e_lib.sh"
trap e2e_cleanup EXIT

bash "$here/../integration/tls_certificates.sh" "$work/tls" || fail "no test certificates"
cat "$bundle" "$work/tls/ca.pem" >"$work/bundle.crt"
mount --bind "$work/bundle.crt" "$bundle" || fail "cannot mount over $bundle"
e2e_start_wine

mkdir -p "$work/game-src/data" "$work/www"
printf 'game' >"$work/game-src/Play Quillmark.exe"
printf 'some data' >"$work/game-src/data/a.txt"
e2e_keygen "$2"
publish build --game "$(winpath "$work/game-src")" --out "$(winpath "$work/www/patch")" --version 3 \
  --key "$(winpath "$work/e2e.key")" >"$work/publish.log" 2>&1 || fail "publish: $(cat "$work/publish.log")"

update() {  # FOLDER URL [ARGS...]: the output in $out, the exit code returned
  local folder=$1 url=$2
  shift 2
  local code
  wine "$update_exe" --dir "$(winpath "$folder")" --patch-url "$url" --public-key "$public_key" \
    --lang en "$@" </dev/null >"$work/update.log" 2>&1
  code=$?
  out=$(tr -d '\r' <"$work/update.log")
  return $code
}
serve_with() {  # CERTIFICATE_NAME: nginx with $work/tls/NAME.pem, redirects under /to-http/
  [ -n "$nginx_pid" ] && kill "$nginx_pid" && wait "$nginx_pid" 2>/dev/null
  nginx_pid=
  nginx_certificate=$work/tls/$1.pem
  e2e_start_nginx 'location /to-http/ { rewrite ^/to-http/(.*)$ http://127.0.0.1:$server_port/$1 redirect; }
    location /to-https/ { rewrite ^/to-https/(.*)$ https://localhost:$server_port/$1 redirect; }'
}
empty() { [ -z "$(ls -A "$1" 2>/dev/null)" ]; }

# ---- refused certificates
for refused in "selfsigned:not from a trusted authority" "otherhost:issued for another server name" \
  "expired:has expired or is not yet valid"; do
  name=${refused%%:*} message=${refused#*:}
  serve_with "$name"
  update "$work/game-$name" "$base/patch/" && fail "$name: the update succeeded"
  # Wine's WinHTTP loses the reason of a refused certificate (the handshake fails with a bare
  # secure channel error); Windows says it, and so the launcher.
  [[ $out == *"The patch server's security certificate $message"* ||
    $out == *"The secure connection to the patch server failed"* ]] ||
    fail "$name: not the expected message: $out"
  empty "$work/game-$name" || fail "$name: files written: $(ls -A "$work/game-$name")"
  echo "refused: $name"
done

# ---- the test's authority, and redirects
serve_with good
update "$work/game" "$base/to-http/patch/" && fail "followed a redirect from https to http"
# WinHTTP does not follow it: the redirect itself (302) is the answer, never the plain
# server's (400 for plain HTTP on its TLS port).
[[ $out == *"Could not connect to the patch server."* && $out != *"(HTTP 400)"* ]] ||
  fail "https to http: not a refusal: $out"
empty "$work/game" || fail "https to http: files written"
update "$work/game" "$base/patch/" --ca-file "$(winpath "$work/tls/ca.pem")"
[ $? = 2 ] && [[ $out == *"cannot use --ca-file"* ]] || fail "--ca-file on Windows: $out"
update "$work/game" "$base/to-https/patch/" || fail "https: $out"
[[ $out == *"Client up to date - Version 3"* ]] || fail "https: $out"
[ "$(cat "$work/game/data/a.txt")" = "some data" ] || fail "https: the file differs"
echo "accepted: good (through a redirect to https)"
echo "PASS"

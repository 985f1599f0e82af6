#!/usr/bin/env bash
# The whole path of a release, on this machine: builds the two programs, makes a key pair,
# generates a sample game, publishes it with quillmark-publish, serves it with nginx on
# loopback and brings a fresh game folder up to date with quillmark-update; runs it again
# (nothing to do), publishes a second version that changes, adds and deletes files, and
# updates again. Everything it makes stays in build/demo/.
#
# Usage: scripts/demo.sh
#   QM_DEMO_BUILD  the build folder of the linux preset (default build/linux)
#   QM_DEMO_PORT   the loopback port for nginx (default: 8080 when free, else a free one)
#   QM_DEMO_WIN_BUILD  the Windows build of the demo's launcher (default build/demo-windows)
#
# Steps: 1 packages and build, 2 key pair, 3 sample game, 4 publish and serve, 5 updates,
# 6 the Windows launcher and setup program, signed, and the launcher under Wine (screenshots),
# 7 where everything is.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${QM_DEMO_BUILD:-build/linux}
demo=build/demo

bold='' plain=''
if [ -t 1 ]; then bold=$'\033[1m' plain=$'\033[0m'; fi
step() { printf '\n%s== %s%s\n' "$bold" "$*" "$plain"; }
note() { printf '   %s\n' "$*"; }
started=$(date +%s.%N)
elapsed() { awk -v a="$started" -v b="$(date +%s.%N)" 'BEGIN { printf "%.1f s", b - a }'; }

# ---- 1. packages and build ---------------------------------------------------------------------
step "1. Packages and build ($build: quillmark-publish, quillmark-update)"
scripts/deps.sh
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset linux -B "$build" >/dev/null
fi
mkdir -p "$demo"
if ! cmake --build "$build" --target quillmark-publish quillmark-update >"$demo/build.log" 2>&1; then
  cat "$demo/build.log" >&2
  exit 1
fi
publish=$root/$build/tools/publish/quillmark-publish
update=$root/$build/src/cli/quillmark-update
"$update" --help >/dev/null
started=$(date +%s.%N)
cd "$demo"

# ---- 2. key pair -------------------------------------------------------------------------------
step "2. The publisher's key pair"
mkdir -p keys
if [ -f keys/demo.key ] && [ -f keys/demo.pub ]; then
  note "kept from an earlier run: keys/demo.key (secret), keys/demo.pub (public)"
else
  rm -f keys/demo.key keys/demo.pub
  "$publish" keygen --out keys/demo | sed 's/^/   /'
fi

# ---- 3. sample game ----------------------------------------------------------------------------
# Deterministic content: "random" bytes are AES-CTR of zeros under a key made from a seed (they
# do not compress), text is numbered lines (it compresses well). The same seed gives the same
# bytes on every machine, so a second run of the demo publishes nothing new.
random_file() {  # PATH SEED BYTES
  mkdir -p "$(dirname "$1")"
  head -c "$3" /dev/zero |
    openssl enc -aes-128-ctr -nosalt -K "$(printf '%032x' "$2")" -iv 00000000000000000000000000000000 >"$1"
}
text_file() {  # PATH SEED BYTES
  mkdir -p "$(dirname "$1")"
  awk -v seed="$2" -v n="$3" 'BEGIN {
    out = ""
    for (i = 1; length(out) < n; i++)
      out = out sprintf("%06d quill %d moves over the parchment of region %d\n", i, seed, seed % 97)
    printf "%s", substr(out, 1, n)
  }' >"$1"
}
map_file() {  # GAME REGION MAP SEED: 4 to 64 KiB, every other one text
  local size=$(((($2 * 37 + $3 * 101) % 61 + 4) * 1024))
  if (($3 % 2 == 0)); then
    random_file "$1/data/maps/region_$2/map_$3.dat" "$4" "$size"
  else
    text_file "$1/data/maps/region_$2/map_$3.dat" "$4" "$size"
  fi
}

step "3. A sample game (game-v1/) and its next version (game-v2/)"
rm -rf game-v1 game-v2
g=game-v1
random_file "$g/Play Quillmark.exe" 1 $((3 * 1024 * 1024))
text_file "$g/vessa.cfg" 2 600
text_file "$g/docs/readme.txt" 3 5000
text_file "$g/docs/license.txt" 4 12000
for r in 1 2 3 4 5 6 7 8; do
  for m in $(seq 1 20); do map_file "$g" "$r" "$m" $((1000 + r * 100 + m)); done
done
for i in 1 2 3 4 5 6; do random_file "$g/data/textures/pack_$i.pak" $((2000 + i)) $(((3 + i) * 1024 * 1024)); done
for i in 1 2 3 4; do random_file "$g/sound/music/track_$i.ogg" $((3000 + i)) $(((1 + i) * 1024 * 1024)); done
for i in $(seq 1 90); do random_file "$g/sound/fx/fx_$i.wav" $((4000 + i)) $(((i * 7919) % 20000 + 1000)); done
for i in $(seq 1 10); do random_file "$g/bin/plugins/plugin_$i.dll" $((5000 + i)) $((150 * 1024 + i * 4096)); done
random_file "$g/data/world.pak" 6000 $((24 * 1024 * 1024))

# Version 2: a new game executable, one texture pack and twelve maps changed, 1 MiB in the
# middle of the world pack replaced, region 8 gone (its folder empties and is removed), region
# 9 and a change log added.
cp -a game-v1 game-v2
g=game-v2
random_file "$g/Play Quillmark.exe" 11 $((3 * 1024 * 1024 + 4096))
random_file "$g/data/textures/pack_3.pak" 2103 $((6 * 1024 * 1024))
random_file world-part.tmp 6001 $((1024 * 1024))
dd if=world-part.tmp of="$g/data/world.pak" bs=1M seek=10 conv=notrunc status=none
rm world-part.tmp
for m in $(seq 1 12); do map_file "$g" 2 "$m" $((7000 + m)); done
rm -rf "$g/data/maps/region_8"
for m in $(seq 1 20); do map_file "$g" 9 "$m" $((1900 + m)); done
text_file "$g/docs/changelog.txt" 5 3000
for v in 1 2; do
  note "game-v$v: $(find game-v$v -type f | wc -l) files, $(du -sh game-v$v | cut -f1)"
done

# ---- 4. publish and serve ----------------------------------------------------------------------
step "4. Publish version 1 (release/) and serve it with nginx on loopback"
rm -rf release manifests
# The news and the web links the launcher shows (the same the end-to-end test publishes).
news=$root/tests/e2e/release/news.json
links=$root/tests/e2e/release/links.json
mkdir -p manifests
# vessa.cfg holds the player's settings: installed once, then left to the player.
"$publish" build --game game-v1 --out release --version 1 --key keys/demo.key --keep vessa.cfg \
  --news "$news" --links "$links" 2>&1 |
  sed 's/^/   /'
cp release/manifest.json manifests/v1.json

port_free() { ! (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }
port=${QM_DEMO_PORT:-}
if [ -z "$port" ]; then
  for candidate in 8080 $(seq 18080 18179); do
    if port_free "$candidate"; then port=$candidate; break; fi
  done
fi
[ -n "$port" ] || { echo "no free port for nginx" >&2; exit 1; }

rm -rf nginx
mkdir -p nginx/tmp
cat >nginx/nginx.conf <<EOF
# nginx for the demo: in the foreground, one process, logs and temporary files in this folder.
daemon off;
master_process off;
worker_processes 1;
pid "$PWD/nginx/nginx.pid";
error_log "$PWD/nginx/error.log" warn;
events { worker_connections 256; }
http {
  access_log "$PWD/nginx/access.log";
  client_body_temp_path "$PWD/nginx/tmp/body";
  proxy_temp_path "$PWD/nginx/tmp/proxy";
  fastcgi_temp_path "$PWD/nginx/tmp/fastcgi";
  uwsgi_temp_path "$PWD/nginx/tmp/uwsgi";
  scgi_temp_path "$PWD/nginx/tmp/scgi";
  default_type application/octet-stream;
  sendfile on;
  server {
    listen 127.0.0.1:$port;
    # A release is plain static files; /patch/ is where the launcher looks for them.
    location /patch/ {
      alias "$PWD/release/";
      # 8 MB/s per connection, so that the progress of a loopback download can be seen.
      limit_rate 8m;
    }
    location / { return 404; }
  }
}
EOF
nginx_pid=
stop_nginx() {
  if [ -n "$nginx_pid" ]; then
    kill "$nginx_pid" 2>/dev/null || true
    wait "$nginx_pid" 2>/dev/null || true
    nginx_pid=
  fi
}
trap stop_nginx EXIT
/usr/sbin/nginx -p "$PWD/nginx" -c "$PWD/nginx/nginx.conf" -e "$PWD/nginx/error.log" \
  >nginx/output.log 2>&1 &
nginx_pid=$!
url=http://127.0.0.1:$port/patch/
for _ in $(seq 1 100); do
  curl -fsS -o /dev/null "${url}manifest.json" 2>/dev/null && break
  if ! kill -0 "$nginx_pid" 2>/dev/null; then
    nginx_pid=
    echo "nginx did not start:" >&2
    cat nginx/output.log nginx/error.log >&2 || true
    exit 1
  fi
  sleep 0.1
done
curl -fsS -o /dev/null "${url}manifest.json"
note "nginx serves release/ at $url (nginx/nginx.conf)"

run_update() {
  printf '   $ quillmark-update --dir player --patch-url %s --public-key keys/demo.pub\n' "$url"
  "$update" --dir player --patch-url "$url" --public-key keys/demo.pub
}
verify_player() {
  if ! "$publish" verify --release release --public-key keys/demo.pub --game player >verify.log 2>&1; then
    cat verify.log >&2
    exit 1
  fi
  rm -f verify.log
  note "quillmark-publish verify: player/ matches the release exactly"
  note "player/: $(find player -type f | wc -l) files, $(du -sh player | cut -f1)"
}

# ---- 5. updates --------------------------------------------------------------------------------
step "5a. A fresh game folder (player/) brought to version 1"
rm -rf player
run_update
verify_player

step "5b. The same again: the kept manifest and the cache answer, nothing is read or fetched"
requests_before=$(wc -l <nginx/access.log)
run_update
# The body bytes nginx sent (the log's tenth field), per file asked for.
tail -n +$((requests_before + 1)) nginx/access.log |
  awk '{ n++; bytes += $10; split($7, p, "/"); names = names (n > 1 ? ", " : "") p[length(p)] }
       END { printf "   the unchanged start: %d request(s), %d bytes (%s)\n", n, bytes, names }'

step "5c. Publish version 2 (changed, added and deleted files) and update"
"$publish" build --game game-v2 --out release --version 2 --key keys/demo.key --keep vessa.cfg \
  --news "$news" --links "$links" --previous manifests/v1.json 2>&1 | sed 's/^/   /'
cp release/manifest.json manifests/v2.json
requests_before=$(wc -l <nginx/access.log)
run_update
note "objects fetched (whole files and chunks): $(tail -n +$((requests_before + 1)) nginx/access.log | grep -c '/patch/files/')"
# Files above 4 MiB are cut into chunks too, listed in an object of their own ("chunk_list"):
# of the world pack, only its list and the chunks around the replaced MiB are fetched; the rest
# is taken from the old file in the folder.
tail -n +$((requests_before + 1)) nginx/access.log | python3 -c '
import json, sys, zlib
entry = next(f for f in json.load(open("manifests/v2.json"))["files"] if f["p"] == "data/world.pak")
hashes = {entry["h"]}
if "chunk_list" in entry:
    h = entry["chunk_list"]["h"]
    text = zlib.decompress(open("release/files/%s/%s.z" % (h[:2], h), "rb").read()).decode()
    hashes |= {h} | {line.split()[0] for line in text.splitlines()}
fetched = sum(int(line.split()[9]) for line in sys.stdin if line.split()[6].rsplit("/", 1)[-1][:64] in hashes)
print("   data/world.pak: 1 MiB of %.0f MiB changed, %.1f MiB fetched for it" % (entry["s"] / 2**20, fetched / 2**20))'
[ ! -e player/data/maps/region_8 ] && note "region_8 is gone, folder and all"
verify_player

# ---- 6. the Windows launcher -------------------------------------------------------------------
# QuillmarkLauncher.exe takes its patch address and public key from its build: the windows
# preset, configured in build/demo-windows with this nginx's address and keys/demo.pub, makes
# the demo's own launcher. Under Wine (in Xvfb when there is no display) it brings an empty
# folder, launcher/, up to date; tests/e2e/demo_launcher.sh photographs it on the way.
# The launcher and QuillmarkSetup.exe are signed as a studio signs them, with a throw-away
# certificate that only this demo trusts (keys/codesign/, remade when it is about to expire).
step "6. QuillmarkLauncher.exe and QuillmarkSetup.exe, signed; the launcher under Wine brings launcher/ to READY TO PLAY"
win_build=$root/${QM_DEMO_WIN_BUILD:-build/demo-windows}
codesign=$PWD/keys/codesign
if ! openssl x509 -checkend 86400 -noout -in "$codesign/signer.pem" >/dev/null 2>&1; then
  bash "$root/tests/e2e/test_certificate.sh" "$codesign" 30
fi
launcher_failed=
if (cd "$root" && cmake --preset windows -B "$win_build" -DQUILLMARK_TESTS=OFF \
      -DQUILLMARK_PATCH_URL="$url" -DQUILLMARK_PUBLIC_KEY="$root/$demo/keys/demo.pub" \
      -DQUILLMARK_SIGN_CERT="$codesign/signer.pem" -DQUILLMARK_SIGN_KEY="$codesign/signer.key") \
     >build-windows.log 2>&1 &&
   cmake --build "$win_build" --target QuillmarkLauncher QuillmarkSetup >>build-windows.log 2>&1; then
  note "built $win_build/src/shell/QuillmarkLauncher.exe for $url"
  note "built $win_build/tools/setup/QuillmarkSetup.exe around it"
  for exe in src/shell/QuillmarkLauncher.exe tools/setup/QuillmarkSetup.exe; do
    if osslsigncode verify -in "$win_build/$exe" -CAfile "$codesign/ca.pem" >/dev/null 2>&1; then
      note "osslsigncode verify: $(basename "$exe") is signed by the demo's certificate"
    else
      note "osslsigncode verify failed on $win_build/$exe"
      launcher_failed=1
    fi
  done
  WINEPREFIX=$root/build/demo-wineprefix "$root/scripts/wine-env.sh" \
    bash "$root/tests/e2e/demo_launcher.sh" "$win_build/src/shell/QuillmarkLauncher.exe" \
    "$PWD/launcher" "$PWD/screenshots" || launcher_failed=1
else
  note "the Windows build failed (see $demo/build-windows.log)"
  launcher_failed=1
fi

# ---- 7. where everything is --------------------------------------------------------------------
step "7. Done in $(elapsed) after the build. Everything is in $demo/:"
note "keys/demo.key, keys/demo.pub  the publisher's key pair (the secret one is yours alone)"
note "game-v1/, game-v2/            the sample game as the publisher has it"
note "release/                      what a web server or CDN serves: manifest.json, manifest.sig, files/"
note "manifests/v1.json, v2.json    each version's manifest (v1 gave v2 its delete list)"
note "player/                       the player's game folder, with patcher.ini, patcher_cache.dat and patcher_manifest.dat"
note "nginx/                        nginx's configuration and logs (nginx stops as the demo ends)"
note "launcher/                     the game folder QuillmarkLauncher.exe brought up to date under Wine"
note "screenshots/                  the launcher's window: launcher-ready.png (READY TO PLAY) and,"
note "                              when a frame of the download was caught, launcher-downloading.png"
note "keys/codesign/                the throw-away code-signing certificate (ca.pem, signer.pem, signer.key)"
note "setup program: ${win_build#"$root"/}/tools/setup/QuillmarkSetup.exe (signed; installs the"
note "               launcher for $url, with shortcuts and an uninstaller)"
note "programs: $build/tools/publish/quillmark-publish, $build/src/cli/quillmark-update"
note "try: $build/src/cli/quillmark-update --help"
if [ -n "$launcher_failed" ]; then
  echo "The launcher step failed; see $demo/build-windows.log and $demo/screenshots/." >&2
  exit 1
fi

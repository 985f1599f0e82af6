#!/usr/bin/env bash
# Slow link: quillmark-update installs a release of 2,000 files (about 100 MB, most of them
# small) into an empty folder through a proxy that gives loopback a round trip and a bandwidth
# (tests/integration/delay_proxy.h), in front of nginx. Prints the install's wall time against
# the time the bytes need on that bandwidth (bytes / bandwidth); the goal is a ratio of at
# most 1.2, which only a client that keeps many requests in flight reaches (four requests at a
# time wait for a round trip per four files). For reference, curl fetches the same files with
# 16 and with 32 requests in flight (fetching only: nothing inflated, hashed or written).
#
# A second install fetches one pack of QM_PACK_MIB MiB (default 64) through the same link: a
# file above the chunking threshold, so its chunks are what crosses the link; its goal is the
# same ratio.
#
# Usage: tests/bench/slow_link_bench.sh [BUILD_DIR] [WORK_DIR]
#   BUILD_DIR  a build of the linux preset (default build/linux); the programs are built
#   WORK_DIR   where the release lives (default build/bench-slow-link); kept, so that later
#              runs skip generating and publishing. About 200 MB.
# Environment: QM_RTT_MS (round trip, default 50), QM_MBIT (bandwidth in Mbit/s, default 100),
#              QM_BENCH_RUNS (runs of each side, best taken; default 1).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=${1:-build/linux}
work=${2:-build/bench-slow-link}
rtt=${QM_RTT_MS:-50}
mbit=${QM_MBIT:-100}
runs=${QM_BENCH_RUNS:-1}

scripts/deps.sh jq
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset linux -B "$build" >/dev/null
fi
cmake --build "$build" --target quillmark-update quillmark-publish slow_link_proxy >/dev/null
update=$root/$build/src/cli/quillmark-update
publish=$root/$build/tools/publish/quillmark-publish
proxy_exe=$root/$build/tests/bench/slow_link_proxy
mkdir -p "$work"
work=$(cd "$work" && pwd)
cd "$work"

say() { printf '%s\n' "$*" >&2; }

# ---- data --------------------------------------------------------------------------------------
# 1,900 files of 2 to 48 KiB and 100 of 256 to 768 KiB: AES-CTR bytes that do not compress
# (so the bytes on the wire are the game's), a third of them mapped onto 16 letters (about 57 %).
sixteen=$(printf 'abcdefghijklmnop%.0s' $(seq 16))
stream() { head -c "$2" /dev/zero | openssl enc -aes-128-ctr -nosalt -K "$(printf '%032x' "$1")" -iv 00000000000000000000000000000000; }
if [ ! -f src.done ]; then
  say "generating the game (2,000 files)..."
  rm -rf src
  for i in $(seq 0 1999); do
    h=$(((i * 2654435761) % 1000003))
    if ((i % 20 == 0)); then
      size=$(((256 + h % 512) * 1024))
    else
      size=$((2048 + h % 47104))
    fi
    dir=src/pack_$((i % 20))/part_$((i / 20 % 5))
    mkdir -p "$dir"
    if ((i % 3 == 2)); then
      stream "$((i + 1))" "$size" | LC_ALL=C tr '\000-\377' "$sixteen" >"$dir/file_$i.bin"
    else
      stream "$((i + 1))" "$size" >"$dir/file_$i.bin"
    fi
  done
  touch src.done
fi
if [ ! -f keys/bench.pub ]; then
  mkdir -p keys
  rm -f keys/bench.key
  "$publish" keygen --out keys/bench >/dev/null
fi
if [ ! -f release/manifest.sig ] || [ src.done -nt release/manifest.sig ]; then
  say "publishing..."
  rm -rf release
  "$publish" build --game src --out release --version 1 --key keys/bench.key \
    --game-exe pack_0/part_0/file_0.bin >/dev/null
fi
pack_mib=${QM_PACK_MIB:-64}
if [ ! -f pack-release/manifest.sig ] || [ "$(cat pack.mib 2>/dev/null)" != "$pack_mib" ]; then
  say "publishing one pack of $pack_mib MiB..."
  rm -rf pack pack-release
  mkdir -p pack
  stream 7777 "$((pack_mib << 20))" >pack/world.pak
  "$publish" build --game pack --out pack-release --version 1 --key keys/bench.key \
    --game-exe world.pak >/dev/null
  echo "$pack_mib" >pack.mib
fi
# What an install fetches: the manifest, its signature and every file's zlib stream (for the
# pack, its chunk list's and its chunks' streams).
pack_wire=$(python3 -c '
import json, zlib
for f in json.load(open("pack-release/manifest.json"))["files"]:
    h, c = f["chunk_list"]["h"], f["chunk_list"]["c"]
    text = zlib.decompress(open("pack-release/files/%s/%s.z" % (h[:2], h), "rb").read()).decode()
    print(c + sum(int(line.split()[2]) for line in text.splitlines()))')
pack_wire=$((pack_wire + $(stat -c %s pack-release/manifest.json) + $(stat -c %s pack-release/manifest.sig)))
wire_bytes=$(du -cb --apparent-size release/manifest.json release/manifest.sig release/files | tail -1 | cut -f1)

# ---- nginx and the proxy -------------------------------------------------------------------------
# shellcheck source=tests/bench/bench_lib.sh
. "$root/tests/bench/bench_lib.sh"
proxy_pid=
cleanup() {
  if [ -n "$proxy_pid" ]; then kill "$proxy_pid" 2>/dev/null || true; wait "$proxy_pid" 2>/dev/null || true; fi
  nginx_stop
}
trap cleanup EXIT
nginx_start /release/="$work/release/" /pack/="$work/pack-release/"
nginx_wait "$nginx_base/release/manifest.json"
rm -f proxy.out  # else the wait below may read the last run's before the shell empties it
"$proxy_exe" --upstream-port "$nginx_port" --rtt-ms "$rtt" --mbit "$mbit" >proxy.out 2>&1 &
proxy_pid=$!
for _ in $(seq 1 200); do
  grep -q '^port ' proxy.out 2>/dev/null && break
  sleep 0.05
done
proxy_port=$(awk '/^port / { print $2 }' proxy.out)
[ -n "$proxy_port" ] || { say "the proxy did not start:"; cat proxy.out >&2; exit 1; }
base=http://127.0.0.1:$proxy_port/release/
curl -fsS -o /dev/null "${base}manifest.json"
pub=$(cat keys/bench.pub)
cat release/files/*/* pack-release/files/*/* >/dev/null  # into the page cache

jq -r '.files[] | .h' release/manifest.json | awk -v base="$base" '{
  printf "url = \"%sfiles/%s/%s.z\"\noutput = \"stage/%s.z\"\n", base, substr($1, 1, 2), $1, $1
}' >curl.cfg

say "install through the slow link ($rtt ms, $mbit Mbit/s; best of $runs)..."
measure ours 'rm -rf install' \
  "$update" --dir install --patch-url "$base" --public-key "$pub" --quiet --lang en
say "install of the pack through the slow link (best of $runs)..."
measure pack 'rm -rf install' \
  "$update" --dir install --patch-url "http://127.0.0.1:$proxy_port/pack/" --public-key "$pub" \
  --quiet --lang en
say "curl, 16 and 32 requests in flight, fetching only..."
measure curl16 'rm -rf stage; mkdir -p stage' \
  curl --parallel --parallel-max 16 --fail -sS --config curl.cfg
measure curl32 'rm -rf stage; mkdir -p stage' \
  curl --parallel --parallel-max 32 --fail -sS --config curl.cfg
rm -rf stage

# shellcheck disable=SC2154  # set by measure
awk -v bytes="$wire_bytes" -v mbit="$mbit" -v rtt="$rtt" -v ow="$ours_wall" -v ok="$ours_kib" \
  -v cw="$curl16_wall" -v cw32="$curl32_wall" -v pw="$pack_wall" -v pbytes="$pack_wire" \
  -v pmib="$pack_mib" 'BEGIN {
    ideal = bytes * 8 / (mbit * 1000000)
    printf "\nslow link: %d ms round trip, %d Mbit/s; 2,000 files, %.1f MB on the wire: %.2f s at full bandwidth\n",
      rtt, mbit, bytes / 1e6, ideal
    printf "%-40s %7.2f s  %5.2fx  (goal <= 1.2) %s, peak %.1f MiB (< 48 MiB) %s\n",
      "quillmark-update, cold install", ow, ow / ideal, ow / ideal <= 1.2 ? "ok" : "MISSED",
      ok / 1024, ok < 49152 ? "ok" : "MISSED"
    printf "%-40s %7.2f s  %5.2fx\n", "curl, 16 in flight, fetch only", cw, cw / ideal
    printf "%-40s %7.2f s  %5.2fx\n", "curl, 32 in flight, fetch only", cw32, cw32 / ideal
    pideal = pbytes * 8 / (mbit * 1000000)
    printf "one pack of %d MiB, %.1f MB on the wire: %.2f s at full bandwidth\n", pmib, pbytes / 1e6, pideal
    printf "%-40s %7.2f s  %5.2fx  (goal <= 1.2) %s\n", "quillmark-update, cold install", pw,
      pw / pideal, pw / pideal <= 1.2 ? "ok" : "MISSED"
  }'

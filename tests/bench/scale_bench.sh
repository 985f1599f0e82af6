#!/usr/bin/env bash
# The size we build for, in printed figures (a benchmark, never run by CTest): a game of
# 300,000 files and 150 GiB, most of it in files above 4 MiB, published, served by nginx on
# loopback and kept up to date by quillmark-update.
#
#   manifest       manifest bytes per file, and what the entries of the large files cost per
#                  GiB of them
#   start          bytes and requests of an unchanged start, and of a start after a 1 % patch
#                  (1 % of the small files rewritten, 1 % of the large ones edited in one place)
#   noop           the unchanged start's wall time against a bare stat walk (find -printf), and
#                  its peak memory
#   install        a fresh install of a few GiB of large files of real, compressible data: the
#                  folder's peak disk use against its final size, and the bytes the run wrote
#                  (/proc io of the process) against the release's size
#   publish        the publisher's build of those files against pigz -9 and sha256sum of the
#                  same bytes
#
# The 150 GiB are sparse: each large file holds a few KiB of its own bytes and a hole, so the
# disk holds almost nothing and every figure that does not depend on the content (the manifest,
# the start's requests and bytes, the stat walk) is the real one. The install and publish
# figures use real data at a smaller size.
#
# Usage: tests/bench/scale_bench.sh [BUILD_DIR] [WORK_DIR]
#   BUILD_DIR  a build of the linux preset (default build/linux)
#   WORK_DIR   where the data sets live (default build/bench-scale); kept, so that later runs
#              skip generating and publishing. Each run publishes one more 1 % patch.
# QM_SCALE_FILES (300000), QM_SCALE_GIB (150), QM_SCALE_INSTALL_GIB (2): the sizes;
# QM_BENCH_RUNS (3): runs of each timed command, the best counts;
# QM_BENCH_ONLY=manifest,start,noop,install,publish (any of them) runs only those.
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=${1:-build/linux}
work=${2:-build/bench-scale}
runs=${QM_BENCH_RUNS:-3}
files=${QM_SCALE_FILES:-300000}
gib=${QM_SCALE_GIB:-150}
install_gib=${QM_SCALE_INSTALL_GIB:-2}
only=${QM_BENCH_ONLY:-manifest,start,noop,install,publish}
wanted() { [[ ",$only," == *",$1,"* ]]; }

scripts/deps.sh pigz jq python3
if [ ! -f "$build/CMakeCache.txt" ]; then cmake --preset linux -B "$build" >/dev/null; fi
cmake --build "$build" --target quillmark-update quillmark-publish >/dev/null
build=$(cd "$build" && pwd)
update=${QM_BENCH_UPDATE:-$build/src/cli/quillmark-update}
publish=$build/tools/publish/quillmark-publish
mkdir -p "$work"
work=$(cd "$work" && pwd)
cd "$work"
say() { printf '%s\n' "$*" >&2; }

if [ ! -f keys/bench.pub ]; then
  mkdir -p keys
  rm -f keys/bench.key
  "$publish" keygen --out keys/bench >/dev/null
fi
pub=$(cat keys/bench.pub)

# ---- the large game (sparse) -------------------------------------------------------------------
# One file in 300 is large (1,000 of 300,000), and the large files share what the small ones
# leave of the size. Deterministic; a patch of seed K rewrites every hundredth small file and
# edits 64 KiB in the middle of every hundredth large one.
gen_py=$(
  cat <<'PY'
import os, sys
root, count, gib, seed = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4])
large = max(1, count // 300)
small = count - large
def small_path(i): return os.path.join(root, 'data', 'd%03d' % (i % 1000), 'f%06d.dat' % i)
def large_path(i): return os.path.join(root, 'packs', 'p%02d' % (i % 50), 'pack%04d.pak' % i)
def small_bytes(i, s):
    line = ('small file %d of version %d, a few lines of its own\n' % (i, s)).encode()
    return line * (1 + (i * 2654435761) % 97)
if seed == 0:
    for d in range(min(small, 1000)): os.makedirs(os.path.join(root, 'data', 'd%03d' % d), exist_ok=True)
    for d in range(min(large, 50)): os.makedirs(os.path.join(root, 'packs', 'p%02d' % d), exist_ok=True)
    small_total = 0
    for i in range(small):
        b = small_bytes(i, 0)
        small_total += len(b)
        with open(small_path(i), 'wb') as f: f.write(b)
    each = max(8 << 20, (int(gib * (1 << 30)) - small_total) // large // 4096 * 4096)
    for i in range(large):
        with open(large_path(i), 'wb') as f:
            f.write((('pack %d\n' % i).encode() * 512)[:4096])
            f.truncate(each)
else:
    for i in range(seed % 100, small, 100):
        with open(small_path(i), 'wb') as f: f.write(small_bytes(i, seed))
    for i in range(seed % 100, large, 100):
        size = os.path.getsize(large_path(i))
        with open(large_path(i), 'r+b') as f:
            f.seek(size // 2 + seed * 4096 % (size // 4))
            f.write((('patch %d of pack %d\n' % (seed, i)).encode() * 4096)[:65536])
PY
)
game() { python3 -c "$gen_py" "$@"; }

if { wanted manifest || wanted start || wanted noop; } && [ ! -f big-src.done ]; then
  say "generating $files files, $gib GiB (sparse)..."
  rm -rf big-src big-release big-install big-version
  game big-src "$files" "$gib" 0
  touch big-src.done
fi
if { wanted manifest || wanted start || wanted noop; } && [ ! -f big-release/manifest.sig ]; then
  say "publishing them..."
  /usr/bin/time -f '  %e s, %M KiB' "$publish" build --game big-src --out big-release --version 1 \
    --key keys/bench.key --game-exe data/d000/f000000.dat >publish-big.log
  echo 1 >big-version
fi

# ---- nginx -------------------------------------------------------------------------------------
nginx_access_log=on
# shellcheck source=tests/bench/bench_lib.sh
. "$root/tests/bench/bench_lib.sh"
watcher=
cleanup() {
  [ -z "$watcher" ] || kill "$watcher" 2>/dev/null || true
  nginx_stop
}
trap cleanup EXIT
mkdir -p big-release small-release
nginx_start /big/="$work/big-release/" /small/="$work/small-release/"
base=$nginx_base
log=$work/nginx/access.log

# Runs quillmark-update with the arguments given and prints "REQUESTS BYTES" that nginx sent
# for it (the access log is written as each request ends).
served_for() {
  : >"$log"
  "$update" "$@" --quiet --lang en >run.log 2>&1 || { cat run.log >&2; exit 1; }
  awk '{ n++; b += $2 } END { printf "%d %d\n", n, b }' "$log"
}
# "REQUESTS BYTES" of the last served_for, split: the manifest and its signature, the rest.
served_split() {
  awk '/manifest\./ { mn++; mb += $2; next } { on++; ob += $2 }
       END { printf "manifest and signature %d requests, %.1f KB; other objects %d requests, %.1f KB\n",
             mn, mb / 1000, on, ob / 1000 }' "$log"
}

run_big() { "$update" --dir big-install --patch-url "$base/big/" --public-key "$pub" "$@"; }

if wanted manifest || wanted start || wanted noop; then
  nginx_wait "$base/big/manifest.sig"
  if [ ! -f big-install/patcher.ini ]; then
    say "installing the large game: a copy of its folder, then one checking run (hashes $gib GiB of holes)..."
    rm -rf big-install
    cp -a --sparse=always big-src big-install
    /usr/bin/time -f '  %e s, %M KiB' "$update" --dir big-install --patch-url "$base/big/" \
      --public-key "$pub" --quiet --lang en >/dev/null
  fi
fi

if wanted manifest; then
  manifest_bytes=$(stat -c %s big-release/manifest.json)
  read -r large_count large_bytes large_entry_bytes < <(jq -r '
    [.files[] | select(.s > 4194304)] | [length, (map(.s) | add), (map(tojson | length + 1) | add)]
    | @tsv' big-release/manifest.json)
  entries=$(jq '.files | length' big-release/manifest.json)
  awk -v m="$manifest_bytes" -v n="$entries" -v lc="$large_count" -v lb="$large_bytes" \
    -v le="$large_entry_bytes" 'BEGIN {
    printf "\nmanifest: %.1f MB for %d files: %.0f bytes a file; the %d large files (%.1f GiB) take %.1f KB of it: %.0f bytes per GiB of large files\n",
      m / 1e6, n, m / n, lc, lb / 2^30, le / 1e3, le / (lb / 2^30) }'
fi

if wanted start; then
  read -r unchanged_requests unchanged_bytes < <(served_for --dir big-install --patch-url "$base/big/" --public-key "$pub")
  printf 'unchanged start: %d requests, %d bytes (%s)\n' "$unchanged_requests" "$unchanged_bytes" "$(served_split)"
  version=$(($(cat big-version) + 1))
  say "a 1 % patch (version $version)..."
  cp big-release/manifest.json previous.json
  game big-src "$files" "$gib" "$version"
  "$publish" build --game big-src --out big-release --version "$version" --key keys/bench.key \
    --game-exe data/d000/f000000.dat --previous previous.json >publish-patch.log
  echo "$version" >big-version
  read -r patch_requests patch_bytes < <(served_for --dir big-install --patch-url "$base/big/" --public-key "$pub")
  printf 'start after a 1 %% patch: %d requests, %.1f MB (%s)\n' "$patch_requests" \
    "$(awk -v b="$patch_bytes" 'BEGIN { print b / 1e6 }')" "$(served_split)"
fi

if wanted noop; then
  say "no-op run over $files cached files (best of $runs)..."
  measure ours_noop ':' "$update" --dir big-install --patch-url "$base/big/" --public-key "$pub" --quiet --lang en
  measure alt_noop ':' bash -c "find big-install -printf '%s %T@\n' >/dev/null"
  awk -v o="$ours_noop_wall" -v a="$alt_noop_wall" -v k="$ours_noop_kib" -v n="$files" 'BEGIN {
    printf "no-op run over %d files: %.2f s against find -printf %.2f s: %.2fx (goal <= 1.3); peak %.1f MiB\n",
      n, o, a, o / a, k / 1024 }'
fi

# ---- the install: real data, a few GiB of large files ------------------------------------------
sixteen=$(printf 'abcdefghijklmnop%.0s' $(seq 16))
half_bytes() {  # SEED COUNT: about 57 % after zlib
  head -c "$2" /dev/zero |
    openssl enc -aes-128-ctr -nosalt -K "$(printf '%032x' "$1")" -iv 00000000000000000000000000000000 |
    LC_ALL=C tr '\000-\377' "$sixteen"
}
if { wanted install || wanted publish; } && [ ! -f small-src.done ]; then
  say "generating $install_gib GiB of large files..."
  rm -rf small-src
  mkdir -p small-src/packs small-src/data
  for i in $(seq 1 "$install_gib"); do
    half_bytes "$i" $((512 << 20)) >"small-src/packs/a$i.pak"
    half_bytes "$((i + 100))" $((512 << 20)) >"small-src/packs/b$i.pak"
  done
  for i in $(seq 1 200); do half_bytes "$((i + 1000))" $((i * 997)) >"small-src/data/f$i.dat"; done
  touch small-src.done
fi

if wanted publish; then
  say "publishing $install_gib GiB (best of $runs)..."
  measure ours_publish 'rm -rf publish-out' "$publish" build --game small-src --out publish-out \
    --version 1 --key keys/bench.key --game-exe data/f1.dat
  measure pigz_publish ':' bash -c 'find small-src -type f -print0 | sort -z | xargs -0 cat | pigz -9 -c >/dev/null'
  measure sha_publish ':' bash -c 'find small-src -type f -print0 | xargs -0 sha256sum >/dev/null'
  rm -rf publish-out
  awk -v b="$(du -sb --apparent-size small-src | cut -f1)" -v o="$ours_publish_wall" \
    -v p="$pigz_publish_wall" -v s="$sha_publish_wall" 'BEGIN {
    mb = b / 1e6
    printf "publisher: %.1f MB in %.2f s, %.1f MB/s; pigz -9 %.1f MB/s (%.2fx ours); sha256sum %.1f MB/s (%.2fx ours)\n",
      mb, o, mb / o, mb / p, o / p, mb / s, o / s }'
fi

if wanted install; then
  if [ ! -f small-release/manifest.sig ] || [ small-src.done -nt small-release/manifest.sig ]; then
    "$publish" build --game small-src --out small-release --version 1 --key keys/bench.key \
      --game-exe data/f1.dat >/dev/null
  fi
  nginx_wait "$base/small/manifest.sig"
  # The sparse packs cut into chunks of the longest size; real data is cut about five times
  # finer, so what chunks cost a manifest shows here.
  jq -r --argjson m "$(stat -c %s small-release/manifest.json)" '
    [.files[] | select(.s > 4194304)] | (map(.s) | add) as $b
    | "manifest of the real-data release: \($m) bytes; its \(length) large files take \(map(tojson | length + 1) | add) of them for \($b / 1073741824 * 100 | round / 100) GiB"' \
    small-release/manifest.json
  say "fresh install of $install_gib GiB of large files..."
  rm -rf small-install peak.txt
  mkdir -p small-install
  (
    set +e  # du fails while files vanish under it; the next sample counts
    peak=0
    while :; do
      now=$(du -sk small-install 2>/dev/null | cut -f1)
      [ "${now:-0}" -gt "$peak" ] && peak=$now && echo "$peak" >peak.txt
      sleep 0.1
    done
  ) &
  watcher=$!
  # The shell reaps the run before it reads its own /proc io, which then holds the run's.
  bash -c '"$@" >run.log 2>&1; status=$?; cat /proc/$$/io >io.txt; exit $status' _ \
    "$update" --dir small-install --patch-url "$base/small/" --public-key "$pub" --quiet --lang en
  kill "$watcher" 2>/dev/null || true
  wait "$watcher" 2>/dev/null || true
  watcher=
  final=$(du -sk small-install | cut -f1)
  peak=$(cat peak.txt 2>/dev/null || echo "$final")
  [ "$peak" -lt "$final" ] && peak=$final
  release=$(du -sb --apparent-size small-src | cut -f1)
  awk -v p="$peak" -v f="$final" -v r="$release" -v w="$(awk '/^write_bytes/ { print $2 }' io.txt)" \
    -v c="$(awk '/^wchar/ { print $2 }' io.txt)" 'BEGIN {
    printf "fresh install of %.2f GiB: peak disk use %.1f MB against the final folder %.1f MB: %.2fx; written %.1f MB to storage (%.2fx the release), %.1f MB through write calls (%.2fx)\n",
      r / 2^30, p * 1.024 / 1000, f * 1.024 / 1000, p / f, w / 1e6, w / r, c / 1e6, c / r }'
fi

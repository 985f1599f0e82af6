#!/usr/bin/env bash
# quillmark-update against the obvious scripted pipeline, on the same releases served by nginx
# on loopback. Each side is timed as a whole with /usr/bin/time -v, best of QM_BENCH_RUNS runs
# (default 3), over a warm page cache:
#
#   cold install  1 GiB release, 2,000 files of mixed sizes and compressibility, into an empty
#                 folder. Alternative: alt_install.py, four Python threads that fetch (urllib),
#                 inflate (zlib), hash (hashlib, compared) and write each file, then one sync.
#                 Skipped, with a note, without python3. Target ratio <= 0.8; peak memory
#                 under 32 MiB.
#                 Printed too: the same install without the one sync of the run (--no-sync, a
#                 switch for this measurement only), so the difference is what durability costs.
#   no-op run     100,000 small files, installed and cached. Alternative: a bare stat walk,
#                 find -printf '%s %T@'. Target ratio <= 1.3; peak memory under 48 MiB.
#   repair run    the 1 GiB release, installed. Alternative: openssl dgst -sha256 over the same
#                 files, four processes at a time. Target ratio <= 1.1.
#
# The ratio is our wall time over the alternative's. Prints wall time, MB/s and peak memory of
# both sides, and the ratio.
#
# Usage: tests/bench/update_bench.sh [BUILD_DIR] [WORK_DIR]
#   BUILD_DIR  a build of the linux preset (default build/linux); the two programs are built
#   WORK_DIR   where the data sets live (default build/bench-update); kept, so that later runs
#              skip generating, publishing and the first install. About 5 GiB.
# QM_BENCH_ONLY=install,noop,repair (any of them, comma-separated) runs only those;
# QM_BENCH_UPDATE=path measures another quillmark-update (an older build, for a before/after).
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=${1:-build/linux}
work=${2:-build/bench-update}
runs=${QM_BENCH_RUNS:-3}

scripts/deps.sh
if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset linux -B "$build" >/dev/null
fi
cmake --build "$build" --target quillmark-update quillmark-publish >/dev/null
update=${QM_BENCH_UPDATE:-$root/$build/src/cli/quillmark-update}
only=${QM_BENCH_ONLY:-install,noop,repair}
wanted() { [[ ",$only," == *",$1,"* ]]; }
publish=$root/$build/tools/publish/quillmark-publish
mkdir -p "$work"
work=$(cd "$work" && pwd)
cd "$work"

say() { printf '%s\n' "$*" >&2; }

# ---- data --------------------------------------------------------------------------------------
# Deterministic content. Random: AES-CTR of zeros under a key made from a seed (does not
# compress). Half: the same bytes mapped onto 16 letters (compresses to about 57 %). Text:
# numbered lines (about 12 %). (Bytes mapped onto 2 letters would compress further, but zlib's
# level 9 crawls through such data at well under 1 MB/s: no game ships that.)
sixteen=$(printf 'abcdefghijklmnop%.0s' $(seq 16))
stream() { head -c "$2" /dev/zero | openssl enc -aes-128-ctr -nosalt -K "$(printf '%032x' "$1")" -iv 00000000000000000000000000000000; }
bytes() {  # SEED COUNT KIND(0 random, 1 half, 2 text)
  case $3 in
    0) stream "$1" "$2" ;;
    1) stream "$1" "$2" | LC_ALL=C tr '\000-\377' "$sixteen" ;;
    *) awk -v seed="$1" -v n="$2" 'BEGIN {
         while (total < n) {
           line = sprintf("%07d the quill of scribe %d crosses region %d, ink %d\n", i, seed,
                          (i * 7) % 113, (i * 31 + seed) % 997)
           i++
           if (total + length(line) > n) line = substr(line, 1, n - total)
           total += length(line)
           printf "%s", line
         }
       }' ;;
  esac
}

if [ ! -f keys/bench.pub ]; then
  mkdir -p keys
  rm -f keys/bench.key
  "$publish" keygen --out keys/bench >/dev/null
fi

big=false
if wanted install || wanted repair; then big=true; fi
if $big && [ ! -f big-src.done ]; then
  say "generating the 1 GiB game (2,000 files)..."
  rm -rf big-src
  for i in $(seq 0 1999); do
    h=$(((i * 2654435761) % 1000003))
    if ((i % 20 == 0)); then
      size=$(((5 * 1024 + h % 4500) * 1024))  # 100 files of 5 to 9.4 MiB
    elif ((i % 5 == 1)); then
      size=$(((256 + h % 768) * 1024))  # 400 files of 256 KiB to 1 MiB
    else
      size=$((2048 + h % 63488))  # 1,500 files of 2 to 64 KiB
    fi
    dir=big-src/pack_$((i % 20))/part_$((i / 20 % 5))
    mkdir -p "$dir"
    bytes "$((i + 1))" "$size" $((i % 3)) >"$dir/file_$i.bin"
  done
  touch big-src.done
fi

if wanted noop && [ ! -f small-src.done ]; then
  say "generating the 100,000 small files..."
  rm -rf small-src
  mkdir -p small-src
  for d in $(seq 0 99); do mkdir -p "small-src/d$d"; done
  awk 'BEGIN {
    for (i = 0; i < 100000; i++) {
      f = sprintf("small-src/d%d/f%06d.txt", i % 100, i)
      printf "small file %d\n", i > f
      for (j = 0; j < i % 7; j++) printf "line %d of small file %d, padding the size a little\n", j, i > f
      close(f)
    }
  }'
  touch small-src.done
fi

publish_release() {  # NAME GAME_EXE
  if [ ! -f "$1-release/manifest.sig" ] || [ "$1-src.done" -nt "$1-release/manifest.sig" ]; then
    say "publishing $1-src..."
    rm -rf "$1-release"
    "$publish" build --game "$1-src" --out "$1-release" --version 1 --key keys/bench.key \
      --game-exe "$2" >/dev/null
  fi
}
if $big; then
  publish_release big pack_0/part_0/file_0.bin
  big_bytes=$(du -sb --apparent-size big-src | cut -f1)
fi
if wanted noop; then
  publish_release small d0/f000000.txt
  small_bytes=$(du -sb --apparent-size small-src | cut -f1)
fi

# ---- nginx -------------------------------------------------------------------------------------
# shellcheck source=tests/bench/bench_lib.sh
. "$root/tests/bench/bench_lib.sh"
trap nginx_stop EXIT
nginx_start /big/="$work/big-release/" /small/="$work/small-release/"
base=$nginx_base
nginx_wait "$base/$($big && echo big || echo small)/manifest.json"
pub=$(cat keys/bench.pub)

# Both releases into the page cache, so neither side pays for the first read from disk.
if $big; then cat big-release/files/*/* >/dev/null; fi

# ---- the alternatives --------------------------------------------------------------------------
python=false
if wanted install; then
  if command -v python3 >/dev/null; then python=true; else say "no python3: the cold install is measured without its alternative"; fi
fi

if wanted install; then
  say "cold install (best of $runs)..."
  measure ours_install 'rm -rf install-ours' \
    "$update" --dir install-ours --patch-url "$base/big/" --public-key "$pub" --quiet --lang en
  # (an older build without the switch flushed every file before its move: no figure for it)
  nosync=false
  if "$update" --help 2>&1 | grep -q -- --no-sync; then nosync=true; fi
  if $nosync; then measure nosync_install 'rm -rf install-ours' \
    "$update" --dir install-ours --patch-url "$base/big/" --public-key "$pub" --quiet --lang en --no-sync; fi
  if $python; then
    measure alt_install 'rm -rf install-alt' \
      python3 "$root/tests/bench/alt_install.py" big-release/manifest.json "$base/big/" install-alt
  fi
  rm -rf install-alt install-ours
fi

if wanted repair; then
  if [ ! -f install-ours/patcher.ini ]; then
    "$update" --dir install-ours --patch-url "$base/big/" --public-key "$pub" --quiet --lang en >/dev/null
  fi
  say "repair run (best of $runs)..."
  measure ours_repair ':' \
    "$update" --dir install-ours --repair --patch-url "$base/big/" --public-key "$pub" --quiet --lang en
  measure alt_repair ':' bash -c \
    "find install-ours -type f ! -name 'patcher*' -print0 | xargs -0 -P 4 -n 16 openssl dgst -sha256 >/dev/null"
fi

if wanted noop; then
  if [ ! -f small-install/patcher.ini ] || [ small-release/manifest.sig -nt small-install/patcher.ini ]; then
    say "installing the 100,000 files once (not measured)..."
    rm -rf small-install
    "$update" --dir small-install --patch-url "$base/small/" --public-key "$pub" --quiet --lang en >/dev/null
  fi
  say "no-op run (best of $runs)..."
  measure ours_noop ':' \
    "$update" --dir small-install --patch-url "$base/small/" --public-key "$pub" --quiet --lang en
  measure alt_noop ':' bash -c "find small-install -printf '%s %T@\n' >/dev/null"
fi

# ---- the table ---------------------------------------------------------------------------------
row() {  # LABEL BYTES OURS ALT TARGET
  local ow ok aw ak
  ow=${3}_wall ok=${3}_kib aw=${4}_wall ak=${4}_kib
  awk -v label="$1" -v bytes="$2" -v ow="${!ow}" -v ok="${!ok}" -v aw="${!aw:-}" -v ak="${!ak:-}" \
    -v target="$5" 'BEGIN {
      mb = bytes / 1048576
      if (aw == "") {
        printf "%-34s %7.2f s %8.1f MB/s %7.1f MiB | alternative skipped (no python3)\n",
          label, ow, mb / ow, ok / 1024
        exit
      }
      ratio = ow / aw
      printf "%-34s %7.2f s %8.1f MB/s %7.1f MiB | %7.2f s %8.1f MB/s %7.1f MiB | %5.2f  (<= %s) %s\n",
        label, ow, mb / ow, ok / 1024, aw, mb / aw, ak / 1024, ratio, target,
        ratio <= target ? "ok" : "MISSED"
    }'
}
peak() {  # LABEL KIB LIMIT_MIB
  awk -v label="$1" -v k="$2" -v limit="$3" 'BEGIN {
    printf "peak memory of the %s: %.1f MiB (target < %d MiB) %s\n", label, k / 1024, limit,
      k < limit * 1024 ? "ok" : "MISSED" }'
}
printf '\n%-34s %-33s | %-33s | %s\n' "" "quillmark-update: wall, MB/s, peak" "alternative: wall, MB/s, peak" "ratio"
# shellcheck disable=SC2154  # set by measure
if wanted install; then
  row "cold install, 1 GiB, 2,000 files" "$big_bytes" ours_install alt_install 0.8
  if $nosync; then
  row "  the same without the sync" "$big_bytes" nosync_install alt_install 0.8
  awk -v a="$ours_install_wall" -v b="$nosync_install_wall" 'BEGIN {
    printf "durability cost (the one sync of the run): %.2f s, %.0f %% of the install\n", a - b, 100 * (a - b) / a }'
  fi
fi
if wanted noop; then row "no-op run, 100,000 small files" "$small_bytes" ours_noop alt_noop 1.3; fi
if wanted repair; then row "repair run, 1 GiB" "$big_bytes" ours_repair alt_repair 1.1; fi
if wanted install; then peak "cold install" "$ours_install_kib" 32; fi
if wanted noop; then peak "no-op run" "$ours_noop_kib" 48; fi

#!/usr/bin/env bash
# Publishing speed: quillmark-publish build on a synthetic 1 GiB game folder (2,000 files of
# mixed sizes and compressibility), first into an empty release folder, then again into the
# same folder (every content found in the store and checked, nothing compressed). For scale,
# the obvious scripted pipeline on the same folder: sha256sum of every file, and gzip -9 of
# every file with the same number of parallel jobs.
#
# Usage: tests/bench/publish_bench.sh [PATH/TO/quillmark-publish] [JOBS]
# Without a path, the program of build/linux is used (configured and built when missing).
# Needs about 2 GiB free under ${TMPDIR:-/tmp}. Not run by CI.
set -eu  # no pipefail: head ends the generators of the test data early on purpose
cd "$(dirname "$0")/../.."

publish=${1:-build/linux/tools/publish/quillmark-publish}
jobs=${2:-$(nproc)}
if [ ! -x "$publish" ]; then
  cmake --preset linux >/dev/null
  cmake --build build/linux --target quillmark-publish
fi
publish=$(realpath "$publish")

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
game=$work/game
mkdir -p "$game"

# Reproducible bytes: an AES-CTR key stream when openssl is there, else the system's random.
random_bytes() {  # SEED COUNT
  if command -v openssl >/dev/null; then
    openssl enc -aes-128-ctr -nosalt -pass "pass:$1" -pbkdf2 </dev/zero 2>/dev/null | head -c "$2"
  else
    head -c "$2" /dev/urandom
  fi
}

# One file of SIZE bytes in one of three kinds: incompressible (packed assets), text-like
# (about 4:3, base64 of random bytes) and highly repetitive (tables, padding).
make_file() {  # PATH SIZE KIND SEED
  case $3 in
    0) random_bytes "$4" "$2" ;;
    1) random_bytes "$4" $(( $2 * 3 / 4 + 4 )) | base64 -w 76 | head -c "$2" ;;
    2) yes "row $4: 0000 1111 2222 3333 4444 5555 6666 7777 8888 9999 aaaa bbbb" | head -c "$2" ;;
  esac >"$1"
}

echo "making the game folder in $work ..."
# 2,000 files: 1,900 small (4 KiB to 196 KiB), 90 medium (1 to 9 MiB), 10 large (36 to
# 44 MiB); about 1 GiB in all, in 40 folders.
seed=12345
next() { seed=$(( (seed * 1103515245 + 12345) % 2147483648 )); }
for i in $(seq 0 1999); do
  next
  if [ "$i" -lt 1900 ]; then size=$(( 4096 + seed % (192 * 1024) ))
  elif [ "$i" -lt 1990 ]; then size=$(( 1048576 + seed % (8 * 1048576) ))
  else size=$(( 36 * 1048576 + seed % (8 * 1048576) ))
  fi
  dir=$game/data$(( i % 40 ))
  mkdir -p "$dir"
  make_file "$dir/file$i.bin" "$size" $(( i % 3 )) "$i"
done
echo "exe" >"$game/Play Quillmark.exe"
total=$(du -sb "$game" | cut -f1)
files=$(find "$game" -type f | wc -l)
mib=$(awk -v b="$total" 'BEGIN { printf "%.0f", b / 1048576 }')
echo "game folder: $files files, $mib MiB; $jobs jobs"

"$publish" keygen --out "$work/key" >/dev/null

seconds() {  # COMMAND...: prints the wall time in seconds
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>"$work/stderr" || { cat "$work/stderr" >&2; return 1; }
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN { printf "%.2f", e - s }'
}
rate() { awk -v b="$total" -v s="$1" 'BEGIN { printf "%.1f", b / 1048576 / s }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }

sync
first=$(seconds "$publish" build --game "$game" --out "$work/release" --version 1 \
  --key "$work/key.key" --jobs "$jobs")
store=$(du -sb "$work/release/files" | cut -f1)
again=$(seconds "$publish" build --game "$game" --out "$work/release" --version 2 \
  --key "$work/key.key" --jobs "$jobs")
"$publish" verify --release "$work/release" --public-key "$work/key.pub" --jobs "$jobs" >/dev/null

hash_only=$(seconds sh -c "find '$game' -type f -print0 | xargs -0 -P '$jobs' -n 50 sha256sum")
gzip_only=$(seconds sh -c "find '$game' -type f -print0 | xargs -0 -P '$jobs' -n 20 gzip -9 -k -c >/dev/null")

printf '\n%-48s %8s %10s\n' "" "seconds" "MiB/s"
printf '%-48s %8s %10s\n' "build, first (empty store)" "$first" "$(rate "$first")"
printf '%-48s %8s %10s\n' "build again into the same store (all reused)" "$again" "$(rate "$again")"
printf '%-48s %8s %10s\n' "pipeline: sha256sum of every file" "$hash_only" "$(rate "$hash_only")"
printf '%-48s %8s %10s\n' "pipeline: gzip -9 of every file" "$gzip_only" "$(rate "$gzip_only")"
printf '\nstore: %s MiB for %s MiB of content (%s of the original)\n' \
  "$(awk -v b="$store" 'BEGIN { printf "%.0f", b / 1048576 }')" "$mib" "$(ratio "$store" "$total")"
printf 'first build / gzip -9 pipeline time: %s\n' "$(ratio "$first" "$gzip_only")"
printf 'rebuild / first build time:          %s\n' "$(ratio "$again" "$first")"
printf 'rebuild / sha256sum pipeline time:   %s\n' "$(ratio "$again" "$hash_only")"

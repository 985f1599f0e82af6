#!/usr/bin/env bash
# SHA-256 of a 1 GiB file: HashFile (through tests/bench/hash_bench) against
# `openssl dgst -sha256`, both over a warm page cache, each timed as a whole process (wall clock
# and CPU time), best of three runs.
# Prints both speeds and their ratio; the target is a ratio of at least 0.9.
# Usage: tests/bench/hash_bench.sh [BUILD_DIR] [WORK_DIR]
#   BUILD_DIR  a native build of the linux preset (default build/linux); built here if needed
#   WORK_DIR   where the 1 GiB file is made (default: a fresh folder under ${TMPDIR:-/tmp})
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${1:-build/linux}
quiet() {  # runs a step, showing its output only when it fails
  local out
  if ! out=$("$@" 2>&1); then
    printf '%s\n' "$out" >&2
    exit 1
  fi
}
if [ ! -f "$build/CMakeCache.txt" ]; then
  quiet cmake --preset linux -B "$build"
fi
quiet cmake --build "$build" --target hash_bench
bench="$build/tests/bench/hash_bench"

work=${2:-}
if [ -z "$work" ]; then
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi
file="$work/hash_bench.bin"
size=$((1024 * 1024 * 1024))
if [ ! -f "$file" ] || [ "$(stat -c %s "$file")" -ne "$size" ]; then
  head -c "$size" /dev/urandom >"$file.tmp"
  mv "$file.tmp" "$file"
fi
cat "$file" >/dev/null  # into the page cache, so both read from memory

# Runs a command and leaves its output in $work/out.txt, its wall-clock seconds in $wall and
# its CPU seconds (user + system) in $cpu. The CPU figure matters when the machine is busy with
# other work, which stretches the wall clock of both contenders unevenly.
measure() {
  local TIMEFORMAT='%R %U %S' r u s
  { time "$@" >"$work/out.txt" 2>/dev/null; } 2>"$work/time.txt"
  read -r r u s < <(tail -n 1 "$work/time.txt")
  wall=$r
  cpu=$(awk -v u="$u" -v s="$s" 'BEGIN{print u + s}')
}
min() { awk -v a="$1" -v b="$2" 'BEGIN{print (a == "" || b < a) ? b : a}'; }

wall_ours= cpu_ours= wall_openssl= cpu_openssl=
for _ in 1 2 3; do
  measure "$bench" "$file"
  digest_ours=$(cut -d' ' -f1 "$work/out.txt")
  wall_ours=$(min "$wall_ours" "$wall"); cpu_ours=$(min "$cpu_ours" "$cpu")

  measure openssl dgst -sha256 -r "$file"
  digest_openssl=$(cut -d' ' -f1 "$work/out.txt")
  wall_openssl=$(min "$wall_openssl" "$wall"); cpu_openssl=$(min "$cpu_openssl" "$cpu")
done

if [ -z "$digest_ours" ] || [ "$digest_ours" != "$digest_openssl" ]; then
  echo "digests differ: HashFile '$digest_ours', openssl '$digest_openssl'" >&2
  exit 1
fi

awk -v wo="$wall_ours" -v wt="$wall_openssl" -v co="$cpu_ours" -v ct="$cpu_openssl" 'BEGIN {
  printf "                        wall clock              CPU time\n"
  printf "HashFile            %8.1f MiB/s (%.3f s) %8.1f MiB/s (%.3f s)\n", 1024 / wo, wo, 1024 / co, co
  printf "openssl dgst        %8.1f MiB/s (%.3f s) %8.1f MiB/s (%.3f s)\n", 1024 / wt, wt, 1024 / ct, ct
  printf "ratio HashFile/openssl  %.2f (wall)  %.2f (CPU)   target >= 0.90\n", wt / wo, ct / co
}'

#!/usr/bin/env bash
# Builds the libFuzzer targets (CMake preset "fuzz": clang, ASan, UBSan) and runs each for
# SECONDS, starting from its seed corpus in tests/fuzz/corpus/<name> (the JSON reader also
# from tests/data/json_test_parsing). New inputs go to build/fuzz/run/<target>-corpus, never
# into the repository; a crash leaves its input in build/fuzz/run/artifacts and fails the run.
# Prints the executions of each target.
# Usage: tests/fuzz/run.sh SECONDS [TARGET...]   (JOBS=n for the build, default 2; RUNS=n
# ends each target after n executions instead, when that comes first; WORK=folder for the
# corpora, logs and crashes instead of build/fuzz/run)
set -uo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:?usage: tests/fuzz/run.sh SECONDS [TARGET...]}
shift
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  targets=(json_fuzz paths_fuzz manifest_fuzz cache_fuzz profile_fuzz gamecfg_fuzz download_fuzz)
fi

cmake --preset fuzz >/dev/null || exit 1
cmake --build build/fuzz -j "${JOBS:-2}" --target "${targets[@]}" || exit 1

work=${WORK:-build/fuzz/run}
mkdir -p "$work/artifacts"
status=0
for t in "${targets[@]}"; do
  name=${t%_fuzz}
  corpus="$work/$t-corpus"
  mkdir -p "$corpus"
  seeds=("tests/fuzz/corpus/$name")
  [ "$t" = json_fuzz ] && seeds+=(tests/data/json_test_parsing)
  log="$work/$t.log"
  # Inputs as long as the format needs: a stream of some blocks, a manifest of some entries.
  case $t in
    download_fuzz) max_len=65536 ;;
    manifest_fuzz) max_len=16384 ;;
    *) max_len=8192 ;;
  esac
  start=$SECONDS
  if "build/fuzz/tests/fuzz/$t" -max_total_time="$seconds" -runs="${RUNS:--1}" -print_final_stats=1 -timeout=10 \
      -rss_limit_mb=2048 -max_len="$max_len" -artifact_prefix="$work/artifacts/$t-" \
      "$corpus" "${seeds[@]}" >"$log" 2>&1; then
    executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
    printf '%-14s %12s executions in %s s, corpus of %s\n' "$t" "$executions" "$((SECONDS - start))" \
      "$(find "$corpus" -type f | wc -l)"
  else
    echo "$t FAILED (log: $log)"
    grep -E "^(==|SUMMARY|[a-z_]+_fuzz:)" "$log" | head -20
    status=1
  fi
done
exit $status

#!/usr/bin/env bash
# Checks the formatting and the layers, then builds everything and runs all the tests: natively
# with AddressSanitizer and UBSan (the crash soak's short round among them), the update run
# under ThreadSanitizer, every fuzzer for 20 s, and the Windows build under Wine (the launcher,
# and the setup program's silent install and uninstall, end to end among them).
# Installs any missing Debian package first. Exits non-zero on any failure.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

scripts/deps.sh
jobs=$(nproc)

section() { printf '\n=== %s ===\n' "$*"; }

section "format and layers"
scripts/format.sh --check
scripts/check_layers.sh

section "linux-asan: build"
cmake --preset linux-asan >/dev/null
cmake --build build/linux-asan -j "$jobs"
section "linux-asan: tests"
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 \
  ctest --test-dir build/linux-asan --output-on-failure -j "$jobs" --timeout 600

section "linux-tsan: update run"
# Only the engine's integration tests: the update run's threads against real servers.
tsan_tests='^(UpdateRunTest|SelfUpdateTest|DownloadTest|ManifestTest|LocalStateTest)\.'
cmake --preset linux-tsan >/dev/null
cmake --build build/linux-tsan -j "$jobs" --target update_run_test self_update_test download_test manifest_test \
  local_state_test
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build/linux-tsan --output-on-failure -j "$jobs" --timeout 600 -R "$tsan_tests"

section "fuzz: every target for 20 s"
JOBS=$jobs tests/fuzz/run.sh 20

section "windows: build"
cmake --preset windows >/dev/null
cmake --build build/windows -j "$jobs"
for exe in $(find build/windows -name '*.exe' -not -path '*/wineprefix/*'); do
  if x86_64-w64-mingw32-objdump -p "$exe" | grep 'DLL Name' | grep -qiE 'libgcc|libstdc|winpthread|zlib|deflate|gcrypt|gpg-error'; then
    echo "$exe imports a non-system DLL:"; x86_64-w64-mingw32-objdump -p "$exe" | grep 'DLL Name'; exit 1
  fi
done

section "windows: tests under Wine"
scripts/wine-env.sh ctest --test-dir build/windows --output-on-failure -j "$jobs" --timeout 600

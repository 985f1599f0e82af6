#!/usr/bin/env bash
# Formats the project's C++ sources with .clang-format, using Debian's clang-format 14 by its
# versioned name, so that every machine formats alike whatever other clang-format it has.
# Usage: scripts/format.sh          format the tree in place
#        scripts/format.sh --check  change nothing; list the files that differ and fail if any
set -euo pipefail
cd "$(dirname "$0")/.."

formatter=clang-format-14
if ! command -v "$formatter" >/dev/null; then
  echo "$formatter is missing: scripts/deps.sh installs it" >&2
  exit 2
fi

mapfile -d '' files < <(find src tools tests resources -type f \( -name '*.cpp' -o -name '*.h' \) \
  -not -path '*/data/*' -print0 | sort -z)

if [ "${1:-}" != "--check" ]; then
  "$formatter" -i "${files[@]}"
  exit 0
fi

differ=()
for f in "${files[@]}"; do
  "$formatter" "$f" | cmp -s - "$f" || differ+=("$f")
done
if [ ${#differ[@]} -ne 0 ]; then
  echo "Not formatted (run scripts/format.sh):" >&2
  printf '  %s\n' "${differ[@]}" >&2
  exit 1
fi
echo "format: ${#files[@]} files formatted"

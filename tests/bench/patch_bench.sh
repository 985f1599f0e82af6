#!/usr/bin/env bash
# Patch bytes: what an update of large pack files downloads, against the compressed size of
# the bytes that actually changed. nginx on loopback serves two releases built into one release
# folder; quillmark-update installs the first, then updates to the second, and nginx's access
# log counts every byte it sent for that update.
#
#   release 1   QM_PATCH_FILES pack files of QM_PATCH_MIB MiB of game-like data (blocks that
#               do not compress beside blocks that compress to about half)
#   release 2   in every pack, about 1 % of the bytes overwritten in 8 scattered places, a block
#               inserted and a block deleted inside the file; the last pack renamed as well
#
# Prints the bytes downloaded by the update, the compressed size of the changed bytes (new
# bytes only, zlib level 9), their ratio (goal <= 2.0) and what fetching the changed files
# whole would have cost. The installed folder is then checked against release 2.
#
# Usage: tests/bench/patch_bench.sh [BUILD_DIR] [WORK_DIR]
#   BUILD_DIR  a build of the linux preset (default build/linux); the two programs are built
#   WORK_DIR   scratch folder (default build/bench-patch); emptied first
#   QM_PATCH_FILES (default 2), QM_PATCH_MIB (default 64; 256 to 1024 for a game's packs)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=${1:-build/linux}
work=${2:-build/bench-patch}
files=${QM_PATCH_FILES:-2}
mib=${QM_PATCH_MIB:-64}

if [ ! -f "$build/CMakeCache.txt" ]; then
  cmake --preset linux -B "$build" >/dev/null
fi
cmake --build "$build" --target quillmark-update quillmark-publish >/dev/null
update=$root/$build/src/cli/quillmark-update
publish=$root/$build/tools/publish/quillmark-publish
rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
cd "$work"

say() { printf '%s\n' "$*" >&2; }

# ---- the two releases --------------------------------------------------------------------------
"$publish" keygen --out key >/dev/null
say "generating $files packs of $mib MiB and their next version..."
python3 - "$files" "$mib" <<'EOF'
import hashlib, os, random, sys, zlib
files, mib = int(sys.argv[1]), int(sys.argv[2])
rng = random.Random(20240613)
def noise(n):
    return rng.randbytes(n)
def half(n):  # 16 letters: compresses to about half, as textures and meshes often do
    return noise(n).translate(bytes(97 + (b & 15) for b in range(256)))
def pack(n):
    out, block = bytearray(), 1 << 20
    while len(out) < n:
        out += (noise if rng.random() < 0.4 else half)(min(block, n - len(out)))
    return out
os.makedirs("v1", exist_ok=True)
os.makedirs("v2", exist_ok=True)
changed = bytearray()
for i in range(files):
    data = pack(mib << 20)
    open(f"v1/pack_{i}.pak", "wb").write(data)
    # About 1 % of the bytes, overwritten in 8 scattered places (assets replaced inside the
    # pack: each place is larger in a larger pack).
    size = len(data)
    for _ in range(8):
        n = size // 800
        at = rng.randrange(0, size - n)
        new = half(n)
        data[at:at + n] = new
        changed += new
    # A block inserted and a block deleted inside the file.
    at = rng.randrange(size // 4, size // 2)
    new = half(64 << 10)
    data[at:at] = new
    changed += new
    at = rng.randrange(size // 2, 3 * size // 4)
    del data[at:at + (48 << 10)]
    name = f"pack_{i}.pak" if i < files - 1 else f"pack_{i}_renamed.pak"
    open(f"v2/{name}", "wb").write(data)
open("changed.z", "wb").write(zlib.compress(bytes(changed), 9))
EOF

say "publishing both releases..."
"$publish" build --game v1 --out release --version 1 --key key.key --game-exe pack_0.pak >/dev/null
cp release/manifest.json v1-manifest.json
"$publish" build --game v2 --out release2 --version 2 --key key.key --game-exe pack_0.pak \
  --previous v1-manifest.json >/dev/null
# One release folder as a publisher keeps it: release 2's objects beside release 1's.
cp -r release2/files/. release/files/

# ---- nginx -------------------------------------------------------------------------------------
# shellcheck source=tests/bench/bench_lib.sh
. "$root/tests/bench/bench_lib.sh"
trap nginx_stop EXIT
nginx_access_log=on
nginx_start /patch/="$work/release/"
base=$nginx_base/patch/
nginx_wait "${base}manifest.json"
pub=$(cat key.pub)

# ---- install release 1, update to release 2 ----------------------------------------------------
say "installing release 1..."
"$update" --dir game --patch-url "$base" --public-key "$pub" --quiet --lang en >/dev/null
cp release2/manifest.json release2/manifest.sig release/
: >nginx/access.log
say "updating to release 2..."
"$update" --dir game --patch-url "$base" --public-key "$pub" --quiet --lang en >/dev/null
sleep 0.2  # nginx writes the log line when the request ends
downloaded=$(awk '{ s += $2 } END { print s + 0 }' nginx/access.log)
requests=$(wc -l <nginx/access.log)
changed=$(stat -c %s changed.z)
whole=$(python3 -c '
import json
m = json.load(open("release2/manifest.json"))
print(sum(f["c"] for f in m["files"]))')
"$publish" verify --release release --public-key key.pub --game game >verify.log 2>&1 ||
  { say "the updated folder differs from release 2:"; cat verify.log >&2; exit 1; }
[ ! -e game/patcher_chunks ] || { say "the staging folder was left behind"; exit 1; }

awk -v d="$downloaded" -v c="$changed" -v w="$whole" -v r="$requests" -v f="$files" -v m="$mib" 'BEGIN {
  printf "patch bytes, %d packs of %d MiB (1 %% changed, insert, delete, rename):\n", f, m
  printf "  downloaded by the update     %12d bytes in %d requests\n", d, r
  printf "  changed bytes, compressed    %12d bytes\n", c
  printf "  ratio                        %12.2f  (<= 2.0) %s\n", d / c, d / c <= 2.0 ? "ok" : "MISSED"
  printf "  the changed files fetched whole would be %d bytes (%.1fx the changed bytes)\n", w, w / c
}'

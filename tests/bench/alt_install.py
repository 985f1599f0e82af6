#!/usr/bin/env python3
"""Cold install the scripted way, the yardstick of update_bench.sh: four threads, each
fetching a file's .z (urllib), inflating it (zlib), hashing it (hashlib, compared with the
manifest) and writing it to its path; then one sync, so that the files are as durable as an
update run leaves them.

Usage: alt_install.py MANIFEST BASE_URL DEST
  MANIFEST  the release's manifest.json; BASE_URL the release's address, ending in "/"
"""
import concurrent.futures
import hashlib
import json
import os
import sys
import urllib.request
import zlib


def install(base, dest, entry):
    digest = entry["h"]
    with urllib.request.urlopen(f"{base}files/{digest[:2]}/{digest}.z") as answer:
        content = zlib.decompress(answer.read())
    if hashlib.sha256(content).hexdigest() != digest:
        raise ValueError(f"hash mismatch: {entry['p']}")
    path = os.path.join(dest, entry["p"])
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as out:
        out.write(content)


def main():
    manifest, base, dest = sys.argv[1:4]
    with open(manifest, encoding="utf-8") as f:
        entries = json.load(f)["files"]
    with concurrent.futures.ThreadPoolExecutor(max_workers=4) as pool:
        list(pool.map(lambda e: install(base, dest, e), entries))  # raises what a thread raised
    os.sync()


if __name__ == "__main__":
    main()

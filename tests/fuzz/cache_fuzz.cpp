// libFuzzer target for patcher_cache.dat, a file of the player's disk that anyone may edit.
// Beyond memory errors, it checks that every record read has a 64-character hash and a key
// that is the key of a safe path, and that the text written back for those records reads back
// into the same records.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/paths.h"
#include "base/text.h"
#include "update/patch_state.h"

namespace {

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "cache_fuzz: %s\n", what);
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  HashCache cache;
  parseCacheText(text, cache);
  std::vector<FileEntry> entries;
  for (const auto& [key, record] : cache) {
    check(record.hash.size() == 64, "record without a 64-character hash");
    check(isOwnCacheKey(key), "key is not its own key");
    FileEntry entry;
    entry.path = wideToUtf8(key);
    // Bytes that were not UTF-8 became U+FFFD, three bytes each: such a key may be longer as
    // text than any path read.
    if (entry.path.size() > 400) continue;
    std::wstring widePath;
    check(isSafeRelativePath(entry.path, widePath), "key of an unsafe path");
    entries.push_back(entry);
  }
  const std::string written = cacheText(entries, cache);
  HashCache again;
  parseCacheText(written, again);
  check(again.size() == entries.size(), "written records do not all read back");
  for (const FileEntry& entry : entries) {
    const CacheRecord& record = cache.at(cacheKey(entryWidePath(entry)));
    const auto it = again.find(cacheKey(entryWidePath(entry)));
    check(it != again.end(), "a record is lost in writing");
    check(it->second.hash == record.hash && it->second.size == record.size &&
              it->second.writeTime == record.writeTime,
          "a record reads back changed");
  }
  return 0;
}

// libFuzzer target for patcher_cache.dat, a file of the player's disk that anyone may edit,
// read and written back as a run does it (loadEntryCache, saveEntryCache), for manifest
// entries named by the input's own lines. Beyond memory errors, it checks that the slots
// written back read back the same, slot for slot, and that writing them again leaves the file
// as it is.
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"
#include "update/patch_state.h"
#include "update/update_settings.h"

namespace {

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "cache_fuzz: %s\n", what);
    std::abort();
  }
}

std::string g_folder;  // the game folder of every input, as the system names it

void removeFolder() {
  ::unlink((g_folder + "/patcher_cache.dat").c_str());
  ::rmdir(g_folder.c_str());
}

const std::wstring& gameDir() {
  static const std::wstring dir = [] {
    // In memory where the system has such a folder: every write is synced, as a run syncs it.
    char inMemory[] = "/dev/shm/cache_fuzz.XXXXXX";
    char onDisk[] = "/tmp/cache_fuzz.XXXXXX";
    const char* name = ::mkdtemp(inMemory);
    if (name == nullptr) name = ::mkdtemp(onDisk);
    check(name != nullptr, "no temporary folder");
    g_folder = name;
    std::atexit(removeFolder);
    return normalizeGameDir(utf8ToWide(name));
  }();
  return dir;
}

// The entries a manifest would hold for the input: the text after the last tab of each line
// (a safe path has no tab and no carriage return), where that is a safe path. A damaged line
// names an entry too, which its record then must not fill.
std::vector<FileEntry> entriesNamedBy(std::string_view text) {
  std::vector<FileEntry> entries;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = std::min(text.find('\n', start), text.size());
    const std::string_view line = text.substr(start, end - start);
    start = end + 1;
    const std::size_t tab = line.rfind('\t');
    FileEntry entry;
    entry.path = std::string(line.substr(tab == std::string_view::npos ? 0 : tab + 1));
    std::wstring widePath;
    if (isSafeRelativePath(entry.path, widePath)) entries.push_back(std::move(entry));
  }
  return entries;
}

bool sameSlot(const CacheSlot& a, const CacheSlot& b) {
  return a.known == b.known &&
         (!a.known || (a.size == b.size && a.writeTime == b.writeTime && a.hash == b.hash));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::wstring& dir = gameDir();
  check(writeFileAtomically(dir + kCacheFileName, text), "cannot write the cache file");
  const std::vector<FileEntry> entries = entriesNamedBy(text);
  EntryCache cache;
  loadEntryCache(dir, entries, cache);
  check(cache.size() == entries.size(), "not one slot an entry");

  saveEntryCache(dir, entries, cache);
  std::string written;
  check(readWholeFile(dir + kCacheFileName, 1u << 30, written), "the written cache is unreadable");
  EntryCache again;
  loadEntryCache(dir, entries, again);
  check(again.size() == entries.size(), "not one slot an entry after writing");
  for (std::size_t i = 0; i < entries.size(); ++i) {
    check(sameSlot(cache[i], again[i]), "a slot reads back changed");
  }
  saveEntryCache(dir, entries, again);
  std::string rewritten;
  check(readWholeFile(dir + kCacheFileName, 1u << 30, rewritten) && rewritten == written,
        "the same slots are written differently");
  return 0;
}

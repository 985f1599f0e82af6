// The local patch state in the game folder: "patcher.ini" (the installed version) and
// "patcher_cache.dat" (size, last-write time and SHA-256 of every file last seen or written),
// so that a run neither accepts an older manifest nor re-reads unchanged files.
#pragma once
#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "update/manifest_types.h"

// The key of a relative path in the cache: one key for all the spellings that NTFS takes for
// one name.
std::wstring cacheKey(const std::wstring& widePath);
// Whether the path is its own key (nothing in it that lowering could change).
bool isOwnCacheKey(std::wstring_view widePath);

struct InstalledVersion {
  bool present = false;
  std::int32_t value = 0;
};

// The version recorded in gameDir + "patcher.ini"; absent when missing or negative.
InstalledVersion installedVersion(const std::wstring& gameDir);
// Records the version in "patcher.ini"; failures are silent.
void writeInstalledVersion(const std::wstring& gameDir, std::int32_t version);

// The cache's record of one manifest entry, held in a slot beside it: a large folder's cache
// then costs 80 bytes a file and no allocation, where a table keyed by path costs about 220.
struct CacheSlot {
  std::uint64_t size = 0;
  std::uint64_t writeTime = 0;  // FILETIME units
  std::array<char, 64> hash{};  // as the cache file holds it; meaningful only when known
  bool known = false;
};
// Slot i belongs to entries[i] of the list it was read for.
using EntryCache = std::vector<CacheSlot>;

// A known slot with these attributes and hash (64 characters; a shorter one is padded).
CacheSlot knownSlot(std::uint64_t size, std::uint64_t writeTime, std::string_view hash);
// Whether the slot is known and its hash is the entry's hash as written.
bool slotHashIs(const CacheSlot& slot, const EntryHash& hash);

// The records of gameDir + "patcher_cache.dat" for the entries, slot for slot, read a piece
// at a time: a line whose path is any spelling of an entry's path (as cacheKey sees it) fills
// that entry's slot, a later line replacing an earlier one; other lines and bad lines are
// skipped. A missing, oversized or unreadable file leaves every slot unknown.
void loadEntryCache(const std::wstring& gameDir, const std::vector<FileEntry>& entries,
                    EntryCache& cache);
// Writes the known slots of the entries, in manifest order, to "patcher_cache.dat" (replaced
// whole) unless it already holds exactly that text. Silent.
void saveEntryCache(const std::wstring& gameDir, const std::vector<FileEntry>& entries,
                    const EntryCache& cache);

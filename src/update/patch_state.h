// The local patch state in the game folder: "patcher.ini" (the installed version) and
// "patcher_cache.dat" (size, last-write time and SHA-256 of every file last seen or written),
// so that a run neither accepts an older manifest nor re-reads unchanged files.
#pragma once
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

// What patcher.ini records in its [patch] section: "version", the version of the last run that
// completed, and "applying", the version a run began to apply, recorded before its first write
// and removed when it completes. A run that was killed or failed leaves "applying" behind, so
// the next run knows that temporary files may be left and that files it finds may not be on
// disk yet; and no later run accepts a version below it, so that a mirror that lags behind
// cannot mix an older release into a folder that holds part of a newer one. Older files, with
// "version" alone, read as they always did.
struct PatchRecord {
  InstalledVersion installed;
  InstalledVersion applying;
  // The file's text, whose other lines a rewrite keeps; empty when the file is larger than
  // kProfileMaxBytes, which is read from its start only and replaced by a fresh file.
  std::string text;
  bool oversized = false;
};

// patcher.ini as it stands: missing, unreadable, a link or a FIFO read as an empty record.
PatchRecord readPatchRecord(const std::wstring& gameDir);
// The version in gameDir + "patcher.ini"; absent when missing or negative.
InstalledVersion installedVersion(const std::wstring& gameDir);
// The lowest version a manifest may have: the higher of "version" and "applying".
InstalledVersion versionFloor(const PatchRecord& record);
// Records that a run applies version (unless the record already says so) or that it completed
// it, in the record and in patcher.ini, replaced whole: a kill at any moment leaves the old
// record or the new one. False when the file could not be written.
bool recordApplying(const std::wstring& gameDir, PatchRecord& record, std::int32_t version);
bool recordCompleted(const std::wstring& gameDir, PatchRecord& record, std::int32_t version);

// The cache's record of one manifest entry, held in a slot beside it: a large folder's cache
// then costs 64 bytes a file and no allocation, where a table keyed by path costs about 220.
struct CacheSlot {
  std::uint64_t size = 0;
  std::uint64_t writeTime = 0;  // FILETIME units
  EntryHash hash;               // as the cache file spells it; meaningful only when known
  bool known = false;
};
// Slot i belongs to entries[i] of the list it was read for.
using EntryCache = std::vector<CacheSlot>;

// A known slot with these attributes and hash; no record when the hash is not 64 hex digits.
CacheSlot knownSlot(std::uint64_t size, std::uint64_t writeTime, std::string_view hash);
CacheSlot knownSlot(std::uint64_t size, std::uint64_t writeTime, const EntryHash& hash);
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

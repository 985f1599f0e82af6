// patcher.ini's version and patcher_cache.dat: reading, writing, cache keys.
#include "update/patch_state.h"

#include <algorithm>
#include <charconv>
#include <unordered_map>

#include "base/case_fold.h"
#include "base/files.h"
#include "base/memory.h"
#include "base/paths.h"
#include "base/text.h"
#include "update/profile.h"

namespace {

// A cache file beyond this is ignored: the run then hashes instead of trusting it.
constexpr std::uint64_t kCacheMaxBytes = 67108864;  // 64 MiB

// Decimal digits from the start of text; anything else gives 0, as does an overflow.
std::uint64_t parseDecimal(std::string_view text) {
  if (text.empty()) return 0;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return 0;
    const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
    if (value > (UINT64_MAX - digit) / 10) return 0;
    value = value * 10 + digit;
  }
  return value;
}

// The integer reading of GetPrivateProfileIntW: blanks, an optional sign, then digits up to
// the first other character; no digits give 0.
std::int64_t parseProfileInt(const std::wstring& text) {
  std::size_t i = 0;
  while (i < text.size() && (text[i] == L' ' || text[i] == L'\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == L'-' || text[i] == L'+')) {
    negative = text[i] == L'-';
    ++i;
  }
  std::int64_t value = 0;
  for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
    value = value * 10 + (text[i] - L'0');
    if (value > 0x7FFFFFFFLL + 1) break;
  }
  return negative ? -value : value;
}

}  // namespace

// Two paths that Windows takes for one file share a record on every platform, so that a cache
// file means the same everywhere and a release's duplicate check and its cache agree.
std::wstring cacheKey(const std::wstring& widePath) { return nameKey(widePath); }

bool isOwnCacheKey(std::wstring_view widePath) { return isOwnNameKey(widePath); }

namespace {

InstalledVersion parseVersion(const std::wstring& text) {
  InstalledVersion result;
  if (text.empty()) return result;
  const std::int64_t value = parseProfileInt(text);
  if (value < 0 || value > 0x7FFFFFFF) return result;
  result.present = true;
  result.value = static_cast<std::int32_t>(value);
  return result;
}

bool writeRecord(const std::wstring& gameDir, PatchRecord& record, std::string text) {
  const std::wstring path = gameDir + kProfileFileName;
  // A link or a FIFO in its place is removed itself; a folder is left and the write fails.
  FileInfo info;
  if (getEntryInfo(path, info) && !info.isRegularFile() && !info.isDirectory) deleteFile(path);
  if (!writeFileAtomically(path, text)) return false;
  record.text = std::move(text);
  record.oversized = false;
  return true;
}

}  // namespace

PatchRecord readPatchRecord(const std::wstring& gameDir) {
  PatchRecord record;
  std::string text;
  if (!readFileStart(gameDir + kProfileFileName, kProfileMaxBytes, text, record.oversized)) {
    return record;
  }
  // The start of an oversized file ends at its last whole line.
  if (record.oversized) text.resize(text.find_last_of('\n') + 1);  // npos + 1 is 0
  record.installed = parseVersion(profileValue(text, L"patch", L"version", L""));
  record.applying = parseVersion(profileValue(text, L"patch", L"applying", L""));
  if (!record.oversized) {
    record.text = std::move(text);
    return record;
  }
  // An oversized file is replaced by a fresh one at the next write, which keeps what it named.
  for (const auto& [key, version] :
       {std::pair{L"version", record.installed}, std::pair{L"applying", record.applying}}) {
    if (version.present) {
      record.text = withProfileValue(record.text, L"patch", key, std::to_wstring(version.value));
    }
  }
  return record;
}

InstalledVersion installedVersion(const std::wstring& gameDir) {
  return readPatchRecord(gameDir).installed;
}

InstalledVersion versionFloor(const PatchRecord& record) {
  if (!record.applying.present) return record.installed;
  if (!record.installed.present) return record.applying;
  return record.applying.value > record.installed.value ? record.applying : record.installed;
}

bool recordApplying(const std::wstring& gameDir, PatchRecord& record, std::int32_t version) {
  if (record.applying.present && record.applying.value == version) return true;
  if (!writeRecord(
          gameDir, record,
          withProfileValue(record.text, L"patch", L"applying", std::to_wstring(version)))) {
    return false;
  }
  record.applying = InstalledVersion{true, version};
  return true;
}

bool recordCompleted(const std::wstring& gameDir, PatchRecord& record, std::int32_t version) {
  if (record.installed.present && record.installed.value == version && !record.applying.present &&
      !record.oversized) {
    return true;  // nothing to change: a run that changed nothing writes nothing
  }
  const std::string text = withoutProfileKey(
      withProfileValue(record.text, L"patch", L"version", std::to_wstring(version)), L"patch",
      L"applying");
  if (!writeRecord(gameDir, record, text)) return false;
  record.installed = InstalledVersion{true, version};
  record.applying = InstalledVersion();
  return true;
}

namespace {

// The fields of one line of the cache file: hash, size, time and path, separated by tabs. A
// trailing carriage return is tolerated; numbers that are not give 0.
struct CacheLine {
  std::string_view hash;
  std::uint64_t size = 0;
  std::uint64_t writeTime = 0;
  std::string_view path;
};

bool splitCacheLine(std::string_view line, CacheLine& out) {
  if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
  const std::size_t tab1 = line.find('\t');
  if (tab1 != 64) return false;
  const std::size_t tab2 = line.find('\t', tab1 + 1);
  if (tab2 == std::string_view::npos) return false;
  const std::size_t tab3 = line.find('\t', tab2 + 1);
  if (tab3 == std::string_view::npos) return false;
  out.hash = line.substr(0, 64);
  out.size = parseDecimal(line.substr(tab1 + 1, tab2 - tab1 - 1));
  out.writeTime = parseDecimal(line.substr(tab2 + 1, tab3 - tab2 - 1));
  out.path = line.substr(tab3 + 1);
  return true;
}

// Finds the entry a cache line's path names. Nearly every line spells its path exactly as the
// manifest does (the cache is written from the entries' own text), so the bytes are looked up
// as they stand, in a table of entry numbers; any other spelling goes by its cache key.
class EntryIndex {
 public:
  explicit EntryIndex(const std::vector<FileEntry>& entries) : entries_(entries) {
    std::size_t slots = 16;
    while (slots < entries.size() * 2) slots *= 2;
    reserveLarge(table_, slots);
    table_.assign(slots, 0);
    for (std::size_t i = 0; i < entries.size(); ++i) {
      std::size_t at = probeStart(entries[i].path);
      while (table_[at] != 0) at = (at + 1) & (table_.size() - 1);
      table_[at] = static_cast<std::uint32_t>(i + 1);
    }
  }

  // The entry's number, or the number of entries when none is named.
  std::size_t find(std::string_view path) {
    for (std::size_t at = probeStart(path); table_[at] != 0; at = (at + 1) & (table_.size() - 1)) {
      const std::size_t i = table_[at] - 1;
      if (entries_[i].path == path) return i;
    }
    std::wstring widePath;
    if (!isSafeRelativePath(path, widePath)) return entries_.size();
    if (byKey_.empty()) {
      byKey_.reserve(entries_.size());
      for (std::size_t i = 0; i < entries_.size(); ++i) {
        byKey_.emplace(cacheKey(entryWidePath(entries_[i])), i);
      }
    }
    const auto it =
        isOwnCacheKey(widePath) ? byKey_.find(widePath) : byKey_.find(cacheKey(widePath));
    return it == byKey_.end() ? entries_.size() : it->second;
  }

 private:
  std::size_t probeStart(std::string_view path) const {
    return std::hash<std::string_view>()(path) & (table_.size() - 1);
  }

  const std::vector<FileEntry>& entries_;
  std::vector<std::uint32_t> table_;                     // entry number + 1; 0 for an empty place
  std::unordered_map<std::wstring, std::size_t> byKey_;  // made at the first other spelling
};

// Hands each line of the file to take, reading a piece at a time; false when the file is
// missing, larger than limit or unreadable (lines already handed out are then to be dropped).
template <typename Take>
bool forEachLineOfFile(const std::wstring& path, std::uint64_t limit, Take take) {
  FileHandle file;
  // Nobody may write the file while it is read, so the content is one consistent version.
  if (!file.openForReadDenyWrite(path)) return false;
  std::uint64_t size = 0;
  if (!file.size(size) || size > limit) return false;
  std::string buffer(65536, '\0');
  std::string carry;  // the start of a line that continues in the next piece
  std::uint64_t total = 0;
  while (total < size) {
    std::size_t got = 0;
    const std::size_t want =
        static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - total));
    if (!file.read(buffer.data(), want, got)) return false;
    if (got == 0) return false;
    total += got;
    const std::string_view piece(buffer.data(), got);
    std::size_t start = 0;
    for (std::size_t end = piece.find('\n'); end != std::string_view::npos;
         end = piece.find('\n', start)) {
      if (carry.empty()) {
        take(piece.substr(start, end - start));
      } else {
        carry.append(piece.substr(start, end - start));
        take(std::string_view(carry));
        carry.clear();
      }
      start = end + 1;
    }
    carry.append(piece.substr(start));
  }
  if (!carry.empty()) take(std::string_view(carry));
  return true;
}

}  // namespace

CacheSlot knownSlot(std::uint64_t size, std::uint64_t writeTime, std::string_view hash) {
  CacheSlot slot;
  if (!slot.hash.assign(hash)) return slot;
  slot.size = size;
  slot.writeTime = writeTime;
  slot.known = true;
  return slot;
}

CacheSlot knownSlot(std::uint64_t size, std::uint64_t writeTime, const EntryHash& hash) {
  CacheSlot slot;
  slot.size = size;
  slot.writeTime = writeTime;
  slot.hash = hash;
  slot.known = true;
  return slot;
}

bool slotHashIs(const CacheSlot& slot, const EntryHash& hash) {
  return slot.known && slot.hash == hash;
}

void loadEntryCache(const std::wstring& gameDir, const std::vector<FileEntry>& entries,
                    EntryCache& cache) {
  reserveLarge(cache, entries.size());
  cache.assign(entries.size(), CacheSlot());
  if (entries.empty()) return;
  EntryIndex index(entries);
  const bool read =
      forEachLineOfFile(gameDir + kCacheFileName, kCacheMaxBytes, [&](std::string_view text) {
        CacheLine line;
        if (!splitCacheLine(text, line)) return;
        const std::size_t i = index.find(line.path);
        if (i < entries.size()) cache[i] = knownSlot(line.size, line.writeTime, line.hash);
      });
  if (!read) cache.assign(entries.size(), CacheSlot());
}

namespace {

// A known slot's line: hash, size, time and the entry's path as the manifest writes it.
void appendCacheLine(std::string& text, const FileEntry& entry, const CacheSlot& slot) {
  if (!slot.known) return;
  char digits[24];
  const auto appendNumber = [&text, &digits](std::uint64_t value) {
    const auto result = std::to_chars(digits, digits + sizeof(digits), value);
    text.append(digits, result.ptr);
  };
  char hex[64];
  slot.hash.writeHex(hex);
  text.append(hex, sizeof(hex));
  text += '\t';
  appendNumber(slot.size);
  text += '\t';
  appendNumber(slot.writeTime);
  text += '\t';
  text += entry.path;
  text += '\n';
}

// Whether the file at path holds exactly the cache text of the entries. Read and compared
// a piece at a time: on a run that changed nothing, the 10 MB of a large folder's cache is
// neither built nor read whole.
bool cacheFileHolds(const std::wstring& path, const std::vector<FileEntry>& entries,
                    const EntryCache& cache) {
  FileHandle file;
  if (!file.openForRead(path, false)) return false;
  std::string expected;
  std::string read(65536, '\0');
  const auto matchesFile = [&file, &expected, &read]() {
    std::size_t offset = 0;
    while (offset < expected.size()) {
      std::size_t got = 0;
      const std::size_t want = std::min(read.size(), expected.size() - offset);
      if (!file.read(read.data(), want, got) || got == 0) return false;
      if (std::string_view(read.data(), got) != std::string_view(expected).substr(offset, got)) {
        return false;
      }
      offset += got;
    }
    expected.clear();
    return true;
  };
  for (std::size_t i = 0; i < entries.size(); ++i) {
    appendCacheLine(expected, entries[i], cache[i]);
    if (expected.size() >= read.size() && !matchesFile()) return false;
  }
  if (!matchesFile()) return false;
  std::size_t extra = 0;
  return file.read(read.data(), 1, extra) && extra == 0;
}

}  // namespace

void saveEntryCache(const std::wstring& gameDir, const std::vector<FileEntry>& entries,
                    const EntryCache& cache) {
  const std::wstring path = gameDir + kCacheFileName;
  // A run that changed nothing would rewrite (and flush to disk) the same bytes.
  if (cacheFileHolds(path, entries, cache)) return;
  std::string text;
  for (std::size_t i = 0; i < entries.size(); ++i) appendCacheLine(text, entries[i], cache[i]);
  writeFileAtomically(path, text);
}

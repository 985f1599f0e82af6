// patcher.ini's version and patcher_cache.dat: reading, writing, cache keys.
#include "update/patch_state.h"

#include <algorithm>
#include <charconv>

#include "base/case_fold.h"
#include "base/files.h"
#include "base/paths.h"
#include "base/text.h"

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

const CacheRecord* findCacheRecord(const HashCache& cache, const std::wstring& widePath) {
  const auto it = isOwnCacheKey(widePath) ? cache.find(std::wstring_view(widePath))
                                          : cache.find(cacheKey(widePath));
  return it == cache.end() ? nullptr : &it->second;
}

InstalledVersion installedVersion(const std::wstring& gameDir) {
  const std::wstring text =
      readProfileString(gameDir + kProfileFileName, L"patch", L"version", L"");
  InstalledVersion result;
  if (text.empty()) return result;
  const std::int64_t value = parseProfileInt(text);
  if (value < 0 || value > 0x7FFFFFFF) return result;
  result.present = true;
  result.value = static_cast<std::int32_t>(value);
  return result;
}

void writeInstalledVersion(const std::wstring& gameDir, std::int32_t version) {
  const std::wstring path = gameDir + kProfileFileName;
  // A link or a FIFO in its place is removed itself (the profile functions of Windows would
  // write through a link); a folder is left and the write fails.
  FileInfo info;
  if (getEntryInfo(path, info) && !info.isRegularFile() && !info.isDirectory) deleteFile(path);
  writeProfileString(path, L"patch", L"version", std::to_wstring(version));
}

void loadCache(const std::wstring& gameDir, HashCache& cache) {
  cache.clear();
  std::string text;
  if (!readWholeFile(gameDir + kCacheFileName, kCacheMaxBytes, text)) return;
  parseCacheText(text, cache);
}

void parseCacheText(std::string_view text, HashCache& cache) {
  cache.clear();
  // One record per line: the table is sized once instead of rehashing as it grows.
  cache.reserve(static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + 1);
  std::string_view rest(text);
  while (!rest.empty()) {
    const std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::size_t tab1 = line.find('\t');
    if (tab1 != 64) continue;
    const std::size_t tab2 = line.find('\t', tab1 + 1);
    if (tab2 == std::string_view::npos) continue;
    const std::size_t tab3 = line.find('\t', tab2 + 1);
    if (tab3 == std::string_view::npos) continue;
    std::wstring widePath;
    if (!isSafeRelativePath(line.substr(tab3 + 1), widePath)) continue;
    CacheRecord record;
    record.hash = std::string(line.substr(0, 64));
    record.size = parseDecimal(line.substr(tab1 + 1, tab2 - tab1 - 1));
    record.writeTime = parseDecimal(line.substr(tab2 + 1, tab3 - tab2 - 1));
    // A path already in lower case, nearly all of them, becomes the key itself.
    cache.insert_or_assign(isOwnCacheKey(widePath) ? std::move(widePath) : cacheKey(widePath),
                           std::move(record));
  }
}

namespace {

// One record's line: hash, size, time and the entry's path as the manifest writes it.
void appendCacheLine(std::string& text, const FileEntry& entry, const CacheRecord& record) {
  char digits[24];
  const auto appendNumber = [&text, &digits](std::uint64_t value) {
    const auto result = std::to_chars(digits, digits + sizeof(digits), value);
    text.append(digits, result.ptr);
  };
  text += record.hash;
  text += '\t';
  appendNumber(record.size);
  text += '\t';
  appendNumber(record.writeTime);
  text += '\t';
  text += entry.path;
  text += '\n';
}

// Whether the file at path holds exactly the cache text of these records. Read and compared
// a piece at a time: on a run that changed nothing, the 10 MB of a large folder's cache is
// neither built nor read whole.
bool cacheFileHolds(const std::wstring& path, const std::vector<FileEntry>& entries,
                    const HashCache& cache) {
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
  for (const FileEntry& entry : entries) {
    const CacheRecord* record = findCacheRecord(cache, entry.widePath);
    if (record == nullptr) continue;
    appendCacheLine(expected, entry, *record);
    if (expected.size() >= read.size() && !matchesFile()) return false;
  }
  if (!matchesFile()) return false;
  std::size_t extra = 0;
  return file.read(read.data(), 1, extra) && extra == 0;
}

}  // namespace

std::string cacheText(const std::vector<FileEntry>& entries, const HashCache& cache) {
  std::string text;
  for (const FileEntry& entry : entries) {
    const CacheRecord* record = findCacheRecord(cache, entry.widePath);
    if (record != nullptr) appendCacheLine(text, entry, *record);
  }
  return text;
}

void saveCache(const std::wstring& gameDir, const std::vector<FileEntry>& entries,
               const HashCache& cache) {
  // A run that changed nothing would rewrite (and flush to disk) the same bytes; a file that
  // already holds them exactly is left alone.
  const std::wstring path = gameDir + kCacheFileName;
  if (cacheFileHolds(path, entries, cache)) return;
  writeFileAtomically(path, cacheText(entries, cache));
}

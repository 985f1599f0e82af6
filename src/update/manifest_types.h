// Records read from the signed manifest: the files of the game folder and the news items.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/paths.h"

// One element of a file entry's "chunks": a piece of the file, stored under its own hash.
struct ChunkRef {
  std::string hash;                  // "h": 64 hex digits
  std::uint64_t size = 0;            // "s": 1 to kChunkListedMaxBytes
  std::uint64_t compressedSize = 0;  // "c"
};

// A SHA-256 as the manifest spells it, in 40 bytes where a string of 64 digits costs 112: the
// 32 bytes, and which digits were upper case, so that the text comes back exactly as written
// (such a hash is requested as written, and never equals the lower-case hashes the engine
// makes).
class EntryHash {
 public:
  // False, leaving the hash as it was, unless text is 64 hex digits.
  bool assign(std::string_view text);
  std::string hex() const;
  // Whether text is this hash as the manifest wrote it.
  bool is(std::string_view text) const;

 private:
  void writeHex(char* out) const;  // 64 digits

  std::array<std::uint8_t, 32> bytes_{};
  std::uint64_t upperDigits_ = 0;  // bit i: digit i was upper case
};

// One file of the manifest's "files" array, or its "launcher" entry.
struct FileEntry {
  std::string path;                  // "p" as written (UTF-8), checked by isSafeRelativePath
  EntryHash hash;                    // "h"
  std::uint64_t size = 0;            // "s": length of the content
  std::uint64_t compressedSize = 0;  // "c": length of the download, for progress totals
  bool keep = false;                 // "k": only downloaded when missing
  // "chunks": the file's content-defined chunks in order, their sizes adding up to "size";
  // empty when the entry has none.
  std::vector<ChunkRef> chunks;
};

// The entry's path with "\" separators, made where a file is opened or named: a folder of
// 100,000 files would otherwise hold every path twice, the second at four bytes a character.
inline std::wstring entryWidePath(const FileEntry& entry) { return widePathOf(entry.path); }

struct NewsItem {
  std::wstring date;
  std::wstring title;
  std::wstring text;
  std::wstring url;
  std::wstring type = L"noticia";
  std::wstring author;
  // Translations by language code ("en", "pt", ...), from "title_<code>" and "text_<code>".
  std::map<std::string, std::wstring> titles;
  std::map<std::string, std::wstring> texts;
};

// Records read from the signed manifest: the files of the game folder and the news items.
#pragma once
#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/paths.h"
#include "formats/chunk_list.h"

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
  // The 64 digits as written, each in its own case.
  void writeHex(char* out) const;
  // Equal digits in equal case.
  bool operator==(const EntryHash& other) const = default;

 private:
  std::array<std::uint8_t, 32> bytes_{};
  std::uint64_t upperDigits_ = 0;  // bit i: digit i was upper case
};

// A file entry's "chunk_list": the object that lists the file's chunks (formats/chunk_list.h).
struct ChunkListRef {
  EntryHash hash;                    // "h"
  std::uint64_t size = 0;            // "s": the list's length, 1 to chunkListMaxBytes(file size)
  std::uint64_t compressedSize = 0;  // "c"
  // The file's content-defined chunks in order, their sizes adding up to the file's: read from
  // the list (fetchChunkLists) once the run knows it must download the file; empty until then,
  // and when the list could not be had.
  std::vector<ChunkRef> chunks;
};

// One file of the manifest's "files" array, or its "launcher" entry.
struct FileEntry {
  std::string path;                  // "p" as written (UTF-8), checked by isSafeRelativePath
  EntryHash hash;                    // "h"
  std::uint64_t size = 0;            // "s": length of the content
  std::uint64_t compressedSize = 0;  // "c": length of the download, for progress totals
  bool keep = false;                 // "k": only downloaded when missing
  // Null for a file without a chunk list: most files, which would otherwise carry the
  // reference and an empty list of chunks (80 bytes, where a game of 300,000 files has a few
  // hundred lists).
  std::unique_ptr<ChunkListRef> chunkList;
};

inline const std::vector<ChunkRef> kNoChunks;

// The entry's chunks as read from its list; none for a file without a list.
inline const std::vector<ChunkRef>& entryChunks(const FileEntry& entry) {
  return entry.chunkList ? entry.chunkList->chunks : kNoChunks;
}

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

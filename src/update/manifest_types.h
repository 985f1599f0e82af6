// Records read from the signed manifest: the files of the game folder and the news items.
#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "base/paths.h"

// One element of a file entry's "chunks": a piece of the file, stored under its own hash.
struct ChunkRef {
  std::string hash;                  // "h": 64 hex digits
  std::uint64_t size = 0;            // "s": 1 to kChunkMaxBytes
  std::uint64_t compressedSize = 0;  // "c"
};

// One file of the manifest's "files" array, or its "launcher" entry.
struct FileEntry {
  std::string path;                  // "p" as written (UTF-8), checked by isSafeRelativePath
  std::string hash;                  // "h": 64 hex digits
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

// A file cut into its content-defined chunks (formats/chunking.h), read once from start to end
// with a buffer of twice the longest chunk, whatever the file's size.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

struct FileChunk {
  std::uint64_t offset = 0;
  std::size_t size = 0;
  std::string hash;                     // SHA-256, lower-case hex
  const std::uint8_t* bytes = nullptr;  // valid only during the call
};

// Calls visit for every chunk of the file in order. False when the file cannot be opened or
// read (a link is never followed), hashing is unavailable, or visit returned false.
bool cutFile(const std::wstring& path, const std::function<bool(const FileChunk&)>& visit);

// The chunk list of a large file: its content-defined chunks in order, stored as an object of
// its own (content-addressed like any file content) that the manifest names by hash and size,
// so that the manifest grows with the number of files and not with their sizes, and a launcher
// fetches the list of a file only when it has to rebuild that file.
//
// The list is text, one line a chunk: its SHA-256 (64 lower-case hex digits), a space, its
// size, a space, the length of its object, a line feed; numbers in decimal without leading
// zeros. Lines rather than JSON: a list of 100,000 chunks is read straight into its records
// without building a tree of them first, and a format with one spelling of each list leaves a
// reader nothing to be lenient about (one byte out of place refuses the list).
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/chunking.h"

// One chunk of a list: a piece of the file, stored under its own hash.
struct ChunkRef {
  std::string hash;                  // 64 lower-case hex digits
  std::uint64_t size = 0;            // 1 to kChunkListedMaxBytes
  std::uint64_t compressedSize = 0;  // 0 to kChunkListedMaxCompressed
};

// No zlib stream of a chunk is longer (deflate adds at most a few percent to what it cannot
// compress), so seven digits hold every number of a line.
inline constexpr std::uint64_t kChunkListedMaxCompressed = 2 * kChunkListedMaxBytes;
inline constexpr std::uint64_t kChunkListLineMaxBytes = 64 + 1 + 7 + 1 + 7 + 1;
// The longest list anybody reads: 800,000 chunks, a file of about 145 GiB at the average
// chunk. The publisher names no list for a file whose list would be longer (it comes whole).
inline constexpr std::uint64_t kChunkListMaxBytes = 67108864;  // 64 MiB

// The longest list a file of fileSize bytes can have: every chunk but the last is at least
// kChunkMinBytes long. Longer lists are refused without being read.
std::uint64_t chunkListMaxBytes(std::uint64_t fileSize);

// The text of a list.
std::string chunkListText(const std::vector<ChunkRef>& chunks);

// Reads a list whose chunks must add up to fileSize bytes. False, with the reason in problem
// when given (naming the line), for anything that is not exactly such a list.
bool parseChunkList(std::string_view text, std::uint64_t fileSize, std::vector<ChunkRef>& out,
                    std::string* problem = nullptr);

// Content-defined chunks of large files. A file above kChunkedFileMinBytes is cut where a
// rolling hash of its last bytes meets a pattern, so an insertion or a deletion moves only the
// cut points near it and every other chunk keeps its bytes, and its hash, from one release to
// the next. The publisher and the launcher cut with this one rule; it depends on the bytes
// alone, the same on every platform.
#pragma once
#include <cstddef>
#include <cstdint>

// Files larger than this are cut into chunks.
inline constexpr std::uint64_t kChunkedFileMinBytes = 4194304;  // 4 MiB
// No chunk is shorter (except the last of a file) or longer than these. Between them a cut
// comes where the pattern is met, on average kChunkPatternBytes after the shortest length:
// small enough that a changed place of a pack costs little more than its own bytes, large
// enough that the chunk list of a 1 GiB pack stays near half a megabyte.
inline constexpr std::size_t kChunkMinBytes = 65536;       // 64 KiB
inline constexpr std::size_t kChunkPatternBytes = 131072;  // 128 KiB
inline constexpr std::size_t kChunkMaxBytes = 1048576;     // 1 MiB
// The longest chunk a chunk list may name: longer than this rule cuts (an earlier rule cut
// chunks of up to 4 MiB).
inline constexpr std::uint64_t kChunkListedMaxBytes = 4194304;  // 4 MiB

// The length of the chunk that starts at data[0]. size is how much data follows; it must be at
// least kChunkMaxBytes unless the file ends within it. The result is never 0 for size > 0.
std::size_t chunkLength(const std::uint8_t* data, std::size_t size);

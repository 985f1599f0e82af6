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
// No chunk is shorter (except the last of a file) or longer than these; cuts aim at about
// kChunkAverageBytes.
inline constexpr std::size_t kChunkMinBytes = 262144;       // 256 KiB
inline constexpr std::size_t kChunkAverageBytes = 1048576;  // 1 MiB
inline constexpr std::size_t kChunkMaxBytes = 4194304;      // 4 MiB

// The length of the chunk that starts at data[0]. size is how much data follows; it must be at
// least kChunkMaxBytes unless the file ends within it. The result is never 0 for size > 0.
std::size_t chunkLength(const std::uint8_t* data, std::size_t size);

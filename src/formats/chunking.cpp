// chunkLength: a gear hash (one table lookup, shift and add a byte) tested against one
// pattern everywhere past the shortest length. One pattern, not a stricter one before the
// average and a looser one after it: a cut that depends only on the bytes before it, not on
// how far the chunk has come, lets the cuts after an edit fall back onto the old ones at the
// first old cut past the edit, where a position-dependent pattern drifts for several chunks.
#include "formats/chunking.h"

#include <algorithm>
#include <array>

namespace {

// 256 fixed pseudo-random 64-bit values (splitmix64 from a fixed seed), made at compile time so
// that every build cuts at the same places.
constexpr std::array<std::uint64_t, 256> makeGearTable() {
  std::array<std::uint64_t, 256> table{};
  std::uint64_t state = 0x51756c6c6d61726bull;
  for (std::uint64_t& value : table) {
    state += 0x9E3779B97F4A7C15ull;
    std::uint64_t z = state;
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    value = z ^ (z >> 31);
  }
  return table;
}
constexpr std::array<std::uint64_t, 256> kGear = makeGearTable();

// The hash shifts left once a byte, so its top bits depend on the last 64 bytes; the pattern
// tests 17 top bits (a cut every 2^17 bytes on average).
constexpr std::uint64_t kPatternMask = ~std::uint64_t{0} << (64 - 17);
static_assert(kChunkPatternBytes == std::size_t{1} << 17);
// Bytes hashed before the first position that may end a chunk, so the hash there is already
// a function of the content before it, not of where the chunk began.
constexpr std::size_t kWindowBytes = 64;

}  // namespace

std::size_t chunkLength(const std::uint8_t* data, std::size_t size) {
  const std::size_t limit = std::min(size, kChunkMaxBytes);
  if (limit <= kChunkMinBytes) return limit;
  std::uint64_t hash = 0;
  std::size_t i = kChunkMinBytes - kWindowBytes;
  for (; i < kChunkMinBytes; ++i) hash = (hash << 1) + kGear[data[i]];
  for (; i < limit; ++i) {
    hash = (hash << 1) + kGear[data[i]];
    if ((hash & kPatternMask) == 0) return i + 1;
  }
  return limit;
}

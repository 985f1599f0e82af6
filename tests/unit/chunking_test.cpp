// The cutting rule the publisher and the launcher share: where it cuts must depend on the
// bytes alone, stay within its bounds, and move only near an edit. And the chunk list they
// share: read back exactly as written, and nothing else read at all.
#include "formats/chunking.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "formats/chunk_list.h"

namespace {

std::vector<std::uint8_t> noise(std::size_t count, std::uint64_t seed) {
  std::vector<std::uint8_t> out(count);
  std::uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
  for (std::uint8_t& b : out) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    b = static_cast<std::uint8_t>(x >> 24);
  }
  return out;
}

// Every chunk's end, as a position in data.
std::vector<std::size_t> cutPoints(const std::vector<std::uint8_t>& data) {
  std::vector<std::size_t> ends;
  for (std::size_t at = 0; at < data.size();) {
    at += chunkLength(data.data() + at, data.size() - at);
    ends.push_back(at);
  }
  return ends;
}

TEST(Chunking, CutsAreFixedByTheBytesAndStayWithinBounds) {
  const std::vector<std::uint8_t> data = noise(24 << 20, 7);
  const std::vector<std::size_t> ends = cutPoints(data);
  EXPECT_EQ(cutPoints(data), ends);
  // The same on every platform and in every build: a change here would make every launcher
  // miss every chunk of the releases already published.
  ASSERT_GE(ends.size(), 3u);
  EXPECT_EQ(ends[0], 67828u);
  EXPECT_EQ(ends[1], 152143u);
  EXPECT_EQ(ends[2], 376504u);
  std::size_t start = 0;
  for (std::size_t i = 0; i < ends.size(); ++i) {
    const std::size_t length = ends[i] - start;
    EXPECT_LE(length, kChunkMaxBytes);
    if (i + 1 < ends.size()) {
      EXPECT_GE(length, kChunkMinBytes);
    }
    start = ends[i];
  }
  EXPECT_EQ(ends.back(), data.size());
  // About the average length, on data without structure.
  const std::size_t average = data.size() / ends.size();
  EXPECT_GT(average, (kChunkMinBytes + kChunkPatternBytes) / 2);
  EXPECT_LT(average, (kChunkMinBytes + kChunkPatternBytes) * 2);

  // Data that never meets the pattern is cut at the longest length; short data is one chunk.
  const std::vector<std::uint8_t> zeros(2 * kChunkMaxBytes + 9, 0);
  EXPECT_EQ(cutPoints(zeros),
            (std::vector<std::size_t>{kChunkMaxBytes, 2 * kChunkMaxBytes, zeros.size()}));
  EXPECT_EQ(chunkLength(data.data(), 1000), 1000u);
}

TEST(Chunking, AnEditMovesOnlyTheCutsNearIt) {
  const std::vector<std::uint8_t> data = noise(16 << 20, 3);
  const std::size_t at = 300000;
  std::vector<std::uint8_t> edited = data;
  const std::vector<std::uint8_t> inserted = noise(5000, 9);
  edited.insert(edited.begin() + at, inserted.begin(), inserted.end());
  const std::vector<std::size_t> before = cutPoints(data);
  const std::vector<std::size_t> after = cutPoints(edited);
  // Every cut of the original is found again, those past the edit shifted by the insertion,
  // but for at most the one just past it.
  std::size_t kept = 0;
  for (const std::size_t end : before) {
    const std::size_t moved = end < at ? end : end + inserted.size();
    for (const std::size_t cut : after) kept += cut == moved ? 1 : 0;
  }
  EXPECT_GE(kept, before.size() - 1);
  // The inserted bytes may hold one new cut of their own; nothing else is new.
  EXPECT_LE(after.size(), before.size() + 1);
}

TEST(ChunkListTest, ReadsBackWhatIsWrittenAndNothingElse) {
  const std::string a(64, 'a');
  const std::string b = "0123456789abcdef" + std::string(48, 'f');
  const std::vector<ChunkRef> chunks = {{a, 65536, 70000}, {b, 4194304, 0}, {a, 7, 8388608}};
  const std::uint64_t size = 65536 + 4194304 + 7;
  const std::string text = chunkListText(chunks);
  std::vector<ChunkRef> back;
  ASSERT_TRUE(parseChunkList(text, size, back));
  ASSERT_EQ(back.size(), 3u);
  EXPECT_EQ(chunkListText(back), text);
  EXPECT_EQ(back[1].hash, b);
  EXPECT_EQ(back[2].compressedSize, 8388608u);

  // Lines of 10 bytes for a 10-byte file; of 65536 bytes where a list has room for two.
  const std::string line = a + " 65536 9\n";
  constexpr std::uint64_t k = 65536;
  const struct {
    std::string text;
    std::uint64_t size;
    const char* why;
  } refused[] = {
      {line, k + 1, "adds up to 65536 bytes, not 65537"},
      {line + line, 2 * k - 1, "adds up to 131072 bytes, not 131071"},
      {line + line + line, k, "longer than the list of a 65536-byte file can be"},
      {a + " 10 9", 10, "line 1"},                                 // no line feed
      {a + " 10 9\r\n", 10, "line 1"},                             // CR LF
      {a + "  10 9\n", 10, "line 1"},                              // two spaces
      {a + " 010 9\n", 10, "line 1"},                              // a leading zero
      {a + " 4194305 9\n", 4194305, "line 1"},                     // longer than any chunk
      {a + " 10 8388609\n", 10, "line 1"},                         // longer than its stream can be
      {line + a + " 0 9\n", k, "line 2"},                          // an empty chunk
      {line + std::string(63, 'A') + "a 1 1\n", k + 1, "line 2"},  // upper-case digits
      {line + a.substr(1) + " 1 1\n", k + 1, "line 2"},            // 63 digits
      {line + "\n", k, "line 2"},                                  // an empty line
  };
  for (const auto& c : refused) {
    std::string why;
    back.assign(1, ChunkRef());
    EXPECT_FALSE(parseChunkList(c.text, c.size, back, &why)) << c.text;
    EXPECT_NE(why.find(c.why), std::string::npos) << why;
    EXPECT_TRUE(back.empty());
  }
  // One line a chunk, and every chunk but the last at least kChunkMinBytes long.
  EXPECT_EQ(chunkListMaxBytes(3 * kChunkMinBytes - 1), 3 * kChunkListLineMaxBytes);
  EXPECT_EQ(chunkListMaxBytes(std::uint64_t{1} << 50), kChunkListMaxBytes);
}

}  // namespace

#include "formats/chunk_list.h"

#include <algorithm>

namespace {

constexpr std::size_t kHashDigits = 64;
constexpr std::size_t kNumberMaxDigits = 7;

bool isLowerHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); }

// A number of 1 to 7 digits without a leading zero, at most max, at text[at]; at moves past it.
bool readNumber(std::string_view text, std::size_t& at, std::uint64_t max, std::uint64_t& value) {
  const std::size_t start = at;
  value = 0;
  while (at < text.size() && at - start <= kNumberMaxDigits && text[at] >= '0' && text[at] <= '9') {
    value = value * 10 + static_cast<std::uint64_t>(text[at] - '0');
    ++at;
  }
  const std::size_t digits = at - start;
  return digits >= 1 && digits <= kNumberMaxDigits && (text[start] != '0' || digits == 1) &&
         value <= max;
}

// One line at text[at], up to and with its line feed; at moves past it.
bool readLine(std::string_view text, std::size_t& at, ChunkRef& chunk) {
  if (text.size() - at <= kHashDigits || text[at + kHashDigits] != ' ' ||
      !std::all_of(text.begin() + at, text.begin() + at + kHashDigits, isLowerHex)) {
    return false;
  }
  chunk.hash.assign(text.substr(at, kHashDigits));
  at += kHashDigits + 1;
  if (!readNumber(text, at, kChunkListedMaxBytes, chunk.size) || chunk.size == 0 ||
      at == text.size() || text[at++] != ' ' ||
      !readNumber(text, at, kChunkListedMaxCompressed, chunk.compressedSize) || at == text.size() ||
      text[at] != '\n') {
    return false;
  }
  ++at;
  return true;
}

bool refuse(std::vector<ChunkRef>& out, std::string* problem, std::string why) {
  out.clear();
  if (problem != nullptr) *problem = std::move(why);
  return false;
}

}  // namespace

std::uint64_t chunkListMaxBytes(std::uint64_t fileSize) {
  return std::min(kChunkListMaxBytes, (fileSize / kChunkMinBytes + 1) * kChunkListLineMaxBytes);
}

std::string chunkListText(const std::vector<ChunkRef>& chunks) {
  std::string text;
  text.reserve(chunks.size() * kChunkListLineMaxBytes);
  for (const ChunkRef& chunk : chunks) {
    text += chunk.hash;
    text += ' ';
    text += std::to_string(chunk.size);
    text += ' ';
    text += std::to_string(chunk.compressedSize);
    text += '\n';
  }
  return text;
}

bool parseChunkList(std::string_view text, std::uint64_t fileSize, std::vector<ChunkRef>& out,
                    std::string* problem) {
  out.clear();
  if (text.size() > chunkListMaxBytes(fileSize)) {
    return refuse(out, problem,
                  "is " + std::to_string(text.size()) + " bytes, longer than the list of a " +
                      std::to_string(fileSize) + "-byte file can be");
  }
  // The shortest line has one digit in each number.
  out.reserve(text.size() / (kHashDigits + 5));
  std::uint64_t total = 0;
  for (std::size_t at = 0; at < text.size();) {
    ChunkRef& chunk = out.emplace_back();
    if (!readLine(text, at, chunk)) {
      return refuse(out, problem,
                    "line " + std::to_string(out.size()) +
                        " is not \"<64 lower-case hex digits> <size> <compressed size>\"");
    }
    total += chunk.size;
  }
  if (total != fileSize) {
    return refuse(
        out, problem,
        "adds up to " + std::to_string(total) + " bytes, not " + std::to_string(fileSize));
  }
  return true;
}

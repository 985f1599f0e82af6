// libFuzzer target for the download pipeline fed arbitrary streams (inflate, size and hash
// checks), as a server could send them. The input is a 4-byte entry size, a byte that chooses
// how the stream is cut into chunks, and the stream. Beyond memory errors, it checks that:
//   - no more content is ever written than the entry's size, and no stream longer than its
//     bound is taken;
//   - a stream is verified only with the right size and hash: fed again with the size and
//     SHA-256 of what it inflated to, a stream that ended inflates the same and verifies
//     (unless it runs past the bound for that size), and with one digit of the hash changed it
//     does not.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/sha256.h"
#include "update/download_stream.h"

namespace {

void check(bool condition, const char* what) {
  if (!condition) {
    std::fprintf(stderr, "download_fuzz: %s\n", what);
    std::abort();
  }
}

struct Outcome {
  std::string written;
  bool ended = false;
  bool verified = false;
  std::uint64_t fed = 0;
};

Outcome feed(const FileEntry& entry, const std::uint8_t* stream, std::size_t size,
             std::size_t chunk) {
  Outcome out;
  DownloadStream s(entry, [&out](const std::uint8_t* bytes, std::size_t count) {
    out.written.append(reinterpret_cast<const char*>(bytes), count);
    return true;
  });
  check(s.ready(), "stream not ready");
  bool going = true;
  for (std::size_t at = 0; going && at < size; at += chunk) {
    const std::size_t n = std::min(chunk, size - at);
    going = s.feed(stream + at, static_cast<std::uint32_t>(n));
    if (going) out.fed += n;
  }
  if (going) s.finish();
  out.ended = s.ended();
  out.verified = s.verified();
  return out;
}

std::string sha256(const std::string& bytes) {
  Sha256Hasher h;
  h.update(bytes.data(), bytes.size());
  return h.finishHex();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 5) return 0;
  FileEntry entry;
  entry.size = (std::uint32_t{data[0]} | std::uint32_t{data[1]} << 8 |
                std::uint32_t{data[2]} << 16 | std::uint32_t{data[3]} << 24) %
               (1u << 20);
  const std::size_t chunk = 1 + data[4] * 97u;
  const std::uint8_t* stream = data + 5;
  const std::size_t streamSize = size - 5;
  entry.hash.assign(std::string(64, '0'));

  const Outcome first = feed(entry, stream, streamSize, chunk);
  check(first.written.size() <= entry.size, "more content written than the entry's size");
  check(first.fed <= maxStreamBytes(entry.size), "a stream longer than its bound was taken");
  check(!first.verified || first.written.size() == entry.size, "verified with a wrong size");
  // A stream that ended was not cut off by the size: what it inflated to is its whole file.
  if (!first.ended) return 0;

  entry.size = first.written.size();
  std::string hash = sha256(first.written);
  entry.hash.assign(hash);
  const Outcome right = feed(entry, stream, streamSize, chunk);
  // Against its own, smaller size the stream may run past the bound and be refused partway;
  // within the bound it inflates to the same bytes and verifies.
  if (streamSize <= maxStreamBytes(entry.size)) {
    check(right.written == first.written, "the same stream inflated differently");
    check(right.verified, "a good stream was refused");
  }
  hash[0] = hash[0] == '0' ? '1' : '0';
  entry.hash.assign(hash);
  check(!feed(entry, stream, streamSize, chunk).verified, "a wrong hash was accepted");
  return 0;
}

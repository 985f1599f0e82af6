// libFuzzer target for the download pipeline fed arbitrary streams (inflate, size and hash
// checks), as a server could send them. The input is a 4-byte entry size, a byte that chooses
// how the stream is cut into chunks, and the stream. Beyond memory errors, it checks that:
//   - no more content is ever written than the entry's size, and no stream longer than its
//     bound is taken;
//   - a stream is verified only with the right size and hash: fed again with the size and
//     SHA-256 of what it inflated to, a stream that ended inflates the same and verifies
//     (unless it runs past the bound for that size), and with one digit of the hash changed it
//     does not;
//   - held whole (libdeflate) or streamed (zlib, the whole-body budget being spent), a stream
//     that both inflaters take to its end inflates to the same bytes.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "base/sha256.h"
#include "formats/chunking.h"
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

// Bodies of the largest size held whole, each given its first byte, until they fill the
// whole-body budget: while they live, every other stream goes through zlib.
struct BudgetSpent {
  FileEntry hog;
  std::vector<std::unique_ptr<DownloadStream>> streams;
  BudgetSpent() {
    hog.size = kChunkListedMaxBytes;
    hog.compressedSize = kChunkListedMaxBytes;
    const std::uint8_t first = 0x78;
    for (std::uint64_t taken = 0; taken < kWholeBodyBudgetBytes; taken += hog.compressedSize) {
      streams.push_back(std::make_unique<DownloadStream>(
          hog, [](const std::uint8_t*, std::size_t) { return true; }));
      streams.back()->feed(&first, 1);
    }
  }
};

std::string sha256(const std::string& bytes) {
  Sha256Hasher h;
  h.update(bytes.data(), bytes.size());
  return h.finishHex();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // Alive for the whole run, as a download phase keeps streams alive, so that the region of
  // the bodies held whole is not allocated and freed (and poisoned by ASan) for every stream.
  static const FileEntry idleEntry;
  static const DownloadStream idle(idleEntry,
                                   [](const std::uint8_t*, std::size_t) { return true; });
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
  const Outcome streamed = [&] {
    const BudgetSpent spent;
    return feed(entry, stream, streamSize, chunk);
  }();
  for (const Outcome* o : {&first, &streamed}) {
    check(o->written.size() <= entry.size, "more content written than the entry's size");
    check(o->fed <= maxStreamBytes(entry.size), "a stream longer than its bound was taken");
    check(!o->verified || o->written.size() == entry.size, "verified with a wrong size");
  }
  check(!first.ended || !streamed.ended || first.written == streamed.written,
        "held whole and streamed, the stream inflated differently");
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

// The check of one download attempt, apart from the network and the disk: the zlib stream is
// inflated, hashed and handed to a writer, and stopped as soon as it can no longer be the entry's
// file (too long a stream, more content than the entry's size, a broken stream, a writer that
// failed). Every byte a server sends passes through here.
//
// A body that fits the whole-body budget (download_stream.cpp) is held as it arrives and
// inflated in one call by libdeflate when complete, several times faster than zlib; any other
// body (a large file's whole-file object, or one that arrives while the budget is spent, or
// that turns out longer than its manifest entry said) is inflated by zlib while it arrives.
#pragma once
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "base/sha256.h"
#include "update/manifest_types.h"

// The longest zlib stream that zlib's deflate makes of size bytes, at any level, strategy or
// memory setting (fixed-code blocks of 9-bit literals: about 13 % more; an empty file as one
// stored block: 11 bytes), plus the stream's header and Adler-32 trailer. Longer streams are
// refused, so a server cannot keep a download going for ever with data after the end or with empty
// blocks. Saturates instead of wrapping.
std::uint64_t maxStreamBytes(std::uint64_t size);

// What bodies held whole may take at once, process-wide (see download_stream.cpp).
inline constexpr std::uint64_t kWholeBodyBudgetBytes = std::uint64_t{8} << 20;

// Memory lent by the whole-body budget.
struct HeldBlock {
  std::uint8_t* bytes = nullptr;
  std::uint64_t size = 0;
};

class DownloadStream {
 public:
  // Takes each piece of inflated content; false stops the stream as a write failure.
  using Writer = std::function<bool(const std::uint8_t* bytes, std::size_t count)>;

  DownloadStream(const FileEntry& entry, Writer writer);
  ~DownloadStream();
  DownloadStream(const DownloadStream&) = delete;
  DownloadStream& operator=(const DownloadStream&) = delete;

  // False when zlib or the hasher could not be set up; nothing can be verified then.
  bool ready() const { return ready_; }
  // One chunk of the body as received; false stops the transfer.
  bool feed(const std::uint8_t* bytes, std::uint32_t count);
  // After a complete body: inflates a body held whole, or lets zlib finish what it still holds.
  void finish();
  // Whether the content is exactly the entry's: the stream ended, nothing failed, the size and
  // the SHA-256 match. Finishes the hash; call once, after finish().
  bool verified();

  bool writeFailed() const { return writeFailed_; }
  // Whether the zlib stream reached its end with nothing failed on the way.
  bool ended() const { return streamEnd_ && !inflateFailed_ && !writeFailed_; }
  std::uint64_t inflated() const { return inflated_; }

 private:
  enum class Path { Undecided, Whole, Streamed };

  bool holdWhole();
  void releaseBody();
  bool inflateWhole();
  bool startStreaming();
  bool inflateStreamed(const std::uint8_t* bytes, std::size_t count);
  bool consume(const std::uint8_t* bytes, std::size_t count);

  const FileEntry& entry_;
  Writer writer_;
  z_stream zs_{};
  Sha256Hasher hasher_;
  Path path_ = Path::Undecided;
  // Whole: the body so far, in a block of the budget of at least its manifest size.
  HeldBlock body_;
  std::uint64_t bodyCapacity_ = 0;
  std::uint64_t bodyBytes_ = 0;
  // Streamed: zlib's output, a piece at a time.
  std::unique_ptr<std::uint8_t[]> out_;
  std::uint64_t received_ = 0;
  std::uint64_t inflated_ = 0;
  bool ready_ = false;
  bool streamEnd_ = false;
  bool inflateFailed_ = false;
  bool writeFailed_ = false;
};

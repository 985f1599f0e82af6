// DownloadStream: a body held whole and inflated by libdeflate, or streamed through zlib; then
// size check -> hash -> writer.
//
//   maxStreamBytes
//   the whole-body budget
//   feed and finish: choosing the path, switching to zlib
//   the two inflates, and what both do with the content
#include "update/download_stream.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <mutex>
#include <new>

#include "formats/chunking.h"

namespace {

// 128 KiB of inflated data at a time: with 32 transfers in flight each holds one.
constexpr std::size_t kOutputBytes = 131072;

// The zlib header (2 bytes) and the Adler-32 trailer (4). A preset dictionary would add 4
// more, but the launcher has none to offer, so such a stream fails anyway.
constexpr std::uint64_t kWrapperBytes = 6;

std::uint64_t saturatingAdd(std::uint64_t a, std::uint64_t b) {
  return a > std::numeric_limits<std::uint64_t>::max() - b
             ? std::numeric_limits<std::uint64_t>::max()
             : a + b;
}

// ---- the whole-body budget ----
// A body held whole costs its compressed bytes while it arrives, and its content too while it
// is inflated: each is a block of one region of 8 MiB, shared by every transfer of the
// process. A transfer that finds no room there streams through zlib instead (128 KiB of output
// and zlib's 39 KiB), so whatever the release and however many transfers are in flight, bodies
// held whole never take more than these 8 MiB (a cold install of 1 GiB in 2,000 files peaked
// at 30 MiB with them, 28 MiB streaming everything; 12 MiB bought little speed for 4 MiB more).
// Only objects up to the largest chunk a manifest lists (4 MiB, which small files are below
// too) are held.
//
// The region is allocated with the first block and freed when the last stream of the process
// ends (the download phase is over); blocks are runs of 16 KiB granules, the first free run
// that fits, so that the pages in use stay at its start. (A block allocated for each body, of
// ever-changing sizes on 32 threads, left the C allocator holding more than the whole budget
// besides; pages mapped and unmapped for each body cost more system time than the inflate
// saved.)
constexpr std::uint64_t kWholeBodyMaxSize = kChunkListedMaxBytes;
constexpr std::uint64_t kGranuleBytes = 16384;
constexpr std::size_t kGranules = kWholeBodyBudgetBytes / kGranuleBytes;

struct BodyRegion {
  std::mutex mutex;
  std::unique_ptr<std::uint8_t[]> bytes;
  std::array<bool, kGranules> used{};
  std::size_t streams = 0;  // DownloadStreams alive
};
BodyRegion region;

// A block of at least bytes, or none when the region has no run of free granules that long.
HeldBlock takeBlock(std::uint64_t bytes) {
  const std::uint64_t granules =
      (std::max<std::uint64_t>(bytes, 1) + kGranuleBytes - 1) / kGranuleBytes;
  const std::lock_guard lock(region.mutex);
  if (!region.bytes) region.bytes.reset(new (std::nothrow) std::uint8_t[kWholeBodyBudgetBytes]);
  if (!region.bytes) return {};
  std::size_t run = 0;
  for (std::size_t i = 0; i < kGranules; ++i) {
    run = region.used[i] ? 0 : run + 1;
    if (run == granules) {
      const std::size_t first = i + 1 - run;
      std::fill_n(region.used.begin() + first, run, true);
      return {region.bytes.get() + first * kGranuleBytes, run * kGranuleBytes};
    }
  }
  return {};
}

void giveBlock(const HeldBlock& block) {
  if (block.bytes == nullptr) return;
  const std::lock_guard lock(region.mutex);
  const std::size_t first =
      static_cast<std::size_t>(block.bytes - region.bytes.get()) / kGranuleBytes;
  std::fill_n(region.used.begin() + first, block.size / kGranuleBytes, false);
}

void streamStarted() {
  const std::lock_guard lock(region.mutex);
  ++region.streams;
}

// Blocks belong to streams: with none left, none is in use.
void streamEnded() {
  const std::lock_guard lock(region.mutex);
  if (--region.streams == 0) region.bytes.reset();
}

}  // namespace

std::uint64_t maxStreamBytes(std::uint64_t size) {
  // zlib's own bound for its worst cases (deflateBound with the smallest memory settings):
  // fixed-code blocks that spend 9 bits on a literal, or stored blocks of 127 bytes, each with
  // a small constant. The default settings (stored blocks of 16 KiB, 0.03 %) stay far below.
  std::uint64_t fixedCode = size;
  for (const std::uint64_t part : {size >> 3, size >> 8, size >> 9, std::uint64_t{4}}) {
    fixedCode = saturatingAdd(fixedCode, part);
  }
  std::uint64_t stored = size;
  for (const std::uint64_t part : {size >> 5, size >> 7, size >> 11, std::uint64_t{7}}) {
    stored = saturatingAdd(stored, part);
  }
  return saturatingAdd(std::max(fixedCode, stored), kWrapperBytes);
}

DownloadStream::DownloadStream(const FileEntry& entry, Writer writer)
    : entry_(entry), writer_(std::move(writer)) {
  streamStarted();
  ready_ = inflateInit(&zs_) == Z_OK && hasher_.valid();
}

DownloadStream::~DownloadStream() {
  releaseBody();
  inflateEnd(&zs_);
  streamEnded();
}

// ---- feed and finish ----

// A body is held whole when its object is small enough and the budget has room for the
// manifest's compressed size (or, without one, the longest stream of its size).
bool DownloadStream::holdWhole() {
  if (entry_.size > kWholeBodyMaxSize) return false;
  const std::uint64_t longest = maxStreamBytes(entry_.size);
  body_ = takeBlock(entry_.compressedSize > 0 ? std::min(entry_.compressedSize, longest) : longest);
  bodyCapacity_ = std::min(body_.size, longest);
  return body_.bytes != nullptr;
}

bool DownloadStream::feed(const std::uint8_t* bytes, std::uint32_t count) {
  if (!ready_ || inflateFailed_ || writeFailed_) return false;
  received_ += count;
  if (received_ > maxStreamBytes(entry_.size)) {
    inflateFailed_ = true;
    return false;
  }
  if (path_ == Path::Undecided) path_ = holdWhole() ? Path::Whole : Path::Streamed;
  if (path_ == Path::Whole) {
    if (count <= bodyCapacity_ - bodyBytes_) {
      std::memcpy(body_.bytes + bodyBytes_, bytes, count);
      bodyBytes_ += count;
      return true;
    }
    // Longer than the manifest said (data after the stream's end, or another valid stream
    // of the same content): what is held goes to zlib, and so does the rest.
    if (!startStreaming()) return false;
  }
  return inflateStreamed(bytes, count);
}

bool DownloadStream::startStreaming() {
  path_ = Path::Streamed;
  const bool going = inflateStreamed(body_.bytes, bodyBytes_);
  releaseBody();
  return going;
}

void DownloadStream::releaseBody() {
  giveBlock(body_);
  body_ = {};
}

void DownloadStream::finish() {
  if (path_ == Path::Whole && !inflateWhole()) startStreaming();
  while (ready_ && !streamEnd_ && !inflateFailed_ && !writeFailed_) {
    if (!out_) out_.reset(new std::uint8_t[kOutputBytes]);
    zs_.next_in = nullptr;
    zs_.avail_in = 0;
    zs_.next_out = out_.get();
    zs_.avail_out = static_cast<uInt>(kOutputBytes);
    const int rc = inflate(&zs_, Z_FINISH);
    const std::size_t produced = kOutputBytes - zs_.avail_out;
    if (!consume(out_.get(), produced)) return;
    if (rc == Z_STREAM_END) {
      streamEnd_ = true;
    } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
      inflateFailed_ = true;
    }
    if (produced == 0) return;
  }
}

bool DownloadStream::verified() {
  if (!ready_ || !streamEnd_ || inflateFailed_ || writeFailed_ || inflated_ != entry_.size) {
    return false;
  }
  const std::string hash = hasher_.finishHex();
  return !hash.empty() && entry_.hash.is(hash);
}

// ---- the two inflates ----

// The held body in one call, into a buffer of exactly the entry's size: content past it fails
// the call, as do a broken stream and a wrong Adler-32. Bytes after the stream's end are
// allowed, as zlib allows them. False, with nothing done, when the budget or the system has no
// room for the content: zlib then inflates the body instead.
bool DownloadStream::inflateWhole() {
  const HeldBlock content = takeBlock(entry_.size);
  libdeflate_decompressor* const inflater =
      content.bytes != nullptr ? libdeflate_alloc_decompressor() : nullptr;
  if (inflater == nullptr) {
    giveBlock(content);
    return false;
  }
  std::size_t produced = 0;
  const libdeflate_result rc = libdeflate_zlib_decompress_ex(
      inflater, body_.bytes, bodyBytes_, content.bytes, entry_.size, nullptr, &produced);
  libdeflate_free_decompressor(inflater);
  releaseBody();
  if (rc != LIBDEFLATE_SUCCESS) {
    inflateFailed_ = true;
  } else {
    streamEnd_ = true;
    consume(content.bytes, produced);
  }
  giveBlock(content);
  return true;
}

bool DownloadStream::inflateStreamed(const std::uint8_t* bytes, std::size_t count) {
  if (!out_) out_.reset(new std::uint8_t[kOutputBytes]);
  zs_.next_in = const_cast<Bytef*>(bytes);
  zs_.avail_in = static_cast<uInt>(count);
  // Also loop while the output buffer came back full: inflate may hold more for us.
  while (!streamEnd_ && (zs_.avail_in > 0 || zs_.avail_out == 0)) {
    zs_.next_out = out_.get();
    zs_.avail_out = static_cast<uInt>(kOutputBytes);
    const int rc = inflate(&zs_, Z_NO_FLUSH);
    if (!consume(out_.get(), kOutputBytes - zs_.avail_out)) return false;
    if (rc == Z_STREAM_END) {
      streamEnd_ = true;
    } else if (rc == Z_BUF_ERROR) {
      return true;  // no progress possible until more input arrives
    } else if (rc != Z_OK) {
      inflateFailed_ = true;
      return false;
    }
  }
  return true;
}

// Hashes and writes a piece of content; false stops the stream. The content is cut off as soon
// as it passes the entry's size, so a hostile server cannot fill the disk.
bool DownloadStream::consume(const std::uint8_t* bytes, std::size_t count) {
  if (count == 0) return true;
  inflated_ += count;
  if (inflated_ > entry_.size) {
    inflateFailed_ = true;
    return false;
  }
  hasher_.update(bytes, count);
  if (!writer_(bytes, count)) {
    writeFailed_ = true;
    return false;
  }
  return true;
}

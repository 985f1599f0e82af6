// DownloadStream: streaming inflate -> size check -> hash -> writer.
#include "update/download_stream.h"

#include <algorithm>
#include <limits>

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
    : entry_(entry), writer_(std::move(writer)), out_(new std::uint8_t[kOutputBytes]) {
  ready_ = inflateInit(&zs_) == Z_OK && hasher_.valid();
}

DownloadStream::~DownloadStream() { inflateEnd(&zs_); }

// Hashes and writes what the last inflate call produced; false stops the stream. The content
// is cut off as soon as it passes the entry's size, so a hostile server cannot fill the disk.
bool DownloadStream::consume(std::size_t produced) {
  if (produced == 0) return true;
  inflated_ += produced;
  if (inflated_ > entry_.size) {
    inflateFailed_ = true;
    return false;
  }
  hasher_.update(out_.get(), produced);
  if (!writer_(out_.get(), produced)) {
    writeFailed_ = true;
    return false;
  }
  return true;
}

bool DownloadStream::feed(const std::uint8_t* bytes, std::uint32_t count) {
  if (!ready_ || inflateFailed_ || writeFailed_) return false;
  received_ += count;
  if (received_ > maxStreamBytes(entry_.size)) {
    inflateFailed_ = true;
    return false;
  }
  zs_.next_in = const_cast<Bytef*>(bytes);
  zs_.avail_in = count;
  // Also loop while the output buffer came back full: inflate may hold more for us.
  while (!streamEnd_ && (zs_.avail_in > 0 || zs_.avail_out == 0)) {
    zs_.next_out = out_.get();
    zs_.avail_out = static_cast<uInt>(kOutputBytes);
    const int rc = inflate(&zs_, Z_NO_FLUSH);
    if (!consume(kOutputBytes - zs_.avail_out)) return false;
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

void DownloadStream::finish() {
  while (ready_ && !streamEnd_ && !inflateFailed_ && !writeFailed_) {
    zs_.next_in = nullptr;
    zs_.avail_in = 0;
    zs_.next_out = out_.get();
    zs_.avail_out = static_cast<uInt>(kOutputBytes);
    const int rc = inflate(&zs_, Z_FINISH);
    const std::size_t produced = kOutputBytes - zs_.avail_out;
    if (!consume(produced)) return;
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

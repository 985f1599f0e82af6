#include "objects.h"

#include <zlib.h>

#include <memory>
#include <vector>

#include "base/files.h"
#include "base/paths.h"
#include "base/sha256.h"
#include "base/text.h"

namespace {

constexpr std::size_t kReadChunk = 1 << 20;   // 1 MiB from the source file
constexpr std::size_t kOutChunk = 256 << 10;  // 256 KiB of zlib output at a time

bool stopped(const WorkCounters& c) { return c.stop != nullptr && c.stop->load(); }
void count(const WorkCounters& c, std::uint64_t n) {
  if (c.bytes != nullptr) c.bytes->fetch_add(n);
}

std::string name(const std::wstring& path) { return wideToUtf8(path); }

}  // namespace

std::string objectName(const std::string& hash) {
  return "files/" + hash.substr(0, 2) + "/" + hash + ".z";
}

std::wstring objectPath(const std::wstring& releaseDir, const std::string& hash) {
  return releaseDir + L"files\\" + utf8ToWide(hash.substr(0, 2)) + L"\\" + utf8ToWide(hash) + L".z";
}

bool hashFileAndSize(const std::wstring& path, std::string& hash, std::uint64_t& size,
                     std::string& error, const WorkCounters& counters) {
  FileHandle in;
  if (!in.openForRead(path)) {
    error = "cannot open " + name(path);
    return false;
  }
  Sha256Hasher hasher;
  if (!hasher.valid()) {
    error = "SHA-256 is not available";
    return false;
  }
  std::vector<std::uint8_t> buffer(kReadChunk);
  size = 0;
  for (;;) {
    if (stopped(counters)) {
      error = "stopped";
      return false;
    }
    std::size_t got = 0;
    if (!in.read(buffer.data(), buffer.size(), got)) {
      error = "cannot read " + name(path);
      return false;
    }
    if (got == 0) break;
    hasher.update(buffer.data(), got);
    size += got;
    count(counters, got);
  }
  hash = hasher.finishHex();
  if (hash.empty()) {
    error = "cannot hash " + name(path);
    return false;
  }
  return true;
}

ObjectState checkObject(const std::wstring& path, const std::string& hash, std::uint64_t size,
                        std::uint64_t& compressedSize, std::string& problem,
                        const WorkCounters& counters) {
  compressedSize = 0;
  FileInfo info;
  if (!getFileInfo(path, info) || info.isDirectory) {
    problem = "missing";
    return ObjectState::Missing;
  }
  FileHandle in;
  if (!in.openForRead(path)) {
    problem = "cannot be read";
    return ObjectState::Damaged;
  }
  z_stream z{};
  if (inflateInit(&z) != Z_OK) {
    problem = "zlib cannot start";
    return ObjectState::Damaged;
  }
  std::unique_ptr<z_stream, void (*)(z_stream*)> guard(&z, [](z_stream* s) { inflateEnd(s); });
  Sha256Hasher hasher;
  std::vector<std::uint8_t> input(kReadChunk), output(kOutChunk);
  std::uint64_t inflated = 0;
  bool streamEnd = false;
  for (;;) {
    if (stopped(counters)) {
      problem = "stopped";
      return ObjectState::Damaged;
    }
    std::size_t got = 0;
    if (!in.read(input.data(), input.size(), got)) {
      problem = "cannot be read";
      return ObjectState::Damaged;
    }
    if (got == 0) break;
    compressedSize += got;
    if (streamEnd) {
      problem = "has data after the end of its zlib stream";
      return ObjectState::Damaged;
    }
    z.next_in = input.data();
    z.avail_in = static_cast<uInt>(got);
    while (z.avail_in > 0 && !streamEnd) {
      z.next_out = output.data();
      z.avail_out = static_cast<uInt>(output.size());
      const int r = inflate(&z, Z_NO_FLUSH);
      const std::size_t produced = output.size() - z.avail_out;
      inflated += produced;
      count(counters, produced);
      if (inflated > size) {
        problem = "inflates to more than " + std::to_string(size) + " bytes";
        return ObjectState::Damaged;
      }
      hasher.update(output.data(), produced);
      if (r == Z_STREAM_END) {
        streamEnd = true;
      } else if (r != Z_OK && r != Z_BUF_ERROR) {
        problem = std::string("is not a valid zlib stream (") + (z.msg ? z.msg : "error") + ")";
        return ObjectState::Damaged;
      } else if (r == Z_BUF_ERROR && produced == 0) {
        break;
      }
    }
    if (streamEnd && z.avail_in > 0) {
      problem = "has data after the end of its zlib stream";
      return ObjectState::Damaged;
    }
  }
  if (!streamEnd) {
    problem = "is cut short (its zlib stream does not end)";
    return ObjectState::Damaged;
  }
  if (inflated != size) {
    problem =
        "inflates to " + std::to_string(inflated) + " bytes instead of " + std::to_string(size);
    return ObjectState::Damaged;
  }
  const std::string got = hasher.finishHex();
  if (got != hash) {
    problem = "inflates to content with the hash " + got;
    return ObjectState::Damaged;
  }
  return ObjectState::Good;
}

bool compressToObject(const std::wstring& source, const std::wstring& target,
                      const std::string& hash, std::uint64_t size, std::uint64_t& compressedSize,
                      std::string& error, const WorkCounters& counters) {
  compressedSize = 0;
  if (!ensureParentDirectory(target)) {
    error = "cannot create the folder of " + name(target);
    return false;
  }
  FileHandle in;
  if (!in.openForRead(source)) {
    error = "cannot open " + name(source);
    return false;
  }
  const std::wstring temp = target + L".ap_tmp";
  FileHandle out;
  if (!out.createNew(temp)) {
    error = "cannot create " + name(temp);
    return false;
  }
  z_stream z{};
  if (deflateInit(&z, Z_BEST_COMPRESSION) != Z_OK) {
    out.close();
    deleteFile(temp);
    error = "zlib cannot start";
    return false;
  }
  std::unique_ptr<z_stream, void (*)(z_stream*)> guard(&z, [](z_stream* s) { deflateEnd(s); });
  Sha256Hasher hasher;
  std::vector<std::uint8_t> input(kReadChunk), output(kOutChunk);
  std::uint64_t read = 0;
  bool ok = true;
  bool finished = false;
  while (ok && !finished) {
    if (stopped(counters)) {
      error = "stopped";
      ok = false;
      break;
    }
    std::size_t got = 0;
    if (!in.read(input.data(), input.size(), got)) {
      error = "cannot read " + name(source);
      ok = false;
      break;
    }
    hasher.update(input.data(), got);
    read += got;
    count(counters, got);
    const int flush = got == 0 ? Z_FINISH : Z_NO_FLUSH;
    z.next_in = input.data();
    z.avail_in = static_cast<uInt>(got);
    do {
      z.next_out = output.data();
      z.avail_out = static_cast<uInt>(output.size());
      const int r = deflate(&z, flush);
      if (r == Z_STREAM_ERROR) {
        error = "zlib failed on " + name(source);
        ok = false;
        break;
      }
      const std::size_t produced = output.size() - z.avail_out;
      if (produced > 0 && !out.write(output.data(), produced)) {
        error = "cannot write " + name(temp);
        ok = false;
        break;
      }
      compressedSize += produced;
      if (r == Z_STREAM_END) finished = true;
    } while (z.avail_out == 0 || (flush == Z_FINISH && !finished));
  }
  out.close();
  if (ok && (read != size || hasher.finishHex() != hash)) {
    error = name(source) + " changed while the release was being built";
    ok = false;
  }
  if (ok && !moveFileReplace(temp, target)) {
    error = "cannot move " + name(temp) + " into place";
    ok = false;
  }
  if (!ok) deleteFile(temp);
  return ok;
}

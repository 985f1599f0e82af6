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

// An object being inflated as the launcher does it: the stream, and what came out of it.
struct Inflation {
  z_stream z{};
  Sha256Hasher hasher;
  std::vector<std::uint8_t> output = std::vector<std::uint8_t>(kOutChunk);
  std::uint64_t inflated = 0;
  bool streamEnd = false;
  std::string* content = nullptr;  // receives what was inflated, when given
};

// Inflates one chunk read from the object; false with the problem once the stream is damaged,
// gives more than size bytes, or has ended before this chunk or within it.
bool inflateChunk(Inflation& s, std::uint8_t* input, std::size_t got, std::uint64_t size,
                  std::string& problem, const WorkCounters& counters) {
  z_stream& z = s.z;
  z.next_in = input;
  z.avail_in = static_cast<uInt>(got);
  while (z.avail_in > 0 && !s.streamEnd) {
    z.next_out = s.output.data();
    z.avail_out = static_cast<uInt>(s.output.size());
    const int r = inflate(&z, Z_NO_FLUSH);
    const std::size_t produced = s.output.size() - z.avail_out;
    s.inflated += produced;
    count(counters, produced);
    if (s.inflated > size) {
      problem = "inflates to more than " + std::to_string(size) + " bytes";
      return false;
    }
    s.hasher.update(s.output.data(), produced);
    if (s.content != nullptr) s.content->append(reinterpret_cast<char*>(s.output.data()), produced);
    if (r == Z_STREAM_END) {
      s.streamEnd = true;
    } else if (r != Z_OK && r != Z_BUF_ERROR) {
      problem = std::string("is not a valid zlib stream (") + (z.msg ? z.msg : "error") + ")";
      return false;
    } else if (r == Z_BUF_ERROR && produced == 0) {
      break;
    }
  }
  if (s.streamEnd && z.avail_in > 0) {
    problem = "has data after the end of its zlib stream";
    return false;
  }
  return true;
}

// After the last chunk: the stream ended, with exactly size bytes of the expected content.
bool inflatedAsExpected(Inflation& s, const std::string& hash, std::uint64_t size,
                        std::string& problem) {
  if (!s.streamEnd) {
    problem = "is cut short (its zlib stream does not end)";
    return false;
  }
  if (s.inflated != size) {
    problem =
        "inflates to " + std::to_string(s.inflated) + " bytes instead of " + std::to_string(size);
    return false;
  }
  const std::string got = s.hasher.finishHex();
  if (got != hash) {
    problem = "inflates to content with the hash " + got;
    return false;
  }
  return true;
}

// A content being compressed into the temporary file of its object.
struct Compression {
  FileHandle in;
  FileHandle out;
  std::wstring source;
  std::wstring temp;
  z_stream z{};
  Sha256Hasher hasher;  // of what was read, compared with the hash it is stored under
  std::vector<std::uint8_t> output = std::vector<std::uint8_t>(kOutChunk);
  std::uint64_t read = 0;     // bytes of the source
  std::uint64_t written = 0;  // bytes of the object
  bool finished = false;      // the stream has ended
};

// Deflates what z holds as input (flush is Z_FINISH once the source is read) into the
// temporary file.
bool deflateChunk(Compression& c, int flush, std::string& error) {
  z_stream& z = c.z;
  do {
    z.next_out = c.output.data();
    z.avail_out = static_cast<uInt>(c.output.size());
    const int r = deflate(&z, flush);
    if (r == Z_STREAM_ERROR) {
      error = "zlib failed on " + name(c.source);
      return false;
    }
    const std::size_t produced = c.output.size() - z.avail_out;
    if (produced > 0 && !c.out.write(c.output.data(), produced)) {
      error = "cannot write " + name(c.temp);
      return false;
    }
    c.written += produced;
    if (r == Z_STREAM_END) c.finished = true;
  } while (z.avail_out == 0 || (flush == Z_FINISH && !c.finished));
  return true;
}

// The whole source through the hasher and into the stream, to its end.
bool deflateSource(Compression& c, std::string& error, const WorkCounters& counters) {
  std::vector<std::uint8_t> input(kReadChunk);
  while (!c.finished) {
    if (stopped(counters)) {
      error = "stopped";
      return false;
    }
    std::size_t got = 0;
    if (!c.in.read(input.data(), input.size(), got)) {
      error = "cannot read " + name(c.source);
      return false;
    }
    c.hasher.update(input.data(), got);
    c.read += got;
    count(counters, got);
    c.z.next_in = input.data();
    c.z.avail_in = static_cast<uInt>(got);
    if (!deflateChunk(c, got == 0 ? Z_FINISH : Z_NO_FLUSH, error)) return false;
  }
  return true;
}

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
                        const WorkCounters& counters, std::string* content) {
  compressedSize = 0;
  if (content != nullptr) content->clear();
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
  Inflation s;
  s.content = content;
  if (inflateInit(&s.z) != Z_OK) {
    problem = "zlib cannot start";
    return ObjectState::Damaged;
  }
  std::unique_ptr<z_stream, void (*)(z_stream*)> guard(&s.z, [](z_stream* z) { inflateEnd(z); });
  std::vector<std::uint8_t> input(kReadChunk);
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
    if (!inflateChunk(s, input.data(), got, size, problem, counters)) return ObjectState::Damaged;
  }
  return inflatedAsExpected(s, hash, size, problem) ? ObjectState::Good : ObjectState::Damaged;
}

bool compressToObject(const std::wstring& source, const std::wstring& target,
                      const std::string& hash, std::uint64_t size, std::uint64_t& compressedSize,
                      std::string& error, const WorkCounters& counters) {
  compressedSize = 0;
  if (!ensureParentDirectory(target)) {
    error = "cannot create the folder of " + name(target);
    return false;
  }
  Compression c;
  c.source = source;
  if (!c.in.openForRead(source)) {
    error = "cannot open " + name(source);
    return false;
  }
  c.temp = target + kTemporarySuffix;
  if (!c.out.createNew(c.temp)) {
    error = "cannot create " + name(c.temp);
    return false;
  }
  if (deflateInit(&c.z, Z_BEST_COMPRESSION) != Z_OK) {
    c.out.close();
    deleteFile(c.temp);
    error = "zlib cannot start";
    return false;
  }
  std::unique_ptr<z_stream, void (*)(z_stream*)> guard(&c.z, [](z_stream* z) { deflateEnd(z); });
  bool ok = deflateSource(c, error, counters);
  c.out.close();
  compressedSize = c.written;
  if (ok && (c.read != size || c.hasher.finishHex() != hash)) {
    error = name(source) + " changed while the release was being built";
    ok = false;
  }
  if (ok && !moveFileReplace(c.temp, target)) {
    error = "cannot move " + name(c.temp) + " into place";
    ok = false;
  }
  if (!ok) deleteFile(c.temp);
  return ok;
}

bool compressBytesToObject(const std::uint8_t* bytes, std::size_t size, const std::wstring& target,
                           std::uint64_t& compressedSize, std::string& error) {
  compressedSize = 0;
  uLongf length = compressBound(static_cast<uLong>(size));
  std::vector<std::uint8_t> output(length);
  if (compress2(output.data(), &length, bytes, static_cast<uLong>(size), Z_BEST_COMPRESSION) !=
      Z_OK) {
    error = "zlib failed on a chunk of " + name(target);
    return false;
  }
  if (!ensureParentDirectory(target)) {
    error = "cannot create the folder of " + name(target);
    return false;
  }
  const std::wstring temp = target + kTemporarySuffix;
  FileHandle out;
  bool ok = out.createNew(temp);
  if (!ok) {
    error = "cannot create " + name(temp);
    return false;
  }
  ok = out.write(output.data(), length);
  out.close();
  if (!ok) error = "cannot write " + name(temp);
  if (ok && !moveFileReplace(temp, target)) {
    error = "cannot move " + name(temp) + " into place";
    ok = false;
  }
  if (!ok) deleteFile(temp);
  compressedSize = ok ? length : 0;
  return ok;
}

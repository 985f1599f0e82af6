#include "base/chunk_file.h"

#include <cstring>
#include <memory>

#include "base/files.h"
#include "base/sha256.h"
#include "formats/chunking.h"

namespace {

constexpr std::size_t kBufferBytes = 2 * kChunkMaxBytes;

std::string hashOf(const std::uint8_t* bytes, std::size_t count) {
  Sha256Hasher hasher;
  if (!hasher.valid()) return std::string();
  hasher.update(bytes, count);
  return hasher.finishHex();
}

}  // namespace

bool cutFile(const std::wstring& path, const std::function<bool(const FileChunk&)>& visit) {
  FileHandle file;
  if (!file.openForRead(path, false)) return false;
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kBufferBytes]);
  std::size_t start = 0;  // the next chunk's first byte in the buffer
  std::size_t end = 0;    // one past the last byte read
  bool atEnd = false;
  FileChunk chunk;
  for (;;) {
    // chunkLength needs a whole longest chunk ahead of it unless the file ends sooner.
    if (!atEnd && end - start < kChunkMaxBytes) {
      std::memmove(buffer.get(), buffer.get() + start, end - start);
      end -= start;
      start = 0;
      while (!atEnd && end < kBufferBytes) {
        std::size_t got = 0;
        if (!file.read(buffer.get() + end, kBufferBytes - end, got)) return false;
        end += got;
        atEnd = got == 0;
      }
    }
    if (start == end) return true;
    chunk.bytes = buffer.get() + start;
    chunk.size = chunkLength(chunk.bytes, end - start);
    chunk.hash = hashOf(chunk.bytes, chunk.size);
    if (chunk.hash.empty() || !visit(chunk)) return false;
    chunk.offset += chunk.size;
    start += chunk.size;
  }
}

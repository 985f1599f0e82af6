// The part of the hashing that is the same on every platform: digests as text, and files read
// through the file layer (which gives Windows paths beyond MAX_PATH, and POSIX its "/" and
// UTF-8), so a file is hashed under exactly the path it was written to.
#include "base/sha256.h"

#include <memory>
#include <new>

#include "base/files.h"

namespace {

constexpr std::size_t kReadChunk = 1048576;
// The read buffer starts on a page boundary: Linux copies out of the page cache about 40%
// slower into a buffer that is 16 bytes off a 32-byte boundary, which is where the allocator
// puts a plain 1 MiB block (measured; the file read then costs more than the hashing).
constexpr std::align_val_t kBufferAlignment{4096};

struct AlignedFree {
  void operator()(std::uint8_t* p) const { ::operator delete[](p, kBufferAlignment); }
};

}  // namespace

std::string toHex(const std::uint8_t* bytes, std::size_t count) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out(count * 2, '0');
  for (std::size_t i = 0; i < count; ++i) {
    out[2 * i] = kDigits[bytes[i] >> 4];
    out[2 * i + 1] = kDigits[bytes[i] & 0x0f];
  }
  return out;
}

std::string HashFile(const std::wstring& path, HashProgressCallback callback, void* context) {
  // Read access, sharing read and write, sequential scan; a folder, a FIFO, a device and a
  // link do not open: the engine hashes only the files really in the game folder.
  FileHandle file;
  if (!file.openForRead(path, false)) return {};
  Sha256Hasher hasher;
  if (!hasher.valid()) return {};
  std::unique_ptr<std::uint8_t[], AlignedFree> buffer(
      static_cast<std::uint8_t*>(::operator new[](kReadChunk, kBufferAlignment)));
  for (;;) {
    std::size_t got = 0;
    if (!file.read(buffer.get(), kReadChunk, got)) return {};
    if (got == 0) return hasher.finishHex();
    hasher.update(buffer.get(), got);
    if (callback != nullptr && !callback(context, got)) return {};
  }
}

// SHA-256 through libgcrypt, which picks the CPU's SHA instructions when there are any.
//   Sha256Hasher  one gcry_md handle per hasher
//   HashFile      1 MiB sequential reads of a regular file
#include <fcntl.h>
#include <gcrypt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "formats/gcrypt_init.h"
#include "update/sha256.h"
#include "update/text.h"

namespace {

constexpr std::size_t kDigestSize = 32;
constexpr std::size_t kReadChunk = 1048576;

gcry_md_hd_t asHandle(void* handle) { return static_cast<gcry_md_hd_t>(handle); }

// Closes a descriptor when the scope ends, on every path.
struct Descriptor {
  int fd = -1;
  ~Descriptor() {
    if (fd >= 0) close(fd);
  }
};

}  // namespace

Sha256Hasher::Sha256Hasher() {
  if (!gcryptReady()) return;
  gcry_md_hd_t handle = nullptr;
  if (gcry_md_open(&handle, GCRY_MD_SHA256, 0) == 0) handle_ = handle;
}

Sha256Hasher::~Sha256Hasher() {
  if (handle_ != nullptr) gcry_md_close(asHandle(handle_));
}

void Sha256Hasher::update(const void* bytes, std::size_t count) {
  if (handle_ == nullptr || count == 0) return;
  gcry_md_write(asHandle(handle_), bytes, count);
}

std::string Sha256Hasher::finishHex() {
  if (handle_ == nullptr) return {};
  const unsigned char* digest = gcry_md_read(asHandle(handle_), GCRY_MD_SHA256);
  std::string hex = digest != nullptr ? toHex(digest, kDigestSize) : std::string();
  gcry_md_close(asHandle(handle_));
  handle_ = nullptr;
  return hex;
}

std::string HashFile(const std::wstring& path, HashProgressCallback callback, void* context) {
  // The engine builds paths with "\"; the file system wants "/".
  std::string local = wideToUtf8(path);
  for (char& c : local) {
    if (c == '\\') c = '/';
  }
  // O_NONBLOCK so that a FIFO in the folder cannot hang the open; it changes nothing for the
  // regular files that are hashed, and anything else is refused.
  Descriptor file;
  file.fd = open(local.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (file.fd < 0) return {};
  struct stat info;
  if (fstat(file.fd, &info) != 0 || !S_ISREG(info.st_mode)) return {};
  posix_fadvise(file.fd, 0, 0, POSIX_FADV_SEQUENTIAL);

  Sha256Hasher hasher;
  if (!hasher.valid()) return {};
  std::unique_ptr<std::uint8_t[]> buffer(new std::uint8_t[kReadChunk]);
  for (;;) {
    const ssize_t got = read(file.fd, buffer.get(), kReadChunk);
    if (got < 0) {
      if (errno == EINTR) continue;
      return {};
    }
    if (got == 0) return hasher.finishHex();
    hasher.update(buffer.get(), static_cast<std::size_t>(got));
    if (callback != nullptr && !callback(context, static_cast<std::uint64_t>(got))) return {};
  }
}

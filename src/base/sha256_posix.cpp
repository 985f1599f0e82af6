// SHA-256 through libgcrypt, which picks the CPU's SHA instructions when there are any: one
// gcry_md handle per hasher. Files are read in sha256.cpp.
#include <gcrypt.h>

#include "base/sha256.h"
#include "formats/gcrypt_init.h"

namespace {

constexpr std::size_t kDigestSize = 32;

gcry_md_hd_t asHandle(void* handle) { return static_cast<gcry_md_hd_t>(handle); }

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

// The kept manifest: reading its signature, reading and verifying its text, replacing it.
#include "update/kept_manifest.h"

#include "base/files.h"
#include "base/paths.h"
#include "update/manifest.h"

namespace {

// The first `count` bytes of the kept file, or all of it (count 0), after its size is checked
// against what a kept manifest can be. The file is opened as itself: a link in its place is
// refused, never followed out of the game folder.
bool readKeptFile(const std::wstring& gameDir, std::uint64_t count, std::string& out) {
  out.clear();
  FileHandle file;
  std::uint64_t size = 0;
  if (!file.openForRead(gameDir + kKeptManifestFileName, false) || !file.size(size) ||
      size < kSignatureBytes || size > kSignatureBytes + kManifestMaxBytes) {
    return false;
  }
  std::string bytes(static_cast<std::size_t>(count == 0 ? size : count), '\0');
  std::size_t total = 0;
  while (total < bytes.size()) {
    std::size_t got = 0;
    if (!file.read(bytes.data() + total, bytes.size() - total, got) || got == 0) return false;
    total += got;
  }
  out = std::move(bytes);
  return true;
}

}  // namespace

std::string readKeptSignature(const std::wstring& gameDir) {
  std::string signature;
  readKeptFile(gameDir, kSignatureBytes, signature);
  return signature;
}

bool readKeptManifest(const std::wstring& gameDir, std::string_view signature,
                      const std::vector<PublicKey>& keys, std::string& text) {
  if (signature.size() != kSignatureBytes || !readKeptFile(gameDir, 0, text) ||
      std::string_view(text).substr(0, kSignatureBytes) != signature ||
      verifyUnderAnyKey(keys, reinterpret_cast<const std::uint8_t*>(signature.data()),
                        reinterpret_cast<const std::uint8_t*>(text.data()) + kSignatureBytes,
                        text.size() - kSignatureBytes) < 0) {
    text = std::string();
    return false;
  }
  text.erase(0, kSignatureBytes);
  return true;
}

void keepManifest(const std::wstring& gameDir, std::string_view signature, std::string_view text) {
  writeFileAtomically(gameDir + kKeptManifestFileName, {signature, text});
}

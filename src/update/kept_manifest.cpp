// The kept manifest: reading its signature and its text, replacing it.
#include "update/kept_manifest.h"

#include "base/files.h"
#include "base/memory.h"
#include "base/paths.h"
#include "update/manifest.h"

namespace {

// The kept file opened as itself (a link in its place is refused, never followed out of the
// game folder), with the length of the text after its signature when that can be a kept
// manifest of at most maxBytes.
bool openKeptFile(const std::wstring& gameDir, std::uint64_t maxBytes, FileHandle& file,
                  std::uint64_t& textBytes) {
  std::uint64_t size = 0;
  if (!file.openForRead(gameDir + kKeptManifestFileName, false) || !file.size(size) ||
      size < kSignatureBytes || size - kSignatureBytes > maxBytes) {
    return false;
  }
  textBytes = size - kSignatureBytes;
  return true;
}

}  // namespace

std::string readKeptSignature(const std::wstring& gameDir, std::uint64_t maxBytes) {
  FileHandle file;
  std::uint64_t textBytes = 0;
  std::string signature(kSignatureBytes, '\0');
  if (!openKeptFile(gameDir, maxBytes, file, textBytes) ||
      !file.readAt(0, signature.data(), signature.size())) {
    return std::string();
  }
  return signature;
}

bool readKeptManifest(const std::wstring& gameDir, std::string_view signature,
                      std::uint64_t maxBytes, std::string& text) {
  releaseText(text);
  FileHandle file;
  std::uint64_t textBytes = 0;
  std::string kept(kSignatureBytes, '\0');
  if (signature.size() != kSignatureBytes || !openKeptFile(gameDir, maxBytes, file, textBytes) ||
      !file.readAt(0, kept.data(), kept.size()) || kept != signature) {
    return false;
  }
  text.reserve(static_cast<std::size_t>(textBytes));
  adviseLargePages(text.data(), text.capacity());
  text.resize(static_cast<std::size_t>(textBytes));
  if (!file.readAt(kSignatureBytes, text.data(), text.size())) {
    releaseText(text);
    return false;
  }
  return true;
}

void keepManifest(const std::wstring& gameDir, std::string_view signature, std::string_view text) {
  writeFileAtomically(gameDir + kKeptManifestFileName, {signature, text});
}

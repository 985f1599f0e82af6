// Key pairs, key files and signatures (ed25519.h). The seed is the RFC 8032 private key, from
// which the public key and every signature are derived.
#include "keys.h"

#include <gcrypt.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "base/files.h"
#include "base/paths.h"
#include "base/sha256.h"
#include "base/text.h"
#include "formats/ed25519.h"
#include "publish_platform.h"

namespace {

constexpr std::string_view kSecretHeader = "# quillmark-publish secret key (Ed25519)";

void wipe(void* bytes, std::size_t count) {
  volatile std::uint8_t* p = static_cast<volatile std::uint8_t*>(bytes);
  for (std::size_t i = 0; i < count; ++i) p[i] = 0;
}

// libgcrypt's own messages: warnings and errors reach standard error; informational notes
// (such as the Windows entropy gatherer's remark on disk statistics) would only clutter a
// command's output.
void gcryptLog(void*, int level, const char* format, va_list args) {
  if (level < GCRY_LOG_WARN) return;
  std::fputs("libgcrypt: ", stderr);
  std::vfprintf(stderr, format, args);
}

bool ensureGcrypt(std::string& error) {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] {
    gcry_set_log_handler(gcryptLog, nullptr);
    ok = gcry_check_version(GCRYPT_VERSION) != nullptr;
    if (ok && !gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) {
      gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
      gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    }
  });
  if (!ok) error = "libgcrypt is older than the version this program was built with";
  return ok;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view trim(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

SecretKey::~SecretKey() { wipe(seed, sizeof seed); }

bool parseHexKey(std::string_view text, std::uint8_t out[kKeySize]) {
  text = trim(text);
  if (text.size() != 2 * kKeySize) return false;
  for (std::size_t i = 0; i < kKeySize; ++i) {
    const int hi = hexDigit(text[2 * i]);
    const int lo = hexDigit(text[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    out[i] = static_cast<std::uint8_t>(hi * 16 + lo);
  }
  return true;
}

bool derivePublicKey(const std::uint8_t seed[kKeySize], std::uint8_t publicKey[kKeySize],
                     std::string& error) {
  if (!ensureGcrypt(error)) return false;
  if (!ed25519PublicKey(seed, publicKey)) {
    error = "cannot compute the public key";
    return false;
  }
  return true;
}

bool generateKeyPair(SecretKey& out, std::string& error) {
  if (!ensureGcrypt(error)) return false;
  gcry_randomize(out.seed, kKeySize, GCRY_VERY_STRONG_RANDOM);
  return derivePublicKey(out.seed, out.publicKey, error);
}

bool signMessage(const SecretKey& key, std::string_view message,
                 std::uint8_t signature[kSignatureSize], std::string& error) {
  if (!ensureGcrypt(error)) return false;
  if (!ed25519Sign(key.seed, key.publicKey, message, signature)) {
    error = "cannot sign";
    return false;
  }
  return true;
}

bool checkSignature(const std::uint8_t publicKey[kKeySize],
                    const std::uint8_t signature[kSignatureSize], std::string_view message) {
  std::string error;
  return ensureGcrypt(error) && ed25519Verify(publicKey, signature, message);
}

std::string secretKeyFileText(const SecretKey& key) {
  return std::string(kSecretHeader) +
         ". Keep it private: whoever holds it can publish releases.\n" + toHex(key.seed, kKeySize) +
         "\n";
}

bool parseSecretKeyFile(std::string_view text, SecretKey& out, std::string& error) {
  if (text.substr(0, kSecretHeader.size()) != kSecretHeader) {
    error = "not a secret key file of quillmark-publish keygen";
    return false;
  }
  const std::size_t lineEnd = text.find('\n');
  if (lineEnd == std::string_view::npos || !parseHexKey(text.substr(lineEnd + 1), out.seed)) {
    error = "damaged secret key file (expected 64 hex digits on its second line)";
    return false;
  }
  return derivePublicKey(out.seed, out.publicKey, error);
}

bool makeKeyFiles(const std::wstring& baseName, std::string& publicHex, std::string& error) {
  const std::wstring keyPath = baseName + L".key";
  const std::wstring pubPath = baseName + L".pub";
  for (const std::wstring* p : {&keyPath, &pubPath}) {
    FileInfo info;
    if (getFileInfo(*p, info)) {
      error = wideToUtf8(*p) + " already exists; it is not overwritten";
      return false;
    }
  }
  SecretKey key;
  if (!generateKeyPair(key, error)) return false;
  std::string text = secretKeyFileText(key);
  const bool written = writeNewPrivateFile(keyPath, text, error);
  wipe(text.data(), text.size());
  if (!written) return false;
  publicHex = toHex(key.publicKey, kKeySize);
  if (!writeFileAtomically(pubPath, publicHex + "\n")) {
    error = "cannot write " + wideToUtf8(pubPath) + " (the secret key is in " +
            wideToUtf8(keyPath) + ")";
    return false;
  }
  return true;
}

bool loadPublicKey(const std::wstring& hexOrPath, std::uint8_t out[kKeySize], std::string& error) {
  const std::string narrow = wideToUtf8(hexOrPath);
  if (parseHexKey(narrow, out)) return true;
  std::string text;
  if (!readWholeFile(hexOrPath, 4096, text)) {
    error = "the public key must be 64 hex digits or a readable .pub file: " + narrow;
    return false;
  }
  if (text.substr(0, kSecretHeader.size()) == kSecretHeader) {
    error = narrow + " is the secret key; give the public key (.pub) instead";
    return false;
  }
  if (!parseHexKey(text, out)) {
    error = narrow + " does not hold a public key (64 hex digits)";
    return false;
  }
  return true;
}

bool loadPublicKeys(const std::wstring& list, std::vector<std::array<std::uint8_t, kKeySize>>& out,
                    std::string& error) {
  out.clear();
  std::array<std::uint8_t, kKeySize> key{};
  std::string ignored;
  if (loadPublicKey(list, key.data(), ignored)) {
    out.push_back(key);
    return true;
  }
  for (std::size_t from = 0;;) {
    const std::size_t comma = list.find(L',', from);
    const std::wstring item =
        list.substr(from, comma == std::wstring::npos ? std::wstring::npos : comma - from);
    if (!loadPublicKey(item, key.data(), error)) return false;
    out.push_back(key);
    if (comma == std::wstring::npos) break;
    from = comma + 1;
  }
  if (out.size() > kMaxPublicKeys) {
    error = "at most four public keys; a launcher is built with no more";
    return false;
  }
  return true;
}

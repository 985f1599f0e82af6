// Ed25519 check of the manifest signature (the arithmetic is in ed25519.cpp).
#include "formats/signature.h"

#include <algorithm>
#include <iterator>
#include <string_view>

#include "formats/ed25519.h"
#include "formats/gcrypt_init.h"
#include "quillmark_config.h"

int verifyEd25519(const std::uint8_t* publicKey, const std::uint8_t* signature,
                  const std::uint8_t* message, std::size_t length) {
  if (publicKey == nullptr || signature == nullptr || (message == nullptr && length != 0)) {
    return -1;
  }
  if (!gcryptReady()) return -1;
  const std::string_view body(reinterpret_cast<const char*>(message), length);
  return ed25519Verify(publicKey, signature, body) ? 0 : -1;
}

namespace {

bool isZero(const PublicKey& key) {
  for (std::uint8_t b : key) {
    if (b != 0) return false;
  }
  return true;
}

}  // namespace

int verifyUnderAnyKey(const std::vector<PublicKey>& publicKeys, const std::uint8_t* signature,
                      const std::uint8_t* message, std::size_t length) {
  for (std::size_t i = 0; i < publicKeys.size(); ++i) {
    if (!isZero(publicKeys[i]) &&
        verifyEd25519(publicKeys[i].data(), signature, message, length) == 0) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

bool anyKeyConfigured(const std::vector<PublicKey>& publicKeys) {
  for (const PublicKey& key : publicKeys) {
    if (!isZero(key)) return true;
  }
  return false;
}

std::vector<PublicKey> builtInPublicKeys() {
  std::vector<PublicKey> keys(quillmark::config::kPublicKeyCount);
  for (std::size_t i = 0; i < keys.size(); ++i) {
    std::copy(std::begin(quillmark::config::kPublicKeys[i]),
              std::end(quillmark::config::kPublicKeys[i]), keys[i].begin());
  }
  return keys;
}

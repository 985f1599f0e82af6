// Ed25519 check of the manifest signature (the arithmetic is in ed25519.cpp).
#include "formats/signature.h"

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

int verifyManifestSignature(const std::uint8_t* signature, const std::uint8_t* message,
                            std::size_t length) {
  // The all-zero key decodes to a point of order 4, under which signatures can be forged
  // without any private key; a build without a configured key accepts nothing.
  if (!publicKeyConfigured()) return -1;
  return verifyEd25519(quillmark::config::kPublicKey, signature, message, length);
}

bool publicKeyConfigured() {
  for (std::uint8_t b : quillmark::config::kPublicKey) {
    if (b != 0) return true;
  }
  return false;
}

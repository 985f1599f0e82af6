// Ed25519 (RFC 8032, pure) check of the manifest's detached signature.
#pragma once
#include <cstddef>
#include <cstdint>

// 0 when signature (64 bytes) is valid for message under publicKey (32 bytes), -1 otherwise.
// Rejects S >= L (malleated signatures) and keys or R that are not curve points.
int verifyEd25519(const std::uint8_t* publicKey, const std::uint8_t* signature,
                  const std::uint8_t* message, std::size_t length);

// The same check under the public key built into the launcher.
int verifyManifestSignature(const std::uint8_t* signature, const std::uint8_t* message,
                            std::size_t length);

// True when the built-in key is the all-zero placeholder of a build without a configured key.
bool publicKeyConfigured();

// Ed25519 (RFC 8032, pure) check of the manifest's detached signature.
//
// A signature is exactly 64 bytes, R then S. These functions read 64 bytes from `signature`
// and cannot see a length, so the caller must refuse a signature of any other length before
// calling: a truncated or padded manifest.sig is invalid, never shortened or cut to fit.
#pragma once
#include <cstddef>
#include <cstdint>

// 0 when signature (64 bytes) is valid for message under publicKey (32 bytes), -1 otherwise.
// Rejects S >= L (malleated signatures), keys that are not canonical curve points, keys with
// a coordinate below 2^192 (among them the neutral point and the points of order 2 and 4),
// and any R other than the canonical encoding of [S]B - [h]A.
int verifyEd25519(const std::uint8_t* publicKey, const std::uint8_t* signature,
                  const std::uint8_t* message, std::size_t length);

// The same check under the public key built into the launcher; -1 for every input when the
// build has no configured key.
int verifyManifestSignature(const std::uint8_t* signature, const std::uint8_t* message,
                            std::size_t length);

// False when the built-in key is the all-zero placeholder of a build without a configured key.
bool publicKeyConfigured();

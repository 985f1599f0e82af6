// Ed25519 (RFC 8032, pure) check of the manifest's detached signature.
//
// A signature is exactly 64 bytes, R then S. These functions read 64 bytes from `signature`
// and cannot see a length, so the caller must refuse a signature of any other length before
// calling: a truncated or padded manifest.sig is invalid, never shortened or cut to fit.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

// An Ed25519 public key: 32 bytes, the standard encoding of a curve point.
using PublicKey = std::array<std::uint8_t, 32>;

// 0 when signature (64 bytes) is valid for message under publicKey (32 bytes), -1 otherwise.
// Rejects S >= L (malleated signatures), keys that are not canonical curve points, keys with
// a coordinate below 2^192 (among them the neutral point and the points of order 2 and 4),
// and any R other than the canonical encoding of [S]B - [h]A.
int verifyEd25519(const std::uint8_t* publicKey, const std::uint8_t* signature,
                  const std::uint8_t* message, std::size_t length);

// The same check under each key in turn: the index of the first key the signature is valid
// under, or -1 when there is none. All-zero keys are skipped: that key is a point of small
// order, under which signatures can be forged without any private key.
int verifyUnderAnyKey(const std::vector<PublicKey>& publicKeys, const std::uint8_t* signature,
                      const std::uint8_t* message, std::size_t length);
// True when the list holds a key other than the all-zero placeholder.
bool anyKeyConfigured(const std::vector<PublicKey>& publicKeys);
// The keys built into the launcher (none in a build without a configured key).
std::vector<PublicKey> builtInPublicKeys();

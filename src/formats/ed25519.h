// Ed25519 (RFC 8032, pure) on libgcrypt's curve arithmetic, for messages of any length.
// libgcrypt's own gcry_pk_sign/gcry_pk_verify take the message inside an S-expression, whose
// data lengths are 16-bit: a message of 64 KiB or more is cut (and libgcrypt then aborts), and
// a manifest of a few hundred files is already larger. Here the message only ever passes
// through SHA-512, in pieces.
#pragma once
#include <cstdint>
#include <string_view>

// The public key of a 32-byte secret seed.
bool ed25519PublicKey(const std::uint8_t seed[32], std::uint8_t publicKey[32]);
// The 64-byte signature (R, then S) of message.
bool ed25519Sign(const std::uint8_t seed[32], const std::uint8_t publicKey[32],
                 std::string_view message, std::uint8_t signature[64]);
// True when signature is valid for message under publicKey: S below the group order, the key
// a canonical encoding of a curve point (keys with a coordinate below 2^192, which make
// libgcrypt abort, are refused), and [S]B - [k]A encoding to R exactly. Call gcryptReady() first.
bool ed25519Verify(const std::uint8_t publicKey[32], const std::uint8_t signature[64],
                   std::string_view message);

// Ed25519 keys of the publisher: making a key pair, the key files, signing and checking.
//   NAME.key  a comment line and the 32-byte secret seed as 64 hex digits (mode 0600)
//   NAME.pub  the 32-byte public key as 64 hex digits, as the launcher's build expects it
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::size_t kKeySize = 32;
inline constexpr std::size_t kSignatureSize = 64;

struct SecretKey {
  std::uint8_t seed[kKeySize] = {};
  std::uint8_t publicKey[kKeySize] = {};
  ~SecretKey();
};

// Exactly 64 hex digits (either case) after surrounding blanks and line ends are trimmed.
bool parseHexKey(std::string_view text, std::uint8_t out[kKeySize]);

// A new key pair from the system's strong random source.
bool generateKeyPair(SecretKey& out, std::string& error);
// The public key that belongs to a secret seed.
bool derivePublicKey(const std::uint8_t seed[kKeySize], std::uint8_t publicKey[kKeySize],
                     std::string& error);
// The Ed25519 signature (R then S, 64 bytes) of message, of any length.
bool signMessage(const SecretKey& key, std::string_view message,
                 std::uint8_t signature[kSignatureSize], std::string& error);
// True when signature is valid for message under publicKey (any length of message).
bool checkSignature(const std::uint8_t publicKey[kKeySize],
                    const std::uint8_t signature[kSignatureSize], std::string_view message);

// The text of a .key file, and its reading.
std::string secretKeyFileText(const SecretKey& key);
bool parseSecretKeyFile(std::string_view text, SecretKey& out, std::string& error);

// keygen: writes NAME.key (owner-only, never overwritten) and NAME.pub; publicHex receives the
// public key. Neither file is written when either exists already.
bool makeKeyFiles(const std::wstring& baseName, std::string& publicHex, std::string& error);
// A public key given as 64 hex digits, or the path of a file holding them (a .pub file).
bool loadPublicKey(const std::wstring& hexOrPath, std::uint8_t out[kKeySize], std::string& error);
// Up to four such keys separated by commas, as launchers are built with them (a value that is
// one key as it stands, such as a file whose name has a comma, is taken whole).
inline constexpr std::size_t kMaxPublicKeys = 4;
bool loadPublicKeys(const std::wstring& list, std::vector<std::array<std::uint8_t, kKeySize>>& out,
                    std::string& error);

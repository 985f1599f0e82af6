// Key pairs, key files and signatures. libgcrypt does the curve arithmetic; the seed is the
// RFC 8032 private key, from which the public key and every signature are derived.
#include "keys.h"

#include <gcrypt.h>

#include <cstring>
#include <mutex>

#include "publish_platform.h"
#include "update/files.h"
#include "update/paths.h"
#include "update/sha256.h"
#include "update/text.h"

namespace {

constexpr std::string_view kSecretHeader = "# quillmark-publish secret key (Ed25519)";

void wipe(void* bytes, std::size_t count) {
  volatile std::uint8_t* p = static_cast<volatile std::uint8_t*>(bytes);
  for (std::size_t i = 0; i < count; ++i) p[i] = 0;
}

bool ensureGcrypt(std::string& error) {
  static std::once_flag once;
  static bool ok = false;
  std::call_once(once, [] {
    ok = gcry_check_version(GCRYPT_VERSION) != nullptr;
    if (ok && !gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) {
      gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
      gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
    }
  });
  if (!ok) error = "libgcrypt is older than the version this program was built with";
  return ok;
}

std::string gcryptError(const char* what, gcry_error_t e) {
  return std::string(what) + ": " + gcry_strerror(e);
}

struct Sexp {
  gcry_sexp_t s = nullptr;
  ~Sexp() { gcry_sexp_release(s); }
};

// The 32 bytes of token name ("r", "s") inside a signature expression.
bool tokenBytes(gcry_sexp_t sig, const char* name, std::uint8_t out[32]) {
  Sexp token;
  token.s = gcry_sexp_find_token(sig, name, 0);
  if (token.s == nullptr) return false;
  std::size_t length = 0;
  const char* data = gcry_sexp_nth_data(token.s, 1, &length);
  if (data == nullptr || length != 32) return false;
  std::memcpy(out, data, 32);
  return true;
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
  Sexp key;
  gcry_error_t e = gcry_sexp_build(&key.s, nullptr,
                                   "(private-key(ecc(curve Ed25519)(flags eddsa)(d %b)))",
                                   static_cast<int>(kKeySize), seed);
  if (e) {
    error = gcryptError("cannot use the secret key", e);
    return false;
  }
  gcry_ctx_t ctx = nullptr;
  e = gcry_mpi_ec_new(&ctx, key.s, nullptr);
  if (e) {
    error = gcryptError("cannot use the secret key", e);
    return false;
  }
  gcry_mpi_t q = gcry_mpi_ec_get_mpi("q@eddsa", ctx, 1);
  bool ok = false;
  if (q != nullptr && gcry_mpi_get_flag(q, GCRYMPI_FLAG_OPAQUE)) {
    unsigned int bits = 0;
    const void* data = gcry_mpi_get_opaque(q, &bits);
    if (data != nullptr && bits == 8 * kKeySize) {
      std::memcpy(publicKey, data, kKeySize);
      ok = true;
    }
  }
  gcry_mpi_release(q);
  gcry_ctx_release(ctx);
  if (!ok) error = "cannot compute the public key";
  return ok;
}

bool generateKeyPair(SecretKey& out, std::string& error) {
  if (!ensureGcrypt(error)) return false;
  gcry_randomize(out.seed, kKeySize, GCRY_VERY_STRONG_RANDOM);
  return derivePublicKey(out.seed, out.publicKey, error);
}

bool signMessage(const SecretKey& key, std::string_view message,
                 std::uint8_t signature[kSignatureSize], std::string& error) {
  if (!ensureGcrypt(error)) return false;
  if (message.size() > 0x7fffffffu) {
    error = "message too large to sign";
    return false;
  }
  Sexp secret, data, sig;
  gcry_error_t e = gcry_sexp_build(
      &secret.s, nullptr, "(private-key(ecc(curve Ed25519)(flags eddsa)(q %b)(d %b)))",
      static_cast<int>(kKeySize), key.publicKey, static_cast<int>(kKeySize), key.seed);
  if (!e) {
    e = gcry_sexp_build(&data.s, nullptr, "(data(flags eddsa)(hash-algo sha512)(value %b))",
                        static_cast<int>(message.size()), message.data());
  }
  if (!e) e = gcry_pk_sign(&sig.s, data.s, secret.s);
  if (e) {
    error = gcryptError("cannot sign", e);
    return false;
  }
  if (!tokenBytes(sig.s, "r", signature) || !tokenBytes(sig.s, "s", signature + 32)) {
    error = "cannot sign: unexpected signature layout from libgcrypt";
    return false;
  }
  return true;
}

std::string secretKeyFileText(const SecretKey& key) {
  return std::string(kSecretHeader) +
         ". Keep it private: whoever holds it can publish releases.\n" +
         toHex(key.seed, kKeySize) + "\n";
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

bool loadSecretKey(const std::wstring& path, SecretKey& out, std::string& error) {
  std::string text;
  if (!readWholeFile(path, 4096, text)) {
    error = "cannot read the secret key " + wideToUtf8(path);
    return false;
  }
  std::string why;
  const bool ok = parseSecretKeyFile(text, out, why);
  wipe(text.data(), text.size());
  if (!ok) error = wideToUtf8(path) + ": " + why;
  return ok;
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

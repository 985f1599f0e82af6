// Ed25519 check of the manifest signature on top of libgcrypt.
//   isCanonicalScalar  the S < L rule that libgcrypt leaves out
//   isUsableKey        decoding of the public key before libgcrypt sees it
//   verifyEd25519      key, signature and message handed to gcry_pk_verify
//   verifyManifestSignature, publicKeyConfigured  the built-in key
#include "formats/signature.h"

#include <gcrypt.h>

#include "formats/gcrypt_init.h"
#include "quillmark_config.h"

namespace {

constexpr int kKeySize = 32;
constexpr int kSignatureSize = 64;

// The group order L = 2^252 + 27742317777372353535851937790883648493, little-endian.
constexpr std::uint8_t kGroupOrder[32] = {
    0xed, 0xd3, 0xf5, 0x5c, 0x1a, 0x63, 0x12, 0x58, 0xd6, 0x9c, 0xf7, 0xa2, 0xde, 0xf9, 0xde, 0x14,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10};

// libgcrypt reduces S modulo L before it uses it, so S + L would verify wherever S does; a
// signature must have exactly one encoding, so S has to be below L as read.
bool isCanonicalScalar(const std::uint8_t* s) {
  for (int i = 31; i >= 0; --i) {
    if (s[i] != kGroupOrder[i]) return s[i] < kGroupOrder[i];
  }
  return false;  // S == L
}

// Frees an S-expression when the scope ends, on every path.
struct Sexp {
  gcry_sexp_t value = nullptr;
  ~Sexp() { gcry_sexp_release(value); }
};

// An integer of libgcrypt's, released when the scope ends.
struct Mpi {
  gcry_mpi_t value = gcry_mpi_new(256);
  Mpi() = default;
  explicit Mpi(unsigned long small) { gcry_mpi_set_ui(value, small); }
  Mpi(const Mpi&) = delete;
  Mpi& operator=(const Mpi&) = delete;
  ~Mpi() { gcry_mpi_release(value); }
  operator gcry_mpi_t() const { return value; }
};

bool scanBigEndian(Mpi& out, const std::uint8_t* bytes, std::size_t count) {
  gcry_mpi_t scanned = nullptr;
  if (gcry_mpi_scan(&scanned, GCRYMPI_FMT_USG, bytes, count, nullptr) != 0) return false;
  gcry_mpi_release(out.value);
  out.value = scanned;
  return true;
}

// libgcrypt's Curve25519 field routines require operands of the full four 64-bit limbs and
// abort the whole process ("mulm_25519: different sizes") when a decoded key coordinate is
// shorter, that is below 2^192. Such keys are y in {0, 1, -1} (the neutral point and the
// points of order 2 and 4) and points built on purpose with a tiny x or y; no key made from a
// random secret lands there (odds about 2^-62), so they are refused here rather than passed
// on. The rest follows RFC 8032's decoding: y must be below p, x^2 = (y^2 - 1) / (d y^2 + 1)
// must have a root, and x = 0 cannot carry the sign bit.
bool isUsableKey(const std::uint8_t* key) {
  constexpr unsigned kShortestCoordinateBits = 192;
  std::uint8_t bigEndian[32];
  for (int i = 0; i < 32; ++i) bigEndian[i] = key[31 - i];
  const bool sign = (bigEndian[0] & 0x80) != 0;
  bigEndian[0] &= 0x7f;

  // p = 2^255 - 19, d = -121665 / 121666, sqrt(-1) = 2^((p - 1) / 4).
  Mpi p, y, one(1);
  gcry_mpi_set_ui(p, 1);
  gcry_mpi_mul_2exp(p, p, 255);
  gcry_mpi_sub_ui(p, p, 19);
  if (!scanBigEndian(y, bigEndian, sizeof bigEndian)) return false;
  if (gcry_mpi_cmp(y, p) >= 0) return false;

  Mpi d, t, y2, u, v;
  gcry_mpi_set_ui(t, 121666);
  if (!gcry_mpi_invm(t, t, p)) return false;
  gcry_mpi_mul_ui(d, t, 121665);
  gcry_mpi_subm(d, p, d, p);  // -121665 / 121666 mod p
  gcry_mpi_mulm(y2, y, y, p);
  gcry_mpi_subm(u, y2, one, p);  // y^2 - 1
  gcry_mpi_mulm(v, d, y2, p);
  gcry_mpi_addm(v, v, one, p);  // d y^2 + 1, never 0 since d is not a square
  if (!gcry_mpi_invm(t, v, p)) return false;
  Mpi x2, x, e, check;
  gcry_mpi_mulm(x2, u, t, p);
  // p = 5 (mod 8): x = x2^((p + 3) / 8), times sqrt(-1) when that squares to -x2.
  gcry_mpi_add_ui(e, p, 3);
  gcry_mpi_rshift(e, e, 3);
  gcry_mpi_powm(x, x2, e, p);
  gcry_mpi_mulm(check, x, x, p);
  if (gcry_mpi_cmp(check, x2) != 0) {
    Mpi two(2), i;
    gcry_mpi_sub_ui(e, p, 1);
    gcry_mpi_rshift(e, e, 2);
    gcry_mpi_powm(i, two, e, p);
    gcry_mpi_mulm(x, x, i, p);
    gcry_mpi_mulm(check, x, x, p);
    if (gcry_mpi_cmp(check, x2) != 0) return false;  // not on the curve
  }
  if (gcry_mpi_cmp_ui(x, 0) == 0 && sign) return false;
  // The sign bit chooses between x and p - x by parity.
  if ((gcry_mpi_test_bit(x, 0) != 0) != sign) gcry_mpi_sub(x, p, x);
  return gcry_mpi_get_nbits(x) > kShortestCoordinateBits &&
         gcry_mpi_get_nbits(y) > kShortestCoordinateBits;
}

}  // namespace

int verifyEd25519(const std::uint8_t* publicKey, const std::uint8_t* signature,
                  const std::uint8_t* message, std::size_t length) {
  if (publicKey == nullptr || signature == nullptr || (message == nullptr && length != 0)) {
    return -1;
  }
  if (!isCanonicalScalar(signature + 32)) return -1;
  // The S-expression builder takes an int length.
  if (length > 0x7fffffffu) return -1;
  if (!gcryptReady()) return -1;
  if (!isUsableKey(publicKey)) return -1;

  // An empty buffer still needs a valid pointer for %b.
  static const std::uint8_t kNothing = 0;
  const std::uint8_t* data = length == 0 ? &kNothing : message;

  Sexp key, sig, msg;
  if (gcry_sexp_build(&key.value, nullptr, "(public-key (ecc (curve Ed25519)(flags eddsa)(q %b)))",
                      kKeySize, publicKey) != 0) {
    return -1;
  }
  if (gcry_sexp_build(&sig.value, nullptr, "(sig-val (eddsa (r %b)(s %b)))", kSignatureSize / 2,
                      signature, kSignatureSize / 2, signature + 32) != 0) {
    return -1;
  }
  if (gcry_sexp_build(&msg.value, nullptr, "(data (flags eddsa)(hash-algo sha512)(value %b))",
                      static_cast<int>(length), data) != 0) {
    return -1;
  }
  // libgcrypt checks the equation without the cofactor: it encodes [S]B - [h]A and compares
  // it with R byte for byte. Whatever passes that also passes [8]([S]B - [h]A - R) = 0; the
  // two differ only for an R or key with a small-order component, which no signer makes.
  return gcry_pk_verify(sig.value, msg.value, key.value) == 0 ? 0 : -1;
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

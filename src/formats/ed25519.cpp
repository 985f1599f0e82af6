// Ed25519 signing and checking, RFC 8032 section 5.1:
//   h = SHA-512(seed); a = clamped low half of h; prefix = high half; A = [a]B
//   r = SHA-512(prefix || M) mod L; R = [r]B; k = SHA-512(R || A || M) mod L
//   S = (r + k a) mod L; signature = R || S, both little-endian.
// Scalars are libgcrypt MPIs (big-endian when scanned, so bytes are reversed on the way).
#include "formats/ed25519.h"

#include <gcrypt.h>

#include <algorithm>
#include <cstring>
#include <initializer_list>

namespace {

struct Mpi {
  gcry_mpi_t v = nullptr;
  Mpi() : v(gcry_mpi_new(0)) {}
  explicit Mpi(gcry_mpi_t owned) : v(owned) {}
  Mpi(const Mpi&) = delete;
  Mpi& operator=(const Mpi&) = delete;
  ~Mpi() { gcry_mpi_release(v); }
};

struct Point {
  gcry_mpi_point_t p = nullptr;
  Point() : p(gcry_mpi_point_new(0)) {}
  explicit Point(gcry_mpi_point_t owned) : p(owned) {}
  Point(const Point&) = delete;
  Point& operator=(const Point&) = delete;
  ~Point() { gcry_mpi_point_release(p); }
};

// The curve, with its base point B and group order L.
struct Curve {
  gcry_ctx_t ctx = nullptr;
  Curve() {
    if (gcry_mpi_ec_new(&ctx, nullptr, "Ed25519") != 0) ctx = nullptr;
  }
  Curve(const Curve&) = delete;
  Curve& operator=(const Curve&) = delete;
  ~Curve() { gcry_ctx_release(ctx); }
};

bool sha512(std::initializer_list<std::string_view> parts, std::uint8_t out[64]) {
  gcry_md_hd_t h = nullptr;
  if (gcry_md_open(&h, GCRY_MD_SHA512, 0) != 0) return false;
  for (const std::string_view part : parts) {
    // gcry_md_write takes any length; pieces keep each call modest.
    for (std::size_t done = 0; done < part.size();) {
      const std::size_t n = std::min<std::size_t>(part.size() - done, 1u << 24);
      gcry_md_write(h, part.data() + done, n);
      done += n;
    }
  }
  const unsigned char* digest = gcry_md_read(h, GCRY_MD_SHA512);
  if (digest != nullptr) std::memcpy(out, digest, 64);
  gcry_md_close(h);
  return digest != nullptr;
}

// A little-endian byte string as a number.
bool fromLittleEndian(const std::uint8_t* bytes, std::size_t count, Mpi& out) {
  std::uint8_t big[64];
  for (std::size_t i = 0; i < count; ++i) big[i] = bytes[count - 1 - i];
  gcry_mpi_t scanned = nullptr;
  if (gcry_mpi_scan(&scanned, GCRYMPI_FMT_USG, big, count, nullptr) != 0) return false;
  gcry_mpi_release(out.v);
  out.v = scanned;
  return true;
}

// A number below 2^256 as 32 little-endian bytes.
bool toLittleEndian32(gcry_mpi_t value, std::uint8_t out[32]) {
  std::uint8_t big[32];
  std::size_t written = 0;
  if (gcry_mpi_get_nbits(value) > 256) return false;
  if (gcry_mpi_cmp_ui(value, 0) == 0) {
    std::memset(out, 0, 32);
    return true;
  }
  if (gcry_mpi_print(GCRYMPI_FMT_USG, big, sizeof big, &written, value) != 0) return false;
  std::memset(out, 0, 32);
  for (std::size_t i = 0; i < written; ++i) out[i] = big[written - 1 - i];
  return true;
}

// RFC 8032 point encoding: y little-endian, the low bit of x in the top bit.
bool encodePoint(gcry_mpi_point_t point, gcry_ctx_t ctx, std::uint8_t out[32]) {
  Mpi x, y;
  if (gcry_mpi_ec_get_affine(x.v, y.v, point, ctx) != 0) return false;
  if (!toLittleEndian32(y.v, out)) return false;
  if (gcry_mpi_test_bit(x.v, 0)) out[31] |= 0x80;
  return true;
}

// The clamped secret scalar a and the prefix of a seed.
bool expandSeed(const std::uint8_t seed[32], Mpi& a, std::uint8_t prefix[32]) {
  std::uint8_t h[64];
  if (!sha512({std::string_view(reinterpret_cast<const char*>(seed), 32)}, h)) return false;
  h[0] &= 248;
  h[31] &= 127;
  h[31] |= 64;
  std::memcpy(prefix, h + 32, 32);
  const bool ok = fromLittleEndian(h, 32, a);
  std::memset(h, 0, sizeof h);
  return ok;
}

std::string_view bytes(const std::uint8_t* p, std::size_t n) {
  return std::string_view(reinterpret_cast<const char*>(p), n);
}

// SHA-512 of the parts, little-endian, reduced modulo L.
bool hashScalar(std::initializer_list<std::string_view> parts, gcry_mpi_t order, Mpi& out) {
  std::uint8_t h[64];
  if (!sha512(parts, h) || !fromLittleEndian(h, 64, out)) return false;
  gcry_mpi_mod(out.v, out.v, order);
  return true;
}

// An integer for the key decoding below, usable directly where libgcrypt wants a gcry_mpi_t.
struct Num {
  gcry_mpi_t value = gcry_mpi_new(256);
  Num() = default;
  explicit Num(unsigned long small) { gcry_mpi_set_ui(value, small); }
  Num(const Num&) = delete;
  Num& operator=(const Num&) = delete;
  ~Num() { gcry_mpi_release(value); }
  operator gcry_mpi_t() const { return value; }
};

bool scanBigEndian(Num& out, const std::uint8_t* bytes, std::size_t count) {
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
  Num p, y, one(1);
  gcry_mpi_set_ui(p, 1);
  gcry_mpi_mul_2exp(p, p, 255);
  gcry_mpi_sub_ui(p, p, 19);
  if (!scanBigEndian(y, bigEndian, sizeof bigEndian)) return false;
  if (gcry_mpi_cmp(y, p) >= 0) return false;

  Num d, t, y2, u, v;
  gcry_mpi_set_ui(t, 121666);
  if (!gcry_mpi_invm(t, t, p)) return false;
  gcry_mpi_mul_ui(d, t, 121665);
  gcry_mpi_subm(d, p, d, p);  // -121665 / 121666 mod p
  gcry_mpi_mulm(y2, y, y, p);
  gcry_mpi_subm(u, y2, one, p);  // y^2 - 1
  gcry_mpi_mulm(v, d, y2, p);
  gcry_mpi_addm(v, v, one, p);  // d y^2 + 1, never 0 since d is not a square
  if (!gcry_mpi_invm(t, v, p)) return false;
  Num x2, x, e, check;
  gcry_mpi_mulm(x2, u, t, p);
  // p = 5 (mod 8): x = x2^((p + 3) / 8), times sqrt(-1) when that squares to -x2.
  gcry_mpi_add_ui(e, p, 3);
  gcry_mpi_rshift(e, e, 3);
  gcry_mpi_powm(x, x2, e, p);
  gcry_mpi_mulm(check, x, x, p);
  if (gcry_mpi_cmp(check, x2) != 0) {
    Num two(2), i;
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

bool ed25519PublicKey(const std::uint8_t seed[32], std::uint8_t publicKey[32]) {
  Curve curve;
  if (curve.ctx == nullptr) return false;
  Mpi a;
  std::uint8_t prefix[32];
  if (!expandSeed(seed, a, prefix)) return false;
  Point base(gcry_mpi_ec_get_point("g", curve.ctx, 1));
  Point A;
  gcry_mpi_ec_mul(A.p, a.v, base.p, curve.ctx);
  std::memset(prefix, 0, sizeof prefix);
  return base.p != nullptr && encodePoint(A.p, curve.ctx, publicKey);
}

bool ed25519Sign(const std::uint8_t seed[32], const std::uint8_t publicKey[32],
                 std::string_view message, std::uint8_t signature[64]) {
  Curve curve;
  if (curve.ctx == nullptr) return false;
  Mpi order(gcry_mpi_ec_get_mpi("n", curve.ctx, 1));
  Point base(gcry_mpi_ec_get_point("g", curve.ctx, 1));
  if (order.v == nullptr || base.p == nullptr) return false;
  Mpi a, r, k, s;
  std::uint8_t prefix[32];
  if (!expandSeed(seed, a, prefix)) return false;
  const bool hashed = hashScalar({bytes(prefix, 32), message}, order.v, r);
  std::memset(prefix, 0, sizeof prefix);
  if (!hashed) return false;
  Point R;
  gcry_mpi_ec_mul(R.p, r.v, base.p, curve.ctx);
  if (!encodePoint(R.p, curve.ctx, signature)) return false;
  if (!hashScalar({bytes(signature, 32), bytes(publicKey, 32), message}, order.v, k)) return false;
  gcry_mpi_mulm(s.v, k.v, a.v, order.v);
  gcry_mpi_addm(s.v, s.v, r.v, order.v);
  return toLittleEndian32(s.v, signature + 32);
}

// The equation is checked without the cofactor: [S]B - [k]A must encode to R byte for byte.
// Whatever passes that also passes [8]([S]B - [k]A - R) = 0; the two differ only for an R or
// key with a small-order component, which no signer makes.
bool ed25519Verify(const std::uint8_t publicKey[32], const std::uint8_t signature[64],
                   std::string_view message) {
  Curve curve;
  if (curve.ctx == nullptr) return false;
  Mpi order(gcry_mpi_ec_get_mpi("n", curve.ctx, 1));
  Point base(gcry_mpi_ec_get_point("g", curve.ctx, 1));
  if (order.v == nullptr || base.p == nullptr) return false;
  Mpi s;
  if (!fromLittleEndian(signature + 32, 32, s) || gcry_mpi_cmp(s.v, order.v) >= 0) return false;
  if (!isUsableKey(publicKey)) return false;
  Mpi encoded(gcry_mpi_set_opaque_copy(nullptr, publicKey, 256));
  Point A;
  if (encoded.v == nullptr || gcry_mpi_ec_decode_point(A.p, encoded.v, curve.ctx) != 0)
    return false;
  Mpi k;
  if (!hashScalar({bytes(signature, 32), bytes(publicKey, 32), message}, order.v, k)) return false;
  Point sB, kA, check;
  gcry_mpi_ec_mul(sB.p, s.v, base.p, curve.ctx);
  gcry_mpi_ec_mul(kA.p, k.v, A.p, curve.ctx);
  gcry_mpi_ec_sub(check.p, sB.p, kA.p, curve.ctx);
  std::uint8_t encodedCheck[32];
  return encodePoint(check.p, curve.ctx, encodedCheck) &&
         std::memcmp(encodedCheck, signature, 32) == 0;
}

#include "formats/gcrypt_init.h"

#include <gcrypt.h>

namespace {

bool initialise() {
  if (gcry_control(GCRYCTL_INITIALIZATION_FINISHED_P)) {
    // Someone else in the process has already set the library up.
    return gcry_check_version(nullptr) != nullptr;
  }
  if (gcry_check_version(GCRYPT_VERSION) == nullptr) return false;
  // Only public data passes through here (a public key, signatures, file contents), so the
  // locked secure-memory pool buys nothing and would need privileges on some systems.
  gcry_control(GCRYCTL_DISABLE_SECMEM, 0);
  gcry_control(GCRYCTL_INITIALIZATION_FINISHED, 0);
  return true;
}

// libgcrypt makes a few constants of Ed25519 point decoding on first use and without a lock:
// racing first checks each make them and all but one leak. Decoding the base point here, where
// exactly one thread runs, makes them before any worker can race.
void makeDecodingConstants() {
  gcry_ctx_t curve = nullptr;
  if (gcry_mpi_ec_new(&curve, nullptr, "Ed25519") != 0) return;
  unsigned char basePoint[32];
  basePoint[0] = 0x58;
  for (int i = 1; i < 32; ++i) basePoint[i] = 0x66;
  gcry_mpi_t encoded = gcry_mpi_set_opaque_copy(nullptr, basePoint, 256);
  gcry_mpi_point_t point = gcry_mpi_point_new(0);
  if (encoded != nullptr && point != nullptr) gcry_mpi_ec_decode_point(point, encoded, curve);
  gcry_mpi_point_release(point);
  gcry_mpi_release(encoded);
  gcry_ctx_release(curve);
}

}  // namespace

bool gcryptReady() {
  // A function-local static is initialised exactly once even when the first calls race, and
  // libgcrypt requires gcry_check_version to come before any other call.
  static const bool ready = [] {
    if (!initialise()) return false;
    makeDecodingConstants();
    return true;
  }();
  return ready;
}

#include "formats/gcrypt_init.h"

#include <gcrypt.h>

bool gcryptReady() {
  // A function-local static is initialised exactly once even when the first calls race, and
  // libgcrypt requires gcry_check_version to come before any other call.
  static const bool ready = [] {
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
  }();
  return ready;
}

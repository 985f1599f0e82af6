// SHA-256 through the Windows Cryptography API: Next Generation. Files are read in sha256.cpp.
//   provider      the one SHA256 algorithm handle, opened under InitOnce and never closed
//   Sha256Hasher  one BCryptCreateHash object per hasher
#include <windows.h>
// clang-format off
#include <bcrypt.h>
// clang-format on

#include "base/sha256.h"

namespace {

constexpr ULONG kDigestSize = 32;
// BCryptHashData takes a ULONG count; larger updates go in pieces of this size.
constexpr std::size_t kMaxPiece = std::size_t{1} << 30;

INIT_ONCE providerOnce = INIT_ONCE_STATIC_INIT;
BCRYPT_ALG_HANDLE sharedProvider = nullptr;

// Opened once on first use, by whichever thread gets there first; a failure leaves it null
// for the rest of the process. InitOnce orders the write before every later read.
BCRYPT_ALG_HANDLE provider() {
  BOOL pending = FALSE;
  if (!InitOnceBeginInitialize(&providerOnce, 0, &pending, nullptr)) return nullptr;
  if (pending) {
    BCRYPT_ALG_HANDLE opened = nullptr;
    if (!BCRYPT_SUCCESS(
            BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA256_ALGORITHM, nullptr, 0))) {
      opened = nullptr;
    }
    sharedProvider = opened;
    InitOnceComplete(&providerOnce, 0, nullptr);
  }
  return sharedProvider;
}

}  // namespace

Sha256Hasher::Sha256Hasher() {
  BCRYPT_ALG_HANDLE algorithm = provider();
  if (algorithm == nullptr) return;
  BCRYPT_HASH_HANDLE hash = nullptr;
  if (BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0))) {
    handle_ = hash;
  }
}

Sha256Hasher::~Sha256Hasher() {
  if (handle_ != nullptr) BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(handle_));
}

void Sha256Hasher::update(const void* bytes, std::size_t count) {
  const auto* at = static_cast<const std::uint8_t*>(bytes);
  while (handle_ != nullptr && count > 0) {
    const std::size_t piece = count < kMaxPiece ? count : kMaxPiece;
    if (!BCRYPT_SUCCESS(BCryptHashData(static_cast<BCRYPT_HASH_HANDLE>(handle_),
                                       const_cast<PUCHAR>(at), static_cast<ULONG>(piece), 0))) {
      // Data that did not go in would make any digest a wrong one: the hasher gives "" now.
      BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(handle_));
      handle_ = nullptr;
      return;
    }
    at += piece;
    count -= piece;
  }
}

std::string Sha256Hasher::finishHex() {
  if (handle_ == nullptr) return {};
  UCHAR digest[kDigestSize];
  if (!BCRYPT_SUCCESS(
          BCryptFinishHash(static_cast<BCRYPT_HASH_HANDLE>(handle_), digest, kDigestSize, 0))) {
    return {};
  }
  BCryptDestroyHash(static_cast<BCRYPT_HASH_HANDLE>(handle_));
  handle_ = nullptr;
  return toHex(digest, kDigestSize);
}

// SHA-256 of buffers and files, as 64 lower-case hex digits; "" means no hash could be made.
// bcrypt on Windows (sha256_win.cpp), libgcrypt on Linux (sha256_posix.cpp).
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

class Sha256Hasher {
 public:
  Sha256Hasher();
  ~Sha256Hasher();
  Sha256Hasher(const Sha256Hasher&) = delete;
  Sha256Hasher& operator=(const Sha256Hasher&) = delete;

  bool valid() const { return handle_ != nullptr; }
  void update(const void* bytes, std::size_t count);
  // The digest as hex; the hasher is spent afterwards (a second call gives "").
  std::string finishHex();

 private:
  void* handle_ = nullptr;
};

// Called after each chunk read with the chunk's size; returning false stops the hashing.
using HashProgressCallback = bool (*)(void* context, std::uint64_t bytesRead);

// SHA-256 of a regular file's contents read in 1 MiB chunks, or "" on any failure or stop, and
// for a link, which is never followed.
std::string HashFile(const std::wstring& path, HashProgressCallback callback = nullptr,
                     void* context = nullptr);

// Lower-case hex of raw bytes.
std::string toHex(const std::uint8_t* bytes, std::size_t count);

// The content store of a release: every file's content once, as one zlib stream at
// files/<first two hash digits>/<hash>.z. Files are read, hashed, compressed and inflated in
// fixed-size chunks, so a file of any size needs the same small memory.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

// Shared by the workers of one operation: bytes handled so far (for the progress line) and
// the request to stop early once another worker has failed. Either may be null.
struct WorkCounters {
  std::atomic<std::uint64_t>* bytes = nullptr;
  const std::atomic<bool>* stop = nullptr;
};

// "files/ab/<hash>.z", as the launcher asks for it.
std::string objectName(const std::string& hash);
// The object's file below releaseDir (which ends in a separator).
std::wstring objectPath(const std::wstring& releaseDir, const std::string& hash);

// SHA-256 and length of a file's content.
bool hashFileAndSize(const std::wstring& path, std::string& hash, std::uint64_t& size,
                     std::string& error, const WorkCounters& counters = {});

enum class ObjectState { Good, Missing, Damaged };

// Inflates the object at path as the launcher does: Good when it is one complete zlib stream,
// with nothing after it, whose content has exactly size bytes and the given hash.
// compressedSize receives the object's length; problem says what is wrong otherwise. content,
// when given, receives the inflated bytes (never more than size).
ObjectState checkObject(const std::wstring& path, const std::string& hash, std::uint64_t size,
                        std::uint64_t& compressedSize, std::string& problem,
                        const WorkCounters& counters = {}, std::string* content = nullptr);

// Compresses source (zlib, best compression) into target through target + ".ap_tmp", and
// moves it into place only when what was read still has the expected size and hash (a file
// that changed since it was hashed is refused, never stored under the wrong name).
bool compressToObject(const std::wstring& source, const std::wstring& target,
                      const std::string& hash, std::uint64_t size, std::uint64_t& compressedSize,
                      std::string& error, const WorkCounters& counters = {});

// Compresses bytes held in memory (a chunk) into target through target + ".ap_tmp".
bool compressBytesToObject(const std::uint8_t* bytes, std::size_t size, const std::wstring& target,
                           std::uint64_t& compressedSize, std::string& error);

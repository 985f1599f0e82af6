// Helpers shared by the tests: a temporary folder removed at the end, file writing and
// reading, and the location of the test data (public test vectors).
#pragma once
#include <cstdint>
#include <string>

// The test data folder (tests/data of the source tree), with a trailing "/".
std::string testDataDir();
// Reads a file given as a UTF-8 path in the platform's form; aborts the test on failure.
std::string readTestFile(const std::string& utf8Path);

// A fresh folder under the system's temporary folder, removed with everything in it by the
// destructor.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The folder, with a trailing separator ("\" on Windows, "/" elsewhere).
  const std::wstring& path() const { return path_; }
  // path() + relative, with "/" in relative turned into the platform's separator.
  std::wstring file(const std::string& relative) const;
  // Writes bytes to relative (creating folders); returns the full path.
  std::wstring write(const std::string& relative, const std::string& bytes) const;
  // Reads relative; "" with *exists = false when missing.
  std::string read(const std::string& relative, bool* exists = nullptr) const;
  bool exists(const std::string& relative) const;

 private:
  std::wstring path_;
};

// Bytes that do not compress: a ".z" about as large as the content.
inline std::string noiseBytes(std::size_t count, std::uint64_t seed = 1) {
  std::string out(count, '\0');
  std::uint64_t x = seed * 0x9E3779B97F4A7C15ull + 1;
  for (char& c : out) {
    x ^= x << 13;
    x ^= x >> 7;
    x ^= x << 17;
    c = static_cast<char>(x >> 24);
  }
  return out;
}

// Hashes one file with HashFile and prints the digest and the seconds it took, so that the
// bench script can set it against other tools.
#include <chrono>
#include <cstdio>
#include <string>

#include "base/sha256.h"
#include "base/text.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: hash_bench FILE\n");
    return 2;
  }
  const std::wstring path = utf8ToWide(argv[1]);
  const auto start = std::chrono::steady_clock::now();
  const std::string digest = HashFile(path);
  const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
  if (digest.empty()) {
    std::fprintf(stderr, "hash_bench: cannot hash %s\n", argv[1]);
    return 1;
  }
  std::printf("%s %.6f\n", digest.c_str(), took.count());
  return 0;
}

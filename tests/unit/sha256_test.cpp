// SHA-256 of buffers and files: known digests, chunk boundaries, failures, stops and
// concurrent first use.
#include "base/sha256.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/files.h"
#include "test_support.h"

namespace {

const char kEmptyDigest[] = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

std::string hashOf(const std::string& data) {
  Sha256Hasher hasher;
  hasher.update(data.data(), data.size());
  return hasher.finishHex();
}

// 3 MiB + 17 bytes that differ from chunk to chunk, so a lost, repeated or reordered chunk
// changes the digest.
std::string patternedData() {
  std::string data(3 * 1048576 + 17, '\0');
  for (std::size_t i = 0; i < data.size(); ++i)
    data[i] = static_cast<char>((i * 7 + (i >> 13)) & 0xff);
  return data;
}
const char kPatternedDigest[] = "2066565838242e7d45aa65abff90203af8b172e2ce8344d6677efdf97befe7d8";

struct Progress {
  std::vector<std::uint64_t> chunks;
  std::size_t stopAfter = 0;  // 0: never stop
};

bool recordProgress(void* context, std::uint64_t bytes) {
  auto* progress = static_cast<Progress*>(context);
  progress->chunks.push_back(bytes);
  return progress->stopAfter == 0 || progress->chunks.size() < progress->stopAfter;
}

}  // namespace

TEST(Sha256, KnownDigestsInLowerCase) {
  EXPECT_EQ(hashOf(""), kEmptyDigest);
  EXPECT_EQ(hashOf("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  EXPECT_EQ(hashOf("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
            "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");

  // A million "a" fed in pieces that straddle the 64-byte blocks in every way.
  const std::string million(1000000, 'a');
  Sha256Hasher hasher;
  std::size_t at = 0, piece = 0;
  while (at < million.size()) {
    const std::size_t n = std::min<std::size_t>(++piece % 130, million.size() - at);
    hasher.update(million.data() + at, n);
    at += n;
  }
  EXPECT_EQ(hasher.finishHex(), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");

  const std::uint8_t bytes[] = {0x00, 0x0f, 0xa0, 0xff, 0x5c};
  EXPECT_EQ(toHex(bytes, sizeof bytes), "000fa0ff5c");
  EXPECT_EQ(toHex(bytes, 0), "");
}

TEST(Sha256, FinishedHasherIsSpent) {
  Sha256Hasher hasher;
  ASSERT_TRUE(hasher.valid());
  hasher.update("abc", 3);
  EXPECT_EQ(hasher.finishHex().size(), 64u);
  EXPECT_FALSE(hasher.valid());
  hasher.update("abc", 3);
  EXPECT_EQ(hasher.finishHex(), "");
}

TEST(Sha256, UpdateLargerThanOnePieceIsFedWhole) {
  // 2^30 + 3 zero bytes: more than one call of the system hash can take. calloc leaves the
  // pages untouched until read, so this costs time, not memory.
  const std::size_t size = (std::size_t{1} << 30) + 3;
  void* zeros = std::calloc(size, 1);
  ASSERT_NE(zeros, nullptr);
  Sha256Hasher hasher;
  hasher.update(zeros, size);
  std::free(zeros);
  EXPECT_EQ(hasher.finishHex(), "83dff20436d38fa73c7185f7e603a5c7a53104275abbf733f56f1b160500ade7");
}

TEST(Sha256, FilesAcrossChunkBoundaries) {
  TempDir dir;
  EXPECT_EQ(HashFile(dir.write("empty.bin", "")), kEmptyDigest);
  EXPECT_EQ(HashFile(dir.write("abc.txt", "abc")),
            "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
  // Exactly one buffer: the read after it returns 0 and ends the loop.
  Progress exact;
  EXPECT_EQ(HashFile(dir.write("one.bin", std::string(1048576, '\xff')), recordProgress, &exact),
            "f5fb04aa5b882706b9309e885f19477261336ef76a150c3b4d3489dfac3953ec");
  EXPECT_EQ(exact.chunks, std::vector<std::uint64_t>({1048576}));

  Progress progress;
  const std::wstring big = dir.write("big.bin", patternedData());
  EXPECT_EQ(HashFile(big, recordProgress, &progress), kPatternedDigest);
  EXPECT_EQ(progress.chunks, std::vector<std::uint64_t>({1048576, 1048576, 1048576, 17}));
  EXPECT_EQ(HashFile(big), kPatternedDigest);
}

TEST(Sha256, PathsWithBackslashesAndNonAsciiNames) {
  TempDir dir;
  dir.write("sub/caf\xC3\xA9 \xE2\x82\xAC.txt", "abc");
  // The engine joins paths with "\" on every platform.
  const std::wstring path = dir.path() + L"sub\\caf\u00e9 \u20ac.txt";
  EXPECT_EQ(HashFile(path), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Sha256, PathsLongerThanTheClassicLimit) {
  // The engine writes files at any depth the manifest names; they must hash there too.
  TempDir dir;
  std::string relative;
  while (relative.size() < 300) relative += "a-rather-long-folder-name/";
  relative += "file.bin";
  const std::wstring path = dir.write(relative, "abc");
  ASSERT_GT(path.size(), 300u);
  EXPECT_EQ(HashFile(path), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Sha256, UnreadableFilesGiveNoHash) {
  TempDir dir;
  EXPECT_EQ(HashFile(dir.file("missing.bin")), "");
  EXPECT_EQ(HashFile(dir.file("no/such/folder/file.bin")), "");
  EXPECT_EQ(HashFile(L""), "");
  dir.write("folder/inside.txt", "x");
  EXPECT_EQ(HashFile(dir.file("folder")), "");
}

TEST(Sha256, FileHeldOpenForWriting) {
  TempDir dir;
  const std::wstring path = dir.write("locked.bin", "abc");
  FileHandle writer;
  ASSERT_TRUE(writer.createNew(path));  // truncated, held without sharing
#ifdef _WIN32
  EXPECT_EQ(HashFile(path), "");
#else
  EXPECT_EQ(HashFile(path), kEmptyDigest);  // no share modes here: the current contents
#endif
  writer.close();
  EXPECT_EQ(HashFile(path), kEmptyDigest);
}

TEST(Sha256, CallbackStopsTheHashing) {
  TempDir dir;
  const std::wstring big = dir.write("big.bin", patternedData());
  Progress first;
  first.stopAfter = 1;
  EXPECT_EQ(HashFile(big, recordProgress, &first), "");
  EXPECT_EQ(first.chunks, std::vector<std::uint64_t>({1048576}));
  // A stop on the last chunk still withholds the digest, though every byte was read.
  Progress last;
  last.stopAfter = 4;
  EXPECT_EQ(HashFile(big, recordProgress, &last), "");
  EXPECT_EQ(last.chunks.size(), 4u);
  // A small file is one chunk; stopping there gives nothing either.
  Progress small;
  small.stopAfter = 1;
  EXPECT_EQ(HashFile(dir.write("small.txt", "abc"), recordProgress, &small), "");
  EXPECT_EQ(small.chunks, std::vector<std::uint64_t>({3}));
}

TEST(Sha256, ConcurrentFirstUse) {
  // Four workers start at once, as the update run's do; the shared provider is set up by
  // whichever comes first and every digest must be right.
  TempDir dir;
  const std::wstring big = dir.write("big.bin", patternedData());
  std::vector<std::string> fileDigests(4), bufferDigests(4);
  std::vector<std::thread> workers;
  for (int i = 0; i < 4; ++i) {
    workers.emplace_back([&, i] {
      bufferDigests[i] = hashOf("abc");
      fileDigests[i] = HashFile(big);
    });
  }
  for (std::thread& t : workers) t.join();
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(bufferDigests[i], "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(fileDigests[i], kPatternedDigest);
  }
}

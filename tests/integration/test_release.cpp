#include "test_release.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <filesystem>

#include "base/sha256.h"
#include "keys.h"

namespace {

TestKey keyFromSeed(const char* seedHex) {
  TestKey key{};
  EXPECT_TRUE(parseHexKey(seedHex, key.seed.data()));
  std::string error;
  EXPECT_TRUE(derivePublicKey(key.seed.data(), key.publicKey.data(), error)) << error;
  return key;
}

SecretKey secretOf(const TestKey& key) {
  SecretKey secret;
  std::copy(key.seed.begin(), key.seed.end(), secret.seed);
  std::copy(key.publicKey.begin(), key.publicKey.end(), secret.publicKey);
  return secret;
}

}  // namespace

const TestKey& testKey() {
  static const TestKey key =
      keyFromSeed("9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60");
  return key;
}

const TestKey& otherTestKey() {
  static const TestKey key =
      keyFromSeed("4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb");
  return key;
}

std::string signEd25519(const TestKey& key, std::string_view message) {
  std::uint8_t signature[kSignatureSize] = {};
  std::string error;
  EXPECT_TRUE(signMessage(secretOf(key), message, signature, error)) << error;
  return std::string(reinterpret_cast<const char*>(signature), kSignatureSize);
}

bool publishFolder(const TempDir& source, const TempDir& releaseDir, std::int64_t version,
                   BuildOptions options) {
  static TempDir keys;
  static const std::wstring keyFile =
      keys.write("test.key", secretKeyFileText(secretOf(testKey())));
  options.gameDir = source.path();
  options.releaseDir = releaseDir.path();
  options.keyFile = keyFile;
  options.version = version;
  BuildReport report;
  std::string error;
  const bool ok = buildRelease(options, report, error);
  EXPECT_TRUE(ok) << error;
  return ok;
}

std::map<std::string, std::string> folderFiles(const TempDir& dir) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> out;
  const fs::path root(dir.path());
  for (const auto& item : fs::recursive_directory_iterator(root)) {
    if (!item.is_regular_file()) continue;
    const std::string relative = item.path().lexically_relative(root).generic_string();
    if (relative == "patcher.ini" || relative == "patcher_cache.dat" ||
        relative == "patcher.lock" || relative == "patcher_manifest.dat") {
      continue;
    }
    out[relative] = dir.read(relative);
  }
  return out;
}

std::string zlibStream(std::string_view content) {
  uLongf length = compressBound(static_cast<uLong>(content.size()));
  std::string out(length, '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &length,
                      reinterpret_cast<const Bytef*>(content.data()),
                      static_cast<uLong>(content.size()), 6),
            Z_OK);
  out.resize(length);
  return out;
}

std::string sha256Hex(std::string_view content) {
  Sha256Hasher hasher;
  hasher.update(content.data(), content.size());
  return hasher.finishHex();
}

std::string compressedPath(const std::string& content) {
  const std::string hash = sha256Hex(content);
  return "files/" + hash.substr(0, 2) + "/" + hash + ".z";
}

std::vector<ChunkRef> releaseChunks(const TempDir& releaseDir, const FileEntry& entry) {
  std::vector<ChunkRef> chunks;
  if (!entry.chunkList) return chunks;
  const std::string hash = entry.chunkList->hash.hex();
  const std::string object = releaseDir.read("files/" + hash.substr(0, 2) + "/" + hash + ".z");
  std::string text(entry.chunkList->size, '\0');
  uLongf length = static_cast<uLongf>(text.size());
  if (uncompress(reinterpret_cast<Bytef*>(text.data()), &length,
                 reinterpret_cast<const Bytef*>(object.data()),
                 static_cast<uLong>(object.size())) == Z_OK) {
    text.resize(length);
    parseChunkList(text, entry.size, chunks);
  }
  return chunks;
}

std::string fileEntryJson(const ReleaseFile& file) {
  return "{\"p\":\"" + file.path + "\",\"h\":\"" + sha256Hex(file.content) +
         "\",\"s\":" + std::to_string(file.content.size()) +
         ",\"c\":" + std::to_string(zlibStream(file.content).size()) +
         (file.keep ? ",\"k\":1}" : "}");
}

std::string manifestText(const Release& release) {
  std::string text =
      "{\"format\":1,\"version\":" + std::to_string(release.version) + ",\"files\":[";
  for (std::size_t i = 0; i < release.files.size(); ++i) {
    text += (i == 0 ? "\n" : ",\n") + fileEntryJson(release.files[i]);
  }
  text += "]";
  if (release.hasLauncher) text += ",\"launcher\":" + fileEntryJson(release.launcher);
  if (!release.deletes.empty()) {
    text += ",\"delete\":[";
    for (std::size_t i = 0; i < release.deletes.size(); ++i) {
      text += (i == 0 ? "\"" : ",\"") + release.deletes[i] + "\"";
    }
    text += "]";
  }
  if (!release.extraMembers.empty()) text += "," + release.extraMembers;
  return text + "}\n";
}

std::string publishRelease(const TempDir& dir, const Release& release, const TestKey& key) {
  for (const ReleaseFile& file : release.files) {
    dir.write(compressedPath(file.content), zlibStream(file.content));
  }
  if (release.hasLauncher) {
    dir.write(compressedPath(release.launcher.content), zlibStream(release.launcher.content));
  }
  const std::string text = manifestText(release);
  writeSignedManifest(dir, text, key);
  return text;
}

void writeSignedManifest(const TempDir& dir, const std::string& text, const TestKey& key) {
  dir.write("manifest.json", text);
  dir.write("manifest.sig", signEd25519(key, text));
}

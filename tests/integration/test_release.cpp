#include "test_release.h"

#include <algorithm>

#include <gcrypt.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include "formats/gcrypt_init.h"
#include "update/sha256.h"

namespace {

TestKey keyFromHex(const char* seedHex, const char* publicHex) {
  TestKey key{};
  for (int i = 0; i < 32; ++i) {
    key.seed[i] = static_cast<std::uint8_t>(std::stoi(std::string(seedHex + 2 * i, 2), nullptr, 16));
    key.publicKey[i] =
        static_cast<std::uint8_t>(std::stoi(std::string(publicHex + 2 * i, 2), nullptr, 16));
  }
  return key;
}

// The 32 bytes of a signature half ("r" or "s"), left-padded if libgcrypt dropped leading zeros.
std::string signatureHalf(gcry_sexp_t sig, const char* name) {
  gcry_sexp_t token = gcry_sexp_find_token(sig, name, 0);
  std::size_t length = 0;
  const char* data = token != nullptr ? gcry_sexp_nth_data(token, 1, &length) : nullptr;
  std::string out = data != nullptr && length <= 32 ? std::string(data, length) : std::string();
  gcry_sexp_release(token);
  return std::string(32 - std::min<std::size_t>(out.size(), 32), '\0') + out;
}

}  // namespace

const TestKey& testKey() {
  static const TestKey key =
      keyFromHex("9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60",
                 "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a");
  return key;
}

const TestKey& otherTestKey() {
  static const TestKey key =
      keyFromHex("4ccd089b28ff96da9db6c346ec114e0f5b8a319f35aba624da8cf6ed4fb8a6fb",
                 "3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c");
  return key;
}

std::string signEd25519(const TestKey& key, std::string_view message) {
  EXPECT_TRUE(gcryptReady());
  gcry_sexp_t secret = nullptr, data = nullptr, sig = nullptr;
  gcry_error_t e = gcry_sexp_build(&secret, nullptr,
                                   "(private-key(ecc(curve Ed25519)(flags eddsa)(q %b)(d %b)))",
                                   32, key.publicKey.data(), 32, key.seed.data());
  if (!e) {
    e = gcry_sexp_build(&data, nullptr, "(data(flags eddsa)(hash-algo sha512)(value %b))",
                        static_cast<int>(message.size()), message.data());
  }
  if (!e) e = gcry_pk_sign(&sig, data, secret);
  EXPECT_EQ(e, 0u) << gcry_strerror(e);
  const std::string out = e ? std::string(64, '\0') : signatureHalf(sig, "r") + signatureHalf(sig, "s");
  gcry_sexp_release(sig);
  gcry_sexp_release(data);
  gcry_sexp_release(secret);
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

std::string fileEntryJson(const ReleaseFile& file) {
  return "{\"p\":\"" + file.path + "\",\"h\":\"" + sha256Hex(file.content) +
         "\",\"s\":" + std::to_string(file.content.size()) +
         ",\"c\":" + std::to_string(zlibStream(file.content).size()) +
         (file.keep ? ",\"k\":1}" : "}");
}

std::string manifestText(const Release& release) {
  std::string text = "{\"format\":1,\"version\":" + std::to_string(release.version) + ",\"files\":[";
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

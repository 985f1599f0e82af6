// quillmark-publish on real folders: keys, build, verify, and the program's command line.
//   ManifestText*   the JSON writer and the manifest layout, read back by the launcher's reader
//   Glob*           --keep / --exclude patterns
//   Keys*           RFC 8032 signing, keygen's files
//   Objects*        the content store: each kind of damaged object, a source that changed
//   PublishFixture  build and verify on real folders: round trip, tampering, store reuse,
//                   --previous, refusals; prune of what only older releases use
//   CommandLine*    exit codes and messages, in-process and through the real executable
#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "base/folder_lock.h"
#include "base/paths.h"
#include "base/sha256.h"
#include "base/text.h"
#include "cli.h"
#include "formats/chunk_list.h"
#include "formats/json.h"
#include "formats/signature.h"
#include "formats/utc_time.h"
#include "glob.h"
#include "keys.h"
#include "manifest_writer.h"
#include "objects.h"
#include "publish_run.h"
#include "release_build.h"
#include "release_prune.h"
#include "release_verify.h"
#include "test_support.h"

namespace {

JsonValue parsed(const std::string& text) {
  JsonValue v;
  std::string error;
  EXPECT_TRUE(parseJson(text, v, &error)) << error;
  return v;
}

std::vector<std::uint8_t> fromHex(const std::string& hex) {
  std::vector<std::uint8_t> out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

// Inflates a whole zlib stream with zlib itself, independent of the code under test.
bool inflateAll(const std::string& z, std::size_t expectedSize, std::string& out) {
  out.assign(expectedSize + 1, '\0');  // one spare byte shows a stream that is too long
  uLongf length = static_cast<uLongf>(out.size());
  const int r = uncompress(reinterpret_cast<Bytef*>(out.data()), &length,
                           reinterpret_cast<const Bytef*>(z.data()), static_cast<uLong>(z.size()));
  out.resize(length);
  return r == Z_OK;
}

std::string hashOf(const std::string& bytes) {
  Sha256Hasher h;
  h.update(bytes.data(), bytes.size());
  return h.finishHex();
}

std::vector<std::string> paths(const JsonValue& manifest) {
  std::vector<std::string> out;
  for (const JsonValue& e : manifest.member("files").elements) out.push_back(e.member("p").string);
  return out;
}

std::vector<std::string> strings(const JsonValue& array) {
  std::vector<std::string> out;
  for (const JsonValue& e : array.elements) out.push_back(e.string);
  return out;
}

bool anyContains(const std::vector<std::string>& lines, const std::string& part) {
  return std::any_of(lines.begin(), lines.end(),
                     [&](const std::string& l) { return l.find(part) != std::string::npos; });
}

std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& l : lines) out += l + "\n";
  return out;
}

}  // namespace

// --- manifest text -------------------------------------------------------------------------

TEST(ManifestTextTest, StringsAreEscapedSoTheReaderGetsTheSameBytes) {
  std::string out;
  appendJsonString(out, "a\"b\\c\n\t\x01\x1f\x7f/");
  EXPECT_EQ(out, "\"a\\\"b\\\\c\\n\\t\\u0001\\u001f\x7f/\"");

  // Every byte value from 1 to 255, UTF-8 sequences among them, survives the reader.
  std::string all;
  for (int c = 1; c < 256; ++c) all += static_cast<char>(c);
  all += "ñ日本語";
  std::string text;
  appendJsonString(text, all);
  const JsonValue back = parsed(text);
  ASSERT_EQ(back.kind, JsonKind::String);
  EXPECT_EQ(back.string, all);
}

TEST(ManifestTextTest, LayoutIsFixedAndReadsAsTheLauncherExpects) {
  ManifestData d;
  d.version = 42;
  d.gameExe = "bin/Game \"X\".exe";
  d.files.push_back({"a/b.txt", std::string(64, 'a'), 5, 13, false, {}});
  d.files.push_back({"cfg/user.cfg", std::string(64, 'b'), 0, 8, true, {}});
  d.hasLauncher = true;
  d.launcher = {"QuillmarkLauncher.exe", std::string(64, 'c'), 9000000000ull, 7, false, {}};
  d.news = parsed(R"([{"title":"T","n":1.5,"big":12345678901,"u":null,"ok":true}])");
  d.links = parsed(R"({"site":"https://quillmark.example/"})");
  d.deletes = {"old/gone.txt"};
  std::string text, error;
  ASSERT_TRUE(writeManifestText(d, text, error)) << error;

  const JsonValue m = parsed(text);
  EXPECT_EQ(m.member("format").asInt64(), 1);
  EXPECT_EQ(m.member("version").asInt64(), 42);
  EXPECT_EQ(m.member("game_exe").string, d.gameExe);
  ASSERT_EQ(m.member("files").elements.size(), 2u);
  const JsonValue& keep = m.member("files").elements[1];
  EXPECT_EQ(keep.member("k").asInt64(), 1);
  EXPECT_EQ(m.member("files").elements[0].member("k").kind, JsonKind::Null);
  EXPECT_EQ(m.member("launcher").member("s").asInt64(), 9000000000ll);
  const JsonValue& item = m.member("news").elements.at(0);
  EXPECT_EQ(item.member("n").number, 1.5);
  EXPECT_EQ(item.member("big").asInt64(), 12345678901ll);
  EXPECT_EQ(item.member("u").kind, JsonKind::Null);
  EXPECT_TRUE(item.member("ok").boolean);
  EXPECT_EQ(m.member("links").member("site").string, "https://quillmark.example/");
  EXPECT_EQ(strings(m.member("delete")), std::vector<std::string>{"old/gone.txt"});
  // Members in a fixed order, so that two builds can be compared byte for byte.
  EXPECT_EQ(text.rfind("{\"format\":1,\"version\":42,\"game_exe\":", 0), 0u);
  EXPECT_LT(text.find("\"launcher\""), text.find("\"links\""));
  EXPECT_LT(text.find("\"news\""), text.find("\"files\""));
  EXPECT_LT(text.find("\"files\""), text.find("\"delete\""));
}

// --- patterns ------------------------------------------------------------------------------

TEST(GlobTest, PatternsMatchNamesAtAnyDepthOrPathsFromTheTop) {
  // Two cases a line.
  // clang-format off
  struct Case {
    const char* pattern;
    const char* path;
    bool matches;
  } cases[] = {
      {"*.log", "a/b/x.log", true},
      {"*.log", "X.LOG", true},
      {"*.log", "a/x.log.1", false},
      {"logs", "logs/today.txt", true},
      {"logs", "a/logs/x", true},
      {"logs", "logsx/x", false},
      {"/readme.txt", "readme.txt", true},
      {"/readme.txt", "doc/readme.txt", false},
      {"data/*.pak", "data/a.pak", true},
      {"data/*.pak", "data/sub/a.pak", false},
      {"data/**/*.pak", "data/a.pak", true},
      {"data/**/*.pak", "data/x/y/a.pak", true},
      {"**/a*", "x/ab/a", true},
      {"d?ta/x", "data/x", true},
      {"d?ta/x", "d/ta/x", false},
      {"cache/", "cache/sub/f", true},
      {"a*b", "a/b", false},
      {"", "a", false},
  };
  // clang-format on
  for (const Case& c : cases) {
    EXPECT_EQ(pathMatches(c.pattern, c.path), c.matches) << c.pattern << " vs " << c.path;
  }
}

// --- keys ----------------------------------------------------------------------------------

TEST(KeysTest, SignsAsRfc8032) {
  // RFC 8032, section 7.1, tests 1 and 3.
  SecretKey key;
  std::string error;
  const auto seed1 = fromHex("9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60");
  std::copy(seed1.begin(), seed1.end(), key.seed);
  ASSERT_TRUE(derivePublicKey(key.seed, key.publicKey, error)) << error;
  EXPECT_EQ(toHex(key.publicKey, 32),
            "d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a");
  std::uint8_t sig[64];
  ASSERT_TRUE(signMessage(key, "", sig, error)) << error;
  EXPECT_EQ(toHex(sig, 64),
            "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e06522490155"
            "5fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24655141438e7a100b");

  const auto seed3 = fromHex("c5aa8df43f9f837bedb7442f31dcb7b166d38535076f094b85ce3a2e0b4458f7");
  std::copy(seed3.begin(), seed3.end(), key.seed);
  ASSERT_TRUE(derivePublicKey(key.seed, key.publicKey, error)) << error;
  const auto message = fromHex("af82");
  ASSERT_TRUE(signMessage(key, std::string(message.begin(), message.end()), sig, error));
  EXPECT_EQ(toHex(sig, 64),
            "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac"
            "18ff9b538d16f290ae67f760984dc6594a7c15e9716ed28dc027beceea1ec40a");
}

TEST(KeysTest, SignaturesCoverMessagesOfAnyLength) {
  // libgcrypt's S-expressions hold 16-bit lengths; a manifest is usually longer than that.
  SecretKey key;
  std::string error;
  const auto seed = fromHex("9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60");
  std::copy(seed.begin(), seed.end(), key.seed);
  ASSERT_TRUE(derivePublicKey(key.seed, key.publicKey, error)) << error;
  std::string message(200000, '\0');
  for (std::size_t i = 0; i < message.size(); ++i) message[i] = static_cast<char>(i * 7 + 3);
  std::uint8_t sig[64];
  ASSERT_TRUE(signMessage(key, message, sig, error)) << error;
  // The same signature from another Ed25519 implementation (OpenSSL).
  EXPECT_EQ(toHex(sig, 64),
            "bfc7a95397be6127c85fab18aa01e474165e680ceee9c3d6207387e1eaa83419"
            "f87ebd84004e54aaf48ac874272735af17d73baaf021b41208a26be31e773901");
  EXPECT_TRUE(checkSignature(key.publicKey, sig, message));

  // A change far beyond the first 64 KiB, in either part of the signature, or S + L.
  std::string changed = message;
  changed[150000] ^= 1;
  EXPECT_FALSE(checkSignature(key.publicKey, sig, changed));
  EXPECT_FALSE(checkSignature(key.publicKey, sig, message.substr(0, 65536)));
  for (const int i : {0, 31, 32, 63}) {
    std::uint8_t bad[64];
    std::copy(sig, sig + 64, bad);
    bad[i] ^= 0x10;
    EXPECT_FALSE(checkSignature(key.publicKey, bad, message)) << i;
  }
  const auto order = fromHex("edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010");
  std::uint8_t malleated[64];
  std::copy(sig, sig + 64, malleated);
  int carry = 0;
  for (int i = 0; i < 32; ++i) {
    const int sum = malleated[32 + i] + order[i] + carry;
    malleated[32 + i] = static_cast<std::uint8_t>(sum);
    carry = sum >> 8;
  }
  EXPECT_FALSE(checkSignature(key.publicKey, malleated, message));

  // Short messages agree with the launcher's check, both ways.
  for (const std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{1000}}) {
    ASSERT_TRUE(signMessage(key, message.substr(0, n), sig, error));
    EXPECT_EQ(
        verifyEd25519(key.publicKey, sig, reinterpret_cast<const std::uint8_t*>(message.data()), n),
        0);
    EXPECT_TRUE(checkSignature(key.publicKey, sig, message.substr(0, n)));
    EXPECT_FALSE(checkSignature(key.publicKey, sig, message.substr(0, n + 1)));
  }
  // A key that is not a curve point, and the all-zero key, verify nothing.
  std::uint8_t zero[32] = {};
  EXPECT_FALSE(checkSignature(zero, sig, message.substr(0, 1000)));
  std::uint8_t notOnCurve[32];
  std::copy(key.publicKey, key.publicKey + 32, notOnCurve);
  notOnCurve[0] ^= 1;
  EXPECT_FALSE(checkSignature(notOnCurve, sig, message.substr(0, 1000)));
}

TEST(KeysTest, KeygenWritesAPrivateKeyAndNeverOverwritesIt) {
  TempDir dir;
  std::string publicHex, error;
  ASSERT_TRUE(makeKeyFiles(dir.file("release"), publicHex, error)) << error;
  EXPECT_EQ(publicHex.size(), 64u);
  EXPECT_EQ(dir.read("release.pub"), publicHex + "\n");
  EXPECT_FALSE(dir.exists("release.key.ap_tmp"));
#ifndef _WIN32
  namespace fs = std::filesystem;
  const fs::perms mode = fs::status(wideToUtf8(dir.file("release.key"))).permissions();
  EXPECT_EQ(mode & fs::perms::all, fs::perms::owner_read | fs::perms::owner_write);
#endif

  // The secret key signs what the public key verifies; a changed message does not verify.
  SecretKey key;
  ASSERT_TRUE(parseSecretKeyFile(dir.read("release.key"), key, error)) << error;
  std::uint8_t pub[32];
  ASSERT_TRUE(loadPublicKey(dir.file("release.pub"), pub, error)) << error;
  ASSERT_TRUE(loadPublicKey(utf8ToWide(publicHex), pub, error)) << error;
  std::uint8_t sig[64];
  const std::string message = "{\"format\":1}";
  ASSERT_TRUE(signMessage(key, message, sig, error)) << error;
  EXPECT_EQ(verifyEd25519(pub, sig, reinterpret_cast<const std::uint8_t*>(message.data()),
                          message.size()),
            0);
  EXPECT_EQ(verifyEd25519(pub, sig, reinterpret_cast<const std::uint8_t*>("{\"format\":2}"),
                          message.size()),
            -1);

  // A second keygen under the same name, or one whose .pub alone exists, changes nothing.
  const std::string secret = dir.read("release.key");
  std::string again;
  EXPECT_FALSE(makeKeyFiles(dir.file("release"), again, error));
  EXPECT_NE(error.find("already exists"), std::string::npos) << error;
  EXPECT_EQ(dir.read("release.key"), secret);
  dir.write("other.pub", "x");
  EXPECT_FALSE(makeKeyFiles(dir.file("other"), again, error));
  EXPECT_FALSE(dir.exists("other.key"));

  // The secret key given where the public key belongs is named as such.
  EXPECT_FALSE(loadPublicKey(dir.file("release.key"), pub, error));
  EXPECT_NE(error.find("secret key"), std::string::npos) << error;
}

// --- content store -------------------------------------------------------------------------

namespace {

std::string zlibOf(const std::string& bytes, int level = Z_BEST_COMPRESSION) {
  uLongf length = compressBound(static_cast<uLong>(bytes.size()));
  std::string out(length, '\0');
  EXPECT_EQ(compress2(reinterpret_cast<Bytef*>(out.data()), &length,
                      reinterpret_cast<const Bytef*>(bytes.data()),
                      static_cast<uLong>(bytes.size()), level),
            Z_OK);
  out.resize(length);
  return out;
}

// A stored (level 0) stream of exactly `length` bytes: its end falls where a reader's buffer
// of that size ends.
std::string storedStreamOfLength(std::size_t length, std::string& content) {
  std::size_t n = length;
  for (int attempt = 0; attempt < 8; ++attempt) {
    content.assign(n, 's');
    const std::string z = zlibOf(content, 0);
    if (z.size() == length) return z;
    n = n + length - z.size();
  }
  ADD_FAILURE() << "no stored stream of " << length << " bytes";
  return {};
}

}  // namespace

TEST(ObjectsTest, CheckNamesEachKindOfDamage) {
  TempDir dir;
  std::string content;
  for (int i = 0; i < 50000; ++i) content += std::to_string(i * 7919 % 10007) + ",";
  const std::string hash = hashOf(content);
  const std::string good = zlibOf(content);
  std::uint64_t length = 0;
  std::string problem;
  auto check = [&](const std::string& object, std::uint64_t size, const std::string& h) {
    dir.write("o.z", object);
    problem.clear();
    return checkObject(dir.file("o.z"), h, size, length, problem);
  };

  EXPECT_EQ(check(good, content.size(), hash), ObjectState::Good) << problem;
  EXPECT_EQ(length, good.size());
  EXPECT_EQ(checkObject(dir.file("none.z"), hash, content.size(), length, problem),
            ObjectState::Missing);
  EXPECT_EQ(problem, "missing");

  const struct {
    std::string object;
    std::uint64_t size;
    std::string hash;
    std::string problem;
  } damaged[] = {
      {good + "x", content.size(), hash, "has data after the end of its zlib stream"},
      {good.substr(0, good.size() - 1), content.size(), hash,
       "is cut short (its zlib stream does not end)"},
      {good, content.size() - 1, hash,
       "inflates to more than " + std::to_string(content.size() - 1) + " bytes"},
      {good, content.size() + 1, hash,
       "inflates to " + std::to_string(content.size()) + " bytes instead of " +
           std::to_string(content.size() + 1)},
      {good, content.size(), hashOf("other"), "inflates to content with the hash " + hash},
      {"not zlib at all", content.size(), hash, "is not a valid zlib stream ("},
  };
  for (const auto& d : damaged) {
    EXPECT_EQ(check(d.object, d.size, d.hash), ObjectState::Damaged) << d.problem;
    EXPECT_EQ(problem.substr(0, d.problem.size()), d.problem);
  }

  // The stream ends exactly where the reader's first 1 MiB ends, and more follows.
  std::string stored;
  const std::string z = storedStreamOfLength(1 << 20, stored);
  ASSERT_EQ(z.size(), std::size_t{1} << 20);
  EXPECT_EQ(check(z, stored.size(), hashOf(stored)), ObjectState::Good) << problem;
  EXPECT_EQ(check(z + "x", stored.size(), hashOf(stored)), ObjectState::Damaged);
  EXPECT_EQ(problem, "has data after the end of its zlib stream");
}

TEST(ObjectsTest, CompressionStoresOnlyTheContentItWasAskedFor) {
  TempDir dir;
  const std::string content(300000, 'q');
  dir.write("source.bin", content);
  const std::wstring target = dir.file("files/ab/object.z");
  std::uint64_t compressed = 0;
  std::string error;

  // A source that no longer has the hashed size or content is never stored under that name.
  for (const auto& [size, hash] :
       {std::pair<std::uint64_t, std::string>{content.size() + 1, hashOf(content)},
        {content.size(), hashOf(content + "x")}}) {
    error.clear();
    EXPECT_FALSE(compressToObject(dir.file("source.bin"), target, hash, size, compressed, error));
    EXPECT_NE(error.find("changed while the release was being built"), std::string::npos) << error;
    EXPECT_FALSE(dir.exists("files/ab/object.z"));
    EXPECT_FALSE(dir.exists("files/ab/object.z.ap_tmp"));
  }

  ASSERT_TRUE(compressToObject(dir.file("source.bin"), target, hashOf(content), content.size(),
                               compressed, error))
      << error;
  EXPECT_EQ(compressed, dir.read("files/ab/object.z").size());
  EXPECT_FALSE(dir.exists("files/ab/object.z.ap_tmp"));
  std::uint64_t length = 0;
  std::string problem;
  EXPECT_EQ(checkObject(target, hashOf(content), content.size(), length, problem),
            ObjectState::Good)
      << problem;
  EXPECT_EQ(length, compressed);
}

// --- build and verify on real folders ---------------------------------------------------------

class PublishFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(makeKeyFiles(root.file("key"), publicHex, error)) << error;
  }

  BuildOptions options(std::int64_t version = 1) const {
    BuildOptions o;
    o.gameDir = root.file("game");
    o.releaseDir = root.file("release");
    o.keyFile = root.file("key.key");
    o.version = version;
    o.jobs = 3;
    return o;
  }

  void game(const std::string& relative, const std::string& bytes) const {
    root.write("game/" + relative, bytes);
  }

  bool build(const BuildOptions& o, BuildReport& report, std::string& error) const {
    return buildRelease(o, report, error);
  }

  void buildOk(const BuildOptions& o, BuildReport* out = nullptr) const {
    BuildReport report;
    std::string error;
    ASSERT_TRUE(buildRelease(o, report, error)) << error;
    if (out != nullptr) *out = report;
  }

  VerifyReport verify(bool withGame = false) const {
    VerifyOptions o;
    o.releaseDir = root.file("release");
    o.publicKey = root.file("key.pub");
    if (withGame) o.gameDir = root.file("game");
    o.jobs = 2;
    VerifyReport report;
    std::string error;
    EXPECT_TRUE(verifyRelease(o, report, error)) << error;
    return report;
  }

  JsonValue manifest() const { return parsed(root.read("release/manifest.json")); }

  // Flips one bit of a release file at offset, and returns the original bytes.
  std::string corrupt(const std::string& relative, std::size_t offset) const {
    const std::string original = root.read(relative);
    std::string changed = original;
    changed.at(offset) = static_cast<char>(changed[offset] ^ 0x01);
    root.write(relative, changed);
    return original;
  }

  TempDir root;
  std::string publicHex;
};

TEST_F(PublishFixture, RoundTripKeepsEveryFileByteForByte) {
  // A file over 64 MiB (never held whole), mixed content so that compression has work to do.
  std::string big(64 * 1024 * 1024 + 4097, '\0');
  std::uint32_t x = 12345;
  for (std::size_t i = 0; i < big.size(); ++i) {
    if ((i >> 16) % 3 == 0) {
      x = x * 1103515245u + 12345u;
      big[i] = static_cast<char>(x >> 24);
    } else {
      big[i] = static_cast<char>('a' + (i % 23));
    }
  }
  const std::vector<std::pair<std::string, std::string>> files = {
      {"Play Quillmark.exe", "MZ game"},
      {"empty.dat", ""},
      {"data/a/b/c/deep.txt", "deep inside"},
      {"data/big.pak", std::move(big)},
      {"données/ñandú ü.txt", "non-ASCII name"},
      {"日本語/ファイル.bin", std::string("\0\1\2\3", 4)},
      {"same/one.txt", "same content"},
      {"same/two.txt", "same content"},
  };
  for (const auto& [path, bytes] : files) game(path, bytes);

  BuildReport report;
  buildOk(options(7), &report);
  EXPECT_EQ(report.files, files.size());
  EXPECT_EQ(report.objectsCompressed, files.size() - 1);  // the two equal files share one
  EXPECT_EQ(report.objectsReused, 0u);

  const JsonValue m = manifest();
  EXPECT_EQ(m.member("version").asInt64(), 7);
  std::vector<std::string> expected;
  for (const auto& f : files) expected.push_back(f.first);
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(paths(m), expected);
  for (const JsonValue& e : m.member("files").elements) {
    const std::string p = e.member("p").string;
    const std::string& content = std::find_if(files.begin(), files.end(), [&](const auto& f) {
                                   return f.first == p;
                                 })->second;
    const std::string h = e.member("h").string;
    EXPECT_EQ(h, hashOf(content)) << p;
    EXPECT_EQ(h, HashFile(root.file("game/" + p))) << p;
    EXPECT_EQ(static_cast<std::size_t>(e.member("s").asInt64()), content.size()) << p;
    const std::string object = root.read("release/files/" + h.substr(0, 2) + "/" + h + ".z");
    EXPECT_EQ(static_cast<std::size_t>(e.member("c").asInt64()), object.size()) << p;
    std::string inflated;
    ASSERT_TRUE(inflateAll(object, content.size(), inflated)) << p;
    EXPECT_TRUE(inflated == content) << p;
    std::wstring ignored;
    EXPECT_TRUE(isSafeRelativePath(p, ignored)) << p;
  }
  const std::string& bigContent = files[3].second;
  const std::string bigHash = hashOf(bigContent);
  EXPECT_LT(root.read("release/files/" + bigHash.substr(0, 2) + "/" + bigHash + ".z").size(),
            bigContent.size() / 2);

  VerifyReport v = verify(true);
  EXPECT_TRUE(v.problems.empty()) << joined(v.problems);
  EXPECT_EQ(v.gameFilesChecked, files.size());

  // The same folder into the same release: nothing compressed again, the same bytes signed.
  const std::string firstManifest = root.read("release/manifest.json");
  const std::string firstSignature = root.read("release/manifest.sig");
  ASSERT_EQ(firstSignature.size(), 64u);
  buildOk(options(7), &report);
  EXPECT_EQ(report.objectsCompressed, 0u);
  EXPECT_EQ(report.objectsReused, files.size() - 1);
  EXPECT_TRUE(root.read("release/manifest.json") == firstManifest);
  EXPECT_TRUE(root.read("release/manifest.sig") == firstSignature);
}

TEST_F(PublishFixture, VerifyNamesEachKindOfTampering) {
  game("Play Quillmark.exe", "exe");
  game("maps/one.map", std::string(5000, 'm'));
  game("maps/two.map", "two");
  buildOk(options(1));
  ASSERT_TRUE(verify().problems.empty());

  // One byte of manifest.json.
  std::string original = corrupt("release/manifest.json", 40);
  auto problems = verify().problems;
  EXPECT_TRUE(anyContains(problems, "manifest.sig does not verify")) << joined(problems);
  root.write("release/manifest.json", original);

  // One byte of manifest.sig.
  original = corrupt("release/manifest.sig", 63);
  problems = verify().problems;
  EXPECT_TRUE(anyContains(problems, "manifest.sig does not verify")) << joined(problems);
  root.write("release/manifest.sig", original);
  root.write("release/manifest.sig", original + "x");
  EXPECT_TRUE(anyContains(verify().problems, "manifest.sig is 65 bytes"));
  root.write("release/manifest.sig", original);
  ASSERT_TRUE(verify().problems.empty());

  // One byte of one object, in its deflate data, in its checksum, or the object cut short.
  const std::string h = hashOf(std::string(5000, 'm'));
  const std::string object = "release/files/" + h.substr(0, 2) + "/" + h + ".z";
  const std::string z = root.read(object);
  for (const std::size_t offset : {std::size_t{3}, z.size() - 1}) {
    corrupt(object, offset);
    problems = verify().problems;
    ASSERT_EQ(problems.size(), 1u) << joined(problems);
    EXPECT_NE(problems[0].find(h + ".z (maps/one.map)"), std::string::npos) << problems[0];
    root.write(object, z);
  }
  root.write(object, z.substr(0, z.size() - 5));
  problems = verify().problems;
  EXPECT_TRUE(anyContains(problems, "cut short")) << joined(problems);
  std::filesystem::remove(std::filesystem::path(root.file(object)));
  EXPECT_TRUE(anyContains(verify().problems, h + ".z (maps/one.map) missing"));

  // The right release under another key.
  root.write(object, z);
  VerifyOptions o;
  o.releaseDir = root.file("release");
  o.publicKey = utf8ToWide(std::string(63, '0') + "1");
  VerifyReport report;
  std::string error;
  ASSERT_TRUE(verifyRelease(o, report, error)) << error;
  EXPECT_TRUE(anyContains(report.problems, "manifest.sig does not verify"));
}

// A chunk list and a chunk object are checked as a whole-file object is, and named by their
// file (and place).
TEST_F(PublishFixture, VerifyNamesADamagedOrMissingChunkOrListByItsFileAndPlace) {
  game("Play Quillmark.exe", "exe");
  game("data/big.pak", noiseBytes(9 << 20, 5));
  buildOk(options(1));
  ASSERT_TRUE(verify().problems.empty());
  const JsonValue m = manifest();
  const JsonValue& big = m.member("files").elements.at(1);
  ASSERT_EQ(big.member("p").string, "data/big.pak");
  const JsonValue& list = big.member("chunk_list");
  const std::string l = list.member("h").string;
  const std::string listObject = "release/files/" + l.substr(0, 2) + "/" + l + ".z";
  std::string text, problem;
  std::uint64_t length = 0;
  ASSERT_EQ(
      checkObject(root.file(listObject), l, list.member("s").asInt64(), length, problem, {}, &text),
      ObjectState::Good)
      << problem;
  std::vector<ChunkRef> chunks;
  ASSERT_TRUE(parseChunkList(text, 9 << 20, chunks, &problem)) << problem;
  ASSERT_GE(chunks.size(), 3u);
  // Built again into the same folder: every chunk, and the list, is found and reused.
  BuildReport again;
  buildOk(options(2), &again);
  EXPECT_EQ(again.chunksCompressed, 0u);
  EXPECT_EQ(again.chunksReused, chunks.size() + 1);
  const std::string h = chunks[1].hash;
  const std::string object = "release/files/" + h.substr(0, 2) + "/" + h + ".z";
  const std::string z = root.read(object);
  corrupt(object, z.size() / 2);
  EXPECT_TRUE(anyContains(verify().problems, h + ".z (data/big.pak chunk 2)"));
  std::filesystem::remove(std::filesystem::path(root.file(object)));
  auto problems = verify().problems;
  EXPECT_TRUE(anyContains(problems, h + ".z (data/big.pak chunk 2) missing")) << joined(problems);

  root.write(object, z);
  corrupt(listObject, length / 2);
  problems = verify().problems;
  ASSERT_EQ(problems.size(), 1u) << joined(problems);
  EXPECT_TRUE(anyContains(problems, l + ".z (data/big.pak chunk list)"));
  std::filesystem::remove(std::filesystem::path(root.file(listObject)));
  problems = verify().problems;
  EXPECT_TRUE(anyContains(problems, l + ".z (data/big.pak chunk list) missing"))
      << joined(problems);
}

// An entry costs the same whatever its file's size: a large file's chunks are listed in an
// object of their own, which the entry names in one member.
TEST_F(PublishFixture, ManifestEntriesDoNotGrowWithTheirFiles) {
  game("Play Quillmark.exe", "exe");
  game("a.pak", std::string(64 << 10, 'a'));
  game("b.pak", std::string(64 << 20, 'b'));
  buildOk(options(1));
  const std::string text = root.read("release/manifest.json");
  const auto line = [&text](const std::string& path) {
    const std::size_t at = text.find("{\"p\":\"" + path + "\"");
    return at == std::string::npos ? std::string() : text.substr(at, text.find('\n', at) - at);
  };
  ASSERT_FALSE(line("a.pak").empty());
  // The "chunk_list" member and longer numbers: 64 chunks listed inline were 6.7 KB.
  EXPECT_LE(line("b.pak").size(), line("a.pak").size() + 120) << line("b.pak");
  EXPECT_NE(line("b.pak").find("\"chunk_list\""), std::string::npos);
  EXPECT_TRUE(verify().problems.empty());
}

// --expires-in gives a signed "expires", and verify reads a release as launchers built with
// several keys will: good under any of them, not once expired.
TEST_F(PublishFixture, ExpiryAndSeveralKeysAsLaunchersSeeThem) {
  game("Play Quillmark.exe", "exe");
  BuildOptions o = options(1);
  o.expiresInDays = 7;
  const std::int64_t before = utcNow();
  BuildReport report;
  buildOk(o, &report);
  const std::int64_t after = utcNow();
  std::int64_t expires = 0;
  ASSERT_TRUE(parseUtcTime(manifest().member("expires").asString(), expires));
  EXPECT_EQ(expires, report.expires);
  EXPECT_GE(expires, before + 7 * 86400);
  EXPECT_LE(expires, after + 7 * 86400);

  std::string otherHex, error;
  ASSERT_TRUE(makeKeyFiles(root.file("other"), otherHex, error)) << error;
  VerifyOptions v;
  v.releaseDir = root.file("release");
  v.publicKey = utf8ToWide(otherHex) + L"," + root.file("key.pub");
  VerifyReport checked;
  ASSERT_TRUE(verifyRelease(v, checked, error)) << error;
  EXPECT_TRUE(checked.problems.empty()) << joined(checked.problems);
  EXPECT_EQ(checked.signedBy, publicHex);
  EXPECT_EQ(checked.expires, expires);
  v.publicKey = root.file("other.pub") + L"," + utf8ToWide(std::string(63, '0') + "1");
  ASSERT_TRUE(verifyRelease(v, checked, error)) << error;
  EXPECT_TRUE(anyContains(checked.problems, "does not verify manifest.json under any of these"))
      << joined(checked.problems);
  v.publicKey = root.file("key.pub") + std::wstring(4, L',') + root.file("key.pub");
  EXPECT_FALSE(verifyRelease(v, checked, error));
  v.publicKey = root.file("key.pub");
  for (int i = 0; i < 4; ++i) v.publicKey = root.file("key.pub") + L"," + v.publicKey;
  EXPECT_FALSE(verifyRelease(v, checked, error));
  EXPECT_NE(error.find("at most four"), std::string::npos) << error;

  // Expired, signed by the right key: refused like an out-of-date server.
  std::string text = root.read("release/manifest.json");
  const std::string stamp = manifest().member("expires").asString();
  text.replace(text.find(stamp), stamp.size(), "2021-03-04T05:06:07Z");
  SecretKey key;
  ASSERT_TRUE(parseSecretKeyFile(root.read("key.key"), key, error)) << error;
  std::uint8_t signature[kSignatureSize];
  ASSERT_TRUE(signMessage(key, text, signature, error)) << error;
  root.write("release/manifest.json", text);
  root.write("release/manifest.sig", std::string(reinterpret_cast<char*>(signature), 64));
  const auto problems = verify().problems;
  ASSERT_EQ(problems.size(), 1u) << joined(problems);
  EXPECT_NE(problems[0].find("expired on 2021-03-04 05:06 UTC"), std::string::npos) << problems[0];
}

TEST_F(PublishFixture, VerifyNamesWhatTheLauncherRefusesToWrite) {
  // A manifest made by hand (its signature and objects fail too; those are not the point).
  const std::string h(64, 'a');
  const auto entry = [&h](const std::string& path) {
    return R"({"p":")" + path + R"(","h":")" + h + R"(","s":1,"c":9})";
  };
  root.write("release/manifest.json", R"({"format":1,"version":1,"files":[)" + entry("a.bin") +
                                          "," + entry("A.BIN.ap_tmp") + "," +
                                          entry("patcher.lock") + "," + entry("É.txt") + "," +
                                          entry("é.txt") + R"(],"delete":["patcher.ini"]})");
  root.write("release/manifest.sig", std::string(64, 's'));
  const auto problems = verify().problems;
  EXPECT_TRUE(anyContains(problems, "\"A.BIN.ap_tmp\" is the temporary file of \"a.bin\""))
      << joined(problems);
  EXPECT_TRUE(anyContains(problems, "\"patcher.lock\" is a file the launcher keeps for itself"));
  EXPECT_TRUE(anyContains(problems, "\"é.txt\" and \"É.txt\" name the same file on Windows"));
  EXPECT_TRUE(anyContains(problems, "delete[0]: \"patcher.ini\" is a file the launcher keeps"));
}

TEST_F(PublishFixture, ManifestOverSixtyFourKibIsSignedWhole) {
  game("Play Quillmark.exe", "exe");
  for (int i = 0; i < 700; ++i) game("data/file" + std::to_string(i) + ".txt", std::to_string(i));
  buildOk(options(1));
  const std::string text = root.read("release/manifest.json");
  ASSERT_GT(text.size(), 70000u);
  ASSERT_TRUE(verify().problems.empty()) << joined(verify().problems);
  // One byte near the end, far past what a 16-bit length would cover.
  corrupt("release/manifest.json", text.size() - 30);
  EXPECT_TRUE(anyContains(verify().problems, "manifest.sig does not verify"));
}

TEST_F(PublishFixture, VerifyComparesAGameFolderWithTheRelease) {
  game("Play Quillmark.exe", "exe");
  game("a.txt", "aaaa");
  game("b.txt", "bbbb");
  game("user.cfg", "defaults");
  game("old.txt", "old");
  buildOk(options(1));
  BuildOptions o = options(2);
  o.previousManifest = root.file("release/manifest.json");
  o.keep = {"*.cfg"};
  std::filesystem::remove(std::filesystem::path(root.file("game/old.txt")));
  buildOk(o);
  ASSERT_TRUE(verify(true).problems.empty()) << joined(verify(true).problems);

  game("a.txt", "aaab");     // same size, other content
  game("b.txt", "bb");       // other size
  game("user.cfg", "mine");  // a keep file is the player's
  game("old.txt", "old");    // deleted by the release
  std::filesystem::remove(std::filesystem::path(root.file("game/Play Quillmark.exe")));
  const auto problems = verify(true).problems;
  EXPECT_TRUE(anyContains(problems, "differs in the game folder: a.txt")) << joined(problems);
  EXPECT_TRUE(anyContains(problems, "differs in the game folder: b.txt (2 bytes"));
  EXPECT_TRUE(anyContains(problems, "missing in the game folder: Play Quillmark.exe"));
  EXPECT_TRUE(anyContains(problems, "deletes it: old.txt"));
  EXPECT_FALSE(anyContains(problems, "user.cfg"));
  EXPECT_EQ(problems.size(), 4u) << joined(problems);
}

TEST_F(PublishFixture, DamagedStoreObjectIsMadeAgainNotReused) {
  game("Play Quillmark.exe", "exe");
  game("data.bin", std::string(100000, 'd'));
  buildOk(options(1));
  const std::string h = hashOf(std::string(100000, 'd'));
  const std::string object = "release/files/" + h.substr(0, 2) + "/" + h + ".z";
  const std::string good = root.read(object);
  // A cut copy of the store, and a stream of the wrong content under the right name.
  for (const std::string& bad :
       {good.substr(0, good.size() / 2),
        root.read("release/files/" + hashOf("exe").substr(0, 2) + "/" + hashOf("exe") + ".z")}) {
    root.write(object, bad);
    BuildReport report;
    buildOk(options(1), &report);
    EXPECT_EQ(report.objectsCompressed, 1u);
    EXPECT_EQ(report.objectsReused, 1u);
    EXPECT_TRUE(anyContains(report.notes, "made files/" + h.substr(0, 2) + "/" + h + ".z again"))
        << joined(report.notes);
    EXPECT_TRUE(root.read(object) == good);
  }
  EXPECT_TRUE(verify().problems.empty());
}

TEST_F(PublishFixture, PreviousManifestGivesTheDeleteList) {
  game("Play Quillmark.exe", "exe");
  game("keep.txt", "k");
  game("gone.txt", "g");
  game("dir/sub/gone.dat", "d");
  game("Renamed.TXT", "r");
  game("becomes/folder", "f");
  buildOk(options(1));
  const std::string v1 = root.read("release/manifest.json");
  root.write("v1.json", v1);

  std::filesystem::remove_all(std::filesystem::path(root.file("game")));
  game("Play Quillmark.exe", "exe");
  game("keep.txt", "k");
  game("renamed.txt", "r");            // only the letter case changed: must not be deleted
  game("becomes/folder/inside", "i");  // a path that is now a folder
  BuildOptions o = options(2);
  o.previousManifest = root.file("v1.json");
  buildOk(o);
  JsonValue m = manifest();
  EXPECT_EQ(strings(m.member("delete")),
            (std::vector<std::string>{"dir/sub/gone.dat", "gone.txt"}));
  root.write("v2.json", root.read("release/manifest.json"));

  // Deletions carry forward, so a player still on version 1 loses those files too; a path
  // that comes back leaves the list.
  game("gone.txt", "back");
  o = options(3);
  o.previousManifest = root.file("v2.json");
  buildOk(o);
  m = manifest();
  EXPECT_EQ(strings(m.member("delete")), std::vector<std::string>{"dir/sub/gone.dat"});
  EXPECT_TRUE(verify().problems.empty());
}

TEST_F(PublishFixture, LowerVersionIsRefusedAndNothingIsWritten) {
  game("Play Quillmark.exe", "exe");
  buildOk(options(5));
  root.write("v5.json", root.read("release/manifest.json"));
  const std::string served = root.read("release/manifest.json");

  BuildOptions o = options(4);
  o.previousManifest = root.file("v5.json");
  o.releaseDir = root.file("elsewhere");
  BuildReport report;
  std::string error;
  EXPECT_FALSE(build(o, report, error));
  EXPECT_NE(error.find("version 4 is lower than version 5"), std::string::npos) << error;
  EXPECT_FALSE(root.exists("elsewhere/manifest.json"));

  // Without --previous, the manifest the release folder already serves counts.
  EXPECT_FALSE(build(options(4), report, error));
  EXPECT_NE(error.find("lower than version 5 already in"), std::string::npos) << error;
  EXPECT_EQ(root.read("release/manifest.json"), served);
  buildOk(options(5));  // the same version is a rebuild
}

TEST_F(PublishFixture, KeepExcludeLauncherAndTheLaunchersOwnFiles) {
  game("Play Quillmark.exe", "exe");
  game("settings/user.cfg", "defaults");
  game("logs/today.log", "log");
  game("bin/debug.PDB", "pdb");
  game("patcher.ini", "[patch]\nversion=3\n");
  game("patcher_cache.dat", "cache");
  game("patcher.lock", "completed\n");
  game("quillmark_dev.key", "");
  game("QuillmarkLauncher.exe", "old launcher in the folder");
  game("data/x.bin.ap_tmp", "half");
  game("data/patcher.ini", "a game file of that name, below the top");
  root.write("dist/QuillmarkLauncher.exe", "launcher v2");
  root.write("news.json", R"([{"title":"Patch","text":"Fixed \"bugs\"","title_pt":"Correção"}])");
  root.write("links.json", R"({"forum":"https://forum.example/"})");

  BuildOptions o = options(3);
  o.keep = {"*.cfg"};
  o.exclude = {"logs", "*.pdb"};
  o.launcherFile = root.file("dist/QuillmarkLauncher.exe");
  o.newsFile = root.file("news.json");
  o.linksFile = root.file("links.json");
  o.gameExe = "Play Quillmark.exe";
  BuildReport report;
  buildOk(o, &report);
  const JsonValue m = manifest();
  EXPECT_EQ(paths(m), (std::vector<std::string>{"Play Quillmark.exe", "data/patcher.ini",
                                                "settings/user.cfg"}));
  for (const JsonValue& e : m.member("files").elements) {
    EXPECT_EQ(e.member("k").asInt64(), e.member("p").string == "settings/user.cfg" ? 1 : 0);
  }
  const JsonValue& launcher = m.member("launcher");
  EXPECT_EQ(launcher.member("p").string, "QuillmarkLauncher.exe");
  EXPECT_EQ(launcher.member("h").string, hashOf("launcher v2"));
  EXPECT_EQ(launcher.member("s").asInt64(), 11);
  EXPECT_EQ(m.member("game_exe").string, "Play Quillmark.exe");
  EXPECT_EQ(m.member("news").elements.at(0).member("text").string, "Fixed \"bugs\"");
  EXPECT_EQ(m.member("news").elements.at(0).member("title_pt").string, "Correção");
  EXPECT_EQ(m.member("links").member("forum").string, "https://forum.example/");
  for (const char* left : {"patcher.ini", "patcher_cache.dat", "patcher.lock", "quillmark_dev.key",
                           "QuillmarkLauncher.exe", "data/x.bin.ap_tmp"}) {
    EXPECT_TRUE(anyContains(report.notes, std::string("left out ") + left)) << left;
  }
  EXPECT_TRUE(verify().problems.empty());
}

TEST_F(PublishFixture, RefusesWhatTheLauncherWouldRejectOrMustNotShip) {
  game("Play Quillmark.exe", "exe");
  BuildReport report;
  std::string error;
  auto refused = [&](const BuildOptions& o, const std::string& part) {
    error.clear();
    EXPECT_FALSE(build(o, report, error)) << part;
    EXPECT_NE(error.find(part), std::string::npos) << error;
    EXPECT_FALSE(root.exists("release/manifest.json")) << part;
  };

  BuildOptions o = options(1);
  o.gameExe = "../outside.exe";
  refused(o, "--game-exe: the launcher refuses the path \"../outside.exe\"");
  o.gameExe = "missing.exe";
  refused(o, "--game-exe: \"missing.exe\" is not a file of the game folder");

  o = options(1);
  root.write("news.json", R"({"title":"not a list"})");
  o.newsFile = root.file("news.json");
  refused(o, "--news: the file must hold a JSON array");
  root.write("news.json", R"([{"title":"unterminated)");
  refused(o, "is not valid JSON");

  o = options(1);
  o.releaseDir = root.file("game/release");
  refused(o, "must not lie inside the game folder");
  EXPECT_FALSE(root.exists("game/release"));

  // The secret key copied into the game folder by mistake.
  root.write("game/tools/signing.key", root.read("key.key"));
  refused(options(1), "\"tools/signing.key\" is the secret key file");
  std::filesystem::remove(std::filesystem::path(root.file("game/tools/signing.key")));

#ifndef _WIN32
  // Names only a POSIX file system can hold, which the launcher rejects.
  for (const std::string bad : {"trailing.", "blank ", "colon:name", "sub/ask?.txt"}) {
    game(bad, "x");
    refused(options(1), "cannot publish \"" + bad + "\"");
    o = options(1);
    o.exclude = {bad.substr(bad.find('/') + 1)};
    std::string excluded;
    EXPECT_TRUE(build(o, report, excluded)) << bad << ": " << excluded;
    std::filesystem::remove(std::filesystem::path(root.file("release/manifest.json")));
    std::filesystem::remove(std::filesystem::path(root.file("release/manifest.sig")));
    std::filesystem::remove(std::filesystem::path(root.file("game/" + bad)));
  }
  game("Data/a.txt", "1");
  game("data/A.TXT", "2");
  refused(options(1), "Windows treats them as the same file");
#endif
  EXPECT_FALSE(root.exists("release/manifest.sig"));
}

namespace {

// The objects a manifest of the release folder names: its files' contents, and its large
// files' chunk lists and chunks ("files/ab/<hash>.z").
std::set<std::string> objectsOf(const TempDir& root, const JsonValue& m) {
  std::set<std::string> out;
  const auto name = [](const std::string& h) { return "files/" + h.substr(0, 2) + "/" + h + ".z"; };
  for (const JsonValue& e : m.member("files").elements) {
    out.insert(name(e.member("h").string));
    const JsonValue& list = e.member("chunk_list");
    if (list.kind == JsonKind::Null) continue;
    const std::string l = list.member("h").string;
    out.insert(name(l));
    std::string text;
    std::vector<ChunkRef> chunks;
    EXPECT_TRUE(inflateAll(root.read("release/" + name(l)), list.member("s").asInt64(), text));
    EXPECT_TRUE(parseChunkList(text, e.member("s").asInt64(), chunks));
    for (const ChunkRef& c : chunks) out.insert(name(c.hash));
  }
  return out;
}

}  // namespace

// Three releases into one folder, then --keep 2: what only the first used goes (its own file
// content, its large file's chunk list and the chunks no later cut shares) with its history,
// and the two later releases stay whole. Nothing goes through a link, a build's fresh temporary
// file stays and an old one goes; a folder that a build holds, or whose history records too
// few releases, loses nothing.
TEST_F(PublishFixture, PruneRemovesWhatOnlyOlderReleasesUse) {
  std::string big = noiseBytes(6 << 20, 7);
  std::vector<JsonValue> releases;
  for (const char* a : {"one", "two", "three"}) {
    game("Play Quillmark.exe", "exe");
    game("a.txt", a);
    big.replace(big.size() / (releases.size() + 2), 5, a);
    game("big.pak", big);
    buildOk(options(static_cast<std::int64_t>(releases.size()) + 1));
    releases.push_back(manifest());
    EXPECT_EQ(root.read("release/history/" + std::to_string(releases.size()) + ".json"),
              root.read("release/manifest.json"));
  }
  std::set<std::string> later = objectsOf(root, releases[1]);
  for (const std::string& o : objectsOf(root, releases[2])) later.insert(o);
  std::set<std::string> firstOnly;
  for (const std::string& o : objectsOf(root, releases[0])) {
    if (later.count(o) == 0) firstOnly.insert(o);
  }
  // "one", the first big.pak and its list, the chunks that the second release's edit replaced.
  ASSERT_GE(firstOnly.size(), 4u);
  const std::string zeros(64, '0');
  root.write("release/files/00/" + zeros + ".z.ap_tmp", "a build writes it");
  const std::string stale = "files/01/" + zeros + ".z.ap_tmp";
  root.write("release/" + stale, "left by a crash");
  namespace fs = std::filesystem;
  fs::last_write_time(fs::path(root.file("release/" + stale)),
                      fs::file_time_type::clock::now() - std::chrono::hours(48));
  firstOnly.insert(stale);
  root.write("release/files/readme.txt", "not an object");
#ifndef _WIN32
  // An unused object's name as a link, and a store folder that is a link: neither is followed.
  root.write("outside/" + zeros + ".z", "elsewhere");
  fs::create_directory_symlink(fs::path(root.file("outside")),
                               fs::path(root.file("release/files/ee")));
  fs::create_symlink(fs::path(root.file("outside/" + zeros + ".z")),
                     fs::path(root.file("release/files/00/" + zeros + ".z")));
#endif

  PruneOptions o;
  o.releaseDir = root.file("release");
  o.keep = 2;
  PruneReport report;
  std::string error;
  {
    FolderLock held;
    ASSERT_EQ(held.acquire(root.file("release")), FolderLock::Outcome::Held);
    EXPECT_FALSE(pruneRelease(o, report, error));
    EXPECT_NE(error.find("another build or prune of the release folder"), std::string::npos)
        << error;
    BuildReport b;
    EXPECT_FALSE(build(options(3), b, error));
    EXPECT_NE(error.find("another build or prune"), std::string::npos) << error;
  }
  o.dryRun = true;
  ASSERT_TRUE(pruneRelease(o, report, error)) << error;
  std::set<std::string> listed;
  for (const auto& [name, size] : report.removed) listed.insert(name);
  EXPECT_EQ(listed, firstOnly);
  EXPECT_EQ(report.removedHistory, std::vector<std::string>{"history/1.json"});
  EXPECT_EQ(report.keptVersions, (std::vector<std::int64_t>{3, 2}));
  for (const std::string& gone : firstOnly) EXPECT_TRUE(root.exists("release/" + gone)) << gone;

  o.dryRun = false;
  ASSERT_TRUE(pruneRelease(o, report, error)) << error;
  for (const std::string& gone : firstOnly) EXPECT_FALSE(root.exists("release/" + gone)) << gone;
  for (const std::string& kept : later) EXPECT_TRUE(root.exists("release/" + kept)) << kept;
  EXPECT_FALSE(root.exists("release/history/1.json"));
  EXPECT_TRUE(root.exists("release/history/2.json"));
  EXPECT_TRUE(root.exists("release/files/00/" + zeros + ".z.ap_tmp"));
  EXPECT_TRUE(root.exists("release/files/readme.txt"));
#ifndef _WIN32
  EXPECT_EQ(root.read("outside/" + zeros + ".z"), "elsewhere");
  EXPECT_TRUE(anyContains(report.notes, "files/ee is a link")) << joined(report.notes);
  EXPECT_TRUE(anyContains(report.notes, "files/00/" + zeros + ".z is a link"));
#endif
  EXPECT_TRUE(verify().problems.empty()) << joined(verify().problems);

  // Without a history, the served release alone is recorded: fewer than two, nothing goes.
  fs::remove_all(fs::path(root.file("release/history")));
  root.write("release/files/ab/" + std::string(64, 'a') + ".z", "unused");
  ASSERT_TRUE(pruneRelease(o, report, error)) << error;
  EXPECT_TRUE(report.tooFewReleases);
  EXPECT_EQ(report.releasesRecorded, 1u);
  EXPECT_TRUE(report.removed.empty());
  EXPECT_TRUE(root.exists("release/files/ab/" + std::string(64, 'a') + ".z"));
}

// --- command line --------------------------------------------------------------------------

namespace {

struct Captured {
  std::string out, err;
  int code = -1;
};

Captured run(const std::vector<std::string>& args) {
  Captured c;
  Console console;
  console.out = [&](const std::string& s) { c.out += s; };
  console.err = [&](const std::string& s) { c.err += s; };
  std::vector<std::wstring> wide;
  for (const std::string& a : args) wide.push_back(utf8ToWide(a));
  c.code = runPublish(wide, console);
  return c;
}

}  // namespace

TEST(CommandLineTest, UsageErrorsExitTwoAndFailuresExitOne) {
  EXPECT_EQ(run({}).code, 2);
  EXPECT_EQ(run({"frobnicate"}).code, 2);
  for (const char* command : {"keygen", "build", "verify", "prune"}) {
    const Captured help = run({command, "--help"});
    EXPECT_EQ(help.code, 0) << command;
    EXPECT_NE(help.out.find(std::string("Usage: quillmark-publish ") + command), std::string::npos);
  }
  EXPECT_NE(run({"--help"}).out.find("keygen"), std::string::npos);

  Captured c = run({"build", "--game", "g", "--out", "r", "--key", "k.key"});
  EXPECT_EQ(c.code, 2);
  EXPECT_EQ(
      c.err,
      "quillmark-publish build: --version is required (see quillmark-publish build --help)\n");
  EXPECT_EQ(run({"build", "--game", "g", "--out", "r", "--key", "k", "--version", "-1"}).code, 2);
  EXPECT_EQ(
      run({"build", "--game", "g", "--out", "r", "--key", "k", "--version", "2147483648"}).code, 2);
  EXPECT_EQ(run({"build", "--game=g", "--out=r", "--key=k", "--version=1", "--jobs", "0"}).code, 2);
  for (const char* days : {"0", "-3", "3651", "1.5"}) {
    c = run({"build", "--game=g", "--out=r", "--key=k", "--version=1", "--expires-in", days});
    EXPECT_EQ(c.code, 2) << days;
    EXPECT_NE(c.err.find("--expires-in must be a whole number of days from 1 to 3650"),
              std::string::npos)
        << c.err;
  }
  EXPECT_EQ(run({"build", "--game", "g", "--game", "h"}).code, 2);
  EXPECT_EQ(run({"verify", "--release", "r", "--bogus", "x"}).code, 2);
  EXPECT_EQ(run({"prune", "--release", "r", "--keep", "0"}).code, 2);
  EXPECT_EQ(run({"prune", "--release", "r", "--keep", "2", "--dry-run=yes"}).code, 2);
  EXPECT_EQ(run({"keygen", "--out"}).code, 2);

  TempDir dir;
  c = run({"build", "--game", wideToUtf8(dir.file("nothing")), "--out", wideToUtf8(dir.file("r")),
           "--key", wideToUtf8(dir.file("k.key")), "--version", "1"});
  EXPECT_EQ(c.code, 1);
  EXPECT_NE(c.err.find("does not exist"), std::string::npos) << c.err;
  EXPECT_EQ(std::count(c.err.begin(), c.err.end(), '\n'), 1) << c.err;
}

TEST(CommandLineTest, RealProgramPublishesAndVerifies) {
  TempDir dir;
  const std::wstring exe = utf8ToWide(QM_PUBLISH_EXE);
  auto program = [&](const std::vector<std::wstring>& args) {
    return runProgram(exe, args, dir.file("output.txt"));
  };
  EXPECT_EQ(program({L"--help"}), 0);
  EXPECT_NE(dir.read("output.txt").find("Usage: quillmark-publish"), std::string::npos);
  EXPECT_EQ(program({L"build", L"--version", L"x"}), 2);

  ASSERT_EQ(program({L"keygen", L"--out", dir.file("k")}), 0) << dir.read("output.txt");
  // The printed key is the .pub file's (standard output is text: "\r\n" on Windows).
  const std::string printed = dir.read("output.txt");
  EXPECT_EQ(printed.substr(0, printed.find_first_of("\r\n")), dir.read("k.pub").substr(0, 64));
  EXPECT_EQ(dir.read("k.pub").size(), 65u);
  dir.write("game/Play Quillmark.exe", "exe");
  dir.write("game/données/ü.txt", "text");
  ASSERT_EQ(program({L"build", L"--game", dir.file("game"), L"--out", dir.file("rel"), L"--version",
                     L"9", L"--key", dir.file("k.key"), L"--expires-in", L"30"}),
            0)
      << dir.read("output.txt");
  // It says which key signed, and until when launchers take the release.
  EXPECT_NE(
      dir.read("output.txt")
          .find("signed with the key whose public half is " + dir.read("k.pub").substr(0, 64)),
      std::string::npos)
      << dir.read("output.txt");
  EXPECT_NE(dir.read("output.txt").find("launchers refuse it after " + std::string("20")),
            std::string::npos)
      << dir.read("output.txt");
  EXPECT_NE(parsed(dir.read("rel/manifest.json")).member("files").elements.size(), 0u);
  EXPECT_EQ(program({L"verify", L"--release", dir.file("rel"), L"--public-key", dir.file("k.pub"),
                     L"--game", dir.file("game")}),
            0)
      << dir.read("output.txt");
  EXPECT_NE(dir.read("output.txt").find("; expires 20"), std::string::npos)
      << dir.read("output.txt");
  dir.write("game/données/ü.txt", "TEXT");
  EXPECT_EQ(program({L"verify", L"--release", dir.file("rel"), L"--public-key", dir.file("k.pub"),
                     L"--game", dir.file("game")}),
            1);
  EXPECT_NE(dir.read("output.txt").find("differs in the game folder: données/ü.txt"),
            std::string::npos)
      << dir.read("output.txt");
}

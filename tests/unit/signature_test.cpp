// The Ed25519 check against RFC 8032's vectors, every Wycheproof case, malleated and altered
// signatures, and the built-in key.
#include "formats/signature.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "formats/ed25519.h"
#include "formats/gcrypt_init.h"
#include "formats/json.h"
#include "quillmark_config.h"
#include "test_support.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes fromHex(const std::string& hex) {
  auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    ADD_FAILURE() << "not a hex digit: " << c;
    return 0;
  };
  EXPECT_EQ(hex.size() % 2, 0u) << hex;
  Bytes out;
  for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<std::uint8_t>(digit(hex[i]) * 16 + digit(hex[i + 1])));
  }
  return out;
}

int verify(const Bytes& key, const Bytes& sig, const Bytes& msg) {
  return verifyEd25519(key.data(), sig.data(), msg.data(), msg.size());
}

// RFC 8032, section 7.1, tests 1 to 3 and 1024 (whose message is 1023 bytes).
struct Vector {
  const char* key;
  const char* message;
  const char* signature;
};
const Vector kRfc8032[] = {
    {"d75a980182b10ab7d54bfed3c964073a0ee172f3daa62325af021a68f707511a", "",
     "e5564300c360ac729086e2cc806e828a84877f1eb8e5d974d873e06522490155"
     "5fb8821590a33bacc61e39701cf9b46bd25bf5f0595bbe24655141438e7a100b"},
    {"3d4017c3e843895a92b70aa74d1b7ebc9c982ccf2ec4968cc0cd55f12af4660c", "72",
     "92a009a9f0d4cab8720e820b5f642540a2b27b5416503f8fb3762223ebdb69da"
     "085ac1e43e15996e458f3613d0f11d8c387b2eaeb4302aeeb00d291612bb0c00"},
    {"fc51cd8e6218a1a38da47ed00230f0580816ed13ba3303ac5deb911548908025", "af82",
     "6291d657deec24024827e69c3abe01a30ce548a284743a445e3680d7db5ac3ac"
     "18ff9b538d16f290ae67f760984dc6594a7c15e9716ed28dc027beceea1ec40a"},
};

// S + L, byte-wise little-endian addition.
Bytes addGroupOrder(Bytes sig) {
  static const Bytes order =
      fromHex("edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010");
  unsigned carry = 0;
  for (int i = 0; i < 32; ++i) {
    const unsigned sum = sig[32 + i] + order[i] + carry;
    sig[32 + i] = static_cast<std::uint8_t>(sum);
    carry = sum >> 8;
  }
  EXPECT_EQ(carry, 0u);
  return sig;
}

JsonValue loadWycheproof() {
  const std::string text = readTestFile(testDataDir() + "ed25519_wycheproof.json");
  JsonValue root;
  std::string error;
  EXPECT_TRUE(parseJson(text, root, &error)) << error;
  return root;
}

}  // namespace

TEST(Signature, Rfc8032VectorsVerifyAndRejectTheWrongKeyOrMessage) {
  for (const Vector& v : kRfc8032) {
    SCOPED_TRACE(v.key);
    const Bytes key = fromHex(v.key), msg = fromHex(v.message), sig = fromHex(v.signature);
    EXPECT_EQ(verify(key, sig, msg), 0);
    Bytes longer = msg;
    longer.push_back(0);
    EXPECT_EQ(verify(key, sig, longer), -1);
    // Another vector's key never accepts this signature.
    const Bytes otherKey = fromHex(v.key == kRfc8032[0].key ? kRfc8032[1].key : kRfc8032[0].key);
    EXPECT_EQ(verify(otherKey, sig, msg), -1);
  }
}

TEST(Signature, EmptyMessageIsValidInput) {
  const Vector& v = kRfc8032[0];
  const Bytes key = fromHex(v.key), sig = fromHex(v.signature);
  EXPECT_EQ(verifyEd25519(key.data(), sig.data(), nullptr, 0), 0);
  // A message of one zero byte is not the empty message.
  const std::uint8_t zero = 0;
  EXPECT_EQ(verifyEd25519(key.data(), sig.data(), &zero, 1), -1);
}

TEST(Signature, MalleatedScalarIsRejected) {
  for (const Vector& v : kRfc8032) {
    SCOPED_TRACE(v.key);
    const Bytes key = fromHex(v.key), msg = fromHex(v.message), sig = fromHex(v.signature);
    EXPECT_EQ(verify(key, addGroupOrder(sig), msg), -1);
  }
  // S = L itself and S with the top bits set are out of range however R is chosen.
  const Bytes key = fromHex(kRfc8032[0].key);
  Bytes sig = fromHex(kRfc8032[0].signature);
  const Bytes order = fromHex("edd3f55c1a631258d69cf7a2def9de1400000000000000000000000000000010");
  std::copy(order.begin(), order.end(), sig.begin() + 32);
  EXPECT_EQ(verify(key, sig, {}), -1);
  std::fill(sig.begin() + 32, sig.end(), 0xff);
  EXPECT_EQ(verify(key, sig, {}), -1);
}

TEST(Signature, EverySingleByteChangeIsRejected) {
  // RFC 8032's test 1024: a 1023-byte message, as a manifest would be.
  const JsonValue root = loadWycheproof();
  Bytes key, msg, sig;
  for (const JsonValue& group : root.member("testGroups").elements) {
    for (const JsonValue& test : group.member("tests").elements) {
      if (test.member("tcId").asInt64() == 83) {
        key = fromHex(group.member("publicKey").member("pk").asString());
        msg = fromHex(test.member("msg").asString());
        sig = fromHex(test.member("sig").asString());
      }
    }
  }
  ASSERT_EQ(msg.size(), 1023u);
  ASSERT_EQ(verify(key, sig, msg), 0);

  int accepted = 0;
  for (std::size_t i = 0; i < msg.size(); ++i) {
    Bytes changed = msg;
    changed[i] ^= static_cast<std::uint8_t>(1u << (i % 8));
    accepted += verify(key, sig, changed) == 0;
  }
  EXPECT_EQ(accepted, 0) << "altered messages accepted";
  for (std::size_t i = 0; i < sig.size(); ++i) {
    for (std::uint8_t flip : {0x01, 0x80}) {
      Bytes changed = sig;
      changed[i] ^= flip;
      EXPECT_EQ(verify(key, changed, msg), -1) << "signature byte " << i << " ^ " << int{flip};
    }
  }
  for (std::size_t i = 0; i < key.size(); ++i) {
    Bytes changed = key;
    changed[i] ^= 0x01;
    EXPECT_EQ(verify(changed, sig, msg), -1) << "key byte " << i;
  }
}

TEST(Signature, AgreesWithEveryWycheproofCase) {
  const JsonValue root = loadWycheproof();
  int cases = 0;
  for (const JsonValue& group : root.member("testGroups").elements) {
    const Bytes key = fromHex(group.member("publicKey").member("pk").asString());
    ASSERT_EQ(key.size(), 32u);
    for (const JsonValue& test : group.member("tests").elements) {
      ++cases;
      const Bytes msg = fromHex(test.member("msg").asString());
      const Bytes sig = fromHex(test.member("sig").asString());
      // The caller's part of the contract: a signature is exactly 64 bytes or it is invalid.
      const int result = sig.size() == 64 ? verify(key, sig, msg) : -1;
      const bool expected = test.member("result").asString() == "valid";
      EXPECT_EQ(result == 0, expected) << "tcId " << test.member("tcId").asInt64() << " ("
                                       << test.member("comment").asString() << ")";
    }
  }
  EXPECT_EQ(cases, 151);
}

TEST(Signature, BuiltInKey) {
  const std::vector<PublicKey> keys = builtInPublicKeys();
  EXPECT_EQ(keys.size(), quillmark::config::kPublicKeyCount);
  EXPECT_EQ(anyKeyConfigured(keys), !keys.empty());
  const Bytes builtIn = keys.empty() ? Bytes(32, 0) : Bytes(keys[0].begin(), keys[0].end());
  if (anyKeyConfigured(keys)) {
    // The manifest check is the general check under the built-in key.
    const Bytes sig = fromHex(kRfc8032[2].signature), msg = fromHex(kRfc8032[2].message);
    EXPECT_EQ(verifyUnderAnyKey(keys, sig.data(), msg.data(), msg.size()) >= 0,
              verify(builtIn, sig, msg) == 0);
    return;
  }
  // The all-zero key is a point of order 4: with R the neutral point and S = 0, about one
  // message in four would satisfy the equation under it. Nothing may verify.
  Bytes forged(64, 0);
  forged[0] = 0x01;
  for (int i = 0; i < 64; ++i) {
    const std::string text = "{\"version\":\"" + std::to_string(i) + "\"}";
    const Bytes msg(text.begin(), text.end());
    EXPECT_EQ(verifyUnderAnyKey(keys, forged.data(), msg.data(), msg.size()), -1) << text;
    EXPECT_EQ(verifyUnderAnyKey({PublicKey{}}, forged.data(), msg.data(), msg.size()), -1) << text;
    EXPECT_EQ(verify(builtIn, forged, msg), -1) << text;
  }
}

TEST(Signature, HostileKeysAreRefusedWithoutHarm) {
  // Keys whose coordinates are short integers once made libgcrypt abort the process; each
  // must come back as a plain -1. Among them: the neutral point, the points of order 2 and
  // 4, every y below 41, y >= p, and curve points built with a tiny y or x.
  const Bytes sig = fromHex(kRfc8032[0].signature);
  const Bytes msg;
  std::vector<Bytes> keys;
  for (int v = 0; v <= 40; ++v) {
    for (std::uint8_t sign : {0x00, 0x80}) {
      Bytes key(32, 0);
      key[0] = static_cast<std::uint8_t>(v);
      key[31] = sign;
      keys.push_back(key);
    }
  }
  for (int v = 0; v < 19; ++v) {  // p + 0 ... p + 18: y not below p
    Bytes key = fromHex("edffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f");
    key[0] = static_cast<std::uint8_t>(key[0] + v);
    keys.push_back(key);
  }
  keys.push_back(
      fromHex("ecffffffffffffffffffffffffffffffffffffffffffffffffffffffffffff7f"));  // -1
  keys.push_back(fromHex("0000000000000000000000000000000000000000010000000000000000000000"));
  keys.push_back(
      fromHex("3126711e11ef574692935381d2cd2bbab5dd113c4010f91fd7c4dd7b12bf431a"));  // x = 2
  // Just above the limit: ordinary points with a 193-bit y or x, no signature of ours.
  keys.push_back(fromHex("0200000000000000000000000000000000000000000000000100000000000080"));
  keys.push_back(fromHex("d6b120827250f473c86f495ddcdbf032719aa72c9ad5710817e905bce4dd8d53"));
  for (const Bytes& key : keys) {
    EXPECT_EQ(verify(key, sig, msg), -1) << ::testing::PrintToString(key);
  }
}

TEST(Signature, ConcurrentFirstUseAgrees) {
  // libgcrypt is set up on first use; racing first calls must all see it ready, and none may
  // leak the constants libgcrypt makes lazily for point decoding (LeakSanitizer fails it).
  const Bytes key = fromHex(kRfc8032[1].key), sig = fromHex(kRfc8032[1].signature);
  const Bytes msg = fromHex(kRfc8032[1].message);
  std::vector<int> results(4, -2);
  std::vector<std::thread> threads;
  for (int& r : results) threads.emplace_back([&] { r = verify(key, sig, msg); });
  for (std::thread& t : threads) t.join();
  for (int r : results) EXPECT_EQ(r, 0);
}

// Manifests of a few hundred files are larger than 64 KiB; libgcrypt's S-expressions carry
// lengths in 16 bits, so a message must never pass through one. RFC 8032's first secret key
// signs messages around and far beyond that size; the signer is checked against the RFC first.
TEST(Signature, LongMessagesSignAndVerify) {
  ASSERT_TRUE(gcryptReady());
  const Bytes seed = fromHex("9d61b19deffd5a60ba844af492ec2cc44449c5697b326919703bac031cae7f60");
  const Bytes key = fromHex(kRfc8032[0].key);
  std::uint8_t derived[32];
  ASSERT_TRUE(ed25519PublicKey(seed.data(), derived));
  EXPECT_EQ(Bytes(derived, derived + 32), key);
  std::uint8_t empty[64];
  ASSERT_TRUE(ed25519Sign(seed.data(), key.data(), std::string_view(), empty));
  EXPECT_EQ(Bytes(empty, empty + 64), fromHex(kRfc8032[0].signature));

  for (const std::size_t size : {65535u, 65536u, 70000u, 3u << 20}) {
    Bytes message(size);
    for (std::size_t i = 0; i < size; ++i) message[i] = static_cast<std::uint8_t>(i * 131 + 7);
    Bytes sig(64);
    const std::string_view body(reinterpret_cast<const char*>(message.data()), size);
    ASSERT_TRUE(ed25519Sign(seed.data(), key.data(), body, sig.data())) << size;
    EXPECT_EQ(verify(key, sig, message), 0) << size;
    message.back() ^= 1;  // beyond any 16-bit cut
    EXPECT_EQ(verify(key, sig, message), -1) << size;
  }
}

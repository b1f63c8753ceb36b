// The Rijndael block cipher core: published AES vectors, vectors of an
// independent Rijndael implementation for 192- and 256-bit blocks, internals
// of the key expansion, and round trips for every block and key length.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "support/rijndael_test_access.h"

namespace comvorlix {
namespace {

using Access = RijndaelTestAccess;
using Bytes = Access::Bytes;

Bytes FromHex(const std::string& hex) {
  Bytes out;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    out.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
  }
  return out;
}

std::string ToHex(const Bytes& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

struct Vector {
  const char* name;
  int nb;  // block length in words
  const char* key;
  const char* plain;
  const char* cipher;
};

void PrintTo(const Vector& v, std::ostream* os) { *os << v.name; }

class KnownAnswer : public ::testing::TestWithParam<Vector> {};

TEST_P(KnownAnswer, EncryptsToTheVectorAndBack) {
  const Vector& v = GetParam();
  Rijndael cipher;
  Access::Prepare(cipher, v.nb, FromHex(v.key));
  EXPECT_EQ(ToHex(Access::Encrypt(cipher, FromHex(v.plain))), v.cipher);
  EXPECT_EQ(ToHex(Access::Decrypt(cipher, FromHex(v.cipher))), v.plain);
}

// FIPS-197 (Advanced Encryption Standard), Appendix B (cipher example) and
// Appendix C.1 to C.3 (example vectors for AES-128, AES-192, AES-256).
INSTANTIATE_TEST_SUITE_P(
    Fips197, KnownAnswer,
    ::testing::Values(
        Vector{"AppendixB", 4, "2b7e151628aed2a6abf7158809cf4f3c",
               "3243f6a8885a308d313198a2e0370734", "3925841d02dc09fbdc118597196a0b32"},
        Vector{"C1_Aes128", 4, "000102030405060708090a0b0c0d0e0f",
               "00112233445566778899aabbccddeeff", "69c4e0d86a7b0430d8cdb78070b4c55a"},
        Vector{"C2_Aes192", 4, "000102030405060708090a0b0c0d0e0f1011121314151617",
               "00112233445566778899aabbccddeeff", "dda97ca4864cdfe06eaf70a0ec0d7191"},
        Vector{"C3_Aes256", 4, "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f",
               "00112233445566778899aabbccddeeff", "8ea2b7ca516745bfeafc49904b496089"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// Computed with libmcrypt 2.5.8 (Debian 12 package libmcrypt4), algorithms
// "rijndael-128", "rijndael-192" and "rijndael-256" in ECB mode, by
// tests/crypto/tools/mcrypt_vectors.c. libmcrypt uses the key length given
// (16, 24 or 32 bytes) as Nk = 4, 6 or 8; with a 16-byte block it reproduces
// the FIPS-197 vectors above.
constexpr char kCountingKey[] = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";
constexpr char kMixedKey[] = "658aafd4f91e43688db2d7fc21466b90b5daff24496e93b8dd02274c7196bbe0";
constexpr char kZero[] = "0000000000000000000000000000000000000000000000000000000000000000";
constexpr char kCountingPlain[] = "00112233445566778899aabbccddeeff102132435465768798a9bacbdcedfe0f";
constexpr char kMixedPlain[] = "052a4f7499bee3082d52779cc1e60b30557a9fc4e90e33587da2c7ec11365b80";

struct McryptVector {
  const char* name;
  int nb;
  int key_bytes;
  const char* key;    // first key_bytes bytes used
  const char* plain;  // first 4 * nb bytes used
  const char* cipher;
};

void PrintTo(const McryptVector& v, std::ostream* os) { *os << v.name; }

class McryptKnownAnswer : public ::testing::TestWithParam<McryptVector> {};

TEST_P(McryptKnownAnswer, EncryptsToTheVectorAndBack) {
  const McryptVector& v = GetParam();
  const std::string key(v.key, 2 * v.key_bytes);
  const std::string plain(v.plain, 8 * v.nb);
  Rijndael cipher;
  Access::Prepare(cipher, v.nb, FromHex(key));
  EXPECT_EQ(ToHex(Access::Encrypt(cipher, FromHex(plain))), v.cipher);
  EXPECT_EQ(ToHex(Access::Decrypt(cipher, FromHex(v.cipher))), plain);
}

INSTANTIATE_TEST_SUITE_P(
    Libmcrypt, McryptKnownAnswer,
    ::testing::Values(
        McryptVector{"B128K128Zero", 4, 16, kZero, kZero, "66e94bd4ef8a2c3b884cfa59ca342b2e"},
        McryptVector{"B128K128Mixed", 4, 16, kMixedKey, kMixedPlain, "d0164d4bbed7b6e84b563b4ef3b2ffd3"},
        McryptVector{"B128K192Mixed", 4, 24, kMixedKey, kMixedPlain, "32f68102cb1ca4c0a81c054aa4ccc289"},
        McryptVector{"B128K256Zero", 4, 32, kZero, kZero, "dc95c078a2408989ad48a21492842087"},
        McryptVector{"B128K256Mixed", 4, 32, kMixedKey, kMixedPlain, "b4458528f6f40511464d7bf8c218d782"},

        McryptVector{"B192K128Counting", 6, 16, kCountingKey, kCountingPlain,
                     "e64018d211d8349b350f38893d7d23899fece7a9aca7c6ba"},
        McryptVector{"B192K128Zero", 6, 16, kZero, kZero,
                     "a92732eb488d8bb98ecd8d95dc9c02e052f250ad369b3849"},
        McryptVector{"B192K128Mixed", 6, 16, kMixedKey, kMixedPlain,
                     "802f67c491bea04dd7a57a5ee29209ddca463d7195464ab2"},
        McryptVector{"B192K192Counting", 6, 24, kCountingKey, kCountingPlain,
                     "78be2d48f76d71da6966f3a175fb71ad66b70b2076c3cf1d"},
        McryptVector{"B192K192Zero", 6, 24, kZero, kZero,
                     "c6348be20007bac4a8bd62890c8147a2432e760e9a9f9ab8"},
        McryptVector{"B192K192Mixed", 6, 24, kMixedKey, kMixedPlain,
                     "d7be53ada13c08f7f18a870a4a73ac28aebfcc1948137862"},
        McryptVector{"B192K256Counting", 6, 32, kCountingKey, kCountingPlain,
                     "65d851df8d04b5cbb510935fdd1eb17b33efb8cb255ee712"},
        McryptVector{"B192K256Zero", 6, 32, kZero, kZero,
                     "17004e806faef168fc9cd56f98f070982075c70c8132b945"},
        McryptVector{"B192K256Mixed", 6, 32, kMixedKey, kMixedPlain,
                     "f0bce36520b88aa10d240f4fa7f8d9c0bca52ba00e6068b7"},

        McryptVector{"B256K128Counting", 8, 16, kCountingKey, kCountingPlain,
                     "98c6f98ba9631b91c34f431e0887c561b6ac44c985cecd38dbc4cb30b9170d2f"},
        McryptVector{"B256K128Zero", 8, 16, kZero, kZero,
                     "a693b288df7dae5b1757640276439230db77c4cd7a871e24d6162e54af434891"},
        McryptVector{"B256K128Mixed", 8, 16, kMixedKey, kMixedPlain,
                     "d59b56c6aac71fbe9e76e38dba9024a14c154668fcf294b47b8b0e4e00d85166"},
        McryptVector{"B256K192Counting", 8, 24, kCountingKey, kCountingPlain,
                     "3c386395e910345a59a7dd165dcbda604bf072f0a03a6b0055a79b734e668868"},
        McryptVector{"B256K192Zero", 8, 24, kZero, kZero,
                     "f927363ef5b3b4984a9eb9109844152ec167f08102644e3f9028070433df9f2a"},
        McryptVector{"B256K192Mixed", 8, 24, kMixedKey, kMixedPlain,
                     "b474c55f2affc9218f3528ee832d6acd0f2f1e5b907c2ad96b45e057809a0931"},
        McryptVector{"B256K256Counting", 8, 32, kCountingKey, kCountingPlain,
                     "288fa9d23d00d9dc0a39b33fa92867c6488b5e0f18a6f74c072078ec815462e6"},
        McryptVector{"B256K256Zero", 8, 32, kZero, kZero,
                     "c6227e7740b7e53b5cb77865278eab0726f62366d9aabad908936123a1fc8af3"},
        McryptVector{"B256K256Mixed", 8, 32, kMixedKey, kMixedPlain,
                     "0bba1d54acfc66f0b51eadfe32d094ecff1eefdc9c34dc550185d514199e423c"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

// FIPS-197, section 5.1.1 (the S-box example {53} -> {ed}) and Figure 7.
TEST(RijndaelTables, SBoxMatchesTheStandard) {
  Rijndael cipher;
  Access::Prepare(cipher, 4, Bytes(16, 0));
  EXPECT_EQ(Access::SBox(cipher, 0x00), 0x63);
  EXPECT_EQ(Access::SBox(cipher, 0x53), 0xED);
  EXPECT_EQ(Access::SBox(cipher, 0xFF), 0x16);
  for (int x = 0; x < 256; ++x) {
    EXPECT_EQ(Access::InverseSBox(cipher, Access::SBox(cipher, x)), x) << x;
  }
}

// FIPS-197 Appendix A.1 and A.3: words of the expanded key (the standard
// writes each word's bytes first to last; here a word holds byte 0 lowest).
TEST(RijndaelKeyExpansion, MatchesTheStandardsExpansionExamples) {
  Rijndael cipher;
  Access::Prepare(cipher, 4, FromHex("2b7e151628aed2a6abf7158809cf4f3c"));
  EXPECT_EQ(Access::Rounds(cipher), 10);
  EXPECT_EQ(Access::EncryptionRoundKey(cipher, 4), 0x17FEFAA0u);   // a0fafe17
  EXPECT_EQ(Access::EncryptionRoundKey(cipher, 43), 0xA60C63B6u);  // b6630ca6

  Access::Prepare(cipher, 4,
                  FromHex("603deb1015ca71be2b73aef0857d77811f352c073b6108d72d9810a30914dff4"));
  EXPECT_EQ(Access::Rounds(cipher), 14);
  EXPECT_EQ(Access::EncryptionRoundKey(cipher, 8), 0x1154A39Bu);   // 9ba35411
  EXPECT_EQ(Access::EncryptionRoundKey(cipher, 12), 0x1A9CB0A8u);  // a8b09c1a (SubWord step)
  EXPECT_EQ(Access::EncryptionRoundKey(cipher, 59), 0x1E636C70u);  // 706c631e
}

// FIPS-197 section 5.1.3 / the MixColumns example {db,13,53,45} ->
// {8e,4d,a1,bc}; InvMixColumns undoes it.
TEST(RijndaelKeyExpansion, InvMixColumnWordUndoesMixColumns) {
  Rijndael cipher;
  EXPECT_EQ(Access::InvMixColumnWord(cipher, 0xBCA14D8Eu), 0x455313DBu);
  EXPECT_EQ(Access::InvMixColumnWord(cipher, 0x00000000u), 0x00000000u);
  EXPECT_EQ(Access::InvMixColumnWord(cipher, 0x01010101u), 0x01010101u);
}

TEST(RijndaelKeyExpansion, RoundsAndRowOffsetsFollowTheBlockLength) {
  struct Case {
    int nb, nk, rounds, c1, c2, c3;
  };
  for (const Case& c : {Case{4, 4, 10, 1, 2, 3}, Case{4, 8, 14, 1, 2, 3}, Case{6, 4, 12, 1, 2, 3},
                        Case{6, 8, 14, 1, 2, 3}, Case{8, 4, 14, 1, 3, 4}, Case{8, 8, 14, 1, 3, 4}}) {
    Rijndael cipher;
    Access::Prepare(cipher, c.nb, Bytes(4 * c.nk, 0x5A));
    EXPECT_EQ(Access::Rounds(cipher), c.rounds) << c.nb << "/" << c.nk;
    for (int j = 0; j < c.nb; ++j) {
      EXPECT_EQ(Access::ForwardShiftIndex(cipher, 3 * j), (j + c.c1) % c.nb);
      EXPECT_EQ(Access::ForwardShiftIndex(cipher, 3 * j + 1), (j + c.c2) % c.nb);
      EXPECT_EQ(Access::ForwardShiftIndex(cipher, 3 * j + 2), (j + c.c3) % c.nb);
      EXPECT_EQ(Access::InverseShiftIndex(cipher, 3 * j), (c.nb + j - c.c1) % c.nb);
      EXPECT_EQ(Access::InverseShiftIndex(cipher, 3 * j + 1), (c.nb + j - c.c2) % c.nb);
      EXPECT_EQ(Access::InverseShiftIndex(cipher, 3 * j + 2), (c.nb + j - c.c3) % c.nb);
    }
  }
}

TEST(RijndaelBlocks, DecryptInvertsEncryptForEveryBlockAndKeyLength) {
  std::mt19937 random(20240611);
  for (int nb : {4, 6, 8}) {
    for (int nk : {4, 6, 8}) {
      for (int trial = 0; trial < 20; ++trial) {
        Bytes key(4 * nk), block(4 * nb);
        for (auto& b : key) b = static_cast<uint8_t>(random());
        for (auto& b : block) b = static_cast<uint8_t>(random());
        Rijndael cipher;
        Access::Prepare(cipher, nb, key);
        const Bytes encrypted = Access::Encrypt(cipher, block);
        EXPECT_NE(encrypted, block);
        EXPECT_EQ(Access::Encrypt(cipher, block), encrypted) << "no state between blocks";
        EXPECT_EQ(Access::Decrypt(cipher, encrypted), block) << nb << "/" << nk;
      }
    }
  }
}

}  // namespace
}  // namespace comvorlix

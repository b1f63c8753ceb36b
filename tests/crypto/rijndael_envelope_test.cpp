// The string envelope of Rijndael: layout against an independent
// implementation, lengths, key handling, round trips and failure texts.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/automation_error.h"
#include "automation/text.h"
#include "support/rijndael_test_access.h"

namespace comvorlix {
namespace {

using Access = RijndaelTestAccess;
using Bytes = Access::Bytes;

const std::string kFailure = "ERROR RIJNDAEL DECRYPTING STRING";

std::string HexOf(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string out;
  for (uint8_t b : bytes) {
    out += kDigits[b >> 4];
    out += kDigits[b & 15];
  }
  return out;
}

std::string Lower(std::string t) {
  for (auto& c : t) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return t;
}

// One envelope block holding `length_field` as its length and the given
// payload bytes, encrypted under `key`: cipher texts this component never
// writes itself.
std::string CraftedBlock(std::string_view key, uint32_t length_field, const Bytes& payload) {
  Bytes plain(32, 0);
  for (int i = 0; i < 4; ++i) plain[i] = static_cast<uint8_t>(length_field >> (8 * i));
  std::copy(payload.begin(), payload.end(), plain.begin() + 4);
  Rijndael cipher;
  return HexOf(Access::EncryptEnvelopeBlocks(cipher, key, plain));
}

TEST(StringEnvelope, MatchesAnIndependentImplementation) {
  // Cipher texts computed with libmcrypt's "rijndael-256" in ECB mode over
  // the envelope plaintext built by hand (tests/crypto/tools/mcrypt_vectors.c).
  Rijndael cipher;
  EXPECT_EQ(cipher.EncryptString(std::string("Pässwörd €"), std::string("comvorlix-key")),
            std::string("03D160352F3558F41C08097B36E83F0C3DB8BB01661B005D0AC2175E41526ECC"));
  EXPECT_EQ(cipher.EncryptString(std::string("ABCDEFGHIJKLMNO"), std::string("0123456789abcdefIGNORED")),
            std::string("45AE000FF96D76EC867AC7240044DD1E146C6C6E65FEAB341D155FA9A6309DCD"
              "A5DFC1286B9B814ACFD17B159CB4848770E33D8CFE68D7FC6CC4F7936461AFFA"));
}

TEST(StringEnvelope, HexLengthGrowsByOneBlockPer16Characters) {
  Rijndael cipher;
  const struct {
    size_t chars, digits;
  } cases[] = {{1, 64}, {14, 64}, {15, 128}, {30, 128}, {31, 192}, {46, 192}, {47, 256}};
  for (const auto& c : cases) {
    const std::string hex = cipher.EncryptString(std::string(c.chars, 'x'), std::string("k"));
    EXPECT_EQ(hex.size(), c.digits) << c.chars << " characters";
    EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos) << "upper-case digits only";
  }
}

TEST(StringEnvelope, SameTextAndKeyGiveTheSameCipherText) {
  Rijndael first;
  Rijndael second;
  const std::string a = first.EncryptString(std::string("secret"), std::string("key"));
  EXPECT_EQ(first.EncryptString(std::string("secret"), std::string("key")), a);
  EXPECT_EQ(second.EncryptString(std::string("secret"), std::string("key")), a);
  EXPECT_NE(first.EncryptString(std::string("secreT"), std::string("key")), a);
}

TEST(StringEnvelope, OnlyTheFirst16KeyCharactersCount) {
  Rijndael cipher;
  const std::string base = cipher.EncryptString(std::string("text"), std::string("0123456789abcdef"));
  EXPECT_EQ(cipher.EncryptString(std::string("text"), std::string("0123456789abcdefXYZ")), base);
  EXPECT_EQ(cipher.EncryptString(std::string("text"), std::string("0123456789abcdefQ")), base);
  EXPECT_NE(cipher.EncryptString(std::string("text"), std::string("0123456789abcdeF")), base);
  // Characters, not bytes: sixteen two-byte letters fill the key.
  std::string umlauts;
  for (int i = 0; i < 15; ++i) umlauts += "\u00e4";
  EXPECT_EQ(cipher.EncryptString("text", umlauts + "\u00e4X"), cipher.EncryptString("text", umlauts + "\u00e4Y"));
  EXPECT_NE(cipher.EncryptString("text", umlauts + "X"), cipher.EncryptString("text", umlauts + "Y"));
}

TEST(StringEnvelope, ShortKeysAreZeroFilled) {
  Rijndael cipher;
  std::string padded = "abc";
  padded.resize(16, '\0');
  EXPECT_EQ(cipher.EncryptString(std::string("text"), std::string("abc")),
            cipher.EncryptString(std::string("text"), padded));
  EXPECT_EQ(cipher.EncryptString(std::string("text"), std::string()),
            cipher.EncryptString(std::string("text"), std::string(16, '\0')));
  EXPECT_NE(cipher.EncryptString(std::string("text"), std::string()),
            cipher.EncryptString(std::string("text"), std::string("abc")));
}

TEST(StringEnvelope, KeyCharactersCountWithBothBytes) {
  // "\u0141" and "A" share their low byte; the UTF-16LE key tells them apart.
  Rijndael cipher;
  EXPECT_NE(cipher.EncryptString(std::string("text"), std::string("\u0141")),
            cipher.EncryptString(std::string("text"), std::string("A")));
}

TEST(StringEnvelope, RoundTrips) {
  std::mt19937 random(7);
  std::vector<std::string> texts = {std::string("a"), std::string("Pässwörd €"), std::string("日本語のパスワード"), std::string("with # and = signs"),
                             std::string(1, '\0'), std::string(14, 'z'), std::string(15, 'z'), std::string(1000, 'q'), std::string("\U0001F511 key")};
  std::u16string noisy;
  for (int i = 0; i < 300; ++i) noisy += static_cast<char16_t>(random() % 0xFFFF + 1);
  // Unpaired surrogates have no UTF-8 form: they round-trip as U+FFFD.
  texts.push_back(ToUtf8(noisy));
  const std::string keys[] = {"", "k", "0123456789abcdefghij", "Schlüssel€"};
  for (const std::string& key : keys) {
    for (const std::string& text : texts) {
      Rijndael cipher;
      EXPECT_EQ(cipher.DecryptString(cipher.EncryptString(text, key), key), text);
    }
  }
}

TEST(StringEnvelope, AcceptsLowerCaseHexadecimal) {
  Rijndael cipher;
  const std::string hex = cipher.EncryptString(std::string("Pässwörd €"), std::string("key"));
  ASSERT_NE(Lower(hex), hex);
  EXPECT_EQ(cipher.DecryptString(Lower(hex), std::string("key")), std::string("Pässwörd €"));
}

TEST(StringEnvelope, MalformedHexadecimalGivesTheFailureText) {
  Rijndael cipher;
  const std::string good = cipher.EncryptString(std::string("text"), std::string("key"));
  EXPECT_EQ(cipher.DecryptString(std::string(""), std::string("key")), kFailure);
  EXPECT_EQ(cipher.DecryptString(std::string("A"), std::string("key")), kFailure);
  EXPECT_EQ(cipher.DecryptString(good + "0", std::string("key")), kFailure) << "65 digits";
  for (char bad : {'G', 'Q', 'Z', ' ', '-'}) {
    std::string t = good;
    t[10] = bad;
    EXPECT_EQ(cipher.DecryptString(t, std::string("key")), kFailure) << static_cast<char>(bad);
  }
  EXPECT_EQ(cipher.DecryptString(Lower(good).substr(0, 62) + "\u00e4", std::string("key")), kFailure) << "a letter beyond ASCII";
}

TEST(StringEnvelope, CipherTextWithoutPayloadGivesTheFailureText) {
  Rijndael cipher;
  const std::string good = cipher.EncryptString(std::string("text"), std::string("key"));
  EXPECT_EQ(cipher.DecryptString(good.substr(0, 62), std::string("key")), kFailure) << "31 bytes";
  EXPECT_EQ(cipher.DecryptString(good + "00", std::string("key")), kFailure) << "33 bytes";
  EXPECT_EQ(cipher.DecryptString(std::string("ABCD"), std::string("key")), kFailure);
}

TEST(StringEnvelope, LengthFieldMustBePositiveAndFitTheData) {
  Rijndael cipher;
  const Bytes payload = {'h', 0, 'i', 0};
  EXPECT_EQ(cipher.DecryptString(CraftedBlock(std::string("key"), 4, payload), std::string("key")), std::string("hi"));
  EXPECT_EQ(cipher.DecryptString(CraftedBlock(std::string("key"), 28, payload), std::string("key")).size(), 14u);
  EXPECT_EQ(cipher.DecryptString(CraftedBlock(std::string("key"), 29, payload), std::string("key")), kFailure);
  EXPECT_EQ(cipher.DecryptString(CraftedBlock(std::string("key"), 0, payload), std::string("key")), kFailure);
  EXPECT_EQ(cipher.DecryptString(CraftedBlock(std::string("key"), 0xFFFFFFFF, payload), std::string("key")),
            kFailure);
  EXPECT_EQ(cipher.DecryptString(CraftedBlock(std::string("key"), 0x80000000, payload), std::string("key")),
            kFailure);
}

TEST(StringEnvelope, OddPayloadEndsWithItsLoneByteAsACharacter) {
  Rijndael cipher;
  const Bytes payload = {'h', 0, 'i'};
  EXPECT_EQ(cipher.DecryptString(CraftedBlock(std::string("key"), 3, payload), std::string("key")), std::string("hi"));
}

TEST(StringEnvelope, ZeroFillIsNotExamined) {
  Rijndael cipher;
  const Bytes payload = {'h', 0, 'i', 0, 0xAA, 0xBB};
  EXPECT_EQ(cipher.DecryptString(CraftedBlock(std::string("key"), 4, payload), std::string("key")), std::string("hi"));
}

TEST(StringEnvelope, WrongKeyGivesTheFailureText) {
  Rijndael cipher;
  const std::string hex = cipher.EncryptString(std::string("Pässwörd €"), std::string("comvorlix-key"));
  EXPECT_EQ(cipher.DecryptString(hex, std::string("comvorlix-kez")), kFailure);
}

TEST(StringEnvelope, EncryptingTheEmptyTextFails) {
  Rijndael cipher;
  try {
    cipher.EncryptString(std::string(), std::string("key"));
    FAIL() << "no error raised";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.description(), "Subscript out of range");
  }
}

}  // namespace
}  // namespace comvorlix

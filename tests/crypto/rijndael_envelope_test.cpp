// The string envelope of Rijndael: layout against an independent
// implementation, lengths, key handling, round trips and failure texts.
#include <gtest/gtest.h>

#include <random>
#include <string>

#include "automation/automation_error.h"
#include "automation/text.h"
#include "support/rijndael_test_access.h"

namespace comvorlix {
namespace {

using Access = RijndaelTestAccess;
using Bytes = Access::Bytes;

const Text kFailure = T("ERROR RIJNDAEL DECRYPTING STRING");

Text HexOf(const Bytes& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  Text out;
  for (uint8_t b : bytes) {
    out += static_cast<char16_t>(kDigits[b >> 4]);
    out += static_cast<char16_t>(kDigits[b & 15]);
  }
  return out;
}

Text Lower(Text t) {
  for (auto& c : t) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return t;
}

// One envelope block holding `length_field` as its length and the given
// payload bytes, encrypted under `key`: cipher texts this component never
// writes itself.
Text CraftedBlock(TextView key, uint32_t length_field, const Bytes& payload) {
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
  EXPECT_EQ(cipher.EncryptString(T("Pässwörd €"), T("comvorlix-key"), true),
            T("03D160352F3558F41C08097B36E83F0C3DB8BB01661B005D0AC2175E41526ECC"));
  EXPECT_EQ(cipher.EncryptString(T("ABCDEFGHIJKLMNO"), T("0123456789abcdefIGNORED"), true),
            T("45AE000FF96D76EC867AC7240044DD1E146C6C6E65FEAB341D155FA9A6309DCD"
              "A5DFC1286B9B814ACFD17B159CB4848770E33D8CFE68D7FC6CC4F7936461AFFA"));
}

TEST(StringEnvelope, HexLengthGrowsByOneBlockPer16Characters) {
  Rijndael cipher;
  const struct {
    size_t chars, digits;
  } cases[] = {{1, 64}, {14, 64}, {15, 128}, {30, 128}, {31, 192}, {46, 192}, {47, 256}};
  for (const auto& c : cases) {
    const Text hex = cipher.EncryptString(Text(c.chars, u'x'), T("k"), true);
    EXPECT_EQ(hex.size(), c.digits) << c.chars << " characters";
    EXPECT_EQ(hex.find_first_not_of(u"0123456789ABCDEF"), Text::npos) << "upper-case digits only";
  }
}

TEST(StringEnvelope, RawFormHasOneCharacterPerCipherByte) {
  Rijndael cipher;
  const Text raw = cipher.EncryptString(T("Pässwörd €"), T("comvorlix-key"), false);
  ASSERT_EQ(raw.size(), 32u);
  std::string hex;
  for (char16_t c : raw) {
    char pair[3];
    snprintf(pair, sizeof pair, "%02X", AnsiByteOf(c));
    hex += pair;
  }
  EXPECT_EQ(hex, "03D160352F3558F41C08097B36E83F0C3DB8BB01661B005D0AC2175E41526ECC");
}

TEST(StringEnvelope, SameTextAndKeyGiveTheSameCipherText) {
  Rijndael first;
  Rijndael second;
  const Text a = first.EncryptString(T("secret"), T("key"), true);
  EXPECT_EQ(first.EncryptString(T("secret"), T("key"), true), a);
  EXPECT_EQ(second.EncryptString(T("secret"), T("key"), true), a);
  EXPECT_NE(first.EncryptString(T("secreT"), T("key"), true), a);
}

TEST(StringEnvelope, OnlyTheFirst16KeyCharactersCount) {
  Rijndael cipher;
  const Text base = cipher.EncryptString(T("text"), T("0123456789abcdef"), true);
  EXPECT_EQ(cipher.EncryptString(T("text"), T("0123456789abcdefXYZ"), true), base);
  EXPECT_EQ(cipher.EncryptString(T("text"), T("0123456789abcdefQ"), true), base);
  EXPECT_NE(cipher.EncryptString(T("text"), T("0123456789abcdeF"), true), base);
}

TEST(StringEnvelope, ShortKeysAreZeroFilled) {
  Rijndael cipher;
  Text padded = T("abc");
  padded.resize(16, u'\0');
  EXPECT_EQ(cipher.EncryptString(T("text"), T("abc"), true),
            cipher.EncryptString(T("text"), padded, true));
  EXPECT_EQ(cipher.EncryptString(T("text"), Text(), true),
            cipher.EncryptString(T("text"), Text(16, u'\0'), true));
  EXPECT_NE(cipher.EncryptString(T("text"), Text(), true),
            cipher.EncryptString(T("text"), T("abc"), true));
}

TEST(StringEnvelope, KeyCharactersCountWithBothBytes) {
  // "\u0141" and "A" share their low byte; the UTF-16LE key tells them apart.
  Rijndael cipher;
  EXPECT_NE(cipher.EncryptString(T("text"), T("\u0141"), true),
            cipher.EncryptString(T("text"), T("A"), true));
}

TEST(StringEnvelope, RoundTripsInBothForms) {
  std::mt19937 random(7);
  std::vector<Text> texts = {T("a"), T("Pässwörd €"), T("日本語のパスワード"), T("with # and = signs"),
                             Text(1, u'\0'), Text(14, u'z'), Text(15, u'z'), Text(1000, u'q')};
  Text noisy;
  for (int i = 0; i < 300; ++i) noisy += static_cast<char16_t>(random() % 0xFFFF + 1);
  texts.push_back(noisy);
  const Text keys[] = {T(""), T("k"), T("0123456789abcdefghij"), T("Schlüssel€")};
  for (const Text& key : keys) {
    for (const Text& text : texts) {
      Rijndael cipher;
      EXPECT_EQ(cipher.DecryptString(cipher.EncryptString(text, key, true), key, true), text);
      EXPECT_EQ(cipher.DecryptString(cipher.EncryptString(text, key, false), key, false), text);
    }
  }
}

TEST(StringEnvelope, AcceptsLowerCaseHexadecimal) {
  Rijndael cipher;
  const Text hex = cipher.EncryptString(T("Pässwörd €"), T("key"), true);
  ASSERT_NE(Lower(hex), hex);
  EXPECT_EQ(cipher.DecryptString(Lower(hex), T("key"), true), T("Pässwörd €"));
}

TEST(StringEnvelope, RawDecryptionReadsTheHexadecimalFormAsCharacters) {
  // With the raw form expected, a hexadecimal text is taken as cipher bytes
  // (its digits' character codes), which is not this envelope.
  Rijndael cipher;
  const Text hex = cipher.EncryptString(T("text"), T("key"), true);
  EXPECT_EQ(cipher.DecryptString(hex, T("key"), false), kFailure);
}

TEST(StringEnvelope, MalformedHexadecimalGivesTheFailureText) {
  Rijndael cipher;
  const Text good = cipher.EncryptString(T("text"), T("key"), true);
  EXPECT_EQ(cipher.DecryptString(T(""), T("key"), true), kFailure);
  EXPECT_EQ(cipher.DecryptString(T("A"), T("key"), true), kFailure);
  EXPECT_EQ(cipher.DecryptString(good + u"0", T("key"), true), kFailure) << "65 digits";
  for (char16_t bad : {u'G', u'Q', u'Z', u' ', u'-'}) {
    Text t = good;
    t[10] = bad;
    EXPECT_EQ(cipher.DecryptString(t, T("key"), true), kFailure) << static_cast<char>(bad);
  }
  EXPECT_EQ(cipher.DecryptString(T(""), T("key"), false), kFailure);
  EXPECT_EQ(cipher.DecryptString(T("x"), T("key"), false), kFailure);
}

TEST(StringEnvelope, CipherTextWithoutPayloadGivesTheFailureText) {
  Rijndael cipher;
  const Text good = cipher.EncryptString(T("text"), T("key"), true);
  EXPECT_EQ(cipher.DecryptString(good.substr(0, 62), T("key"), true), kFailure) << "31 bytes";
  EXPECT_EQ(cipher.DecryptString(good + u"00", T("key"), true), kFailure) << "33 bytes";
  EXPECT_EQ(cipher.DecryptString(T("ABCD"), T("key"), true), kFailure);
}

TEST(StringEnvelope, LengthFieldMustBePositiveAndFitTheData) {
  Rijndael cipher;
  const Bytes payload = {'h', 0, 'i', 0};
  EXPECT_EQ(cipher.DecryptString(CraftedBlock(T("key"), 4, payload), T("key"), true), T("hi"));
  EXPECT_EQ(cipher.DecryptString(CraftedBlock(T("key"), 28, payload), T("key"), true).size(), 14u);
  EXPECT_EQ(cipher.DecryptString(CraftedBlock(T("key"), 29, payload), T("key"), true), kFailure);
  EXPECT_EQ(cipher.DecryptString(CraftedBlock(T("key"), 0, payload), T("key"), true), kFailure);
  EXPECT_EQ(cipher.DecryptString(CraftedBlock(T("key"), 0xFFFFFFFF, payload), T("key"), true),
            kFailure);
  EXPECT_EQ(cipher.DecryptString(CraftedBlock(T("key"), 0x80000000, payload), T("key"), true),
            kFailure);
}

TEST(StringEnvelope, OddPayloadEndsWithItsLoneByteAsACharacter) {
  Rijndael cipher;
  const Bytes payload = {'h', 0, 'i'};
  EXPECT_EQ(cipher.DecryptString(CraftedBlock(T("key"), 3, payload), T("key"), true), T("hi"));
}

TEST(StringEnvelope, ZeroFillIsNotExamined) {
  Rijndael cipher;
  const Bytes payload = {'h', 0, 'i', 0, 0xAA, 0xBB};
  EXPECT_EQ(cipher.DecryptString(CraftedBlock(T("key"), 4, payload), T("key"), true), T("hi"));
}

TEST(StringEnvelope, WrongKeyGivesTheFailureText) {
  Rijndael cipher;
  const Text hex = cipher.EncryptString(T("Pässwörd €"), T("comvorlix-key"), true);
  EXPECT_EQ(cipher.DecryptString(hex, T("comvorlix-kez"), true), kFailure);
}

TEST(StringEnvelope, EncryptingTheEmptyTextFails) {
  Rijndael cipher;
  try {
    cipher.EncryptString(Text(), T("key"), true);
    FAIL() << "no error raised";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.description(), "Subscript out of range");
  }
}

}  // namespace
}  // namespace comvorlix

// Secret fields: encrypted form, Base64 fallback and the empty field.
#include "params/secret_field.h"

#include <gtest/gtest.h>

#include "crypto/rijndael.h"
#include "params/base64.h"
#include "base/automation_error.h"

namespace comvorlix {
namespace {

TEST(SecretField, EmptyStaysEmpty) {
  EXPECT_EQ(EncodeSecretField(std::string(), true), std::string());
  EXPECT_EQ(DecodeSecretField(std::string(), true), std::string());
  EXPECT_EQ(EncodeSecretField(std::string(), false), std::string());
  EXPECT_EQ(DecodeSecretField(std::string(), false), std::string());
}

TEST(SecretField, EncodedFormDecodesToTheClearText) {
  for (const std::string& clear : {std::string("a"), std::string("secret"), std::string("Pässwörd €"), std::string("日本語"), std::string("with#hash=equals"),
                            std::string("0123456789ABCDEF"), std::string(100, 'p')}) {
    EXPECT_EQ(DecodeSecretField(EncodeSecretField(clear, true), true), clear) << (clear);
  }
}

TEST(SecretField, TheTextOfAFailedDecryptionIsRefusedRatherThanStoredUnreadable) {
  try {
    (void)EncodeSecretField(kDecryptFailed, true);
    ADD_FAILURE() << "stored";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.description(),
              "a password cannot be \"ERROR RIJNDAEL DECRYPTING STRING\": it would not read back");
  }
}

TEST(SecretField, EncodedFormIsUpperCaseHexadecimal) {
  const std::string stored = EncodeSecretField(std::string("Pässwörd €"), true);
  EXPECT_EQ(stored.size(), 64u);
  EXPECT_EQ(stored.find_first_not_of("0123456789ABCDEF"), std::string::npos);
  EXPECT_EQ(EncodeSecretField(std::string("Pässwörd €"), true), stored) << "same input, same output";
}

TEST(SecretField, FieldsStoredByEarlierVersionsStillDecode) {
  // Stored forms written by this component before; a change of the pass
  // phrase or of the envelope would make every stored password unreadable.
  EXPECT_EQ(DecodeSecretField(std::string("E4BDD313B5141D72DB413C57BDD5F80B54F4D6541ED4A0D3CE1CC9F4F51F9818"), true),
            std::string("secret"));
  EXPECT_EQ(DecodeSecretField(std::string("441d6f1ece8a4c93cc943264d33fdd58da64a7ee706eeb3bb3bbf8eba5bf6275"), true),
            std::string("Pässwörd €"));
}

TEST(SecretField, OtherKeysDoNotDecryptAStoredField) {
  const std::string stored = EncodeSecretField(std::string("secret"), true);
  Rijndael cipher;
  EXPECT_EQ(cipher.DecryptString(stored, std::string("not the passphrase")),
            std::string("ERROR RIJNDAEL DECRYPTING STRING"));
  EXPECT_EQ(cipher.DecryptString(stored, std::string()), std::string("ERROR RIJNDAEL DECRYPTING STRING"));
}

TEST(SecretField, OlderBase64FormIsStillRead) {
  EXPECT_EQ(DecodeSecretField(std::string("c2VjcmV0"), true), std::string("secret"));
  EXPECT_EQ(DecodeSecretField(std::string("YQ=="), true), std::string("a"));
  EXPECT_EQ(DecodeSecretField(std::string("cGFzc3dvcmQ="), true), std::string("password"));
}

TEST(SecretField, HexadecimalThatDoesNotDecryptFallsBackToBase64) {
  // Even length, hexadecimal digits only, but not whole cipher blocks.
  EXPECT_EQ(DecodeSecretField(std::string("ABCD"), true), Base64Decode(std::string("ABCD")));
  // Whole blocks encrypted under another key.
  Rijndael cipher;
  const std::string foreign = cipher.EncryptString(std::string("secret"), std::string("another key"));
  EXPECT_EQ(DecodeSecretField(foreign, true), Base64Decode(foreign));
}

TEST(SecretField, WithoutEncryptionOnlyBase64IsUsed) {
  EXPECT_EQ(EncodeSecretField(std::string("secret"), false), std::string("c2VjcmV0"));
  EXPECT_EQ(DecodeSecretField(std::string("c2VjcmV0"), false), std::string("secret"));
  const std::string stored = EncodeSecretField(std::string("secret"), true);
  EXPECT_EQ(DecodeSecretField(stored, false), Base64Decode(stored));
  EXPECT_EQ(DecodeSecretField(EncodeSecretField(std::string("Pässwörd"), false), false), std::string("Pässwörd"));
}

TEST(SecretField, UndecodableFieldFailsWithInvalidArgument) {
  for (const std::string& bad : {std::string("="), std::string("QQ====")}) {
    try {
      DecodeSecretField(bad, true);
      FAIL() << "no error for " << (bad);
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.status(), Status::kInvalidArgument);
      EXPECT_EQ(e.description(), "Invalid procedure call or argument");
    }
  }
}

}  // namespace
}  // namespace comvorlix

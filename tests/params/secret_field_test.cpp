// Secret fields: encrypted form, Base64 fallback and the empty field.
#include "params/secret_field.h"

#include <gtest/gtest.h>

#include "crypto/rijndael.h"
#include "params/base64.h"
#include "automation/automation_error.h"

namespace comvorlix {
namespace {

TEST(SecretField, EmptyStaysEmpty) {
  EXPECT_EQ(EncodeSecretField(Text(), true), Text());
  EXPECT_EQ(DecodeSecretField(Text(), true), Text());
  EXPECT_EQ(EncodeSecretField(Text(), false), Text());
  EXPECT_EQ(DecodeSecretField(Text(), false), Text());
}

TEST(SecretField, EncodedFormDecodesToTheClearText) {
  for (const Text& clear : {T("a"), T("secret"), T("Pässwörd €"), T("日本語"), T("with#hash=equals"),
                            T("0123456789ABCDEF"), Text(100, u'p')}) {
    EXPECT_EQ(DecodeSecretField(EncodeSecretField(clear, true), true), clear) << ToUtf8(clear);
  }
}

TEST(SecretField, EncodedFormIsUpperCaseHexadecimal) {
  const Text stored = EncodeSecretField(T("Pässwörd €"), true);
  EXPECT_EQ(stored.size(), 64u);
  EXPECT_EQ(stored.find_first_not_of(u"0123456789ABCDEF"), Text::npos);
  EXPECT_EQ(EncodeSecretField(T("Pässwörd €"), true), stored) << "same input, same output";
}

TEST(SecretField, FieldsStoredByEarlierVersionsStillDecode) {
  // Stored forms written by this component before; a change of the pass
  // phrase or of the envelope would make every stored password unreadable.
  EXPECT_EQ(DecodeSecretField(T("E4BDD313B5141D72DB413C57BDD5F80B54F4D6541ED4A0D3CE1CC9F4F51F9818"), true),
            T("secret"));
  EXPECT_EQ(DecodeSecretField(T("441d6f1ece8a4c93cc943264d33fdd58da64a7ee706eeb3bb3bbf8eba5bf6275"), true),
            T("Pässwörd €"));
}

TEST(SecretField, OtherKeysDoNotDecryptAStoredField) {
  const Text stored = EncodeSecretField(T("secret"), true);
  Rijndael cipher;
  EXPECT_EQ(cipher.DecryptString(stored, T("not the passphrase"), true),
            T("ERROR RIJNDAEL DECRYPTING STRING"));
  EXPECT_EQ(cipher.DecryptString(stored, Text(), true), T("ERROR RIJNDAEL DECRYPTING STRING"));
}

TEST(SecretField, OlderBase64FormIsStillRead) {
  EXPECT_EQ(DecodeSecretField(T("c2VjcmV0"), true), T("secret"));
  EXPECT_EQ(DecodeSecretField(T("YQ=="), true), T("a"));
  EXPECT_EQ(DecodeSecretField(T("cGFzc3dvcmQ="), true), T("password"));
}

TEST(SecretField, HexadecimalThatDoesNotDecryptFallsBackToBase64) {
  // Even length, hexadecimal digits only, but not whole cipher blocks.
  EXPECT_EQ(DecodeSecretField(T("ABCD"), true), Base64Decode(T("ABCD")));
  // Whole blocks encrypted under another key.
  Rijndael cipher;
  const Text foreign = cipher.EncryptString(T("secret"), T("another key"), true);
  EXPECT_EQ(DecodeSecretField(foreign, true), Base64Decode(foreign));
}

TEST(SecretField, WithoutEncryptionOnlyBase64IsUsed) {
  EXPECT_EQ(EncodeSecretField(T("secret"), false), T("c2VjcmV0"));
  EXPECT_EQ(DecodeSecretField(T("c2VjcmV0"), false), T("secret"));
  const Text stored = EncodeSecretField(T("secret"), true);
  EXPECT_EQ(DecodeSecretField(stored, false), Base64Decode(stored));
  EXPECT_EQ(DecodeSecretField(EncodeSecretField(T("Pässwörd"), false), false), T("Pässwörd"));
}

TEST(SecretField, UndecodableFieldFailsWithInvalidArgument) {
  for (const Text& bad : {T("="), T("QQ====")}) {
    try {
      DecodeSecretField(bad, true);
      FAIL() << "no error for " << ToUtf8(bad);
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.status(), Status::kInvalidArgument);
      EXPECT_EQ(e.description(), "Invalid procedure call or argument");
    }
  }
}

}  // namespace
}  // namespace comvorlix

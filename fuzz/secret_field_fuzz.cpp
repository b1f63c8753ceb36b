// Fuzz target: decoding of the secret fields and the string envelope of
// Rijndael, on the hexadecimal and the Base64 path.
//
// The first input byte chooses a mode (its value modulo 4), the rest is
// the mode's data:
//  0  a stored field (UTF-8) for DecodeSecretField, with and without
//     decryption (bit 2 of the mode byte picks which runs first): it gives
//     a text or throws the Base64 error, nothing else;
//  1  a clear text (UTF-8): encoding and decoding round-trip, hexadecimal
//     and Base64 forms;
//  2  a hand-made envelope: one byte N, N characters of key (UTF-8 bytes
//     taken one for one), then the envelope plaintext (length field and
//     payload, zero-filled to whole blocks). Encrypted with the cipher core,
//     DecryptString must give back exactly the payload the length field
//     announces (upper- and lower-case hexadecimal and raw form), or the
//     failure text when the field is not positive or too large;
//  3  a cipher text (UTF-8) decrypted with the first line as key, in
//     hexadecimal and raw form: never throws.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "crypto/rijndael.h"
#include "crypto/support/rijndael_test_access.h"
#include "fuzz_support.h"
#include "params/secret_field.h"
#include "automation/automation_error.h"

using comvorlix::Text;
using comvorlix::TextView;

namespace {

bool IsUpperHex(char16_t c) { return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'); }

void DecodeOnce(const Text& field, bool try_decrypt) {
  try {
    (void)comvorlix::DecodeSecretField(field, try_decrypt);
  } catch (const comvorlix::AutomationError& e) {
    FUZZ_CHECK(e.status() == comvorlix::Status::kInvalidArgument);
    FUZZ_CHECK(e.description() == "Invalid procedure call or argument");
  }
}

void DecodeField(const Text& field, bool decrypt_first) {
  DecodeOnce(field, decrypt_first);
  DecodeOnce(field, !decrypt_first);
}

void RoundTrip(const Text& clear) {
  const Text hex = comvorlix::EncodeSecretField(clear, true);
  FUZZ_CHECK(hex.size() % 64 == 0);
  FUZZ_CHECK(clear.empty() == hex.empty());
  for (char16_t c : hex) FUZZ_CHECK(IsUpperHex(c));
  FUZZ_CHECK(comvorlix::DecodeSecretField(hex, true) == clear);

  const Text base64 = comvorlix::EncodeSecretField(clear, false);
  FUZZ_CHECK(comvorlix::DecodeSecretField(base64, false) == comvorlix::FromAnsi(comvorlix::ToAnsi(clear)));
}

Text Lower(TextView hex) {
  Text out(hex);
  for (char16_t& c : out) {
    if (c >= u'A' && c <= u'F') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  return out;
}

void CraftedEnvelope(comvorlix::fuzz::InputReader& in) {
  using Access = comvorlix::RijndaelTestAccess;
  const Text key = comvorlix::FromAnsi(in.Bytes(in.Byte()));
  const std::string_view plain = in.Rest();
  if (plain.empty()) return;
  Access::Bytes blocks(plain.begin(), plain.end());
  blocks.resize((blocks.size() + 31) / 32 * 32, 0);

  int32_t length = 0;
  for (int i = 0; i < 4; ++i) length = static_cast<int32_t>(static_cast<uint32_t>(length) | uint32_t{blocks[i]} << (8 * i));
  Text expected = comvorlix::kDecryptFailureText;
  if (length > 0 && static_cast<size_t>(length) <= blocks.size() - 4) {
    expected = comvorlix::FromUtf16Le(
        std::string(reinterpret_cast<const char*>(blocks.data()) + 4, static_cast<size_t>(length)));
  }

  comvorlix::Rijndael cipher;
  const Access::Bytes encrypted = Access::EncryptEnvelopeBlocks(cipher, key, blocks);
  Text hex;
  for (uint8_t b : encrypted) {
    hex += static_cast<char16_t>("0123456789ABCDEF"[b >> 4]);
    hex += static_cast<char16_t>("0123456789ABCDEF"[b & 15]);
  }
  const Text raw = comvorlix::FromAnsi(std::string(encrypted.begin(), encrypted.end()));
  FUZZ_CHECK(cipher.DecryptString(hex, key, true) == expected);
  FUZZ_CHECK(cipher.DecryptString(Lower(hex), key, true) == expected);
  FUZZ_CHECK(cipher.DecryptString(raw, key, false) == expected);
  // A block short, or one digit short, never decrypts.
  FUZZ_CHECK(cipher.DecryptString(TextView(hex).substr(0, hex.size() - 1), key, true) ==
             comvorlix::kDecryptFailureText);
  FUZZ_CHECK(cipher.DecryptString(TextView(raw).substr(0, raw.size() - 1), key, false) ==
             comvorlix::kDecryptFailureText);
}

void DecryptAnything(comvorlix::fuzz::InputReader& in) {
  const Text key = comvorlix::FromUtf8(in.Line());
  const Text text = comvorlix::FromUtf8(in.Rest());
  comvorlix::Rijndael cipher;
  (void)cipher.DecryptString(text, key, true);
  (void)cipher.DecryptString(text, key, false);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  comvorlix::fuzz::InputReader in(data, size);
  const uint8_t mode = in.Byte();
  switch (mode % 4) {
    case 0:
      DecodeField(comvorlix::FromUtf8(in.Rest()), (mode & 4) != 0);
      break;
    case 1:
      RoundTrip(comvorlix::FromUtf8(in.Rest()));
      break;
    case 2:
      CraftedEnvelope(in);
      break;
    default:
      DecryptAnything(in);
      break;
  }
  return 0;
}

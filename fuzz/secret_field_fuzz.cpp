// Fuzz target: decoding of the secret fields and the string envelope of
// Rijndael, on the hexadecimal and the Base64 path.
//
// The first input byte chooses a mode (its value modulo 4), the rest is
// the mode's data (any bytes; the fields take UTF-8):
//  0  a stored field for DecodeSecretField, with and without decryption
//     (bit 2 of the mode byte picks which runs first): it gives a string
//     or throws the Base64 error, nothing else;
//  1  a clear text: encoding and decoding round-trip, hexadecimal and
//     Base64 forms;
//  2  a hand-made envelope: one byte N, N bytes of key, then the envelope
//     plaintext (length field and payload, zero-filled to whole blocks).
//     Encrypted with the cipher core, DecryptString must give back exactly
//     the payload the length field announces (upper- and lower-case
//     hexadecimal), or the failure text when the field is not positive or
//     too large;
//  3  a cipher text decrypted with the first line as key: never throws.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "crypto/rijndael.h"
#include "crypto/support/rijndael_test_access.h"
#include "fuzz_support.h"
#include "params/secret_field.h"
#include "base/automation_error.h"
#include "base/bytes.h"
#include "automation/text.h"

namespace {

bool IsUpperHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

void DecodeOnce(std::string_view field, bool try_decrypt) {
  try {
    (void)comvorlix::DecodeSecretField(field, try_decrypt);
  } catch (const comvorlix::AutomationError& e) {
    FUZZ_CHECK(e.status() == comvorlix::Status::kInvalidArgument);
    FUZZ_CHECK(e.description() == "Invalid procedure call or argument");
  }
}

void DecodeField(std::string_view field, bool decrypt_first) {
  DecodeOnce(field, decrypt_first);
  DecodeOnce(field, !decrypt_first);
}

void RoundTrip(std::string_view any) {
  // What a clear text becomes on its way through the envelope (malformed
  // bytes are U+FFFD) decrypts to itself.
  const std::string clear = comvorlix::ToUtf8(comvorlix::FromUtf8(any));
  if (any == comvorlix::kDecryptFailed) {
    // Refused: decoding would take it for a failed decryption.
    bool refused = false;
    try {
      (void)comvorlix::EncodeSecretField(any, true);
    } catch (const comvorlix::AutomationError& e) {
      refused = e.status() == comvorlix::Status::kInvalidArgument;
    }
    FUZZ_CHECK(refused);
    return;
  }
  const std::string hex = comvorlix::EncodeSecretField(any, true);
  FUZZ_CHECK(hex.size() % 64 == 0);
  FUZZ_CHECK(any.empty() == hex.empty());
  for (char c : hex) FUZZ_CHECK(IsUpperHex(c));
  FUZZ_CHECK(comvorlix::DecodeSecretField(hex, true) == clear);

  const std::string base64 = comvorlix::EncodeSecretField(any, false);
  FUZZ_CHECK(comvorlix::DecodeSecretField(base64, false) ==
             comvorlix::Utf8OfCp1252(comvorlix::Cp1252OfUtf8(any)));
}

std::string Lower(std::string_view hex) {
  std::string out(hex);
  for (char& c : out) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

void CraftedEnvelope(comvorlix::fuzz::InputReader& in) {
  using Access = comvorlix::RijndaelTestAccess;
  const std::string key(in.Bytes(in.Byte()));
  const std::string_view plain = in.Rest();
  if (plain.empty()) return;
  Access::Bytes blocks(plain.begin(), plain.end());
  blocks.resize((blocks.size() + 31) / 32 * 32, 0);

  int32_t length = 0;
  for (int i = 0; i < 4; ++i) length = static_cast<int32_t>(static_cast<uint32_t>(length) | uint32_t{blocks[i]} << (8 * i));
  std::string expected(comvorlix::kDecryptFailed);
  if (length > 0 && static_cast<size_t>(length) <= blocks.size() - 4) {
    expected = comvorlix::ToUtf8(comvorlix::FromUtf16Le(
        std::string(reinterpret_cast<const char*>(blocks.data()) + 4, static_cast<size_t>(length))));
  }

  comvorlix::Rijndael cipher;
  const Access::Bytes encrypted = Access::EncryptEnvelopeBlocks(cipher, key, blocks);
  std::string hex;
  for (uint8_t b : encrypted) {
    hex += "0123456789ABCDEF"[b >> 4];
    hex += "0123456789ABCDEF"[b & 15];
  }
  FUZZ_CHECK(cipher.DecryptString(hex, key) == expected);
  FUZZ_CHECK(cipher.DecryptString(Lower(hex), key) == expected);
  // One digit short never decrypts.
  FUZZ_CHECK(cipher.DecryptString(std::string_view(hex).substr(0, hex.size() - 1), key) == comvorlix::kDecryptFailed);
}

void DecryptAnything(comvorlix::fuzz::InputReader& in) {
  const std::string key(in.Line());
  const std::string text(in.Rest());
  comvorlix::Rijndael cipher;
  (void)cipher.DecryptString(text, key);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  comvorlix::fuzz::InputReader in(data, size);
  const uint8_t mode = in.Byte();
  switch (mode % 4) {
    case 0:
      DecodeField(in.Rest(), (mode & 4) != 0);
      break;
    case 1:
      RoundTrip(in.Rest());
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

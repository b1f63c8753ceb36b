#include "params/secret_field.h"

#include <array>

#include "crypto/rijndael.h"
#include "crypto/secure_wipe.h"
#include "params/base64.h"

namespace comvorlix {
namespace {

// The fixed pass phrase of the secret fields (32 printable ASCII
// characters), assembled from its character codes only while a call needs
// it, so it is never one literal in the binary, and wiped afterwards.
class FieldPassphrase {
 public:
  FieldPassphrase() {
    static constexpr std::array<int, 32> kCodes = {
        111, 77, 121, 87, 52, 53,  53, 83,  56,  125, 47, 36,  105, 107, 103, 65,
        68,  83, 78,  85, 57, 102, 36, 57,  72,  50,  110, 64, 118, 117, 60, 102};
    text_.reserve(kCodes.size());
    for (int code : kCodes) text_ += static_cast<char16_t>(code);
  }
  FieldPassphrase(const FieldPassphrase&) = delete;
  FieldPassphrase& operator=(const FieldPassphrase&) = delete;
  ~FieldPassphrase() { SecureWipe(text_); }

  TextView view() const { return text_; }

 private:
  Text text_;
};

}  // namespace

Text DecodeSecretField(TextView text, bool try_decrypt) {
  if (!try_decrypt || text.empty()) return Base64Decode(text);
  const FieldPassphrase passphrase;
  Rijndael cipher;
  Text clear = cipher.DecryptString(text, passphrase.view(), true);
  if (clear == kDecryptFailureText) return Base64Decode(text);
  return clear;
}

Text EncodeSecretField(TextView text, bool encrypt) {
  if (!encrypt) return Base64Encode(text);
  // The string envelope rejects the empty text; an empty secret is stored
  // as an empty value.
  if (text.empty()) return Text();
  const FieldPassphrase passphrase;
  Rijndael cipher;
  return cipher.EncryptString(text, passphrase.view(), true);
}

}  // namespace comvorlix

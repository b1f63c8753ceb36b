#include "params/secret_field.h"

#include <array>

#include "base/automation_error.h"
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
    phrase_.reserve(kCodes.size());
    for (int code : kCodes) phrase_ += static_cast<char>(code);
  }
  FieldPassphrase(const FieldPassphrase&) = delete;
  FieldPassphrase& operator=(const FieldPassphrase&) = delete;
  ~FieldPassphrase() { SecureWipe(phrase_); }

  std::string_view view() const { return phrase_; }

 private:
  std::string phrase_;
};

}  // namespace

std::string DecodeSecretField(std::string_view stored, bool try_decrypt) {
  if (!try_decrypt || stored.empty()) return Base64Decode(stored);
  const FieldPassphrase passphrase;
  Rijndael cipher;
  std::string clear = cipher.DecryptString(stored, passphrase.view());
  if (clear == kDecryptFailed) return Base64Decode(stored);
  return clear;
}

std::string EncodeSecretField(std::string_view clear, bool encrypt) {
  if (!encrypt) return Base64Encode(clear);
  // The string envelope rejects the empty string; an empty secret is stored
  // as an empty value.
  if (clear.empty()) return std::string();
  // Decoding takes this text for a failed decryption and reads the field as
  // Base64: stored, it would come back as something else.
  if (clear == kDecryptFailed) {
    throw AutomationError(Status::kInvalidArgument,
                          "a password cannot be \"" + std::string(kDecryptFailed) + "\": it would not read back");
  }
  const FieldPassphrase passphrase;
  Rijndael cipher;
  return cipher.EncryptString(clear, passphrase.view());
}

}  // namespace comvorlix

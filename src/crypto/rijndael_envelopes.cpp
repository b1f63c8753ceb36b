// The string envelope of Rijndael: Rijndael with a 256-bit
// block and key in ECB mode, a 4-byte length prefix and zero fill.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <exception>

#include "crypto/rijndael.h"
#include "crypto/secure_wipe.h"
#include "base/automation_error.h"
#include "base/bytes.h"

namespace comvorlix {
namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// The bytes written by a text of hexadecimal digit pairs; false when the text
// is shorter than one pair, has an odd length or holds a non-digit (any
// byte of a character beyond ASCII is one).
bool HexToBytes(std::string_view hex, std::string& bytes) {
  if (hex.size() < 2 || hex.size() % 2 != 0) return false;
  bytes.resize(hex.size() / 2);
  for (size_t i = 0; i < bytes.size(); ++i) {
    const int high = HexValue(hex[2 * i]);
    const int low = HexValue(hex[2 * i + 1]);
    if (high < 0 || low < 0) return false;
    bytes[i] = static_cast<char>(high * 16 + low);
  }
  return true;
}

// Holds its bytes until destruction, then wipes them; for key material and
// clear texts on their way through the cipher.
struct WipedBytes {
  std::string bytes;
  WipedBytes() = default;
  explicit WipedBytes(std::string b) : bytes(std::move(b)) {}
  WipedBytes(const WipedBytes&) = delete;
  WipedBytes& operator=(const WipedBytes&) = delete;
  ~WipedBytes() { SecureWipe(bytes); }
};

// Wipes a key array when the scope ends, also when an error leaves it.
template <typename T>
class WipeOnExit {
 public:
  explicit WipeOnExit(T& target) : target_(target) {}
  WipeOnExit(const WipeOnExit&) = delete;
  WipeOnExit& operator=(const WipeOnExit&) = delete;
  ~WipeOnExit() { SecureWipe(target_); }

 private:
  T& target_;
};

}  // namespace

Rijndael::EnvelopeKeyBytes Rijndael::MakeEnvelopeKey(std::string_view key) {
  EnvelopeKeyBytes bytes{};
  const WipedBytes utf16(Utf8AsUtf16Le(key));
  std::copy_n(utf16.bytes.begin(), std::min(utf16.bytes.size(), bytes.size()), bytes.begin());
  return bytes;
}

std::string Rijndael::EncryptBytes(const std::string& payload, const EnvelopeKeyBytes& key) {
  BuildTables();
  ExpandKey(kEnvelopeWords, kEnvelopeWords, key);

  const size_t length = payload.size();
  // The length field is a signed 32-bit number.
  if (length > static_cast<size_t>(INT32_MAX) - kEnvelopeBlockBytes) {
    throw AutomationError(Status::kOverflow, "Overflow");
  }
  size_t total = length + 4;
  if (total % kEnvelopeBlockBytes != 0) total += kEnvelopeBlockBytes - total % kEnvelopeBlockBytes;

  std::string data(total, '\0');
  const auto length_field = static_cast<uint32_t>(static_cast<int32_t>(length));
  for (int i = 0; i < 4; ++i) data[i] = static_cast<char>(length_field >> (8 * i));
  std::memcpy(data.data() + 4, payload.data(), length);

  for (size_t offset = 0; offset < total; offset += kEnvelopeBlockBytes) {
    EncryptBlock(std::span<uint8_t>(reinterpret_cast<uint8_t*>(data.data()) + offset,
                                    kEnvelopeBlockBytes));
  }
  WipeKeys();
  return data;
}

bool Rijndael::DecryptBytes(const std::string& cipher, const EnvelopeKeyBytes& key,
                               std::string& payload) {
  if (cipher.size() % kEnvelopeBlockBytes != 0) return false;
  BuildTables();
  ExpandKey(kEnvelopeWords, kEnvelopeWords, key);

  WipedBytes work(cipher);
  for (size_t offset = 0; offset < work.bytes.size(); offset += kEnvelopeBlockBytes) {
    DecryptBlock(std::span<uint8_t>(reinterpret_cast<uint8_t*>(work.bytes.data()) + offset,
                                    kEnvelopeBlockBytes));
  }
  WipeKeys();

  uint32_t length_field = 0;
  for (int i = 0; i < 4; ++i) {
    length_field |= static_cast<uint32_t>(static_cast<uint8_t>(work.bytes[i])) << (8 * i);
  }
  const auto length = static_cast<int32_t>(length_field);
  // A wrong key almost always ends here: the length field is then random.
  if (length <= 0 || static_cast<int64_t>(length) > static_cast<int64_t>(cipher.size()) - 4) {
    return false;
  }
  payload.assign(work.bytes, 4, static_cast<size_t>(length));
  return true;
}

std::string Rijndael::EncryptString(std::string_view text, std::string_view key) {
  if (text.empty()) throw AutomationError(Status::kFail, "Subscript out of range");
  EnvelopeKeyBytes key_bytes = MakeEnvelopeKey(key);
  const WipeOnExit key_guard(key_bytes);
  WipedBytes payload(Utf8AsUtf16Le(text));
  const std::string cipher = EncryptBytes(payload.bytes, key_bytes);
  std::string hex;
  hex.reserve(2 * cipher.size());
  for (const char c : cipher) {
    const auto b = static_cast<uint8_t>(c);
    hex += kHexDigits[b >> 4];
    hex += kHexDigits[b & 0x0F];
  }
  return hex;
}

std::string Rijndael::DecryptString(std::string_view hex, std::string_view key) {
  std::string result;
  if (!TryDecryptString(hex, key, result)) result = kDecryptFailed;
  return result;
}

bool Rijndael::TryDecryptString(std::string_view hex, std::string_view key, std::string& clear) {
  EnvelopeKeyBytes key_bytes = MakeEnvelopeKey(key);
  const WipeOnExit key_guard(key_bytes);
  try {
    std::string cipher;
    WipedBytes payload;
    if (!HexToBytes(hex, cipher) || !DecryptBytes(cipher, key_bytes, payload.bytes)) return false;
    clear = Utf16LeAsUtf8(payload.bytes);
    return true;
  } catch (const std::exception&) {
    // Out of memory on a huge input: decryption failed, like any other
    // failure of this operation.
    WipeKeys();
    return false;
  }
}

}  // namespace comvorlix

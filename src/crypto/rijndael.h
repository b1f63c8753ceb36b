// Rijndael: a table-driven Rijndael block cipher and the text and file
// envelopes built on it.
//
// The core handles block and key lengths of 4, 6 or 8 32-bit words; with a
// 4-word block it is AES. The public envelopes always use an 8-word block and
// an 8-word key (a 256-bit block, 14 rounds: Rijndael-256, not AES-256), each
// 32-byte block encrypted on its own (ECB: no IV, no chaining, no integrity
// check).
//
// Envelope plaintext: a 4-byte little-endian signed length L, L payload bytes,
// zero fill up to a whole number of 32-byte blocks. The payload of a text is
// its UTF-16LE form. The key is the UTF-16LE form of the first 16 UTF-16 code
// units of the key, zero-filled to 32 bytes; later characters have no effect.
// Clear texts and keys are given as UTF-8 and converted to UTF-16LE here, the one
// place that knows the envelope's byte form (base/text.h: malformed
// UTF-8 counts as U+FFFD); a decrypted payload is given back as UTF-8 (an
// unpaired surrogate becomes U+FFFD, an odd last byte the low byte of one
// last code unit). The cipher text is written as upper-case hexadecimal
// digits, two for each byte.
//
// Errors:
//  * EncryptString of an empty text throws AutomationError ("Subscript out of
//    range"); callers pass empty values around it. A text whose payload would
//    not fit the 32-bit length field throws AutomationError ("Overflow").
//  * DecryptString never throws: every failure, and a cipher text that holds
//    no payload (not whole blocks, length field not positive or too large),
//    gives kDecryptFailed.
//
// Key material (expanded keys, key bytes, envelope plaintext) is wiped when
// it is no longer needed and when the object is destroyed.
//
// Thread rules: an object serves one caller at a time; separate objects are
// independent. Each envelope operation rebuilds the tables and re-expands
// its key, so no result depends on an earlier call.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace comvorlix {

// Returned by DecryptString when it cannot decrypt (32 characters).
inline constexpr std::string_view kDecryptFailed = "ERROR RIJNDAEL DECRYPTING STRING";

class Rijndael {
 public:
  Rijndael();
  ~Rijndael();
  Rijndael(const Rijndael&) = delete;
  Rijndael& operator=(const Rijndael&) = delete;

  // The hexadecimal cipher text of `text`. Throws on an empty `text`.
  std::string EncryptString(std::string_view text, std::string_view key);

  // The clear text of a cipher text given in hexadecimal (either case);
  // kDecryptFailed when the text cannot be decrypted or holds no
  // payload.
  std::string DecryptString(std::string_view hex, std::string_view key);

 private:
  friend class RijndaelTestAccess;

  static constexpr int kMaxRoundKeys = 120;  // 8 words x (14 rounds + 1)
  static constexpr int kEnvelopeWords = 8;   // block and key length of the envelopes
  static constexpr size_t kEnvelopeBlockBytes = 4 * kEnvelopeWords;
  using EnvelopeKeyBytes = std::array<uint8_t, kEnvelopeBlockBytes>;

  // Cipher core.
  void BuildTables();
  // `key` holds at least 4 * nk bytes; nb and nk are 4, 6 or 8.
  void ExpandKey(int nb, int nk, std::span<const uint8_t> key);
  // `block` holds 4 * Nb bytes; transformed in place.
  void EncryptBlock(std::span<uint8_t> block);
  void DecryptBlock(std::span<uint8_t> block);
  uint32_t InvMixColumnWord(uint32_t x) const;
  uint8_t Multiply(uint8_t a, uint8_t b) const;
  void WipeKeys();

  // Envelope steps.
  static EnvelopeKeyBytes MakeEnvelopeKey(std::string_view key);
  std::string EncryptBytes(const std::string& payload, const EnvelopeKeyBytes& key);
  // Returns false when the cipher text holds no payload.
  bool DecryptBytes(const std::string& cipher, const EnvelopeKeyBytes& key, std::string& payload);
  // DecryptString without the failure text: false when it cannot decrypt.
  bool TryDecryptString(std::string_view hex, std::string_view key, std::string& clear);

  std::array<uint8_t, 4> inverse_mix_coefficients_{};
  std::array<uint8_t, 256> sbox_{};
  std::array<uint8_t, 256> inverse_sbox_{};
  std::array<uint8_t, 256> antilog_{};
  std::array<uint8_t, 256> log_{};
  std::array<uint32_t, 256> forward_table_{};
  std::array<uint32_t, 256> inverse_table_{};
  std::array<uint8_t, 30> round_constants_{};
  int32_t Nk_ = 0;
  int32_t Nb_ = 0;
  int32_t Nr_ = 0;
  std::array<uint8_t, 24> forward_shift_index_{};
  std::array<uint8_t, 24> inverse_shift_index_{};
  std::array<uint32_t, kMaxRoundKeys> encrypt_keys_{};
  std::array<uint32_t, kMaxRoundKeys> decrypt_keys_{};
};

}  // namespace comvorlix

// Test access to the private cipher core of Rijndael.
#pragma once

#include <cstdint>
#include <vector>

#include "crypto/rijndael.h"

namespace comvorlix {

class RijndaelTestAccess {
 public:
  using Bytes = std::vector<uint8_t>;

  // Builds the tables and expands `key` for a block of `nb` words and a key
  // of key.size() / 4 words.
  static void Prepare(Rijndael& c, int nb, const Bytes& key) {
    c.BuildTables();
    c.ExpandKey(nb, static_cast<int>(key.size() / 4), key);
  }
  static Bytes Encrypt(Rijndael& c, Bytes block) {
    c.EncryptBlock(block);
    return block;
  }
  static Bytes Decrypt(Rijndael& c, Bytes block) {
    c.DecryptBlock(block);
    return block;
  }
  static int Rounds(const Rijndael& c) { return c.Nr_; }
  static uint32_t EncryptionRoundKey(const Rijndael& c, int i) { return c.encrypt_keys_[i]; }
  static int ForwardShiftIndex(const Rijndael& c, int i) { return c.forward_shift_index_[i]; }
  static int InverseShiftIndex(const Rijndael& c, int i) { return c.inverse_shift_index_[i]; }
  static uint8_t SBox(const Rijndael& c, int x) { return c.sbox_[x]; }
  static uint8_t InverseSBox(const Rijndael& c, int x) { return c.inverse_sbox_[x]; }
  static uint32_t InvMixColumnWord(Rijndael& c, uint32_t x) {
    c.BuildTables();
    return c.InvMixColumnWord(x);
  }
  // The envelope cipher text of a hand-made envelope plaintext (whole
  // 32-byte blocks) under the envelope key of `key`.
  static Bytes EncryptEnvelopeBlocks(Rijndael& c, std::string_view key, Bytes plain) {
    const auto key_bytes = Rijndael::MakeEnvelopeKey(key);
    c.BuildTables();
    c.ExpandKey(8, 8, key_bytes);
    for (size_t offset = 0; offset < plain.size(); offset += 32) {
      c.EncryptBlock(std::span<uint8_t>(plain.data() + offset, 32));
    }
    return plain;
  }
};

}  // namespace comvorlix

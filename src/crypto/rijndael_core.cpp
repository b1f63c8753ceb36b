// The Rijndael block cipher core of Rijndael: tables, key expansion and
// one-block encryption and decryption for block and key lengths of 4, 6 and
// 8 words.
#include <algorithm>

#include "crypto/rijndael.h"
#include "crypto/secure_wipe.h"

namespace comvorlix {
namespace {

// Bytes are packed into words lowest byte first: byte 4j + r of a block is
// row r of column j, and word j is column j.
uint32_t PackWord(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

void UnpackWord(uint32_t w, uint8_t* p) {
  p[0] = static_cast<uint8_t>(w);
  p[1] = static_cast<uint8_t>(w >> 8);
  p[2] = static_cast<uint8_t>(w >> 16);
  p[3] = static_cast<uint8_t>(w >> 24);
}

uint8_t ByteOf(uint32_t w, int n) { return static_cast<uint8_t>(w >> (8 * n)); }

uint32_t WordOfBytes(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
  return static_cast<uint32_t>(b0) | (static_cast<uint32_t>(b1) << 8) |
         (static_cast<uint32_t>(b2) << 16) | (static_cast<uint32_t>(b3) << 24);
}

uint32_t RotateLeft(uint32_t w, int bits) { return (w << bits) | (w >> (32 - bits)); }

uint8_t RotateByteLeft(uint8_t b, int bits) {
  return static_cast<uint8_t>((b << bits) | (b >> (8 - bits)));
}

// Multiplication by 2 in GF(2^8) modulo x^8 + x^4 + x^3 + x + 1.
uint8_t XTime(uint8_t b) {
  return static_cast<uint8_t>((b << 1) ^ ((b & 0x80) ? 0x1B : 0x00));
}

}  // namespace

Rijndael::Rijndael() : inverse_mix_coefficients_{0x0B, 0x0D, 0x09, 0x0E} {}

Rijndael::~Rijndael() { WipeKeys(); }

void Rijndael::WipeKeys() {
  SecureWipe(encrypt_keys_);
  SecureWipe(decrypt_keys_);
}

uint8_t Rijndael::Multiply(uint8_t a, uint8_t b) const {
  if (a == 0 || b == 0) return 0;
  return antilog_[(log_[a] + log_[b]) % 255];
}

void Rijndael::BuildTables() {
  // Powers of the generator 3 and their logarithms.
  antilog_[0] = 1;
  log_[0] = 0;
  antilog_[1] = 3;
  log_[1] = 0;
  log_[3] = 1;
  for (int i = 2; i < 256; ++i) {
    antilog_[i] = antilog_[i - 1] ^ XTime(antilog_[i - 1]);
    log_[antilog_[i]] = static_cast<uint8_t>(i);
  }

  // SubBytes: multiplicative inverse followed by the affine transformation.
  sbox_[0] = 0x63;
  for (int x = 1; x < 256; ++x) {
    const uint8_t y = antilog_[255 - log_[x]];
    sbox_[x] = y ^ RotateByteLeft(y, 1) ^ RotateByteLeft(y, 2) ^ RotateByteLeft(y, 3) ^
               RotateByteLeft(y, 4) ^ 0x63;
  }
  for (int x = 0; x < 256; ++x) inverse_sbox_[sbox_[x]] = static_cast<uint8_t>(x);

  round_constants_[0] = 1;
  for (size_t i = 1; i < round_constants_.size(); ++i) {
    round_constants_[i] = XTime(round_constants_[i - 1]);
  }

  // The contribution of a row-0 byte to its column after SubBytes and
  // MixColumns; rows 1 to 3 use the same entry rotated by 8, 16, 24 bits.
  for (int i = 0; i < 256; ++i) {
    const uint8_t s = sbox_[i];
    const uint8_t s2 = XTime(s);
    forward_table_[i] = WordOfBytes(s2, s, s, static_cast<uint8_t>(s2 ^ s));
    const uint8_t r = inverse_sbox_[i];
    inverse_table_[i] =
        WordOfBytes(Multiply(inverse_mix_coefficients_[3], r), Multiply(inverse_mix_coefficients_[2], r),
                    Multiply(inverse_mix_coefficients_[1], r), Multiply(inverse_mix_coefficients_[0], r));
  }
}

uint32_t Rijndael::InvMixColumnWord(uint32_t x) const {
  uint32_t m = WordOfBytes(inverse_mix_coefficients_[0], inverse_mix_coefficients_[1],
                           inverse_mix_coefficients_[2], inverse_mix_coefficients_[3]);
  std::array<uint8_t, 4> out{};
  for (int target = 3; target >= 0; --target) {
    uint8_t sum = 0;
    for (int n = 0; n < 4; ++n) sum ^= Multiply(ByteOf(m, n), ByteOf(x, n));
    out[target] = sum;
    m = RotateLeft(m, 24);
  }
  return WordOfBytes(out[0], out[1], out[2], out[3]);
}

void Rijndael::ExpandKey(int nb, int nk, std::span<const uint8_t> key) {
  Nb_ = nb;
  Nk_ = nk;
  Nr_ = std::max(nb, nk) + 6;

  // Row offsets of ShiftRows; a 256-bit block shifts rows 2 and 3 further.
  const int c1 = 1;
  const int c2 = nb < 8 ? 2 : 3;
  const int c3 = nb < 8 ? 3 : 4;
  for (int j = 0; j < nb; ++j) {
    forward_shift_index_[3 * j] = static_cast<uint8_t>((j + c1) % nb);
    forward_shift_index_[3 * j + 1] = static_cast<uint8_t>((j + c2) % nb);
    forward_shift_index_[3 * j + 2] = static_cast<uint8_t>((j + c3) % nb);
    inverse_shift_index_[3 * j] = static_cast<uint8_t>((nb + j - c1) % nb);
    inverse_shift_index_[3 * j + 1] = static_cast<uint8_t>((nb + j - c2) % nb);
    inverse_shift_index_[3 * j + 2] = static_cast<uint8_t>((nb + j - c3) % nb);
  }

  const int n = nb * (Nr_ + 1);
  auto& w = encrypt_keys_;
  for (int i = 0; i < nk; ++i) w[i] = PackWord(&key[4 * i]);

  auto sub_word = [this](uint32_t x) {
    return WordOfBytes(sbox_[ByteOf(x, 0)], sbox_[ByteOf(x, 1)], sbox_[ByteOf(x, 2)],
                       sbox_[ByteOf(x, 3)]);
  };
  int k = 0;
  for (int j = nk; j < n; j += nk, ++k) {
    w[j] = w[j - nk] ^ sub_word(RotateLeft(w[j - 1], 24)) ^ round_constants_[k];
    if (nk <= 6) {
      for (int i = 1; i < nk && j + i < n; ++i) w[j + i] = w[j + i - nk] ^ w[j + i - 1];
    } else {
      for (int i = 1; i < 4 && j + i < n; ++i) w[j + i] = w[j + i - nk] ^ w[j + i - 1];
      if (j + 4 < n) w[j + 4] = w[j + 4 - nk] ^ sub_word(w[j + 3]);
      for (int i = 5; i < nk && j + i < n; ++i) w[j + i] = w[j + i - nk] ^ w[j + i - 1];
    }
  }

  // Round keys of the equivalent inverse cipher: reverse round order, with
  // InvMixColumns applied to every round key but the first and the last.
  auto& d = decrypt_keys_;
  for (int j = 0; j < nb; ++j) d[n - nb + j] = w[j];
  for (int i = nb; i < n - nb; i += nb) {
    for (int j = 0; j < nb; ++j) d[n - nb - i + j] = InvMixColumnWord(w[i + j]);
  }
  for (int j = n - nb; j < n; ++j) d[j - n + nb] = w[j];
}

void Rijndael::EncryptBlock(std::span<uint8_t> block) {
  std::array<uint32_t, 8> x{};
  std::array<uint32_t, 8> y{};
  for (int j = 0; j < Nb_; ++j) x[j] = PackWord(&block[4 * j]) ^ encrypt_keys_[j];
  int k = Nb_;
  // SubBytes, ShiftRows, MixColumns and AddRoundKey in one expression per
  // column; ShiftRows reads from the columns the shift index table names.
  for (int round = 1; round < Nr_; ++round) {
    for (int j = 0; j < Nb_; ++j) {
      const uint8_t* f = &forward_shift_index_[3 * j];
      y[j] = encrypt_keys_[k++] ^ forward_table_[ByteOf(x[j], 0)] ^
             RotateLeft(forward_table_[ByteOf(x[f[0]], 1)], 8) ^
             RotateLeft(forward_table_[ByteOf(x[f[1]], 2)], 16) ^
             RotateLeft(forward_table_[ByteOf(x[f[2]], 3)], 24);
    }
    x = y;
  }
  for (int j = 0; j < Nb_; ++j) {
    const uint8_t* f = &forward_shift_index_[3 * j];
    y[j] = encrypt_keys_[k++] ^
           WordOfBytes(sbox_[ByteOf(x[j], 0)], sbox_[ByteOf(x[f[0]], 1)], sbox_[ByteOf(x[f[1]], 2)],
                       sbox_[ByteOf(x[f[2]], 3)]);
  }
  for (int j = 0; j < Nb_; ++j) UnpackWord(y[j], &block[4 * j]);
  SecureWipe(x);
  SecureWipe(y);
}

void Rijndael::DecryptBlock(std::span<uint8_t> block) {
  std::array<uint32_t, 8> x{};
  std::array<uint32_t, 8> y{};
  for (int j = 0; j < Nb_; ++j) x[j] = PackWord(&block[4 * j]) ^ decrypt_keys_[j];
  int k = Nb_;
  for (int round = 1; round < Nr_; ++round) {
    for (int j = 0; j < Nb_; ++j) {
      const uint8_t* f = &inverse_shift_index_[3 * j];
      y[j] = decrypt_keys_[k++] ^ inverse_table_[ByteOf(x[j], 0)] ^
             RotateLeft(inverse_table_[ByteOf(x[f[0]], 1)], 8) ^
             RotateLeft(inverse_table_[ByteOf(x[f[1]], 2)], 16) ^
             RotateLeft(inverse_table_[ByteOf(x[f[2]], 3)], 24);
    }
    x = y;
  }
  for (int j = 0; j < Nb_; ++j) {
    const uint8_t* f = &inverse_shift_index_[3 * j];
    y[j] = decrypt_keys_[k++] ^
           WordOfBytes(inverse_sbox_[ByteOf(x[j], 0)], inverse_sbox_[ByteOf(x[f[0]], 1)],
                       inverse_sbox_[ByteOf(x[f[1]], 2)], inverse_sbox_[ByteOf(x[f[2]], 3)]);
  }
  for (int j = 0; j < Nb_; ++j) UnpackWord(y[j], &block[4 * j]);
  SecureWipe(x);
  SecureWipe(y);
}

}  // namespace comvorlix

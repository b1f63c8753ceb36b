// Table-driven engines: one byte per lookup, and slicing-by-16.

#include <array>
#include <bit>
#include <cstring>

#include "crc/crc_engines.h"
#include "crc/engine_parts.h"

namespace comvorlix::crc_engines {
namespace {

constexpr uint32_t kPolynomial = 0xEDB88320;
constexpr int kSlices = 16;

using Tables = std::array<std::array<uint32_t, 256>, kSlices>;

// Table 0 is the classic byte table. Table k holds, for byte i, the register
// after folding i followed by k zero bytes, so one step can fold 16 bytes
// with 16 independent lookups.
constexpr Tables MakeTables() {
  Tables t{};
  for (uint32_t i = 0; i < 256; ++i) {
    uint32_t c = i;
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? (c >> 1) ^ kPolynomial : c >> 1;
    t[0][i] = c;
  }
  for (int k = 1; k < kSlices; ++k) {
    for (uint32_t i = 0; i < 256; ++i) t[k][i] = (t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xFF];
  }
  return t;
}

constexpr Tables kTables = MakeTables();

uint32_t Load32(const uint8_t* p) {
  uint32_t v;
  std::memcpy(&v, p, sizeof v);
  return v;
}

}  // namespace

const uint32_t* ByteTable() { return kTables[0].data(); }

uint32_t UpdateBytewise(uint32_t reg, const uint8_t* data, size_t size) {
  const auto& t = kTables[0];
  for (size_t i = 0; i < size; ++i) reg = t[(reg ^ data[i]) & 0xFF] ^ (reg >> 8);
  return reg;
}

uint32_t UpdateSlicing(uint32_t reg, const uint8_t* data, size_t size) {
  // The word loads below read the first byte into the low bits, which is
  // what the reflected CRC needs; on other byte orders fall back.
  if constexpr (std::endian::native != std::endian::little) {
    return UpdateBytewise(reg, data, size);
  } else {
    const auto& t = kTables;
    while (size >= 16) {
      uint32_t a = Load32(data) ^ reg;
      uint32_t b = Load32(data + 4);
      uint32_t c = Load32(data + 8);
      uint32_t d = Load32(data + 12);
      reg = t[15][a & 0xFF] ^ t[14][(a >> 8) & 0xFF] ^ t[13][(a >> 16) & 0xFF] ^ t[12][a >> 24] ^
            t[11][b & 0xFF] ^ t[10][(b >> 8) & 0xFF] ^ t[9][(b >> 16) & 0xFF] ^ t[8][b >> 24] ^
            t[7][c & 0xFF] ^ t[6][(c >> 8) & 0xFF] ^ t[5][(c >> 16) & 0xFF] ^ t[4][c >> 24] ^
            t[3][d & 0xFF] ^ t[2][(d >> 8) & 0xFF] ^ t[1][(d >> 16) & 0xFF] ^ t[0][d >> 24];
      data += 16;
      size -= 16;
    }
    return UpdateBytewise(reg, data, size);
  }
}

}  // namespace comvorlix::crc_engines

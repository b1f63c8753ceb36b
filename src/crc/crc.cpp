#include "crc/crc.h"

#include <zlib.h>

#include <algorithm>

namespace comvorlix {

uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size) {
  // zlib counts in uInt (32 bits); a larger block goes in pieces.
  constexpr size_t kMaxPiece = size_t{1} << 30;
  while (size > 0) {
    const size_t piece = std::min(size, kMaxPiece);
    crc = static_cast<uint32_t>(crc32(crc, data, static_cast<uInt>(piece)));
    data += piece;
    size -= piece;
  }
  return crc;
}

Text CrcToText(uint32_t crc) {
  static constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  char16_t digits[8];
  int n = 0;
  do {
    digits[n++] = kDigits[crc & 0xF];
    crc >>= 4;
  } while (crc != 0);
  Text out;
  out.reserve(n);
  while (n > 0) out += digits[--n];
  return out;
}

}  // namespace comvorlix

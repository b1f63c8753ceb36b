#include "crc/crc.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>

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

std::string CrcToHex(uint32_t crc) {
  char digits[9];
  std::snprintf(digits, sizeof digits, "%X", static_cast<unsigned>(crc));
  return digits;
}

}  // namespace comvorlix

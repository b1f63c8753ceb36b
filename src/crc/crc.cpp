#include "crc/crc.h"

#include "crc/crc_engines.h"

namespace comvorlix {

uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size) {
  if (size == 0) return crc;
  // A finished checksum is the complement of the register; undo it, fold,
  // and finish again, so checksums can be continued like zlib's.
  uint32_t reg = ~crc;
  reg = crc_engines::Update(crc_engines::Fastest(), reg, data, size);
  return ~reg;
}

uint32_t Crc32UpdateText(uint32_t crc, TextView text) {
  if (text.empty()) return crc;
  uint32_t reg = ~crc;
  reg = crc_engines::UpdateText(crc_engines::Fastest(), crc_engines::FastestConverter(), reg,
                                text.data(), text.size());
  return ~reg;
}

uint32_t Crc32OfText(TextView text) { return Crc32UpdateText(0, text); }

Text CrcOfText(TextView text) { return CrcToText(Crc32OfText(text)); }

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

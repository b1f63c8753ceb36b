#include "check/checksum.h"

#include "crc/crc.h"

namespace comvorlix {

uint32_t ChecksumUpdate(uint32_t crc, std::string_view bytes) {
  return Crc32Update(crc, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

std::string ChecksumHex(uint32_t crc) { return CrcToHex(crc); }

}  // namespace comvorlix

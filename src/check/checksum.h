// The checksum of configuration bytes, and the form the parameter string
// remembers it in: CRC-32/ISO-HDLC (crc/crc.h) as upper-case hexadecimal
// digits without leading zeros ("0" for zero, "6B9DF6F" for 0x06B9DF6F).
// That form is compared as stored, so it never changes. Pure, thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace comvorlix {

// Continues `crc` (the finished checksum of the bytes before; 0 for none)
// over `bytes`.
uint32_t ChecksumUpdate(uint32_t crc, std::string_view bytes);

std::string ChecksumHex(uint32_t crc);

inline std::string ChecksumHexOf(std::string_view bytes) { return ChecksumHex(ChecksumUpdate(0, bytes)); }

}  // namespace comvorlix

// CRC-32 checksums of bytes: zlib's crc32.
//
// The checksum is CRC-32/ISO-HDLC, the CRC of ISO 3309, ITU-T V.42, IEEE
// 802.3 and zlib: reflected polynomial 0xEDB88320, starting value
// 0xFFFFFFFF, input and output reflected, final complement. What is
// checksummed is the caller's choice of bytes; line ends are not
// normalised.
//
// The text form of a checksum is the number in upper-case hexadecimal digits
// with no prefix and no leading zeros ("0" for zero, "6B9DF6F" for
// 0x06B9DF6F). Stored checksums are compared as text, so this form is part
// of the parameter string's contract and must never change.
//
// Both functions are pure, thread-safe, and never fail.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/text.h"

namespace comvorlix {

// Continues a checksum over `size` more bytes, as zlib's crc32() does:
// `crc` is the finished checksum of the bytes so far (0 for none) and the
// result is the finished checksum of those bytes followed by these. `data`
// may be null when `size` is 0.
uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size);

// The text form of a checksum: upper-case hexadecimal, no leading zeros.
Text CrcToText(uint32_t crc);

}  // namespace comvorlix

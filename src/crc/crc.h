// CRC-32 checksums of texts and of raw bytes.
//
// The checksum is CRC-32/ISO-HDLC, the CRC of ISO 3309, ITU-T V.42, IEEE
// 802.3 and zlib: reflected polynomial 0xEDB88320, starting value
// 0xFFFFFFFF, input and output reflected, final complement.
//
// A text is checksummed over its ANSI form: every character contributes
// exactly one byte, AnsiByteOf(character) from platform/text.h (so a byte
// received from a device and held as one character contributes that byte,
// and the euro sign contributes 0x80). Line ends are not normalised.
//
// The text form of a checksum is the number in upper-case hexadecimal digits
// with no prefix and no leading zeros ("0" for zero, "6B9DF6F" for
// 0x06B9DF6F). Stored checksums are compared as text, so this form is part
// of the parameter string's contract and must never change.
//
// All functions are pure, thread-safe, and never fail. The fastest engine
// the processor supports (carry-less multiplication folding on x86-64,
// table-driven slicing elsewhere) is chosen once, at first use; every engine
// gives the same result.
#pragma once

#include <cstddef>
#include <cstdint>

#include "automation/text.h"

namespace comvorlix {

// The checksum of the ANSI bytes of `text`, in its text form.
Text CrcOfText(TextView text);

// The checksum of the ANSI bytes of `text`, as a number.
uint32_t Crc32OfText(TextView text);

// Continues a checksum over `size` more bytes, in the manner of zlib's
// crc32(): `crc` is the finished checksum of the bytes so far (0 for none)
// and the result is the finished checksum of those bytes followed by these.
// `data` may be null when `size` is 0.
uint32_t Crc32Update(uint32_t crc, const uint8_t* data, size_t size);

// The same as Crc32Update, over the ANSI bytes of `text`.
uint32_t Crc32UpdateText(uint32_t crc, TextView text);

// The text form of a checksum: upper-case hexadecimal, no leading zeros.
Text CrcToText(uint32_t crc);

}  // namespace comvorlix

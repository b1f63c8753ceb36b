// The engines of the crc folder, one function each, on the raw register.
// Private to src/crc: callers use crc/crc.h, tests use crc/crc_engines.h.
#pragma once

#include <cstddef>
#include <cstdint>

namespace comvorlix::crc_engines {

uint32_t UpdateBytewise(uint32_t reg, const uint8_t* data, size_t size);
uint32_t UpdateSlicing(uint32_t reg, const uint8_t* data, size_t size);

// Carry-less multiplication folding. Only to be called when
// FoldingSupported() is true; short inputs go to UpdateSlicing.
bool FoldingSupported();
uint32_t UpdateFolding(uint32_t reg, const uint8_t* data, size_t size);
// The same with 256-bit registers (VPCLMULQDQ and AVX2); only when
// WideFoldingSupported() is true.
bool WideFoldingSupported();
uint32_t UpdateWideFolding(uint32_t reg, const uint8_t* data, size_t size);

// ANSI conversions; the SIMD ones only when their Supported() is true.
void ToAnsiScalar(const char16_t* text, size_t size, uint8_t* out);
bool Sse2Supported();
void ToAnsiSse2(const char16_t* text, size_t size, uint8_t* out);
bool Avx2Supported();
void ToAnsiAvx2(const char16_t* text, size_t size, uint8_t* out);

}  // namespace comvorlix::crc_engines

// The engines behind crc/crc.h, exposed so that tests can run each one on
// the same input and so that the choice between them stays in one place.
//
// Everything here works on the raw CRC register: the caller complements the
// register before the first byte and after the last (crc/crc.h does this).
// Engines differ only in speed; each gives the same register for the same
// bytes. Asking for an engine or conversion the processor lacks runs the
// next slower one it has, so every call is safe on every machine.
// All functions are pure and thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>

namespace comvorlix::crc_engines {

enum class Engine {
  kBytewise,    // one table lookup per byte; the reference
  kSlicing,     // slicing-by-16 tables, 16 bytes per step; portable
  kFolding,     // carry-less multiplication folding (x86-64 PCLMULQDQ)
  kWideFolding, // the same on 256-bit registers (VPCLMULQDQ with AVX2)
};

// Whether `engine` can run on this processor.
bool Available(Engine engine);

// The fastest available engine; decided once.
Engine Fastest();

// Folds `size` bytes into the register `reg` with `engine`.
uint32_t Update(Engine engine, uint32_t reg, const uint8_t* data, size_t size);

// The 256-entry table of the reflected polynomial 0xEDB88320: entry i is the
// register after folding the byte i into a register of 0.
const uint32_t* ByteTable();

// Conversions of UTF-16 characters to their ANSI bytes; `out` receives
// `size` bytes. They agree with AnsiByteOf on every character.
enum class Converter {
  kScalar,  // character by character
  kSse2,    // 32 characters per step (x86-64 baseline)
  kAvx2,    // 64 characters per step (x86-64 with AVX2)
};

bool Available(Converter converter);
Converter FastestConverter();
void ToAnsiBytes(Converter converter, const char16_t* text, size_t size, uint8_t* out);

// Folds the ANSI bytes of `size` characters into `reg`, converting in small
// chunks that stay in the first-level cache.
uint32_t UpdateText(Engine engine, Converter converter, uint32_t reg, const char16_t* text,
                    size_t size);

}  // namespace comvorlix::crc_engines

#include "crc/crc_engines.h"

#include <algorithm>

#include "crc/engine_parts.h"

namespace comvorlix::crc_engines {
namespace {

// Characters converted per step of UpdateText: the characters (8 KiB) and
// their bytes (4 KiB) stay in the first-level cache between the two passes.
constexpr size_t kChunk = 4096;

}  // namespace

bool Available(Engine engine) {
  switch (engine) {
    case Engine::kBytewise:
    case Engine::kSlicing:
      return true;
    case Engine::kFolding:
      return FoldingSupported();
    case Engine::kWideFolding:
      return WideFoldingSupported();
  }
  return false;
}

Engine Fastest() {
  static const Engine fastest = Available(Engine::kWideFolding) ? Engine::kWideFolding
                                : Available(Engine::kFolding)   ? Engine::kFolding
                                                                : Engine::kSlicing;
  return fastest;
}

uint32_t Update(Engine engine, uint32_t reg, const uint8_t* data, size_t size) {
  switch (engine) {
    case Engine::kBytewise:
      return UpdateBytewise(reg, data, size);
    case Engine::kWideFolding:
      if (WideFoldingSupported()) return UpdateWideFolding(reg, data, size);
      [[fallthrough]];
    case Engine::kFolding:
      if (FoldingSupported()) return UpdateFolding(reg, data, size);
      break;
    case Engine::kSlicing:
      break;
  }
  return UpdateSlicing(reg, data, size);
}

bool Available(Converter converter) {
  switch (converter) {
    case Converter::kScalar:
      return true;
    case Converter::kSse2:
      return Sse2Supported();
    case Converter::kAvx2:
      return Avx2Supported();
  }
  return false;
}

Converter FastestConverter() {
  static const Converter fastest = Available(Converter::kAvx2)   ? Converter::kAvx2
                                   : Available(Converter::kSse2) ? Converter::kSse2
                                                                 : Converter::kScalar;
  return fastest;
}

void ToAnsiBytes(Converter converter, const char16_t* text, size_t size, uint8_t* out) {
  switch (converter) {
    case Converter::kAvx2:
      if (Avx2Supported()) return ToAnsiAvx2(text, size, out);
      [[fallthrough]];
    case Converter::kSse2:
      if (Sse2Supported()) return ToAnsiSse2(text, size, out);
      [[fallthrough]];
    case Converter::kScalar:
      break;
  }
  ToAnsiScalar(text, size, out);
}

uint32_t UpdateText(Engine engine, Converter converter, uint32_t reg, const char16_t* text,
                    size_t size) {
  alignas(64) uint8_t bytes[kChunk];
  while (size > 0) {
    size_t n = std::min(size, kChunk);
    ToAnsiBytes(converter, text, n, bytes);
    reg = Update(engine, reg, bytes, n);
    text += n;
    size -= n;
  }
  return reg;
}

}  // namespace comvorlix::crc_engines

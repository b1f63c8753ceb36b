// Conversions of characters to their ANSI bytes for checksumming.
//
// Almost every character of a configuration listing is ASCII or Latin-1
// (below 0x80, or 0xA0 to 0xFF), and those are their own ANSI byte. The
// vector conversions narrow a whole block to bytes with saturating packs,
// then find the characters that are not their own byte (0x80 to 0x9F and
// above 0xFF; a pure ASCII block needs a single test) and patch just those
// from the code page's inverse table.

#include <array>
#include <vector>

#include "crc/engine_parts.h"
#include "automation/text.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define COMVORLIX_CRC_X86 1
#endif

namespace comvorlix::crc_engines {
namespace {

// The code page inverted, for looking characters up in a few steps rather
// than searching AnsiByteOf's list: for each 256-character page that holds
// a character of the code page, the byte of each of its characters, "?"
// for those the code page lacks (as AnsiByteOf gives them). Built once from
// CharOfAnsiByte, so it follows platform/text.h.
class InverseCodePage {
 public:
  InverseCodePage() {
    slot_.fill(-1);
    for (int b = 0; b < 256; ++b) {
      char16_t c = CharOfAnsiByte(static_cast<uint8_t>(b));
      int page = c >> 8;
      if (slot_[page] < 0) {
        slot_[page] = static_cast<int16_t>(pages_.size());
        pages_.emplace_back();
        pages_.back().fill('?');
      }
      pages_[slot_[page]][c & 0xFF] = static_cast<uint8_t>(b);
    }
  }

  uint8_t ByteOf(char16_t c) const {
    int slot = slot_[c >> 8];
    return slot < 0 ? '?' : pages_[slot][c & 0xFF];
  }

 private:
  std::array<int16_t, 256> slot_;
  std::vector<std::array<uint8_t, 256>> pages_;
};

const InverseCodePage& CodePage() {
  static const InverseCodePage code_page;
  return code_page;
}

}  // namespace

void ToAnsiScalar(const char16_t* text, size_t size, uint8_t* out) {
  const InverseCodePage& code_page = CodePage();
  for (size_t i = 0; i < size; ++i) {
    char16_t c = text[i];
    out[i] = (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) ? static_cast<uint8_t>(c) : code_page.ByteOf(c);
  }
}

#ifdef COMVORLIX_CRC_X86

namespace {

// Replaces the bytes whose characters are flagged in `special` (bit j for
// character j) with their proper ANSI bytes.
inline void Patch(const InverseCodePage& code_page, const char16_t* text, uint8_t* out,
                  uint64_t special) {
  while (special != 0) {
    int j = __builtin_ctzll(special);
    out[j] = code_page.ByteOf(text[j]);
    special &= special - 1;
  }
}

inline __m128i Load128(const char16_t* p) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p)); }

// All ones in every 16-bit lane whose character is its own byte: below
// 0x100 (nothing is left after subtracting 0xFF with saturation) and not
// 0x80 to 0x9F (which clearing the low five bits turns into 0x80).
inline __m128i Plain128(__m128i c) {
  __m128i wide = _mm_subs_epu16(c, _mm_set1_epi16(0xFF));
  __m128i c1 = _mm_cmpeq_epi16(_mm_and_si128(c, _mm_set1_epi16(static_cast<short>(0xFFE0))),
                               _mm_set1_epi16(0x80));
  return _mm_cmpeq_epi16(_mm_or_si128(wide, c1), _mm_setzero_si128());
}

// One bit per character of a and b (16 characters) that is not plain.
inline uint64_t SpecialBits128(__m128i a, __m128i b) {
  auto plain = static_cast<uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(Plain128(a), Plain128(b))));
  return ~plain & 0xFFFF;
}

#define AVX2_TARGET __attribute__((target("avx2")))

AVX2_TARGET inline __m256i Load256(const char16_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

AVX2_TARGET inline __m256i Plain256(__m256i c) {
  __m256i wide = _mm256_subs_epu16(c, _mm256_set1_epi16(0xFF));
  __m256i c1 = _mm256_cmpeq_epi16(_mm256_and_si256(c, _mm256_set1_epi16(static_cast<short>(0xFFE0))),
                                  _mm256_set1_epi16(0x80));
  return _mm256_cmpeq_epi16(_mm256_or_si256(wide, c1), _mm256_setzero_si256());
}

// The packs work within 128-bit halves; this puts the 64-bit quarters of
// their result back in the order of the characters.
AVX2_TARGET inline __m256i InOrder(__m256i packed) { return _mm256_permute4x64_epi64(packed, 0xD8); }

// 32 characters to 32 bytes; characters above 0xFF give wrong bytes, which
// the caller patches.
AVX2_TARGET inline __m256i Narrow256(__m256i a, __m256i b) { return InOrder(_mm256_packus_epi16(a, b)); }

AVX2_TARGET inline uint64_t SpecialBits256(__m256i a, __m256i b) {
  __m256i plain = InOrder(_mm256_packs_epi16(Plain256(a), Plain256(b)));
  return ~static_cast<uint64_t>(static_cast<uint32_t>(_mm256_movemask_epi8(plain))) & 0xFFFFFFFF;
}

}  // namespace

bool Sse2Supported() { return true; }  // part of every x86-64 processor

void ToAnsiSse2(const char16_t* text, size_t size, uint8_t* out) {
  const InverseCodePage& code_page = CodePage();
  size_t i = 0;
  for (; i + 32 <= size; i += 32) {
    __m128i a = Load128(text + i);
    __m128i b = Load128(text + i + 8);
    __m128i c = Load128(text + i + 16);
    __m128i d = Load128(text + i + 24);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(a, b));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i + 16), _mm_packus_epi16(c, d));
    __m128i all = _mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d));
    __m128i above_ascii = _mm_and_si128(all, _mm_set1_epi16(static_cast<short>(0xFF80)));
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(above_ascii, _mm_setzero_si128())) != 0xFFFF) {
      Patch(code_page, text + i, out + i, SpecialBits128(a, b) | SpecialBits128(c, d) << 16);
    }
  }
  ToAnsiScalar(text + i, size - i, out + i);
}

bool Avx2Supported() {
  static const bool supported = [] {
    __builtin_cpu_init();  // see FoldingSupported
    return __builtin_cpu_supports("avx2") != 0;
  }();
  return supported;
}

AVX2_TARGET void ToAnsiAvx2(const char16_t* text, size_t size, uint8_t* out) {
  const InverseCodePage& code_page = CodePage();
  size_t i = 0;
  for (; i + 64 <= size; i += 64) {
    __m256i a = Load256(text + i);
    __m256i b = Load256(text + i + 16);
    __m256i c = Load256(text + i + 32);
    __m256i d = Load256(text + i + 48);
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), Narrow256(a, b));
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i + 32), Narrow256(c, d));
    // Pure ASCII, the usual case, needs one test for all 64 characters.
    __m256i all = _mm256_or_si256(_mm256_or_si256(a, b), _mm256_or_si256(c, d));
    if (!_mm256_testz_si256(all, _mm256_set1_epi16(static_cast<short>(0xFF80)))) {
      Patch(code_page, text + i, out + i, SpecialBits256(a, b) | SpecialBits256(c, d) << 32);
    }
  }
  ToAnsiSse2(text + i, size - i, out + i);
}

#else  // no vector conversions on this platform

bool Sse2Supported() { return false; }
void ToAnsiSse2(const char16_t* text, size_t size, uint8_t* out) { ToAnsiScalar(text, size, out); }
bool Avx2Supported() { return false; }
void ToAnsiAvx2(const char16_t* text, size_t size, uint8_t* out) { ToAnsiScalar(text, size, out); }

#endif

}  // namespace comvorlix::crc_engines

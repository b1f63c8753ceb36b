// Folding engines: carry-less multiplication on x86-64.
//
// The input is cut into 16-byte blocks held in several accumulators; an
// accumulator moves forward over the blocks of the others by two
// carry-less products of its 64-bit halves with powers of x modulo the
// polynomial, and takes in its next block by XOR. At the end the
// accumulators are folded into one, which takes any remaining whole blocks,
// and its 128 bits are reduced to the 32-bit register with a Barrett
// reduction; bytes after the last whole block go to the slicing engine.
// The method is that of Intel's white paper "Fast CRC Computation for
// Generic Polynomials Using PCLMULQDQ Instruction" (2009).
//
// Two widths: four 128-bit accumulators (PCLMULQDQ, 64 bytes per step) and
// four 256-bit ones (VPCLMULQDQ with AVX2, 128 bytes per step). Each is
// compiled for its instructions through target attributes only and runs
// only where the processor reports them.

#include "crc/engine_parts.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define COMVORLIX_CRC_FOLDING 1
#endif

namespace comvorlix::crc_engines {

#ifdef COMVORLIX_CRC_FOLDING

namespace {

#define FOLDING_TARGET __attribute__((target("pclmul,sse4.1")))

// The multipliers are powers of x modulo the polynomial, in the bit order
// of the reflected register: (x^e mod P) shifted up by 32, its 64 bits
// reversed, shifted up by one. Moving a 128-bit accumulator forward by
// `bits` multiplies its low half by the power bits+32 and its high half by
// the power bits-32.
constexpr uint64_t kPolynomial = 0x104C11DB7;  // with its x^32 term

constexpr uint64_t Reverse(uint64_t v, int width) {
  uint64_t r = 0;
  for (int i = 0; i < width; ++i) r |= ((v >> i) & 1) << (width - 1 - i);
  return r;
}

constexpr uint64_t PowerOfX(int e) {
  uint64_t r = 1;
  for (int i = 0; i < e; ++i) {
    r <<= 1;
    if (r & (uint64_t{1} << 32)) r ^= kPolynomial;
  }
  return Reverse(r << 32, 64) << 1;
}

// floor(x^64 / P), the Barrett multiplier, reversed in its 33 bits.
constexpr uint64_t BarrettMu() {
  __extension__ using Wide = unsigned __int128;
  Wide rem = Wide{1} << 64;
  uint64_t q = 0;
  for (int i = 64; i >= 32; --i) {
    if ((rem >> i) & 1) {
      rem ^= Wide{kPolynomial} << (i - 32);
      q |= uint64_t{1} << (i - 32);
    }
  }
  return Reverse(q, 33);
}

consteval long long Low(int bits) { return static_cast<long long>(PowerOfX(bits + 32)); }
consteval long long High(int bits) { return static_cast<long long>(PowerOfX(bits - 32)); }
constexpr long long kFold64 = static_cast<long long>(PowerOfX(64));
constexpr long long kPolyReflected = static_cast<long long>(Reverse(kPolynomial, 33));
constexpr long long kBarrettMu = static_cast<long long>(BarrettMu());

// The values published with the white paper, as a check on the derivation.
static_assert(Low(512) == 0x154442bd4 && High(512) == 0x1c6e41596);
static_assert(Low(128) == 0x1751997d0 && High(128) == 0x0ccaa009e);
static_assert(kFold64 == 0x163cd6124);
static_assert(kPolyReflected == 0x1DB710641 && kBarrettMu == 0x1F7011641);

FOLDING_TARGET inline __m128i Load(const uint8_t* p) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// The multipliers for moving `bits` forward, computed when compiling.
template <int bits>
FOLDING_TARGET inline __m128i Multipliers() {
  constexpr long long low = Low(bits), high = High(bits);
  return _mm_set_epi64x(high, low);
}

// Moves `acc` forward by the distance `k` encodes and adds `next`.
FOLDING_TARGET inline __m128i Fold(__m128i acc, __m128i k, __m128i next) {
  __m128i low = _mm_clmulepi64_si128(acc, k, 0x00);
  __m128i high = _mm_clmulepi64_si128(acc, k, 0x11);
  return _mm_xor_si128(_mm_xor_si128(low, high), next);
}

// Takes the remaining whole blocks of `data` into `x` and reduces it to the
// register; bytes after the last whole block are left to the caller.
// Always inlined, so that within the wide engine it is compiled for the
// same instruction set: mixing the older encoding of these instructions
// with 256-bit code costs a state change on some processors.
FOLDING_TARGET __attribute__((always_inline)) inline uint32_t Finish(__m128i x, const uint8_t* data,
                                                                    size_t size) {
  const __m128i fold1 = Multipliers<128>();
  while (size >= 16) {
    x = Fold(x, fold1, Load(data));
    data += 16;
    size -= 16;
  }
  const __m128i fold64 = _mm_set_epi64x(0, kFold64);
  const __m128i barrett = _mm_set_epi64x(kBarrettMu, kPolyReflected);
  const __m128i low32 = _mm_set_epi32(0, 0, 0, -1);
  // 128 to 64 bits: the low half moves forward past the high half.
  __m128i t = _mm_clmulepi64_si128(fold1, x, 0x01);
  x = _mm_xor_si128(_mm_srli_si128(x, 8), t);
  // 64 to 32 bits, which also appends the 32 zero bits a CRC implies.
  t = _mm_clmulepi64_si128(_mm_and_si128(x, low32), fold64, 0x00);
  x = _mm_xor_si128(_mm_srli_si128(x, 4), t);
  // Barrett reduction to the 32-bit remainder.
  t = _mm_clmulepi64_si128(_mm_and_si128(x, low32), barrett, 0x10);
  t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), barrett, 0x00);
  x = _mm_xor_si128(x, t);
  return static_cast<uint32_t>(_mm_extract_epi32(x, 1));
}

// Folds all whole blocks of `data`, at least four.
FOLDING_TARGET uint32_t FoldBlocks(uint32_t reg, const uint8_t* data, size_t size) {
  const __m128i fold4 = Multipliers<512>();
  const __m128i fold1 = Multipliers<128>();
  // The register enters as if XORed into the first four bytes.
  __m128i x0 = _mm_xor_si128(Load(data), _mm_cvtsi32_si128(static_cast<int>(reg)));
  __m128i x1 = Load(data + 16);
  __m128i x2 = Load(data + 32);
  __m128i x3 = Load(data + 48);
  data += 64;
  size -= 64;
  while (size >= 64) {
    x0 = Fold(x0, fold4, Load(data));
    x1 = Fold(x1, fold4, Load(data + 16));
    x2 = Fold(x2, fold4, Load(data + 32));
    x3 = Fold(x3, fold4, Load(data + 48));
    data += 64;
    size -= 64;
  }
  x0 = Fold(x0, fold1, x1);
  x0 = Fold(x0, fold1, x2);
  x0 = Fold(x0, fold1, x3);
  return Finish(x0, data, size);
}

#define WIDE_TARGET __attribute__((target("vpclmulqdq,avx2,pclmul,sse4.1")))

WIDE_TARGET inline __m256i Load256(const uint8_t* p) {
  return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

template <int bits>
WIDE_TARGET inline __m256i Multipliers256() {
  constexpr long long low = Low(bits), high = High(bits);
  return _mm256_set_epi64x(high, low, high, low);
}

WIDE_TARGET inline __m256i Fold256(__m256i acc, __m256i k, __m256i next) {
  __m256i low = _mm256_clmulepi64_epi128(acc, k, 0x00);
  __m256i high = _mm256_clmulepi64_epi128(acc, k, 0x11);
  return _mm256_xor_si256(_mm256_xor_si256(low, high), next);
}

// Folds all whole blocks of `data`, at least eight. Each 256-bit
// accumulator holds two adjacent blocks, so every 128-bit lane moves
// forward by 1024 bits per step.
WIDE_TARGET uint32_t FoldBlocksWide(uint32_t reg, const uint8_t* data, size_t size) {
  const __m256i fold8 = Multipliers256<1024>();
  const __m256i fold2 = Multipliers256<256>();
  __m256i y0 = _mm256_xor_si256(Load256(data), _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(reg))));
  __m256i y1 = Load256(data + 32);
  __m256i y2 = Load256(data + 64);
  __m256i y3 = Load256(data + 96);
  data += 128;
  size -= 128;
  while (size >= 128) {
    y0 = Fold256(y0, fold8, Load256(data));
    y1 = Fold256(y1, fold8, Load256(data + 32));
    y2 = Fold256(y2, fold8, Load256(data + 64));
    y3 = Fold256(y3, fold8, Load256(data + 96));
    data += 128;
    size -= 128;
  }
  y0 = Fold256(y0, fold2, y1);
  y0 = Fold256(y0, fold2, y2);
  y0 = Fold256(y0, fold2, y3);
  __m128i x = Fold(_mm256_castsi256_si128(y0), Multipliers<128>(), _mm256_extracti128_si256(y0, 1));
  return Finish(x, data, size);
}

}  // namespace

bool FoldingSupported() {
  static const bool supported = [] {
    // The processor's features may be asked for before static constructors
    // have run (from another library's constructor), so fetch them first.
    __builtin_cpu_init();
    return __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
  }();
  return supported;
}

bool WideFoldingSupported() {
  static const bool supported = [] {
    __builtin_cpu_init();
    return FoldingSupported() && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("vpclmulqdq");
  }();
  return supported;
}

uint32_t UpdateFolding(uint32_t reg, const uint8_t* data, size_t size) {
  // Below four blocks the set-up costs more than it saves.
  if (size < 64) return UpdateSlicing(reg, data, size);
  size_t blocks = size & ~size_t{15};
  return UpdateSlicing(FoldBlocks(reg, data, size), data + blocks, size - blocks);
}

uint32_t UpdateWideFolding(uint32_t reg, const uint8_t* data, size_t size) {
  // Below two steps the narrow engine is as quick.
  if (size < 256) return UpdateFolding(reg, data, size);
  size_t blocks = size & ~size_t{15};
  return UpdateSlicing(FoldBlocksWide(reg, data, size), data + blocks, size - blocks);
}

#else  // no folding on this platform

bool FoldingSupported() { return false; }
bool WideFoldingSupported() { return false; }

uint32_t UpdateFolding(uint32_t reg, const uint8_t* data, size_t size) {
  return UpdateSlicing(reg, data, size);
}

uint32_t UpdateWideFolding(uint32_t reg, const uint8_t* data, size_t size) {
  return UpdateSlicing(reg, data, size);
}

#endif

}  // namespace comvorlix::crc_engines

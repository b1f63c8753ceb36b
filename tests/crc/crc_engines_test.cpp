// Every engine and every conversion must give what the plain ones give;
// those that the processor lacks are skipped, and the slicing fallback is
// always tested.
#include "crc/crc_engines.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "automation/text.h"

namespace comvorlix::crc_engines {
namespace {

const char* Name(Engine e) {
  switch (e) {
    case Engine::kBytewise:
      return "bytewise";
    case Engine::kSlicing:
      return "slicing";
    case Engine::kFolding:
      return "folding";
    case Engine::kWideFolding:
      return "wide folding";
  }
  return "?";
}

const char* Name(Converter c) {
  switch (c) {
    case Converter::kScalar:
      return "scalar";
    case Converter::kSse2:
      return "sse2";
    case Converter::kAvx2:
      return "avx2";
  }
  return "?";
}

class EngineTest : public ::testing::TestWithParam<Engine> {
 protected:
  void SetUp() override {
    if (!Available(GetParam())) GTEST_SKIP() << Name(GetParam()) << " not supported here";
  }
};

INSTANTIATE_TEST_SUITE_P(All, EngineTest,
                         ::testing::Values(Engine::kSlicing, Engine::kFolding, Engine::kWideFolding),
                         [](const auto& param_info) {
                           std::string n = Name(param_info.param);
                           for (char& c : n) c = c == ' ' ? '_' : c;
                           return n;
                         });

std::vector<uint8_t> RandomBytes(std::mt19937& rng, size_t n) {
  std::vector<uint8_t> v(n);
  for (auto& b : v) b = static_cast<uint8_t>(rng());
  return v;
}

TEST(ByteTable, PublishedEntries) {
  // The first entries and entry 128 of the table in zlib's crc32.h.
  const uint32_t* t = ByteTable();
  EXPECT_EQ(t[0], 0x00000000u);
  EXPECT_EQ(t[1], 0x77073096u);
  EXPECT_EQ(t[2], 0xEE0E612Cu);
  EXPECT_EQ(t[3], 0x990951BAu);
  EXPECT_EQ(t[128], 0xEDB88320u);
  EXPECT_EQ(t[255], 0x2D02EF8Du);
}

TEST(Engines, PlainOnesAlwaysAvailable) {
  EXPECT_TRUE(Available(Engine::kBytewise));
  EXPECT_TRUE(Available(Engine::kSlicing));
  EXPECT_TRUE(Available(Fastest()));
  EXPECT_NE(Fastest(), Engine::kBytewise);
  EXPECT_TRUE(Available(Converter::kScalar));
  EXPECT_TRUE(Available(FastestConverter()));
}

TEST_P(EngineTest, EqualsBytewiseOnManyLengthsAlignmentsAndRegisters) {
  std::mt19937 rng(static_cast<unsigned>(GetParam()) + 1);
  std::vector<uint8_t> buffer = RandomBytes(rng, 5000 + 16);
  for (size_t length = 0; length <= 5000; ++length) {
    size_t offset = length % 16;
    uint32_t reg = length % 3 == 0 ? 0xFFFFFFFF : static_cast<uint32_t>(rng());
    const uint8_t* data = buffer.data() + offset;
    ASSERT_EQ(Update(GetParam(), reg, data, length), Update(Engine::kBytewise, reg, data, length))
        << "length " << length;
  }
}

TEST_P(EngineTest, EqualsZlibOnALargeBuffer) {
  std::mt19937 rng(31);
  std::vector<uint8_t> bytes = RandomBytes(rng, (4u << 20) + 7);
  uint32_t zlib = static_cast<uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(bytes.size())));
  EXPECT_EQ(~Update(GetParam(), 0xFFFFFFFF, bytes.data(), bytes.size()), zlib);
}

TEST_P(EngineTest, NothingToFoldKeepsTheRegister) {
  EXPECT_EQ(Update(GetParam(), 0xDEADBEEF, nullptr, 0), 0xDEADBEEFu);
}

class ConverterTest : public ::testing::TestWithParam<Converter> {
 protected:
  void SetUp() override {
    if (!Available(GetParam())) GTEST_SKIP() << Name(GetParam()) << " not supported here";
  }
};

INSTANTIATE_TEST_SUITE_P(All, ConverterTest,
                         ::testing::Values(Converter::kScalar, Converter::kSse2, Converter::kAvx2),
                         [](const auto& param_info) { return std::string(Name(param_info.param)); });

std::vector<uint8_t> Expected(const char16_t* text, size_t n) {
  std::vector<uint8_t> v(n);
  for (size_t i = 0; i < n; ++i) v[i] = AnsiByteOf(text[i]);
  return v;
}

TEST_P(ConverterTest, EveryCharacterGivesItsAnsiByte) {
  // All 65536 code units, in order and in a shuffled order, so each one is
  // met inside a vector block and next to unlike neighbours.
  std::u16string all(65536, u'\0');
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<char16_t>(i);
  std::u16string shuffled = all;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(3));
  for (const std::u16string& text : {all, shuffled}) {
    std::vector<uint8_t> got(text.size());
    ToAnsiBytes(GetParam(), text.data(), text.size(), got.data());
    EXPECT_EQ(got, Expected(text.data(), text.size()));
  }
}

TEST_P(ConverterTest, MixedBlocksOfAllLengthsAndAlignments) {
  static const char16_t kUnusual[] = {0x7F, 0x80, 0x81, 0x9F, 0xA0, 0xFF, 0x100, 0x17E,
                                      0x20AC, 0x7FFF, 0x8000, 0xFFFF};
  std::mt19937 rng(11);
  for (size_t length = 0; length <= 700; ++length) {
    for (unsigned density : {0u, 2u, 30u, 100u}) {
      std::u16string buffer(length + 1, u'x');
      for (char16_t& c : buffer) {
        c = rng() % 100 < density ? kUnusual[rng() % std::size(kUnusual)]
                                  : static_cast<char16_t>(rng() % 0x80);
      }
      const char16_t* text = buffer.data() + length % 2;
      std::vector<uint8_t> got(length + 1, 0xEE);
      ToAnsiBytes(GetParam(), text, length, got.data());
      std::vector<uint8_t> want = Expected(text, length);
      want.push_back(0xEE);  // nothing written past the end
      ASSERT_EQ(got, want) << "length " << length << " density " << density;
    }
  }
}

TEST(UpdateText, EveryEngineAndConverterAcrossChunkBoundaries) {
  std::mt19937 rng(17);
  std::u16string text(3 * 4096 + 5, u' ');
  for (char16_t& c : text) c = rng() % 50 == 0 ? u'\u20AC' : static_cast<char16_t>(0x20 + rng() % 0x60);
  for (size_t length : {size_t{0}, size_t{1}, size_t{200}, size_t{4095}, size_t{4096}, size_t{4097},
                        size_t{8192}, text.size()}) {
    std::string ansi = ToAnsi(TextView(text).substr(0, length));
    uint32_t want = Update(Engine::kBytewise, 0x1234567, reinterpret_cast<const uint8_t*>(ansi.data()),
                           ansi.size());
    for (Engine e : {Engine::kBytewise, Engine::kSlicing, Engine::kFolding, Engine::kWideFolding}) {
      for (Converter c : {Converter::kScalar, Converter::kSse2, Converter::kAvx2}) {
        EXPECT_EQ(UpdateText(e, c, 0x1234567, text.data(), length), want)
            << Name(e) << " " << Name(c) << " length " << length;
      }
    }
  }
}

}  // namespace
}  // namespace comvorlix::crc_engines

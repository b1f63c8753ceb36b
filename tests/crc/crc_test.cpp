#include "crc/crc.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <string_view>

namespace comvorlix {
namespace {

uint32_t Crc(std::string_view bytes) {
  return Crc32Update(0, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
}

// Bit by bit from the definition (reflected polynomial 0xEDB88320, register
// starting at all ones, final complement): an implementation of its own.
uint32_t ByDefinition(std::string_view bytes) {
  uint32_t reg = 0xFFFFFFFF;
  for (unsigned char b : bytes) {
    reg ^= b;
    for (int bit = 0; bit < 8; ++bit) reg = (reg >> 1) ^ (0xEDB88320u & (0u - (reg & 1u)));
  }
  return ~reg;
}

TEST(Crc32, PublishedValues) {
  // Check value of CRC-32/ISO-HDLC in Greg Cook's "Catalogue of parametrised
  // CRC algorithms" (reveng.sourceforge.net/crc-catalogue): 0xCBF43926.
  EXPECT_EQ(Crc("123456789"), 0xCBF43926u);
  EXPECT_EQ(CrcToHex(Crc("123456789")), "CBF43926");
  EXPECT_EQ(Crc(""), 0u);
}

TEST(Crc32, EveryByteValueAndEveryPieceAgreeWithTheDefinition) {
  std::string all;
  for (int i = 0; i < 256; ++i) all += static_cast<char>(255 - i);
  EXPECT_EQ(Crc(all), ByDefinition(all));
  // Line ends are bytes like any other.
  EXPECT_NE(Crc("a\r\nb"), Crc("a\nb"));

  std::mt19937 rng(5);
  std::string bytes(70000, '\0');
  for (char& b : bytes) b = static_cast<char>(rng());
  const uint32_t whole = ByDefinition(bytes);
  EXPECT_EQ(Crc(bytes), whole);
  const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
  for (size_t split : {size_t{0}, size_t{1}, size_t{15}, size_t{4096}, size_t{65537}, bytes.size()}) {
    const uint32_t first = Crc32Update(0, data, split);
    EXPECT_EQ(Crc32Update(first, data + split, bytes.size() - split), whole) << split;
  }
  // Nothing leaves the checksum alone, also with no buffer at all.
  EXPECT_EQ(Crc32Update(0x12345678, nullptr, 0), 0x12345678u);
}

TEST(CrcToHex, UpperCaseHexadecimalWithoutLeadingZeros) {
  EXPECT_EQ(CrcToHex(0), "0");
  EXPECT_EQ(CrcToHex(0xF), "F");
  EXPECT_EQ(CrcToHex(0x10), "10");
  EXPECT_EQ(CrcToHex(0x0ABCDEF0), "ABCDEF0");
  EXPECT_EQ(CrcToHex(0x80000000), "80000000");
  EXPECT_EQ(CrcToHex(0xFFFFFFFF), "FFFFFFFF");
  EXPECT_EQ(CrcToHex(Crc("c")), "6B9DF6F");
  EXPECT_EQ(CrcToHex(Crc("end")), "FC33B1");

  std::mt19937 rng(7);
  for (int i = 0; i < 20000; ++i) {
    // Spread the values over all lengths, not just 8 digits.
    const uint32_t value = rng() >> (rng() % 32);
    const std::string text = CrcToHex(value);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(std::stoul(text, nullptr, 16), value) << text;
    EXPECT_TRUE(text == "0" || text[0] != '0') << text;
    EXPECT_EQ(text.find_first_not_of("0123456789ABCDEF"), std::string::npos) << text;
  }
}

}  // namespace
}  // namespace comvorlix

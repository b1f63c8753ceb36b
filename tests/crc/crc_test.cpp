#include "crc/crc.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <string>
#include <vector>

namespace comvorlix {
namespace {

std::string CrcOf(std::string_view utf8) { return ToUtf8(CrcOfText(T(utf8))); }

// zlib's crc32 over the ANSI bytes of `text`: an independent implementation
// of the same CRC.
uint32_t ZlibCrcOfAnsi(TextView text) {
  std::string bytes = ToAnsi(text);
  return static_cast<uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

uint32_t ZlibCrc(const std::vector<uint8_t>& bytes) {
  return static_cast<uint32_t>(crc32(0, bytes.data(), static_cast<uInt>(bytes.size())));
}

// --- Published values --------------------------------------------------------

TEST(CrcOfText, CatalogueCheckValue) {
  // Check value of CRC-32/ISO-HDLC in Greg Cook's "Catalogue of parametrised
  // CRC algorithms" (reveng.sourceforge.net/crc-catalogue): 0xCBF43926.
  EXPECT_EQ(CrcOf("123456789"), "CBF43926");
}

TEST(CrcOfText, EmptyTextIsZero) {
  EXPECT_EQ(CrcOfText(u""), u"0");
  EXPECT_EQ(Crc32OfText(u""), 0u);
}

TEST(CrcOfText, ShortTexts) {
  // Values as zlib's crc32 gives them (and as the ISO-HDLC CRC is commonly
  // tabulated); the comparison with zlib below makes the source explicit.
  EXPECT_EQ(CrcOf("abc"), "352441C2");
  EXPECT_EQ(CrcOf("a"), "E8B7BE43");
  EXPECT_EQ(Crc32OfText(u"abc"), ZlibCrcOfAnsi(u"abc"));
  EXPECT_EQ(Crc32OfText(u"a"), ZlibCrcOfAnsi(u"a"));
}

TEST(CrcOfText, NoLeadingZeros) {
  EXPECT_EQ(Crc32OfText(u"c"), 0x06B9DF6Fu);
  EXPECT_EQ(CrcOf("c"), "6B9DF6F");
  EXPECT_EQ(Crc32OfText(u"end"), 0x00FC33B1u);
  EXPECT_EQ(CrcOf("end"), "FC33B1");
}

// --- One byte per character --------------------------------------------------

TEST(CrcOfText, CarriageReturnAndLineFeedEachContributeOneByte) {
  std::vector<uint8_t> bytes = {'a', '\r', '\n', 'b'};
  EXPECT_EQ(Crc32OfText(u"a\r\nb"), ZlibCrc(bytes));
  EXPECT_NE(Crc32OfText(u"a\r\nb"), Crc32OfText(u"a\nb"));
  EXPECT_NE(Crc32OfText(u"a\r\nb"), Crc32OfText(u"a\rb"));
}

TEST(CrcOfText, EuroSignContributesItsAnsiByte) {
  // In Windows-1252 the euro sign U+20AC is the byte 0x80, not its low byte 0xAC.
  EXPECT_EQ(Crc32OfText(u"\u20AC"), ZlibCrc({0x80}));
  EXPECT_NE(Crc32OfText(u"\u20AC"), ZlibCrc({0xAC}));
  EXPECT_EQ(Crc32OfText(u"x\u20ACy"), ZlibCrc({'x', 0x80, 'y'}));
}

TEST(CrcOfText, ReceivedBytesHeldAsCharactersGiveTheirBytes) {
  std::vector<uint8_t> bytes(256);
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<uint8_t>(255 - i);
  Text text = FromAnsi(std::string(bytes.begin(), bytes.end()));
  EXPECT_EQ(Crc32OfText(text), ZlibCrc(bytes));
}

TEST(CrcOfText, CharacterOutsideTheCodePageCountsAsQuestionMark) {
  EXPECT_EQ(Crc32OfText(u"a\u4E2Db"), ZlibCrc({'a', '?', 'b'}));
}

// --- Text form ---------------------------------------------------------------

TEST(CrcToText, Boundaries) {
  EXPECT_EQ(CrcToText(0), u"0");
  EXPECT_EQ(CrcToText(0xF), u"F");
  EXPECT_EQ(CrcToText(0x10), u"10");
  EXPECT_EQ(CrcToText(0x0ABCDEF0), u"ABCDEF0");
  EXPECT_EQ(CrcToText(0x10000000), u"10000000");
  EXPECT_EQ(CrcToText(0x80000000), u"80000000");
  EXPECT_EQ(CrcToText(0xFFFFFFFF), u"FFFFFFFF");
}

TEST(CrcToText, ParsesBackWithoutLeadingZeros) {
  std::mt19937 rng(7);
  for (int i = 0; i < 20000; ++i) {
    // Spread the values over all lengths, not just 8 digits.
    uint32_t value = rng() >> (rng() % 32);
    std::string text = ToUtf8(CrcToText(value));
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(std::stoul(text, nullptr, 16), value) << text;
    EXPECT_TRUE(text == "0" || text[0] != '0') << text;
    EXPECT_EQ(text.find_first_not_of("0123456789ABCDEF"), std::string::npos) << text;
    int bits = 32 - __builtin_clz(value | 1);
    EXPECT_EQ(text.size(), static_cast<size_t>((bits + 3) / 4)) << text;
  }
}

TEST(CrcOfText, IsTheTextFormOfTheNumber) {
  for (const char16_t* s : {u"", u"a", u"c", u"end", u"configuration"}) {
    EXPECT_EQ(CrcOfText(s), CrcToText(Crc32OfText(s)));
  }
}

// --- Against zlib --------------------------------------------------------------

// Characters mostly ASCII, with Latin-1, the code page's 0x80-0x9F block,
// and characters beyond it, at a density that varies between texts.
Text RandomText(std::mt19937& rng, size_t length) {
  static const char16_t kUnusual[] = {0x80, 0x81, 0x8D, 0x9F, 0xA0, 0xE9, 0xFF, 0x100,
                                      0x152, 0x178, 0x20AC, 0x2122, 0x4E2D, 0xD800, 0xFFFF};
  unsigned density = rng() % 4 == 0 ? 0 : rng() % 40;
  Text t(length, u' ');
  for (char16_t& c : t) {
    c = rng() % 100 < density ? kUnusual[rng() % std::size(kUnusual)]
                              : static_cast<char16_t>(rng() % 0x80);
  }
  return t;
}

TEST(CrcOfText, EqualsZlibOnRandomTextsOfManyLengthsAndAlignments) {
  std::mt19937 rng(12345);
  for (size_t length = 0; length <= 5000; ++length) {
    Text buffer = RandomText(rng, length + 3);
    size_t offset = length % 4;  // starts at odd addresses too
    TextView text(buffer.data() + offset, length);
    ASSERT_EQ(Crc32OfText(text), ZlibCrcOfAnsi(text)) << "length " << length;
  }
}

TEST(CrcOfText, EqualsZlibOnALargeText) {
  std::mt19937 rng(99);
  Text text = RandomText(rng, (16u << 20) + 13);
  EXPECT_EQ(Crc32OfText(text), ZlibCrcOfAnsi(text));
  // A few hundred thousand characters of plain listing text.
  Text listing;
  while (listing.size() < 400000) listing += u"interface GigabitEthernet1/0/1\r\n switchport mode access\r\n";
  EXPECT_EQ(Crc32OfText(listing), ZlibCrcOfAnsi(listing));
}

// --- Continuing a checksum ----------------------------------------------------------

TEST(Crc32Update, ContinuesLikeZlib) {
  std::mt19937 rng(5);
  std::vector<uint8_t> bytes(3000);
  for (auto& b : bytes) b = static_cast<uint8_t>(rng());
  uint32_t whole = ZlibCrc(bytes);
  EXPECT_EQ(Crc32Update(0, bytes.data(), bytes.size()), whole);
  for (size_t split = 0; split <= bytes.size(); split += 37) {
    uint32_t first = Crc32Update(0, bytes.data(), split);
    EXPECT_EQ(Crc32Update(first, bytes.data() + split, bytes.size() - split), whole) << split;
  }
}

TEST(Crc32Update, NothingLeavesTheChecksumAlone) {
  EXPECT_EQ(Crc32Update(0, nullptr, 0), 0u);
  EXPECT_EQ(Crc32Update(0x12345678, nullptr, 0), 0x12345678u);
  EXPECT_EQ(Crc32UpdateText(0x12345678, u""), 0x12345678u);
}

TEST(Crc32UpdateText, ContinuesOverTextPieces) {
  std::mt19937 rng(6);
  Text text = RandomText(rng, 20000);
  uint32_t whole = Crc32OfText(text);
  for (size_t split : {size_t{0}, size_t{1}, size_t{63}, size_t{4095}, size_t{4096}, size_t{12345}}) {
    uint32_t first = Crc32UpdateText(0, TextView(text).substr(0, split));
    EXPECT_EQ(Crc32UpdateText(first, TextView(text).substr(split)), whole) << split;
  }
  std::string ansi = ToAnsi(text);
  EXPECT_EQ(Crc32Update(Crc32UpdateText(0, TextView(text).substr(0, 777)),
                        reinterpret_cast<const uint8_t*>(ansi.data()) + 777, ansi.size() - 777),
            whole);
}

}  // namespace
}  // namespace comvorlix

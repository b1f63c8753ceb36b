// Byte forms of texts.
#include "automation/text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace comvorlix {
namespace {

TEST(AnsiForm, EveryByteRoundTripsThroughText) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  const Text text = FromAnsi(all);
  ASSERT_EQ(text.size(), 256u);
  EXPECT_EQ(ToAnsi(text), all);
  // Every byte stands for a character of its own.
  for (int a = 0; a < 256; ++a) {
    for (int b = a + 1; b < 256; ++b) ASSERT_NE(text[a], text[b]) << a << " " << b;
  }
}

TEST(AnsiForm, FollowsWindows1252IncludingItsUnassignedBytes) {
  // Windows-1252 table as published by the Unicode Consortium
  // (MAPPINGS/VENDORS/MICSFT/WINDOWS/CP1252.TXT); the five unassigned bytes
  // map to the C1 control of the same value, as Windows converts them.
  EXPECT_EQ(CharOfAnsiByte(0x80), u'\u20AC');
  EXPECT_EQ(CharOfAnsiByte(0x8A), u'\u0160');
  EXPECT_EQ(CharOfAnsiByte(0x9F), u'\u0178');
  for (uint8_t b : {0x81, 0x8D, 0x8F, 0x90, 0x9D}) EXPECT_EQ(CharOfAnsiByte(b), static_cast<char16_t>(b));
  EXPECT_EQ(CharOfAnsiByte(0xE9), u'\u00E9');
  EXPECT_EQ(AnsiByteOf(u'\u20AC'), 0x80);
}

TEST(AnsiForm, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  EXPECT_EQ(ToAnsi(u"a\u0100b\u4E2D"), "a?b?");
  EXPECT_EQ(AnsiByteOf(u'\u0080'), '?') << "U+0080 has no byte: 0x80 is the euro sign";
}

TEST(Utf16Le, LowestByteFirstAndOddByteKept) {
  EXPECT_EQ(ToUtf16Le(u"A\u20AC"), std::string("A\0\xAC\x20", 4));
  EXPECT_EQ(FromUtf16Le(std::string("A\0\xAC\x20", 4)), u"A\u20AC");
  EXPECT_EQ(FromUtf16Le(std::string("A\0B", 3)), u"AB");
}

TEST(Utf8, RoundTripsAllPlanesAndReplacesMalformedInput) {
  const Text text = u"a\u00E9\u20AC\U0001F600";
  EXPECT_EQ(ToUtf8(text), "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
  EXPECT_EQ(FromUtf8(ToUtf8(text)), text);
  EXPECT_EQ(FromUtf8("a\xFF" "b"), u"a\uFFFDb");
  EXPECT_EQ(FromUtf8("\xC3"), u"\uFFFD") << "truncated sequence at the end";
  EXPECT_EQ(FromUtf8("\xC0\xAF"), u"\uFFFD\uFFFD") << "overlong form";
  EXPECT_EQ(ToUtf8(Text(1, char16_t(0xD800))), "\xEF\xBF\xBD") << "unpaired surrogate";
}

// The direct UTF-16LE forms give exactly what the way through a text gives,
// for any bytes: malformed UTF-8, all planes, odd UTF-16LE, lone surrogates.
TEST(Utf16LeBytes, EqualTheConversionsThroughText) {
  std::mt19937 random(1252);
  std::vector<std::string> inputs = {"", "p\u00e4ss w\u00f6rt \u20ac", "\U0001F511", "\xC3", "\xE2\x82",
                                     "\xED\xA0\x80", "\xF4\x90\x80\x80", "\xC0\xAF", std::string("a\0b", 3)};
  for (int i = 0; i < 2000; ++i) {
    std::string bytes(random() % 12, '\0');
    for (char& b : bytes) b = static_cast<char>(random() % 4 == 0 ? random() % 0x80 : 0x80 + random() % 0x80);
    inputs.push_back(bytes);
  }
  for (const std::string& in : inputs) {
    EXPECT_EQ(Utf8AsUtf16Le(in), ToUtf16Le(FromUtf8(in)));
    EXPECT_EQ(Utf16LeAsUtf8(in), ToUtf8(FromUtf16Le(in)));
  }
}

TEST(Blanks, OnlySpacesAreTrimmed) {
  EXPECT_EQ(TrimBlanks(u"  a b  "), u"a b");
  EXPECT_EQ(TrimBlanks(u"\ta\t"), u"\ta\t");
  EXPECT_EQ(TrimBlanks(u"   "), u"");
}

TEST(UpperCase, KeepsEveryCharacterInItsPlace) {
  EXPECT_EQ(ToUpper(u"#usr=Admin#@@crc=ff"), u"#USR=ADMIN#@@CRC=FF");
  EXPECT_EQ(ToUpper(u"\u00E9\u00F7\u00FF"), u"\u00C9\u00F7\u00FF");
}

}  // namespace
}  // namespace comvorlix

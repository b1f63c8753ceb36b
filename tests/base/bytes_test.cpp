// The direct byte conversions give exactly what the round trip through
// 16-bit text gave, for every byte and for malformed UTF-8 of every kind.
#include "base/bytes.h"

#include <gtest/gtest.h>

#include <random>

#include "automation/text.h"

namespace comvorlix {
namespace {

TEST(Bytes, EveryByteIsShownAsTheCharacterItStandsFor) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  EXPECT_EQ(Utf8OfCp1252(all), ToUtf8(FromAnsi(all)));
  EXPECT_EQ(Utf8OfCp1252("\x80\x81\x9F\xFF"), "\u20AC\u0081\u0178\u00FF");
}

TEST(Bytes, UserTextIsTypedAsTheCodePageBytesOfEveryCharacterAndMadeWellFormed) {
  EXPECT_EQ(Cp1252OfUtf8("p\u00E4ssw\u00F6rt \u20AC"), "p\xE4ssw\xF6rt \x80");
  EXPECT_EQ(Cp1252OfUtf8("\u4E2D\U0001F600"), "???");
  // Every string of one and two bytes: lone and cut sequences, overlong
  // forms, surrogates, bytes that start nothing.
  for (int a = 0; a < 256; ++a) {
    for (int b = -1; b < 256; ++b) {
      std::string s(1, static_cast<char>(a));
      if (b >= 0) s += static_cast<char>(b);
      ASSERT_EQ(Cp1252OfUtf8(s), ToAnsi(FromUtf8(s))) << a << " " << b;
      ASSERT_EQ(ValidUtf8(s), ToUtf8(FromUtf8(s))) << a << " " << b;
    }
  }
  // Longer sequences, well-formed or not, among others.
  std::mt19937 random(19);
  const char* pieces[] = {"\xE2\x82\xAC", "\xED\xA0\x80", "\xF0\x9F\x98\x80", "\xF4\x90\x80\x80", "\xE0\x80\xAF",
                          "\xF0\x80\x80\xAF", "\xC3", "\xE2\x82", "a", "\x80", "\xFF", "\xC3\xA4"};
  for (int n = 0; n < 20000; ++n) {
    std::string s;
    for (int k = random() % 6; k >= 0; --k) s += pieces[random() % std::size(pieces)];
    ASSERT_EQ(Cp1252OfUtf8(s), ToAnsi(FromUtf8(s))) << s;
    ASSERT_EQ(ValidUtf8(s), ToUtf8(FromUtf8(s))) << s;
  }
}

// The conversions above share one decoder, so they are held here to what
// UTF-8 itself says at each edge: every byte that is not part of a
// well-formed character stands alone.
TEST(Bytes, EachByteOutsideAWellFormedCharacterIsReplacedAlone) {
  const std::string r = "\xEF\xBF\xBD";
  const std::pair<std::string, std::string> cases[] = {
      {"\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF", ""},
      {"\xC1\xBF", r + r},                              // overlong, two bytes
      {"\xE0\x9F\xBF", r + r + r},                     // overlong, three bytes
      {"\xF0\x8F\xBF\xBF", r + r + r + r},            // overlong, four bytes
      {"\xED\xA0\x80\xED\xBF\xBF", r + r + r + r + r + r},  // surrogates
      {"\xF4\x90\x80\x80\xF5\x80", r + r + r + r + r + r},  // beyond U+10FFFF
      {"\xE2\x82" "a\xE2\xC3\xA4", r + r + "a" + r + "\xC3\xA4"},  // cut short by another character
      {"\x80\xBF\xF0\x9F\x98", r + r + r + r + r},   // lone continuations, cut at the end
      {"\xF8\x88\x80\x80\x80", r + r + r + r + r}};  // five bytes
  for (const auto& [in, out] : cases) EXPECT_EQ(ValidUtf8(in), out.empty() ? in : out) << in;
  EXPECT_EQ(Cp1252OfUtf8("\xEF\xBF\xBF\xF4\x8F\xBF\xBF\xC3\xBF\xE2"), "???\xFF?");
}

}  // namespace
}  // namespace comvorlix

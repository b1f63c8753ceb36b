// Base64 codec: RFC 4648 vectors and the decoder's own rules for padding,
// foreign characters and short groups.
#include "params/base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/automation_error.h"
#include "base/bytes.h"
#include "automation/text.h"

namespace comvorlix {
namespace {

std::string Bytes(const std::string& s) { return Utf8OfCp1252(s); }

void ExpectInvalidArgument(const std::string& input) {
  try {
    Base64Decode(input);
    FAIL() << "no error for " << (input);
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.status(), Status::kInvalidArgument);
    EXPECT_EQ(e.description(), "Invalid procedure call or argument");
  }
}

// RFC 4648, section 10 (test vectors).
TEST(Base64, Rfc4648Vectors) {
  const struct {
    const char* plain;
    const char* encoded;
  } vectors[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},        {"foo", "Zm9v"},
                 {"foob", "Zm9vYg=="}, {"fooba", "Zm9vYmE="}, {"foobar", "Zm9vYmFy"}};
  for (const auto& v : vectors) {
    EXPECT_EQ(Base64Encode(std::string(v.plain)), std::string(v.encoded)) << v.plain;
    EXPECT_EQ(Base64Decode(std::string(v.encoded)), std::string(v.plain)) << v.encoded;
  }
}

TEST(Base64, EncodesShortGroupsWithPadding) {
  EXPECT_EQ(Base64Encode(std::string("abc")), std::string("YWJj"));
  EXPECT_EQ(Base64Encode(std::string("a")), std::string("YQ=="));
  EXPECT_EQ(Base64Encode(std::string("ab")), std::string("YWI="));
}

TEST(Base64, PresentZeroBytesEncodeLikeAnyOther) {
  EXPECT_EQ(Base64Encode(Bytes(std::string("a\0b", 3))), std::string("YQBi"));
  EXPECT_EQ(Base64Encode(Bytes(std::string("ab\0", 3))), std::string("YWIA"));
  EXPECT_EQ(Base64Encode(Bytes(std::string("a\0\0", 3))), std::string("YQAA"));
}

TEST(Base64, DecodesPaddedAndUnpaddedInput) {
  EXPECT_EQ(Base64Decode(std::string("YWJj")), std::string("abc"));
  EXPECT_EQ(Base64Decode(std::string("YQ")), std::string("a"));
  EXPECT_EQ(Base64Decode(std::string("YWI")), std::string("ab"));
  EXPECT_EQ(Base64Decode(std::string("YQ==")), std::string("a"));
}

TEST(Base64, SingleTrailingCharacterIsDropped) { EXPECT_EQ(Base64Decode(std::string("YWJjZ")), std::string("abc")); }

TEST(Base64, PadCutsTheGroupShort) {
  EXPECT_EQ(Base64Decode(std::string("YW=j")), std::string("a"));
  EXPECT_EQ(Base64Decode(std::string("YQ==YWJj")), std::string("aabc"));
}

TEST(Base64, ForeignCharactersCountAsA) {
  EXPECT_NE(Base64Decode(std::string("YW Jj")), std::string("abc"));
  EXPECT_EQ(Base64Decode(std::string("YW Jj")), Base64Decode(std::string("YWAJj")));
  EXPECT_EQ(Base64Decode(std::string("-_\r\n")), Bytes(std::string(3, '\0')));
  // A character beyond ASCII is one position, however many bytes it takes.
  EXPECT_EQ(Base64Decode("Y\u00e4Jj"), Base64Decode("YAJj"));
  EXPECT_EQ(Base64Decode("\u20ac\U0001F600="), Base64Decode("AAA="));
}

TEST(Base64, GroupStartingWithPadFails) {
  ExpectInvalidArgument(std::string("="));
  ExpectInvalidArgument(std::string("QQ===="));
  ExpectInvalidArgument(std::string("QQ======"));
  ExpectInvalidArgument(std::string("=AAA"));
}

TEST(Base64, HighBytesUseTheAnsiCodePage) {
  // Windows-1252: 0x80 is the euro sign, 0xE4 is a-umlaut.
  EXPECT_EQ(Base64Encode(std::string("€")), std::string("gA=="));
  EXPECT_EQ(Base64Decode(std::string("gA==")), std::string("€"));
  EXPECT_EQ(Base64Encode(std::string("ä")), std::string("5A=="));
  EXPECT_EQ(Base64Decode(std::string("5A==")), std::string("ä"));
}

TEST(Base64, RoundTripsEveryByteString) {
  std::mt19937 random(4648);
  for (size_t length = 0; length < 70; ++length) {
    std::string bytes(length, '\0');
    for (auto& b : bytes) b = static_cast<char>(random());
    const std::string text = Bytes(bytes);
    const std::string encoded = Base64Encode(text);
    EXPECT_EQ(encoded.size(), 4 * ((length + 2) / 3));
    EXPECT_EQ(Base64Decode(encoded), text) << length;
  }
}

}  // namespace
}  // namespace comvorlix

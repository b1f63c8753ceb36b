// Base64 codec: RFC 4648 vectors and the decoder's own rules for padding,
// foreign characters and short groups.
#include "params/base64.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "automation/automation_error.h"

namespace comvorlix {
namespace {

Text Bytes(const std::string& s) { return FromAnsi(s); }

void ExpectInvalidArgument(const Text& input) {
  try {
    Base64Decode(input);
    FAIL() << "no error for " << ToUtf8(input);
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
    EXPECT_EQ(Base64Encode(T(v.plain)), T(v.encoded)) << v.plain;
    EXPECT_EQ(Base64Decode(T(v.encoded)), T(v.plain)) << v.encoded;
  }
}

TEST(Base64, EncodesShortGroupsWithPadding) {
  EXPECT_EQ(Base64Encode(T("abc")), T("YWJj"));
  EXPECT_EQ(Base64Encode(T("a")), T("YQ=="));
  EXPECT_EQ(Base64Encode(T("ab")), T("YWI="));
}

TEST(Base64, PresentZeroBytesEncodeLikeAnyOther) {
  EXPECT_EQ(Base64Encode(Bytes(std::string("a\0b", 3))), T("YQBi"));
  EXPECT_EQ(Base64Encode(Bytes(std::string("ab\0", 3))), T("YWIA"));
  EXPECT_EQ(Base64Encode(Bytes(std::string("a\0\0", 3))), T("YQAA"));
}

TEST(Base64, DecodesPaddedAndUnpaddedInput) {
  EXPECT_EQ(Base64Decode(T("YWJj")), T("abc"));
  EXPECT_EQ(Base64Decode(T("YQ")), T("a"));
  EXPECT_EQ(Base64Decode(T("YWI")), T("ab"));
  EXPECT_EQ(Base64Decode(T("YQ==")), T("a"));
}

TEST(Base64, SingleTrailingCharacterIsDropped) { EXPECT_EQ(Base64Decode(T("YWJjZ")), T("abc")); }

TEST(Base64, PadCutsTheGroupShort) {
  EXPECT_EQ(Base64Decode(T("YW=j")), T("a"));
  EXPECT_EQ(Base64Decode(T("YQ==YWJj")), T("aabc"));
}

TEST(Base64, ForeignCharactersCountAsA) {
  EXPECT_NE(Base64Decode(T("YW Jj")), T("abc"));
  EXPECT_EQ(Base64Decode(T("YW Jj")), Base64Decode(T("YWAJj")));
  EXPECT_EQ(Base64Decode(T("-_\r\n")), Bytes(std::string(3, '\0')));
}

TEST(Base64, GroupStartingWithPadFails) {
  ExpectInvalidArgument(T("="));
  ExpectInvalidArgument(T("QQ===="));
  ExpectInvalidArgument(T("QQ======"));
  ExpectInvalidArgument(T("=AAA"));
}

TEST(Base64, HighBytesUseTheAnsiCodePage) {
  // Windows-1252: 0x80 is the euro sign, 0xE4 is a-umlaut.
  EXPECT_EQ(Base64Encode(T("€")), T("gA=="));
  EXPECT_EQ(Base64Decode(T("gA==")), T("€"));
  EXPECT_EQ(Base64Encode(T("ä")), T("5A=="));
  EXPECT_EQ(Base64Decode(T("5A==")), T("ä"));
}

TEST(Base64, RoundTripsEveryByteString) {
  std::mt19937 random(4648);
  for (size_t length = 0; length < 70; ++length) {
    std::string bytes(length, '\0');
    for (auto& b : bytes) b = static_cast<char>(random());
    const Text text = Bytes(bytes);
    const Text encoded = Base64Encode(text);
    EXPECT_EQ(encoded.size(), 4 * ((length + 2) / 3));
    EXPECT_EQ(Base64Decode(encoded), text) << length;
  }
}

}  // namespace
}  // namespace comvorlix

// List codes: a code and its item in both directions, unknown codes, and
// the codes written for no choice.
#include "params/item_codes.h"

#include <gtest/gtest.h>

#include <set>

namespace comvorlix {
namespace {

TEST(ItemCodes, EveryCodeSelectsItsOwnItemAndBack) {
  for (const CodeList* list : {&ProtocolCodes(), &KeyTypeCodes(), &ConfigurationCodes(), &DeviceCodes()}) {
    ASSERT_FALSE(list->items.empty());
    ASSERT_LT(list->fallback_index, list->items.size());
    std::set<std::string> codes, captions;
    for (size_t i = 0; i < list->items.size(); ++i) {
      const CodeItem& item = list->items[i];
      EXPECT_EQ(IndexOfCode(*list, item.code), static_cast<int>(i));
      EXPECT_EQ(CodeOfIndex(*list, static_cast<int>(i)), item.code);
      EXPECT_EQ(KnownCode(*list, item.code), item.code);
      // Codes land between "=" and "#" of the parameter string.
      EXPECT_EQ(item.code.find_first_of("#="), std::string::npos) << (item.code);
      EXPECT_TRUE(codes.insert(item.code).second) << "duplicate code " << (item.code);
      EXPECT_TRUE(captions.insert(item.caption).second) << "duplicate caption " << (item.caption);
    }
  }
}

TEST(ItemCodes, UnknownCodesStandForTheFallbackCaseSensitively) {
  EXPECT_EQ(KnownCode(ProtocolCodes(), "a"), "A");
  EXPECT_EQ(KnownCode(ProtocolCodes(), ""), "A");
  EXPECT_EQ(KnownCode(ProtocolCodes(), "3"), "A");
  EXPECT_EQ(KnownCode(KeyTypeCodes(), "rsa"), "RSA");
  EXPECT_EQ(KnownCode(KeyTypeCodes(), "DSA "), "RSA");
  EXPECT_EQ(KnownCode(ConfigurationCodes(), "compare"), "RUN");
  EXPECT_EQ(IndexOfCode(DeviceCodes(), "HP2530SW"), 0);
  EXPECT_EQ(IndexOfCode(DeviceCodes(), "cscsw"), 0);
}

TEST(ItemCodes, NoChoiceGivesEmptyCodesButTheDefaultDevice) {
  for (int none : {-1, 3, 100, -5}) {
    EXPECT_EQ(CodeOfIndex(ProtocolCodes(), none), "") << none;
    EXPECT_EQ(CodeOfIndex(ConfigurationCodes(), none), "") << none;
  }
  EXPECT_EQ(CodeOfIndex(KeyTypeCodes(), 2), "");
  EXPECT_EQ(CodeOfIndex(DeviceCodes(), -1), "CSCSW");
  EXPECT_EQ(CodeOfIndex(DeviceCodes(), static_cast<int>(DeviceCodes().items.size())), "CSCSW");
}

}  // namespace
}  // namespace comvorlix

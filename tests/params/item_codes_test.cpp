// List codes: a code and its item in both directions, unknown codes, and
// the codes written for no choice.
#include "params/item_codes.h"

#include <gtest/gtest.h>

#include <set>

namespace comvorlix {
namespace {

TEST(ItemCodes, EveryCodeSelectsItsOwnItemAndBack) {
  for (const CodeList* list : {&ProtocolCodes(), &KeyTypeCodes(), &ConfigurationCodes(), &DeviceCodes()}) {
    ASSERT_FALSE(list->items.empty()) << ToUtf8(list->key);
    ASSERT_LT(list->fallback_index, list->items.size()) << ToUtf8(list->key);
    std::set<Text> codes, captions;
    for (size_t i = 0; i < list->items.size(); ++i) {
      const CodeItem& item = list->items[i];
      EXPECT_EQ(IndexOfCode(*list, item.code), static_cast<int>(i));
      EXPECT_EQ(CodeOfIndex(*list, static_cast<int>(i)), item.code);
      EXPECT_EQ(KnownCode(*list, item.code), item.code);
      // Codes land between "=" and "#" of the parameter string.
      EXPECT_EQ(item.code.find_first_of(u"#="), Text::npos) << ToUtf8(item.code);
      EXPECT_TRUE(codes.insert(item.code).second) << "duplicate code " << ToUtf8(item.code);
      EXPECT_TRUE(captions.insert(item.caption).second) << "duplicate caption " << ToUtf8(item.caption);
    }
  }
}

TEST(ItemCodes, UnknownCodesStandForTheFallbackCaseSensitively) {
  EXPECT_EQ(KnownCode(ProtocolCodes(), u"a"), u"A");
  EXPECT_EQ(KnownCode(ProtocolCodes(), u""), u"A");
  EXPECT_EQ(KnownCode(ProtocolCodes(), u"3"), u"A");
  EXPECT_EQ(KnownCode(KeyTypeCodes(), u"rsa"), u"RSA");
  EXPECT_EQ(KnownCode(KeyTypeCodes(), u"DSA "), u"RSA");
  EXPECT_EQ(KnownCode(ConfigurationCodes(), u"compare"), u"RUN");
  EXPECT_EQ(IndexOfCode(DeviceCodes(), u"HP2530SW"), 0);
  EXPECT_EQ(IndexOfCode(DeviceCodes(), u"cscsw"), 0);
}

TEST(ItemCodes, NoChoiceGivesEmptyCodesButTheDefaultDevice) {
  for (int none : {-1, 3, 100, -5}) {
    EXPECT_EQ(CodeOfIndex(ProtocolCodes(), none), u"") << none;
    EXPECT_EQ(CodeOfIndex(ConfigurationCodes(), none), u"") << none;
  }
  EXPECT_EQ(CodeOfIndex(KeyTypeCodes(), 2), u"");
  EXPECT_EQ(CodeOfIndex(DeviceCodes(), -1), u"CSCSW");
  EXPECT_EQ(CodeOfIndex(DeviceCodes(), static_cast<int>(DeviceCodes().items.size())), u"CSCSW");
}

}  // namespace
}  // namespace comvorlix

// The combo box item lists and their codes, in both directions.
#include "dialog/item_codes.h"

#include <gtest/gtest.h>

namespace comvorlix {
namespace {

TEST(ItemCodes, EveryCodeSelectsItsItemAndBack) {
  for (const ComboList* list : {&ProtocolList(), &KeyTypeList(), &ConfigurationList(), &DeviceList()}) {
    for (size_t i = 0; i < list->items.size(); ++i) {
      EXPECT_EQ(IndexOfCode(*list, list->items[i].code), static_cast<int>(i));
      EXPECT_EQ(CodeOfIndex(*list, static_cast<int>(i)), list->items[i].code);
    }
  }
}

TEST(ItemCodes, TheDocumentedTables) {
  const auto codes = [](const ComboList& list) {
    std::vector<std::string> all;
    for (const ComboItem& item : list.items) all.push_back(ToUtf8(Text(item.code)));
    return all;
  };
  EXPECT_EQ(codes(ProtocolList()), (std::vector<std::string>{"1", "2", "A"}));
  EXPECT_EQ(codes(KeyTypeList()), (std::vector<std::string>{"RSA", "DSA"}));
  EXPECT_EQ(codes(ConfigurationList()), (std::vector<std::string>{"RUN", "START", "COMPARE"}));
  EXPECT_EQ(codes(DeviceList()), (std::vector<std::string>{"CSCSW", "ARUSW", "HP1920SW", "HP2510SW"}));
  EXPECT_EQ(DeviceList().items[3].item, u"HP 2530 switch (like J9777A)");
  EXPECT_EQ(ProtocolList().control, u"cmbProtocol");
  EXPECT_EQ(ConfigurationList().key, u"CFG");
}

TEST(ItemCodes, UnknownCodesGiveTheFallbackCaseSensitively) {
  EXPECT_EQ(IndexOfCode(ProtocolList(), u"a"), 2);
  EXPECT_EQ(IndexOfCode(ProtocolList(), u""), 2);
  EXPECT_EQ(IndexOfCode(ProtocolList(), u"3"), 2);
  EXPECT_EQ(IndexOfCode(KeyTypeList(), u"rsa"), 0);
  EXPECT_EQ(IndexOfCode(KeyTypeList(), u"DSA "), 0);
  EXPECT_EQ(IndexOfCode(ConfigurationList(), u"compare"), 0);
  EXPECT_EQ(IndexOfCode(DeviceList(), u"HP2530SW"), 0);
}

TEST(ItemCodes, NoSelectionGivesEmptyCodesButTheDefaultDevice) {
  for (int none : {-1, 3, 100, -5}) {
    EXPECT_EQ(CodeOfIndex(ProtocolList(), none), u"") << none;
    EXPECT_EQ(CodeOfIndex(ConfigurationList(), none), u"") << none;
  }
  EXPECT_EQ(CodeOfIndex(KeyTypeList(), 2), u"");
  EXPECT_EQ(CodeOfIndex(DeviceList(), -1), u"CSCSW");
  EXPECT_EQ(CodeOfIndex(DeviceList(), 4), u"CSCSW");
}

}  // namespace
}  // namespace comvorlix

// The registry of device kinds: what every registered kind must offer for
// the check, the form and the command line to work with it.
#include "devices/device_table.h"

#include <gtest/gtest.h>

#include <set>

namespace comvorlix {
namespace {

TEST(DeviceKinds, EveryKindIsRegisteredOnceInSortOrder) {
  const auto kinds = AllDeviceKinds();
  // A kind file dropped by the linker would silently shrink the table.
  ASSERT_GE(kinds.size(), 4u);
  std::set<Text> codes;
  for (size_t i = 0; i < kinds.size(); ++i) {
    const DeviceKind& kind = kinds[i];
    EXPECT_TRUE(codes.insert(kind.code).second) << "duplicate code " << ToUtf8(kind.code);
    if (i > 0) {
      EXPECT_LT(kinds[i - 1].sort_key, kind.sort_key) << ToUtf8(kind.code);
    }
    EXPECT_EQ(FindDeviceKind(kind.code), &kind);
  }
  // The first kind is the form's default; stored strings rely on it.
  EXPECT_EQ(kinds[0].code, u"CSCSW");
}

TEST(DeviceKinds, EveryKindCanBeListedAndNamed) {
  for (const DeviceKind& kind : AllDeviceKinds()) {
    const std::string code = ToUtf8(kind.code);
    EXPECT_FALSE(kind.code.empty());
    // Codes stand between "=" and "#" in the parameter string and between
    // "|" in the help.
    EXPECT_EQ(kind.code.find_first_of(u"#=| "), Text::npos) << code;
    EXPECT_FALSE(FirstListing(kind, u"RUN").empty()) << code;
    EXPECT_FALSE(FirstListing(kind, u"START").empty()) << code;
    EXPECT_EQ(FirstListing(kind, u"COMPARE"), FirstListing(kind, u"START")) << code;
    EXPECT_FALSE(kind.line_end.empty()) << code;
    EXPECT_FALSE(kind.logout.empty()) << code;
    EXPECT_FALSE(kind.form_name.empty()) << code;
    EXPECT_FALSE(kind.short_name.empty()) << code;
  }
}

TEST(DeviceKinds, OtherCodesAreNoKind) {
  for (const char16_t* code : {u"", u"cscsw", u"HP2530SW", u"CSCSW "}) {
    EXPECT_EQ(FindDeviceKind(code), nullptr) << ToUtf8(code);
  }
  EXPECT_TRUE(FirstListing(OtherDeviceKind(), u"RUN").empty());
}

}  // namespace
}  // namespace comvorlix

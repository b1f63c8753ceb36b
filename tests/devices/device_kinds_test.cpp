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
  std::set<std::string> codes;
  for (size_t i = 0; i < kinds.size(); ++i) {
    const DeviceKind& kind = kinds[i];
    EXPECT_TRUE(codes.insert(kind.code).second) << "duplicate code " << kind.code;
    if (i > 0) {
      EXPECT_LT(kinds[i - 1].sort_key, kind.sort_key) << kind.code;
    }
    EXPECT_EQ(FindDeviceKind(kind.code), &kind);
  }
  // The first kind is the form's default; stored strings rely on it.
  EXPECT_EQ(kinds[0].code, "CSCSW");
}

TEST(DeviceKinds, EveryKindCanBeListedAndNamed) {
  for (const DeviceKind& kind : AllDeviceKinds()) {
    const std::string& code = kind.code;
    EXPECT_FALSE(kind.code.empty());
    // Codes stand between "=" and "#" in the parameter string and between
    // "|" in the help.
    EXPECT_EQ(kind.code.find_first_of("#=| "), std::string::npos) << code;
    EXPECT_FALSE(FirstListing(kind, "RUN").empty()) << code;
    EXPECT_FALSE(FirstListing(kind, "START").empty()) << code;
    EXPECT_EQ(FirstListing(kind, "COMPARE"), FirstListing(kind, "START")) << code;
    EXPECT_FALSE(kind.line_end.empty()) << code;
    EXPECT_FALSE(kind.logout.empty()) << code;
    EXPECT_FALSE(kind.form_name.empty()) << code;
    EXPECT_FALSE(kind.short_name.empty()) << code;
  }
}

TEST(DeviceKinds, OtherCodesAreNoKind) {
  for (const char* code : {"", "cscsw", "HP2530SW", "CSCSW "}) {
    EXPECT_EQ(FindDeviceKind(code), nullptr) << code;
  }
  EXPECT_TRUE(FirstListing(OtherDeviceKind(), "RUN").empty());
}

}  // namespace
}  // namespace comvorlix

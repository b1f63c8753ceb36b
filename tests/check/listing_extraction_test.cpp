// Finding listings in recorded-style session outputs: one data file each.
// NAME.session is what the switch sent; NAME.listing the listing expected,
// or NAME.error what the search must report missing.
#include "check/listing_extraction.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "devices/device_table.h"

namespace comvorlix {
namespace {

std::string ReadData(const std::string& name) {
  std::ifstream in(std::string(TEST_DATA_DIR) + "/" + name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool HasData(const std::string& name) { return std::filesystem::exists(std::string(TEST_DATA_DIR) + "/" + name); }

struct Case {
  const char* name;
  const char* device;
  const char* configuration;
};

class ListingFileTest : public ::testing::TestWithParam<Case> {};

TEST_P(ListingFileTest, FindsExactlyTheListingOrSaysWhatIsMissing) {
  const Case c = GetParam();
  const DeviceKind* device = FindDeviceKind(T(c.device));
  ASSERT_NE(device, nullptr);
  const Text command = FirstListing(*device, T(c.configuration));
  const bool running = command == device->run_listing;
  const ListingShape shape{command, running ? device->run_marker : device->start_marker, device->end_line};

  auto result = FindListing(FromAnsi(ReadData(std::string(c.name) + ".session")), shape);
  if (HasData(std::string(c.name) + ".listing")) {
    ASSERT_TRUE(std::holds_alternative<FoundListing>(result)) << std::get<ListingError>(result).what;
    EXPECT_EQ(ToAnsi(std::get<FoundListing>(result).text), ReadData(std::string(c.name) + ".listing"));
  } else {
    ASSERT_TRUE(std::holds_alternative<ListingError>(result));
    EXPECT_EQ(std::get<ListingError>(result).what, ReadData(std::string(c.name) + ".error"));
  }
}

INSTANTIATE_TEST_SUITE_P(SessionFiles, ListingFileTest,
                         ::testing::Values(Case{"cisco-run", "CSCSW", "RUN"}, Case{"cisco-start", "CSCSW", "START"},
                                           Case{"cisco-wrong-enable", "CSCSW", "RUN"},
                                           Case{"cisco-dropped", "CSCSW", "RUN"},
                                           Case{"cisco-no-echo", "CSCSW", "RUN"}, Case{"aruba-run", "ARUSW", "RUN"},
                                           Case{"aruba-operator", "ARUSW", "RUN"},
                                           Case{"hp1920-run", "HP1920SW", "RUN"}),
                         [](const auto& info) {
                           std::string n = info.param.name;
                           for (char& ch : n) ch = ch == '-' ? '_' : ch;
                           return n;
                         });

TEST(ListingSearch, StartsAfterTheGivenOffsetForTheSecondListing) {
  const Text out = T("S#show startup-config\r\nA\r\nend\r\nS#show running-config\r\nB\r\nend\r\nS#exit\r\n");
  const ListingShape startup{u"show startup-config", u"", u"end"};
  auto first = std::get<FoundListing>(FindListing(out, startup));
  EXPECT_EQ(first.text, u"A\r\nend\r\n");
  const ListingShape running{u"show running-config", u"", u"end"};
  EXPECT_EQ(std::get<FoundListing>(FindListing(out, running, first.end_offset)).text, u"B\r\nend\r\n");
}

TEST(ListingSearch, RepeatedLogoutTextAfterTheListingDoesNotChangeIt) {
  const Text base = T("S#show running-config\r\nX\r\nend\r\n\r\nS#exit\r\n");
  const ListingShape shape{u"show running-config", u"", u"end"};
  const Text once = std::get<FoundListing>(FindListing(base, shape)).text;
  const Text many =
      std::get<FoundListing>(FindListing(base + T("exit\r\nexit\r\ny\r\nn\r\nexit\r\nexit\r\n"), shape)).text;
  EXPECT_EQ(once, many);
}

TEST(LastDeviceLine, IsTheLastLineWithTextShortenedWhenLong) {
  EXPECT_EQ(LastDeviceLine(u"a\r\nSwitch>\r\n\r\n  \r\n"), u"Switch>");
  EXPECT_EQ(LastDeviceLine(u""), u"");
  EXPECT_EQ(LastDeviceLine(Text(200, u'x'), 10), Text(10, u'x') + u"...");
}

TEST(Statements, KeepOnlyConfigurationStatementsWithTheirLineEnds) {
  const Text listing = T("Building configuration...\r\n\r\nCurrent configuration : 20 bytes\r\n!\r\nhostname A\r\n"
                         " description ! not a separator\r\n  \r\nend\r\n");
  EXPECT_EQ(StatementsOnly(listing, {u"Building configuration...", u"Current configuration :"}, {u"!"}),
            T("hostname A\r\n description ! not a separator\r\nend\r\n"));
}

}  // namespace
}  // namespace comvorlix

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
  const DeviceKind* device = FindDeviceKind(c.device);
  ASSERT_NE(device, nullptr);
  const std::string& command = FirstListing(*device, c.configuration);
  const bool running = command == device->run_listing;
  const ListingShape shape{command, running ? device->run_marker : device->start_marker, device->end_line, {}, ""};

  const std::string session = ReadData(std::string(c.name) + ".session");
  auto result = FindListing(session, shape);
  if (HasData(std::string(c.name) + ".listing")) {
    ASSERT_TRUE(std::holds_alternative<FoundListing>(result)) << std::get<ListingError>(result).what;
    EXPECT_EQ(std::get<FoundListing>(result).text, ReadData(std::string(c.name) + ".listing"));
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
                         [](const auto& param_info) {
                           std::string n = param_info.param.name;
                           for (char& ch : n) ch = ch == '-' ? '_' : ch;
                           return n;
                         });

TEST(ListingSearch, StartsAfterTheGivenOffsetForTheSecondListing) {
  const std::string out = "S#show startup-config\r\nA\r\nend\r\nS#show running-config\r\nB\r\nend\r\nS#exit\r\n";
  const ListingShape startup{"show startup-config", "", "end", {}, ""};
  auto first = std::get<FoundListing>(FindListing(out, startup));
  EXPECT_EQ(first.text, "A\r\nend\r\n");
  const ListingShape running{"show running-config", "", "end", {}, ""};
  EXPECT_EQ(std::get<FoundListing>(FindListing(out, running, first.end_offset)).text, "B\r\nend\r\n");
}

TEST(ListingSearch, RepeatedLogoutTextAfterTheListingDoesNotChangeIt) {
  const std::string base = "S#show running-config\r\nX\r\nend\r\n\r\nS#exit\r\n";
  const std::string more = base + "exit\r\nexit\r\ny\r\nn\r\nexit\r\nexit\r\n";
  const ListingShape shape{"show running-config", "", "end", {}, ""};
  EXPECT_EQ(std::get<FoundListing>(FindListing(base, shape)).text, std::get<FoundListing>(FindListing(more, shape)).text);
}

TEST(ListingSearch, BytesAboveAsciiAreKeptAndQuotedAsTheirCharacters) {
  const std::string out = "S#show running-config\r\nbanner \x80\xE9\xFF\r\nend\r\nS#\xE9";
  EXPECT_EQ(std::get<FoundListing>(FindListing(out, {"show running-config", "", "end", {}, ""})).text,
            "banner \x80\xE9\xFF\r\nend\r\n");
  EXPECT_EQ(QuotedBytes(LastDeviceLine(out)), "\"S#\xC3\xA9\"");
  EXPECT_EQ(QuotedBytes("\x80"), "\"\xE2\x82\xAC\"") << "the euro sign of the ANSI code page";
}

// Echoes of the marker bound the listing: a banner holding the prompt, the
// command and a listing comes before the first echo, an "end" and a prompt
// inside the listing come before the second.
TEST(MarkedListing, OnlyTheTextBetweenTheMarkerEchoesCountsAndItsEndLineIsRequired) {
  const std::string m = "show clock | include 0123456789abcdef";
  const std::string fake = "S#show running-config\r\nold\r\nend\r\nS#\r\n";
  const std::string listing = "banner motd ^C\r\nend\r\nS#exit\r\n^C\r\nhostname x\r\nend\r\n";
  const std::string out = fake + "S#" + m + "\r\nS#show running-config\r\n" + listing + "\r\nS#" + m + "\r\nS#exit\r\n";
  const ListingShape shape{"show running-config", "", "end", {}, m};
  const auto found = std::get<FoundListing>(FindListing(out, shape));
  EXPECT_EQ(found.text, listing);
  EXPECT_EQ(out.substr(found.end_offset, 2 + m.size()), "S#" + m) << "the closing echo opens the next listing";

  const std::string cut = out.substr(0, out.find("hostname x"));
  EXPECT_EQ(std::get<ListingError>(FindListing(cut, shape)).what,
            "the listing of \"show running-config\" did not end with \"end\" and a prompt");
  const std::string no_end = out.substr(0, out.rfind("end\r\n")) + "\r\nS#" + m + "\r\n";
  EXPECT_TRUE(std::holds_alternative<ListingError>(FindListing(no_end, shape)));
  EXPECT_EQ(std::get<ListingError>(FindListing(fake, shape)).what,
            "the switch did not take the command \"show running-config\" at a prompt");
}

TEST(MarkedListing, AListingThatStartsWithAnEndlessHeaderEndsAtThePrompt) {
  const std::string m = "mark-0123456789abcdef";
  const ListingShape shape{"display current-configuration", "", "return", {"Running configuration:"}, m};
  const std::string head = "H# " + m + "\r\nInvalid input: " + m + "\r\nH# display current-configuration\r\n";
  const std::string native = "Running configuration:\r\n\r\n; J9776A\r\nhostname \"H\"\r\n";
  EXPECT_EQ(std::get<FoundListing>(FindListing(head + native + "H# " + m + "\r\n", shape)).text, native);
  const std::string comware = "#\r\n sysname H\r\n#\r\nreturn\r\n";
  EXPECT_EQ(std::get<FoundListing>(FindListing(head + comware + "H# " + m + "\r\n", shape)).text, comware);
  EXPECT_TRUE(std::holds_alternative<ListingError>(FindListing(head + "#\r\n sysname H\r\nH# " + m + "\r\n", shape)));
}

TEST(LastDeviceLine, IsTheLastLineWithTextShortenedWhenLong) {
  EXPECT_EQ(LastDeviceLine("a\r\nSwitch>\r\n\r\n  \r\n"), "Switch>");
  EXPECT_EQ(LastDeviceLine(""), "");
  EXPECT_EQ(LastDeviceLine(std::string(200, 'x'), 10), std::string(10, 'x') + "...");
}

}  // namespace
}  // namespace comvorlix

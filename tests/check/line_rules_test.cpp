// Which lines of a listing are configuration, for each kind of switch.
#include "check/line_rules.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "devices/device_table.h"

namespace comvorlix {
namespace {

std::string Statements(const char* device, const std::string& listing) {
  const DeviceKind* kind = FindDeviceKind(device);
  return LineRules::Of(kind ? *kind : OtherDeviceKind()).StatementsOnly(listing);
}

TEST(LineRules, CiscoHeadLinesCountOnlyInTheHeadAndOnlyInTheirWholeShape) {
  const std::string head =
      "Building configuration...\r\n\r\nCurrent configuration : 20546 bytes\r\n!\r\n"
      "! Last configuration change at 09:37:40 CEST Tue Aug 20 2024 by admin\r\n"
      "! NVRAM config last updated at 9:37:37.123 UTC Tue Aug  2 2024\r\n"
      "! No configuration change since last restart\r\n  !\r\n"
      "Using 1234 out of 65536 bytes\r\nUsing 741 out of 524288 bytes, uncompressed size = 1131 bytes\r\n";
  EXPECT_EQ(Statements("CSCSW", head + "version 17.9\r\n"), "version 17.9\r\n");
  // The same lines after the first statement are configuration, and so is
  // a line that only begins like a header.
  EXPECT_EQ(Statements("CSCSW", "Using the lab switch\r\n" + head),
            "Using the lab switch\r\nBuilding configuration...\r\nCurrent configuration : 20546 bytes\r\n"
            "! Last configuration change at 09:37:40 CEST Tue Aug 20 2024 by admin\r\n"
            "! NVRAM config last updated at 9:37:37.123 UTC Tue Aug  2 2024\r\n"
            "! No configuration change since last restart\r\n"
            "Using 1234 out of 65536 bytes\r\nUsing 741 out of 524288 bytes, uncompressed size = 1131 bytes\r\n");
  EXPECT_EQ(Statements("CSCSW", "Using 12 out of 64 bytes, and more\nUSING 1 out of 2 bytes\n"),
            "Using 12 out of 64 bytes, and more\nUSING 1 out of 2 bytes\n");
}

TEST(LineRules, CiscoClockPeriodIsLeftOutAtTheTopLevelOnlyAndBannersKeepEveryLine) {
  const std::string listing =
      "hostname A\nntp clock-period 17179865\nntp server 10.1.1.1\n"
      "banner motd ^C\nUsing 1 out of 2 bytes\n!\n\nntp clock-period 5\n^C\n"
      "banner login ^CSingle line ^C\nntp clock-period 6\n"
      "interface Gi1/0/1\n ntp clock-period 7\n !\n description ntp clock-period 8\nend";
  EXPECT_EQ(Statements("CSCSW", listing),
            "hostname A\nntp server 10.1.1.1\nbanner motd ^C\nUsing 1 out of 2 bytes\n!\n\nntp clock-period 5\n^C\n"
            "banner login ^CSingle line ^C\ninterface Gi1/0/1\n ntp clock-period 7\n"
            " description ntp clock-period 8\nend");
  // A banner that never closes keeps the rest of the listing whole.
  EXPECT_EQ(Statements("CSCSW", "banner exec ^C\n!\nntp clock-period 1\n"),
            "banner exec ^C\n!\nntp clock-period 1\n");
}

TEST(LineRules, ArubaAndHp2530HeadersAndCommentsGoOnlyFromTheHead) {
  const std::string body = "hostname \"ACCESS\"\r\n; not in the head\r\nvlan 1 \r\n   exit\r\n";
  const std::string comments = "; J9776A Configuration Editor; Created on release #YA.15.17.0009\r\n"
                               "; Ver #07:c3.84.9c.63.ff.37.27:50\r\n";
  for (const char* device : {"ARUSW", "HP2510SW"}) {
    const std::string running = Statements(device, "Running configuration:\r\n\r\n" + comments + body);
    EXPECT_EQ(running, body);
    EXPECT_EQ(Statements(device, "Startup configuration: 7\r\n\r\n" + comments + body), running);
  }
  // Old firmware: no "; Ver" line, a trailing blank.
  EXPECT_EQ(Statements("ARUSW", "; J9019A Configuration Editor; Created on release #Q.10.05 \r\n \r\nhostname x\r\n"),
            "hostname x\r\n");
  // A banner may hold anything, the header and separators included.
  EXPECT_EQ(Statements("HP2510SW", "hostname x\nbanner motd \"Running configuration:\n\n#\n\"\n#\n"),
            "hostname x\nbanner motd \"Running configuration:\n\n#\n\"\n");
}

TEST(LineRules, ComwareSeparatorsGoButNotInsideAHeader) {
  const std::string listing = "#\n version 5.20.99, Release 1106\n#\n header motd %\n#\nWelcome\n%\n#\nreturn\n";
  for (const char* device : {"HP1920SW", "HP2510SW"}) {
    EXPECT_EQ(Statements(device, listing), " version 5.20.99, Release 1106\n header motd %\n#\nWelcome\n%\nreturn\n");
  }
}

TEST(LineRules, AnUnknownKindKeepsEveryLineThatIsNotEmpty) {
  EXPECT_EQ(Statements("XYZ", "!\r\n\r\n  \r\nUsing 1 out of 2 bytes\r\n"), "!\r\nUsing 1 out of 2 bytes\r\n");
}

TEST(LineRules, EveryKindCompilesAndABadPatternIsNamed) {
  for (const DeviceKind& kind : AllDeviceKinds()) EXPECT_NO_THROW(LineRules{kind}) << kind.code;
  DeviceKind bad = OtherDeviceKind();
  bad.code = "BAD";
  bad.drifting_lines = {"ntp (clock"};
  try {
    LineRules rules(bad);
    ADD_FAILURE() << "compiled";
  } catch (const std::invalid_argument& e) {
    EXPECT_EQ(std::string(e.what()).rfind("the line rule \"ntp (clock\" of BAD does not compile: ", 0), 0u) << e.what();
  }
  bad.drifting_lines = {};
  bad.free_text_openers = {"banner (.*)"};
  EXPECT_THROW(LineRules{bad}, std::invalid_argument) << "an opener needs the delimiter and the rest";
}

// Most lines pass a pattern untried when they cannot start the way it
// does: optional characters, alternations, flags and classes must never
// make that test refuse a line the pattern matches.
TEST(LineRules, ALineAPatternMatchesIsNeverPassedUntried) {
  DeviceKind kind = OtherDeviceKind();
  kind.code = "EDGE";
  kind.drifting_lines = {"ab?c", "x|yz", "p+q", R"(\.\*r?)", "(?i)case", "m{2}n", R"(\d+ up)", "^anchored"};
  EXPECT_EQ(LineRules(kind).StatementsOnly("ac\nyz\npppq\n.*\nCASE\nmmn\n12 up\nanchored\nkeep\n"), "keep\n");
}

// A pattern that is plain text (escapes included) is compared, not run: it
// must still match that text whole and nothing else, also when the kind's
// rules are made on first use.
TEST(LineRules, APlainTextPatternMatchesItselfWholeAndNothingElse) {
  DeviceKind kind = OtherDeviceKind();
  kind.code = "PLAIN";
  kind.drifting_lines = {R"(a\.b\*)", R"(x\\y)"};
  const std::string listing = "a.b*\na.b*c\naxb*\na.b\nx\\y\nx\\yy\n";
  EXPECT_EQ(LineRules(kind).StatementsOnly(listing), "a.b*c\naxb*\na.b\nx\\yy\n");
}

}  // namespace
}  // namespace comvorlix

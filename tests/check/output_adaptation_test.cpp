// Output adaptation: the Aruba cut and the listings put into the buffers.
#include "check/output_adaptation.h"

#include <gtest/gtest.h>

#include "component/check_state.h"
#include "automation/automation_error.h"
#include "automation/debug_output.h"

namespace comvorlix {
namespace {

class OutputAdaptationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ThreadCheckState() = CheckState();
    AttachDebugListener([this](std::string_view line) { debug.emplace_back(line); });
  }
  void TearDown() override { AttachDebugListener(nullptr); }

  void Session(const char* device, const char* configuration, const std::string& output) {
    CheckState& s = ThreadCheckState();
    s.gDevice = T(device);
    s.gConfiguration = T(configuration);
    s.gSessionOutput = T(output);
  }

  std::vector<std::string> debug;
};

TEST_F(OutputAdaptationTest, CutKeepsTheMarkerFromItsSecondCharacterAndWritesOneDebugLine) {
  Text buffer = u"xxStartup configuration:";
  CutAtMarker(buffer, u"Startup configuration:", u"Output adapted to: (");
  EXPECT_EQ(buffer, u"tartup configuration:");
  ASSERT_EQ(debug.size(), 1u);
  EXPECT_EQ(debug[0], "Output adapted to: (21) tartup configuration:");
}

TEST_F(OutputAdaptationTest, CutWithoutMarkerChangesNothingAndWritesNothing) {
  Text buffer = u"no marker here";
  CutAtMarker(buffer, u"Running configuration:", u"Output adapted to: (");
  EXPECT_EQ(buffer, u"no marker here");
  EXPECT_TRUE(debug.empty());
}

TEST_F(OutputAdaptationTest, CutIsAtTheFirstOfTwoMarkers) {
  Text buffer = u"aRunning configuration:bRunning configuration:";
  CutAtMarker(buffer, u"Running configuration:", u"P(");
  EXPECT_EQ(buffer, u"unning configuration:bRunning configuration:");
}

TEST_F(OutputAdaptationTest, SingleModeBufferBecomesExactlyTheListing) {
  Session("CSCSW", "RUN", "banner\r\nS#show running-config\r\nBuilding configuration...\r\nhostname A\r\nend\r\nS#exit\r\n");
  ThreadCheckState().gReceived = u"whatever the dialog captured first";
  AdaptOutput(u"sw1");
  EXPECT_EQ(ThreadCheckState().gReceived, u"Building configuration...\r\nhostname A\r\nend\r\n");
  EXPECT_TRUE(debug.empty()) << "only Aruba output is cut";
}

TEST_F(OutputAdaptationTest, ArubaRunningListingStartsWithTheMarkersSecondCharacter) {
  Session("ARUSW", "RUN", "A# show running\r\nRunning configuration:\r\n\r\nhostname \"A\"\r\nA# exit\r\n");
  AdaptOutput(u"sw1");
  EXPECT_EQ(ThreadCheckState().gReceived, u"unning configuration:\r\n\r\nhostname \"A\"\r\n");
  ASSERT_EQ(debug.size(), 1u);
  EXPECT_EQ(debug[0].rfind("Output adapted to: (", 0), 0u);
}

TEST_F(OutputAdaptationTest, ComparisonIgnoresHeaderLinesOfBothListings) {
  Session("ARUSW", "COMPARE",
          "A# show config\r\nStartup configuration: 7\r\n\r\nhostname \"A\"\r\nA# show running\r\n"
          "Running configuration:\r\n\r\nhostname \"A\"\r\nA# exit\r\n");
  AdaptOutput(u"sw1");
  EXPECT_EQ(ThreadCheckState().gReceived, ThreadCheckState().gReceivedRunning);
  EXPECT_EQ(ThreadCheckState().gReceived, u"hostname \"A\"\r\n");
}

TEST_F(OutputAdaptationTest, CiscoComparisonIgnoresSizesAndChangeTimesButNotStatements) {
  const std::string startup = "S#show startup-config\r\nUsing 741 out of 524288 bytes\r\n!\r\nhostname A\r\nend\r\n";
  const std::string running =
      "S#show running-config\r\nBuilding configuration...\r\n\r\nCurrent configuration : 900 bytes\r\n!\r\n"
      "! Last configuration change at 09:37:40 CEST Tue Aug 20 2024 by admin\r\n!\r\nhostname A\r\nend\r\n";
  Session("CSCSW", "COMPARE", startup + running + "S#exit\r\n");
  AdaptOutput(u"sw1");
  EXPECT_EQ(ThreadCheckState().gReceived, u"hostname A\r\nend\r\n");
  EXPECT_EQ(ThreadCheckState().gReceivedRunning, ThreadCheckState().gReceived);
}

TEST_F(OutputAdaptationTest, MissingListingIsAnErrorNamingHostAndLastLine) {
  Session("CSCSW", "RUN", "Switch>en\r\nPassword: \r\n% Access denied\r\n");
  try {
    AdaptOutput(u"sw1");
    FAIL() << "expected an error";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.description(),
              "no complete configuration listing: the switch did not take the command \"show running-config\" at a "
              "prompt (switch sw1; last line from the switch: \"% Access denied\")");
  }
}

TEST_F(OutputAdaptationTest, ACompleteListingFromASessionThatDidNotEndNormallyIsRefused) {
  Session("CSCSW", "RUN", "S#show running-config\r\nhostname A\r\nend\r\nS#exit\r\n");
  ThreadCheckState().gSessionFault = u"timed out after 2 s with no data";
  ThreadCheckState().gReceived = u"before";
  try {
    AdaptOutput(u"sw1");
    FAIL() << "expected an error";
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.description(),
              "the session did not end normally (switch sw1; session ended: timed out after 2 s with no data; last "
              "line from the switch: \"S#exit\")");
  }
  EXPECT_EQ(ThreadCheckState().gReceived, u"before");
}

TEST_F(OutputAdaptationTest, UnknownDeviceOrConfigurationKindHasNoListing) {
  Session("arusw", "RUN", "");
  EXPECT_THROW(AdaptOutput(u"sw1"), AutomationError);
  Session("CSCSW", "", "");
  EXPECT_THROW(AdaptOutput(u"sw1"), AutomationError);
}

}  // namespace
}  // namespace comvorlix

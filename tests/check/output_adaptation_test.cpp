// Output adaptation: the Aruba cut and the listings taken from a session.
#include "check/output_adaptation.h"

#include <gtest/gtest.h>

#include "base/automation_error.h"
#include "base/debug_output.h"

namespace comvorlix {
namespace {

class OutputAdaptationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AttachDebugListener([this](std::string_view line) { debug.emplace_back(line); });
  }
  void TearDown() override { AttachDebugListener(nullptr); }

  // The listing of a single-configuration check is a piece of the output,
  // which the fixture keeps.
  AdaptedListings Adapt(const char* device, const char* configuration, const std::string& output,
                        const std::string& fault = "") {
    output_ = output;
    CheckSettings settings;
    settings.SetDevice(device);
    settings.configuration = configuration;
    return AdaptOutput("sw1", settings, output_, fault);
  }

  std::string Failure(const char* device, const char* configuration, const std::string& output,
                             const std::string& fault = "") {
    try {
      Adapt(device, configuration, output, fault);
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.status(), Status::kFail);
      return e.description();
    }
    ADD_FAILURE() << "AdaptOutput did not throw";
    return {};
  }

  std::vector<std::string> debug;
  std::string output_;
};

TEST_F(OutputAdaptationTest, CutKeepsTheMarkerFromItsSecondCharacterAndWritesOneDebugLine) {
  EXPECT_EQ(CutAtMarker("xxStartup configuration:", "Startup configuration:", "Output adapted to: ("),
            "tartup configuration:");
  ASSERT_EQ(debug.size(), 1u);
  EXPECT_EQ(debug[0], "Output adapted to: (21) tartup configuration:");
  // The debug line shows the piece the way it is given, e.g. masked.
  CutAtMarker("xRunning configuration:\r\nsecret", "Running configuration:", "P(",
              [](std::string_view text) { return std::to_string(text.size()) + " bytes"; });
  EXPECT_EQ(debug[1], "P(29) 29 bytes");
}

TEST_F(OutputAdaptationTest, CutWithoutMarkerChangesNothingAndWritesNothing) {
  EXPECT_EQ(CutAtMarker("no marker here", "Running configuration:", "Output adapted to: ("), "no marker here");
  EXPECT_TRUE(debug.empty());
}

TEST_F(OutputAdaptationTest, CutIsAtTheFirstOfTwoMarkers) {
  EXPECT_EQ(CutAtMarker("aRunning configuration:bRunning configuration:", "Running configuration:", "P("),
            "unning configuration:bRunning configuration:");
}

TEST_F(OutputAdaptationTest, SingleModeListingIsExactlyTheListing) {
  const AdaptedListings l = Adapt(
      "CSCSW", "RUN", "banner\r\nS#show running-config\r\nBuilding configuration...\r\nhostname A\r\nend\r\nS#exit\r\n");
  EXPECT_EQ(l.listing, "Building configuration...\r\nhostname A\r\nend\r\n");
  EXPECT_EQ(l.first, "");
  EXPECT_EQ(l.running, "");
  EXPECT_TRUE(debug.empty()) << "only Aruba output is cut";
}

TEST_F(OutputAdaptationTest, ArubaListingIsWholeItsDebugLineFromTheMarkersSecondCharacter) {
  const AdaptedListings l =
      Adapt("ARUSW", "RUN", "A# show running\r\nRunning configuration:\r\n\r\nhostname \"A\"\r\nA# exit\r\n");
  EXPECT_EQ(l.listing, "Running configuration:\r\n\r\nhostname \"A\"\r\n");
  ASSERT_EQ(debug.size(), 1u);
  EXPECT_EQ(debug[0], "Output adapted to: (" + std::to_string(l.listing.size() - 1) + ") " +
                          std::string(l.listing.substr(1)));
}

TEST_F(OutputAdaptationTest, ComparisonGivesBothListingsWhole) {
  const std::string startup = "Using 741 out of 524288 bytes\r\n!\r\nhostname A\r\nend\r\n";
  const std::string running = "Building configuration...\r\n\r\nhostname A\r\nend\r\n";
  const AdaptedListings l = Adapt("CSCSW", "COMPARE", "S#show startup-config\r\n" + startup +
                                                          "S#show running-config\r\n" + running + "S#exit\r\n");
  EXPECT_EQ(l.first, startup);
  EXPECT_EQ(l.running, running);
  EXPECT_EQ(l.listing, "");
}

TEST_F(OutputAdaptationTest, MissingListingIsAnErrorNamingHostAndLastLine) {
  EXPECT_EQ(Failure("CSCSW", "RUN", "Switch>en\r\nPassword: \r\n% Access denied\r\n"),
            "no complete configuration listing: the switch did not take the command \"show running-config\" at a "
            "prompt (switch sw1; last line from the switch: \"% Access denied\")");
}

TEST_F(OutputAdaptationTest, ACompleteListingFromASessionThatDidNotEndNormallyIsRefused) {
  EXPECT_EQ(Failure("CSCSW", "RUN", "S#show running-config\r\nhostname A\r\nend\r\nS#exit\r\n",
                    "timed out after 2 s with no data"),
            "the session did not end normally (switch sw1; session ended: timed out after 2 s with no data; last "
            "line from the switch: \"S#exit\")");
}

TEST_F(OutputAdaptationTest, UnknownDeviceOrConfigurationKindHasNoListing) {
  EXPECT_EQ(Failure("arusw", "RUN", ""),
            "the device type \"arusw\" is not one of CSCSW, ARUSW, HP1920SW, HP2510SW, "
            "NXOSSW, EOSSW, JUNOSSW, AOSCXSW, CW7SW, ROSSW, so no configuration was "
            "listed (switch sw1; last line from the switch: \"\")");
  EXPECT_EQ(Failure("CSCSW", "", "").rfind("the configuration kind \"\" is not one of RUN, START, COMPARE", 0), 0u);
}

}  // namespace
}  // namespace comvorlix

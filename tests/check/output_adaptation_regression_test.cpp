// Regressions found by fuzzing the output adaptation
// (fuzz/output_adaptation_fuzz.cpp): inputs that once broke a property.
#include <gtest/gtest.h>

#include <string>

#include "check/output_adaptation.h"
#include "component/check_state.h"
#include "automation/automation_error.h"

namespace comvorlix {
namespace {

class OutputAdaptationRegression : public ::testing::Test {
 protected:
  void SetUp() override { ThreadCheckState() = CheckState(); }

  // The description of the error AdaptOutput throws; fails the test when
  // it does not throw.
  static std::string Failure(const Text& hostname) {
    try {
      AdaptOutput(hostname);
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.status(), Status::kFail);
      return e.description();
    }
    ADD_FAILURE() << "AdaptOutput did not throw";
    return {};
  }
};

// Fuzzer input "\0\0\0\x04": a device code of NUL characters. The error's
// description ended at the first NUL, so it no longer named the switch.
TEST_F(OutputAdaptationRegression, NulInTheDeviceCodeKeepsTheWholeDescription) {
  CheckState& s = ThreadCheckState();
  s.gDevice = Text(u"\0\0\0\x04", 4);
  s.gConfiguration = u"RUN";
  s.gSessionOutput = u"Switch#";
  using namespace std::string_literals;
  EXPECT_EQ(Failure(u"sw1"),
            "the device type \"\0\0\0\x04\" is not one of CSCSW, ARUSW, HP1920SW, HP2510SW, so no configuration "
            "was listed (switch sw1; last line from the switch: \"Switch#\")"s);
}

// The same through the line a switch sent last, which is quoted in every
// error: some switches pad their output with NUL characters.
TEST_F(OutputAdaptationRegression, NulInTheLastLineFromTheSwitchKeepsTheWholeDescription) {
  CheckState& s = ThreadCheckState();
  s.gDevice = u"CSCSW";
  s.gConfiguration = u"RUN";
  s.gSessionOutput = Text(u"Switch>\0\r\n", 10);
  using namespace std::string_literals;
  EXPECT_EQ(Failure(u"sw1"),
            "no complete configuration listing: the switch did not take the command \"show running-config\" at a "
            "prompt (switch sw1; last line from the switch: \"Switch>\0\")"s);
}

}  // namespace
}  // namespace comvorlix

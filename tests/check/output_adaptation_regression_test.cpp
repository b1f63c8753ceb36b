// Regressions found by fuzzing the output adaptation
// (fuzz/output_adaptation_fuzz.cpp): inputs that once broke a property.
#include <gtest/gtest.h>

#include <string>

#include "check/output_adaptation.h"
#include "base/automation_error.h"

namespace comvorlix {
namespace {

// The description of the error AdaptOutput throws; fails the test when it
// does not throw.
std::string Failure(const std::string& device, const std::string& output) {
  try {
    CheckSettings settings;
    settings.SetDevice(device);
    settings.configuration = "RUN";
    AdaptOutput("sw1", settings, output, "");
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.status(), Status::kFail);
    return e.description();
  }
  ADD_FAILURE() << "AdaptOutput did not throw";
  return {};
}

// Fuzzer input "\0\0\0\x04": a device code of NUL characters. The error's
// description ended at the first NUL, so it no longer named the switch.
TEST(OutputAdaptationRegression, NulInTheDeviceCodeKeepsTheWholeDescription) {
  using namespace std::string_literals;
  EXPECT_EQ(Failure(std::string("\0\0\0\x04", 4), "Switch#"),
            "the device type \"\0\0\0\x04\" is not one of CSCSW, ARUSW, HP1920SW, HP2510SW, "
            "NXOSSW, EOSSW, JUNOSSW, AOSCXSW, CW7SW, ROSSW, so no configuration "
            "was listed (switch sw1; last line from the switch: \"Switch#\")"s);
}

// The same through the line a switch sent last, which is quoted in every
// error: some switches pad their output with NUL characters.
TEST(OutputAdaptationRegression, NulInTheLastLineFromTheSwitchKeepsTheWholeDescription) {
  using namespace std::string_literals;
  EXPECT_EQ(Failure("CSCSW", "Switch>\0\r\n"s),
            "no complete configuration listing: the switch did not take the command \"show running-config\" at a "
            "prompt (switch sw1; last line from the switch: \"Switch>\0\")"s);
}

}  // namespace
}  // namespace comvorlix

// The check's reading of the port (step 70) and what a step makes of a
// resource the system refuses.
#include "check/check_settings.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <system_error>

namespace comvorlix {
namespace {

std::string Step70Error(const char* port) {
  try {
    ParseCheckSettings(std::string("#USR=u#PORT=") + port + "#");
  } catch (const CheckStepError& e) {
    return e.HostLine();
  }
  return "no error";
}

TEST(CheckSettingsPort, EveryTcpPortIsTakenAndNothingElse) {
  for (const auto& [text, port] : {std::pair{"", 0}, {"22", 22}, {"32768", 32768}, {"40000.4", 40000},
                                   {"65535", 65535}, {"0", 0}, {"abc", 0}}) {
    EXPECT_EQ(ParseCheckSettings(std::string("#PORT=") + text + "#").login.port, port) << text;
  }
  EXPECT_EQ(Step70Error("70000"), "ERR: the port 70000 is not a TCP port (1-65535)(70)");
  EXPECT_EQ(Step70Error(" -5 "), "ERR: the port -5 is not a TCP port (1-65535)(70)");
  EXPECT_EQ(Step70Error("65535.5"), "ERR: the port 65535.5 is not a TCP port (1-65535)(70)");
}

TEST(CheckSettingsPort, AStepReportsARefusedSystemResource) {
  try {
    AtStep(Step::kSessionStart, [] { throw std::system_error(EMFILE, std::generic_category(), "eventfd"); });
    FAIL() << "nothing thrown";
  } catch (const CheckStepError& e) {
    EXPECT_EQ(e.HostLine(), "ERR: cannot get a system resource: eventfd: Too many open files(320)");
  }
}

}  // namespace
}  // namespace comvorlix

// The C++ interface for hosts, used as a host uses it: this file includes
// no header of the library but comvorlix/comvorlix.h.
#include "comvorlix/comvorlix.h"

#include <gtest/gtest.h>

#include "common/switchsim_process.h"
#include "common/temp_dir.h"

namespace {

TEST(PublicApi, ACheckAgainstTheEmulatorRemembersThenConfirms) {
  comvorlix::testing::TempDir dir;
  comvorlix::testing::SwitchSimProcess sim({"--device", "hp1920", "--user", "admin", "--password-file",
                                            dir.Write("pw", "s3cret\n"), "--cmdline-password-file",
                                            dir.Write("cpw", "en4ble\n")});
  // Passwords in the older stored form, Base64: "s3cret", "en4ble".
  const std::string parameter = "#USR=admin#PWD=czNjcmV0#PORT=" + std::to_string(sim.port()) +
                                "#EPW=ZW40Ymxl#DEV=HP1920SW#CFG=RUN#";

  const comvorlix::CheckVerdict first = comvorlix::CheckConfiguration("127.0.0.1", 5, parameter);
  ASSERT_TRUE((first.state == comvorlix::CheckState::kOk)) << first.text;
  ASSERT_EQ(first.text.rfind("Setting initial CRC (", 0), 0u) << first.text;
  const std::string crc = first.text.substr(21, first.text.size() - 22);
  EXPECT_EQ(first.parameter, parameter + "@@CRC=" + crc + "#");
  EXPECT_GT(first.listing_bytes, 1000u);

  const comvorlix::CheckVerdict second = comvorlix::CheckConfiguration("127.0.0.1", 5, first.parameter);
  EXPECT_TRUE((second.state == comvorlix::CheckState::kOk));
  EXPECT_EQ(second.text, "configuration unchanged (" + crc + ")");
  EXPECT_EQ(second.parameter, first.parameter);
  EXPECT_EQ(second.listing_bytes, first.listing_bytes);
}

TEST(PublicApi, ATimeOutBeyondSixteenBitsFailsAtItsStepAndKeepsTheString) {
  const comvorlix::CheckVerdict v = comvorlix::CheckConfiguration("sw1", 40000, "#USR=a#");
  EXPECT_FALSE((v.state == comvorlix::CheckState::kOk));
  EXPECT_EQ(v.text, "ERR: Overflow: value does not fit into a 16-bit integer(20)");
  EXPECT_EQ(v.parameter, "#USR=a#");
  EXPECT_EQ(v.listing_bytes, 0u);
}

TEST(PublicApi, DebugLinesReachTheListenerUntilItIsRemoved) {
  std::vector<std::string> lines;
  comvorlix::SetDebugOutput([&](std::string_view line) { lines.emplace_back(line); });
  comvorlix::CheckConfiguration("", 5, "#USR=a#PWD=czNjcmV0#DEV=CSCSW#CFG=RUN#");
  comvorlix::SetDebugOutput(nullptr);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.front(), "check done");
  const size_t seen = lines.size();
  comvorlix::CheckConfiguration("", 5, "#USR=a#PWD=czNjcmV0#DEV=CSCSW#CFG=RUN#");
  EXPECT_EQ(lines.size(), seen);
}

}  // namespace

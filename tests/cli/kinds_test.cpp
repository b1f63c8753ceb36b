// Kinds of switch an administrator adds as kind files, through the program
// as monitoring runs it.
#include <gtest/gtest.h>

#include <regex>

#include "common/isolated_home.h"
#include "common/run_cli.h"
#include "common/switchsim_process.h"
#include "common/temp_dir.h"

namespace comvorlix {
namespace {

using testing::Cli;
using testing::ProcessResult;
using testing::ReadWholeFile;
using testing::SwitchSimProcess;
using testing::TempDir;

class CliKinds : public ::testing::Test {
 protected:
  void SetUp() override {
    kinds_ = dir_.Path("kinds");
    ASSERT_EQ(mkdir(kinds_.c_str(), 0755), 0);
    const std::string cisco = ReadWholeFile(std::string(COMVORLIX_SOURCE_DIR) + "/src/devices/kinds/cisco.toml");
    ASSERT_NE(cisco.find("code = \"CSCSW\""), std::string::npos);
    dir_.Write("kinds/mine.toml", std::regex_replace(cisco, std::regex("code = \"CSCSW\""), "code = \"MINE7\""));
    sim_ = std::make_unique<SwitchSimProcess>(std::vector<std::string>{
        "--device", "cisco", "--user", "admin", "--password-file", dir_.Write("pw", "s3cret\n"),
        "--enable-password-file", dir_.Write("epw", "en4ble\n"), "--running",
        dir_.Write("running.cfg", ReadWholeFile(std::string(SWITCHSIM_CONFIGS) + "/cisco-running.cfg"))});
  }

  // Writes the parameter file `name` for `device` and checks it once.
  ProcessResult ConfigureAndCheck(const std::string& name, const std::string& device) {
    const std::string params = dir_.Path(name);
    const ProcessResult configure =
        Cli({"configure", "--kinds-dir", kinds_, "--params", params, "--no-gui", "--user", "admin",
             "--password-file", dir_.Path("pw"), "--enable-password-file", dir_.Path("epw"), "--port",
             std::to_string(sim_->port()), "--device", device});
    EXPECT_EQ(configure.status, 0) << configure.err;
    return Cli({"check", "--kinds-dir", kinds_, "-H", "127.0.0.1", "-f", params, "--known-hosts",
                testing::KnownHostsFile()});
  }

  TempDir dir_;
  std::string kinds_;
  std::unique_ptr<SwitchSimProcess> sim_;
};

TEST_F(CliKinds, ACopiedKindFileWithAnotherCodeChecksAsTheOriginal) {
  const ProcessResult original = ConfigureAndCheck("original.params", "CSCSW");
  const ProcessResult copy = ConfigureAndCheck("copy.params", "MINE7");
  ASSERT_EQ(copy.status, 0) << copy.out << copy.err;
  EXPECT_EQ(copy.out.substr(0, copy.out.find(" | ")), original.out.substr(0, original.out.find(" | ")));
  EXPECT_NE(ReadWholeFile(dir_.Path("copy.params")).find("#DEV=MINE7#"), std::string::npos);

  const ProcessResult kinds = Cli({"kinds", "--kinds-dir", kinds_});
  EXPECT_EQ(kinds.status, 0) << kinds.err;
  EXPECT_NE(kinds.out.find("\nMINE7     Cisco switch                  " + kinds_ + "/mine.toml"), std::string::npos)
      << kinds.out;
}

TEST_F(CliKinds, ABrokenFileIsNamedByKindsAndByTheCheckOfAKindItMeantToAdd) {
  dir_.Write("kinds/broken.toml", "code = \"BROKEN\"\n[listing]\nrunning = 'show run'\npager = 0\n");
  const ProcessResult kinds = Cli({"kinds", "--kinds-dir", kinds_});
  EXPECT_EQ(kinds.status, 3);
  EXPECT_EQ(kinds.err, kinds_ + "/broken.toml:4: unknown key \"listing.pager\"\n");
  EXPECT_NE(kinds.out.find("MINE7"), std::string::npos) << "the other kinds still load";

  const std::string params = dir_.Write("broken.params", "#USR=admin#PWD=czNjcmV0#DEV=BROKEN#CFG=RUN#\n");
  const ProcessResult check = Cli({"check", "--kinds-dir", kinds_, "-H", "127.0.0.1", "-f", params});
  EXPECT_EQ(check.status, 2);
  EXPECT_EQ(check.out.substr(0, check.out.find(" | ")),
            "CONFIG CRITICAL - ERR: the device type \"BROKEN\" is not one of CSCSW, MINE7, ARUSW, HP1920SW, "
            "HP2510SW, NXOSSW, EOSSW, JUNOSSW, AOSCXSW, CW7SW, ROSSW, so no configuration was listed; kind files "
            "not loaded: " +
                kinds_ + "/broken.toml:4: unknown key \"listing.pager\"(110)");
}

}  // namespace
}  // namespace comvorlix

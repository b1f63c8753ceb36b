// --failure-state: a check that could not look (refused, wrong password,
// out of time) takes the state asked for; a change stays CRITICAL.
#include <gtest/gtest.h>

#include <string>
#include <vector>

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

class FailureState : public ::testing::Test {
 protected:
  std::string Configure(int port, const std::string& password_file) {
    const ProcessResult r =
        Cli({"configure", "--params", params_, "--no-gui", "--user", "admin",
             "--password-file", password_file, "--enable-password-file", password_file, "--port",
             std::to_string(port), "--device", "CSCSW"});
    EXPECT_EQ(r.status, 0) << r.err;
    return ReadWholeFile(params_);
  }
  ProcessResult Check(const std::string& state) {
    return Cli({"check", "-H", "127.0.0.1", "-f", params_, "-t", "2", "--known-hosts",
                testing::KnownHostsFile(), "--failure-state", state});
  }
  // The state and the performance data of a check that could not look.
  void ExpectFailed(const ProcessResult& r, int status, const std::string& state, const std::string& text) {
    EXPECT_EQ(r.status, status) << r.out;
    EXPECT_EQ(r.out.rfind("CONFIG " + state + " - " + text, 0), 0u) << r.out;
    EXPECT_NE(r.out.find(" listing=U;;;0 changed_lines=U;;;0"), std::string::npos) << r.out;
  }

  TempDir dir_;
  std::string pw_ = dir_.Write("pw", "s3cret\n");
  std::string params_ = dir_.Path("sw.params");
};

TEST_F(FailureState, ARefusedConnectionAWrongPasswordAndTheDeadlineTakeIt) {
  int port;
  {
    SwitchSimProcess gone({"--device", "cisco", "--password-file", pw_});
    port = gone.port();
  }
  Configure(port, pw_);
  ExpectFailed(Check("unknown"), 3, "UNKNOWN", "SSH connection to 127.0.0.1:" + std::to_string(port));
  ExpectFailed(Check("warning"), 1, "WARNING", "SSH connection to 127.0.0.1:" + std::to_string(port));
  ExpectFailed(Check("critical"), 2, "CRITICAL", "SSH connection to 127.0.0.1:" + std::to_string(port));

  SwitchSimProcess sim({"--device", "cisco", "--password-file", pw_, "--enable-password-file", pw_});
  Configure(sim.port(), dir_.Write("wrong", "wrong\n"));
  const ProcessResult denied = Check("unknown");
  ExpectFailed(denied, 3, "UNKNOWN", "SSH connection to 127.0.0.1:" + std::to_string(sim.port()));
  EXPECT_NE(denied.out.find("authentication failed for user admin"), std::string::npos) << denied.out;

  SwitchSimProcess drip({"--device", "cisco", "--password-file", pw_, "--enable-password-file", pw_, "--fault", "drip"});
  const std::string dripping = Configure(drip.port(), pw_);
  ExpectFailed(Check("unknown"), 3, "UNKNOWN",
               "check of 127.0.0.1:" + std::to_string(drip.port()) + " did not finish within 2 s (last step: ");
  EXPECT_EQ(ReadWholeFile(params_), dripping);
}

TEST_F(FailureState, AChangeStaysCriticalAndABadValueIsAUsageError) {
  SwitchSimProcess sim({"--device", "cisco", "--password-file", pw_, "--enable-password-file", pw_});
  Configure(sim.port(), pw_);
  ASSERT_EQ(Check("unknown").status, 0);
  // The remembered checksum of another configuration.
  std::string other = ReadWholeFile(params_);
  const size_t at = other.find("@@CRC=");
  ASSERT_NE(at, std::string::npos);
  other.replace(at + 6, 8, "0BADF00D");
  testing::WriteWholeFile(params_, other);
  const ProcessResult changed = Check("unknown");
  EXPECT_EQ(changed.status, 2) << changed.out;
  EXPECT_NE(changed.out.find(" - old:0BADF00D) | "), std::string::npos) << changed.out;
  EXPECT_EQ(changed.out.find("listing=U"), std::string::npos) << changed.out;

  const ProcessResult bad = Check("ok");
  EXPECT_EQ(bad.status, 3);
  EXPECT_EQ(bad.out.rfind("CONFIG UNKNOWN - --failure-state takes critical, unknown or warning, not \"ok\"", 0), 0u)
      << bad.out;
}

}  // namespace
}  // namespace comvorlix

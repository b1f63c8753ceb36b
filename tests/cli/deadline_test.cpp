// `comvorlix check --timeout T` bounds the whole check: whatever the switch
// does, the plugin answers within T + 1 s and remembers nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <chrono>

#include "common/run_process.h"
#include "common/switchsim_process.h"
#include "common/temp_dir.h"

namespace comvorlix {
namespace {

using testing::ProcessResult;
using testing::ReadWholeFile;
using testing::RunProcess;
using testing::SwitchSimProcess;
using testing::TempDir;

class Deadline : public ::testing::TestWithParam<const char*> {
 protected:
  std::string Configure(int port) {
    const std::string params = dir_.Path("sw.params");
    const ProcessResult r =
        RunProcess({COMVORLIX_CLI_PATH, "configure", "--params", params, "--no-gui", "--user", "admin",
                    "--password-file", pw_, "--enable-password-file", pw_, "--port", std::to_string(port), "--device",
                    "CSCSW"});
    EXPECT_EQ(r.status, 0) << r.err;
    return params;
  }
  // Runs the check with --timeout 2; returns its result and wall time.
  ProcessResult Check(const std::string& params, double& seconds) {
    const auto start = std::chrono::steady_clock::now();
    ProcessResult r = RunProcess({COMVORLIX_CLI_PATH, "check", "-H", "127.0.0.1", "-f", params, "-t", "2",
                                  "--known-hosts", dir_.Path("known_hosts")});
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return r;
  }

  TempDir dir_;
  std::string pw_ = dir_.Write("pw", "s3cret\n");
};

TEST_P(Deadline, AnyFaultEndsWithinTheTimeOutNamingTheStep) {
  SwitchSimProcess sim({"--device", "cisco", "--user", "admin", "--password-file", pw_, "--enable-password-file",
                        pw_, "--fault", GetParam()});
  const std::string params = Configure(sim.port());
  const std::string before = ReadWholeFile(params);
  double seconds = 0;
  const ProcessResult r = Check(params, seconds);
  EXPECT_EQ(r.status, 2) << r.out;
  const std::string prefix = "CONFIG CRITICAL - check of 127.0.0.1:" + std::to_string(sim.port()) +
                             " did not finish within 2 s (last step: ";
  EXPECT_EQ(r.out.rfind(prefix, 0), 0u) << r.out;
  const std::string step = r.out.substr(prefix.size(), r.out.find(')') - prefix.size());
  EXPECT_TRUE(step == "opening the command line" || step == "listing the configuration" || step == "logging out")
      << step;
  EXPECT_LT(seconds, 3.0);
  EXPECT_EQ(ReadWholeFile(params), before);
}

INSTANTIATE_TEST_SUITE_P(Faults, Deadline, ::testing::Values("never-close", "drip", "slow-flood"),
                         [](const auto& param_info) {
                           std::string name = param_info.param;
                           for (char& c : name) c = c == '-' ? '_' : c;
                           return name;
                         });

TEST_F(Deadline, ALockNeverReleasedEndsTheCheckBeforeItStarts) {
  const std::string params = Configure(22022);
  const int fd = ::open(params.c_str(), O_RDONLY | O_CLOEXEC);
  ASSERT_GE(fd, 0);
  ASSERT_EQ(::flock(fd, LOCK_EX), 0);
  double seconds = 0;
  const ProcessResult r = Check(params, seconds);
  ::close(fd);
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out.substr(0, r.out.find(" | ")),
            "CONFIG CRITICAL - check of 127.0.0.1:22022 did not finish within 2 s (last step: waiting for the lock "
            "of the parameter file)");
  EXPECT_NE(r.out.find(" listing=U;;;0 changed_lines=U;;;0\n"), std::string::npos) << r.out;
  EXPECT_LT(seconds, 3.0);
}

TEST_F(Deadline, ATimeOutOfZeroOrLessIsAUsageError) {
  for (const char* t : {"0", "-5"}) {
    const ProcessResult r = RunProcess({COMVORLIX_CLI_PATH, "check", "-H", "h", "-f", dir_.Path("p"), "-t", t});
    EXPECT_EQ(r.status, 3) << t;
    EXPECT_EQ(r.out.rfind("CONFIG UNKNOWN - ", 0), 0u) << r.out;
  }
}

}  // namespace
}  // namespace comvorlix

// `comvorlix check --timeout T` bounds the whole check: whatever the switch
// does, the plugin answers within T + 1 s and remembers nothing.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>

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

class Deadline : public ::testing::TestWithParam<const char*> {
 protected:
  std::string Configure(int port) {
    const std::string params = dir_.Path("sw.params");
    const ProcessResult r =
        Cli({"configure", "--params", params, "--no-gui", "--user", "admin",
             "--password-file", pw_, "--enable-password-file", pw_, "--port", std::to_string(port), "--device",
             "CSCSW"});
    EXPECT_EQ(r.status, 0) << r.err;
    return params;
  }
  // Runs the check with --timeout 2; returns its result and wall time.
  ProcessResult Check(const std::string& params, double& seconds) {
    const auto start = std::chrono::steady_clock::now();
    ProcessResult r = Cli({"check", "-H", "127.0.0.1", "-f", params, "-t", "2",
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
  // The step, then what the switch sent last (its text varies with the fault).
  const std::string step = r.out.substr(prefix.size(), r.out.find_first_of(";)", prefix.size()) - prefix.size());
  EXPECT_NE(r.out.find("; the switch's last line: \""), std::string::npos) << r.out;
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

// Once the listing is whole and the logout typed, a switch that keeps the
// session open gets 2 s, not the time-out, and the logout is not typed
// again at every echo.
TEST_F(Deadline, ASwitchThatNeverClosesIsLeftAndJudged) {
  const std::string commands = dir_.Path("commands.log");
  SwitchSimProcess sim({"--device", "cisco", "--user", "admin", "--password-file", pw_, "--enable-password-file",
                        pw_, "--fault", "never-close", "--command-log", commands});
  const std::string params = Configure(sim.port());
  rusage before{};
  ::getrusage(RUSAGE_CHILDREN, &before);
  const auto start = std::chrono::steady_clock::now();
  const ProcessResult r = Cli({"check", "-H", "127.0.0.1", "-f", params, "-t", "10",
                               "--known-hosts", dir_.Path("known_hosts")});
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  rusage after{};
  ::getrusage(RUSAGE_CHILDREN, &after);
  const auto cpu = [](const rusage& u) {
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
  };
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_EQ(r.out.rfind("CONFIG OK - Setting initial CRC (", 0), 0u) << r.out;
  EXPECT_LT(seconds, 3.0);
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // A sanitizer's runtime costs processor time of its own at every start
  // and allocation; the logouts counted below still show no spinning.
  constexpr double kMaxProcessorSeconds = 1.0;
#else
  constexpr double kMaxProcessorSeconds = 0.2;
#endif
  EXPECT_LT(cpu(after) - cpu(before), kMaxProcessorSeconds);
  // The Cisco logout ends in "n" (the answer to saving the configuration).
  const std::string log = "\n" + ReadWholeFile(commands);
  size_t logouts = 0;
  for (size_t at = log.find("\nn\n"); at != std::string::npos; at = log.find("\nn\n", at + 1)) ++logouts;
  EXPECT_GE(logouts, 1u) << log;
  EXPECT_LE(logouts, 3u) << log;
}

// An Aruba configured as a Cisco never asks for the enable password: the
// deadline text shows its prompt, which says what is wrong.
TEST_F(Deadline, ASwitchOfAnotherKindShowsItsPromptInTheDeadlineText) {
  SwitchSimProcess sim({"--device", "aruba", "--user", "admin", "--password-file", pw_, "--enable-password-file", pw_});
  const std::string params = Configure(sim.port());
  const ProcessResult r = Cli({"check", "-H", "127.0.0.1", "-f", params, "-t", "5",
                               "--known-hosts", dir_.Path("known_hosts")});
  EXPECT_EQ(r.status, 2) << r.out;
  EXPECT_EQ(r.out.rfind("CONFIG CRITICAL - check of 127.0.0.1:" + std::to_string(sim.port()) +
                            " did not finish within 5 s (last step: opening the command line; the switch's last "
                            "line: \"HP-2530-24G-PoEP#\") | time=",
                        0),
            0u)
      << r.out;
}

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
            "of " + params + ", held by process " + std::to_string(::getpid()) + ")");
  EXPECT_NE(r.out.find(" listing=U;;;0 changed_lines=U;;;0\n"), std::string::npos) << r.out;
  EXPECT_LT(seconds, 3.0);
}

TEST_F(Deadline, ATimeOutOfZeroOrLessIsAUsageError) {
  for (const char* t : {"0", "-5"}) {
    const ProcessResult r = Cli({"check", "-H", "h", "-f", dir_.Path("p"), "-t", t});
    EXPECT_EQ(r.status, 3) << t;
    EXPECT_EQ(r.out.rfind("CONFIG UNKNOWN - ", 0), 0u) << r.out;
  }
}

}  // namespace
}  // namespace comvorlix

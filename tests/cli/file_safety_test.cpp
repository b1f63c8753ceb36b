// Hostile text and hostile files where the command-line host meets them:
// a real check over SSH against the emulator, the SSH debug file, a
// symbolically linked parameter file and a lock that is never released.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <regex>

#include "cli/parameter_file.h"
#include "common/isolated_home.h"
#include "common/run_process.h"
#include "common/switchsim_process.h"
#include "common/temp_dir.h"

namespace comvorlix {
namespace {

using namespace std::string_literals;
using testing::ProcessResult;
using testing::ReadWholeFile;
using testing::RunProcess;
using testing::SwitchSimProcess;
using testing::TempDir;

// What a monitoring engine may receive as one line: no control bytes, one
// " | " before the performance data, valid UTF-8 (checked by std::regex on
// the bytes: lead and continuation bytes in order).
void ExpectSafeLine(const std::string& line) {
  for (const char c : line) {
    const auto b = static_cast<unsigned char>(c);
    ASSERT_FALSE(b < 0x20 || b == 0x7F) << "control byte " << int(b) << " in " << line;
  }
  EXPECT_EQ(std::count(line.begin(), line.end(), '|'), 1) << line;
  static const std::regex utf8(
      "([\\x00-\\x7F]|[\\xC2-\\xDF][\\x80-\\xBF]|[\\xE0-\\xEF][\\x80-\\xBF]{2}|[\\xF0-\\xF4][\\x80-\\xBF]{3})*");
  EXPECT_TRUE(std::regex_match(line, utf8)) << line;
}

class HostileSwitch : public ::testing::Test {
 protected:
  // A Cisco emulator whose listing is cut in the middle of a hostile
  // line, which the check then quotes as the switch's last line; its
  // banner and goodbye carry hostile bytes too.
  void StartSwitch() {
    const std::string running = dir_.Write(
        "running.cfg", "hostname sw\n!\ninterface Gi0/1 \x07\x08\x01 | fake=1;;;0 \x1B[31m \xFF\xC3 \"q\" " +
                           std::string(3000, 'Z') + "\nend\n");
    const std::string banner = dir_.Write("banner", "Hello \x1B]0;owned\x07\r\nX | y\r\n");
    const std::string goodbye = dir_.Write("goodbye", "Bye \x1B[2J\x07\r\nFAKE | RECORD");
    sim_ = std::make_unique<SwitchSimProcess>(std::vector<std::string>{
        "--device", "cisco", "--user", "admin", "--password-file", pw_, "--enable-password-file", pw_, "--running",
        running, "--banner", banner, "--disconnect-message", goodbye, "--fault", "cut-mid-line"});
  }
  ProcessResult Configure(const std::string& params, const std::string& debug_file) {
    return RunProcess({COMVORLIX_CLI_PATH, "configure", "--params", params, "--no-gui", "--user", "admin",
                       "--password-file", pw_, "--enable-password-file", pw_, "--port", std::to_string(sim_->port()),
                       "--device", "CSCSW", "--debug-file", debug_file});
  }
  ProcessResult Check(const std::string& params) {
    return RunProcess({COMVORLIX_CLI_PATH, "check", "--host", "127.0.0.1", "--params", params, "--timeout", "20",
                       "--known-hosts", testing::KnownHostsFile()});
  }

  TempDir dir_;
  std::string pw_ = dir_.Write("pw", "s3cret\n");
  std::unique_ptr<SwitchSimProcess> sim_;
};

TEST_F(HostileSwitch, TheMonitoringLineAndTheDebugFileStayClean) {
  StartSwitch();
  const std::string params = dir_.Path("sw.params"), debug = dir_.Path("debug.log");
  ASSERT_EQ(Configure(params, debug).status, 0);
  const ProcessResult r = Check(params);
  EXPECT_EQ(r.status, 2);
  ASSERT_FALSE(r.out.empty());
  EXPECT_EQ(r.out.back(), '\n');
  const std::string line = r.out.substr(0, r.out.size() - 1);
  ExpectSafeLine(line);
  // The hostile line did reach the text, cleaned.
  EXPECT_NE(line.find("last line from the switch: \"interface Gi0/1 \\x07\\x08\\x01 / fake=1;;;0"),
            std::string::npos)
      << line;

  struct stat st{};
  ASSERT_EQ(stat(debug.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const std::string log = ReadWholeFile(debug);
  // The goodbye reaches the log only when the client reads it before the
  // socket closes (a race the switch wins now and then); when it does, it is
  // escaped, and its raw bytes never appear.
  if (log.find("Bye ") != std::string::npos) {
    EXPECT_NE(log.find("Bye \\x1B[2J\\x07\\x0D\\x0AFAKE | RECORD"), std::string::npos) << log;
  }
  EXPECT_EQ(log.find("\x1B[2J"), std::string::npos) << log;
  static const std::regex record("\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3} [^\\x00-\\x1F\\x7F]*");
  size_t from = 0;
  for (size_t nl; (nl = log.find('\n', from)) != std::string::npos; from = nl + 1) {
    EXPECT_TRUE(std::regex_match(log.substr(from, nl - from), record)) << log.substr(from, nl - from);
  }
  EXPECT_EQ(from, log.size()) << "the last record ends with its line end";
}

TEST_F(HostileSwitch, TheDebugFileIsNeverALinkNorAnotherUsersFile) {
  StartSwitch();
  const std::string victim = dir_.Write("victim", "untouched\n");
  const std::string link = dir_.Path("link.log");
  ASSERT_EQ(symlink(victim.c_str(), link.c_str()), 0);
  const std::string params = dir_.Path("a.params");
  ASSERT_EQ(Configure(params, link).status, 0);
  Check(params);
  EXPECT_EQ(ReadWholeFile(victim), "untouched\n");
  EXPECT_TRUE(std::filesystem::is_symlink(link));

  if (geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  const std::string foreign = dir_.Write("foreign.log", "", 0666);
  ASSERT_EQ(chown(foreign.c_str(), 65534, 65534), 0);
  ASSERT_EQ(Configure(params, foreign).status, 0);
  Check(params);
  EXPECT_EQ(ReadWholeFile(foreign), "");
}

TEST(ParameterFileOnDisk, ALinkedFileStaysALinkAndItsTargetIsReplaced) {
  TempDir dir;
  std::filesystem::create_directory(dir.Path("real"));
  const std::string target = dir.Write("real/sw.params", "#USR=a#DEV=CSCSW#\n", 0640);
  const std::string link = dir.Path("sw.params");
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  const ProcessResult r = RunProcess({COMVORLIX_CLI_PATH, "configure", "--params", link, "--no-gui", "--device", "ARUSW"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(std::filesystem::is_symlink(link));
  EXPECT_NE(ReadWholeFile(target).find("#DEV=ARUSW#"), std::string::npos) << ReadWholeFile(target);
  struct stat st{};
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
  std::vector<std::string> real;
  for (const auto& e : std::filesystem::directory_iterator(dir.Path("real"))) real.push_back(e.path().filename());
  EXPECT_EQ(real, std::vector<std::string>{"sw.params"}) << "no temporary file is left beside the target";
}

// Another process holds the lock and never lets go: the wait ends at the
// deadline with an error naming the file, and the given-up wait does not
// keep the lock once the holder is gone.
TEST(ParameterFileLock, AHolderPastTheDeadlineGivesAnErrorInTime) {
  using Clock = std::chrono::steady_clock;
  TempDir dir;
  const std::string params = dir.Write("sw.params", "#USR=a#\n");
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  const pid_t holder = fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    const int fd = open(params.c_str(), O_RDONLY);
    if (fd < 0 || flock(fd, LOCK_EX) != 0) _exit(1);
    if (write(ready[1], "L", 1) != 1) _exit(1);
    pause();
    _exit(0);
  }
  close(ready[1]);
  char c = 0;
  ASSERT_EQ(read(ready[0], &c, 1), 1) << "the holder did not get the lock";
  close(ready[0]);

  const auto start = Clock::now();
  try {
    cli::ParameterFile::OpenLocked(params, start + std::chrono::milliseconds(300));
    ADD_FAILURE() << "the lock was taken while another process held it";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), "parameter file " + params + " is still locked by another check after waiting 0.3 s");
  }
  const auto waited = Clock::now() - start;
  EXPECT_GE(waited, std::chrono::milliseconds(300));
  EXPECT_LT(waited, std::chrono::milliseconds(1500));

  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  const cli::ParameterFile file = cli::ParameterFile::OpenLocked(params, Clock::now() + std::chrono::seconds(5));
  EXPECT_TRUE(file.exists());
  EXPECT_EQ(file.Read(), "#USR=a#");
}

}  // namespace
}  // namespace comvorlix

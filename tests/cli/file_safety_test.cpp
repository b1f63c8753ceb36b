// Hostile text and hostile files where the command-line host meets them:
// a real check over SSH against the emulator, the SSH debug file, a
// symbolically linked parameter file, a lock that is never released, and
// a check run by root in a folder another user controls (links, FIFOs and
// other users' files planted beside the parameter file, the parameter
// file swapped during the check).
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
#include <thread>

#include "cli/parameter_file.h"
#include "common/isolated_home.h"
#include "common/run_cli.h"
#include "common/switchsim_process.h"
#include "common/temp_dir.h"

namespace comvorlix {
namespace {

using namespace std::string_literals;
using testing::Cli;
using testing::ProcessResult;
using testing::ReadWholeFile;
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
    return Cli({"configure", "--params", params, "--no-gui", "--user", "admin",
                "--password-file", pw_, "--enable-password-file", pw_, "--port", std::to_string(sim_->port()),
                "--device", "CSCSW", "--debug-file", debug_file});
  }
  ProcessResult Check(const std::string& params) {
    return Cli({"check", "--host", "127.0.0.1", "--params", params, "--timeout", "20",
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
  const ProcessResult r = Cli({"configure", "--params", link, "--no-gui", "--device", "ARUSW"});
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

// A folder another user controls: the parameter file and its folder belong
// to that user (kOwner), root runs the check there, and the owner (or
// anyone they let in) plants files beside it.
class ForeignFolder : public ::testing::Test {
 protected:
  static constexpr uid_t kOwner = 65534;
  static constexpr gid_t kGroup = 65533;

  void StartSwitch(std::vector<std::string> extra = {}) {
    std::vector<std::string> options = {"--device", "cisco", "--user", "admin", "--password-file", pw_,
                                        "--enable-password-file", pw_, "--command-log", private_.Path("commands")};
    options.insert(options.end(), extra.begin(), extra.end());
    sim_ = std::make_unique<SwitchSimProcess>(options);
  }
  // A parameter file for the switch, handed to the folder's owner.
  std::string Configure(const std::string& name, std::vector<std::string> extra = {}) {
    const std::string params = dir_.Path(name);
    std::vector<std::string> call = {"configure", "--params", params, "--no-gui",
                                     "--user", "admin", "--password-file", pw_, "--enable-password-file", pw_,
                                     "--port", std::to_string(sim_ ? sim_->port() : 1), "--device", "CSCSW"};
    call.insert(call.end(), extra.begin(), extra.end());
    const ProcessResult r = Cli(call);
    EXPECT_EQ(r.status, 0) << r.err;
    if (geteuid() == 0) {
      EXPECT_EQ(chown(params.c_str(), kOwner, kGroup), 0);
    }
    return params;
  }
  // The check (by default with -t 3), and how long it took.
  ProcessResult Check(const std::string& params, double* seconds = nullptr, const std::string& timeout = "3") {
    const auto start = std::chrono::steady_clock::now();
    ProcessResult r = Cli({"check", "-H", "127.0.0.1", "-f", params, "-t", timeout,
                           "--known-hosts", known_hosts_});
    if (seconds) *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return r;
  }
  static struct stat LinkStat(const std::string& path) {
    struct stat st{};
    EXPECT_EQ(lstat(path.c_str(), &st), 0) << path;
    return st;
  }

  TempDir dir_;
  TempDir private_;  // root's own: the known hosts and the password
  std::string pw_ = private_.Write("pw", "s3cret\n");
  std::string known_hosts_ = private_.Path("known_hosts");
  std::unique_ptr<SwitchSimProcess> sim_;
};

// Libraries planted in the folder a check starts in are never loaded: the
// program finds its own library beside itself and the others where the
// system keeps them, wherever it is started.
TEST_F(ForeignFolder, LibrariesPlantedInTheStartingFolderAreNotLoaded) {
  StartSwitch();
  const std::string params = Configure("planted.params");
  for (const char* name : {"libcomvorlix.so", "libssh.so.4", "libz.so.1", "libstdc++.so.6", "libre2.so.9"}) {
    dir_.Write(name, "not a library\n");
  }
  const ProcessResult r = Cli({"check", "-H", "127.0.0.1", "-f", params, "-t", "3", "--known-hosts", known_hosts_},
                              {.working_dir = dir_.Path("")});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(r.out.rfind("CONFIG OK", 0), 0u) << r.out << r.err;
}

// Whatever was planted at FILE.listing, the check leaves a fresh private
// file of the parameter file's owner there and touches nothing else.
TEST_F(ForeignFolder, APlantedListingIsReplacedByAFreshPrivateFile) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root: the check runs as root in another user's folder";
  StartSwitch();
  const std::string victim = private_.Write("victim", "untouched\n", 0644);
  ASSERT_EQ(chown(dir_.path().c_str(), kOwner, kGroup), 0);
  for (const std::string kind : {"link", "fifo", "foreign"}) {
    SCOPED_TRACE(kind);
    const std::string params = Configure(kind + ".params");
    const std::string listing = params + ".listing";
    if (kind == "link") {
      ASSERT_EQ(symlink(victim.c_str(), listing.c_str()), 0);
      ASSERT_EQ(lchown(listing.c_str(), kOwner, kGroup), 0);
    } else if (kind == "fifo") {
      ASSERT_EQ(mkfifo(listing.c_str(), 0666), 0);
    } else {
      dir_.Write(kind + ".params.listing", "# comvorlix listing CRC=0\nplanted\n", 0644);
      ASSERT_EQ(chown(listing.c_str(), kOwner + 1, kGroup + 1), 0);
    }
    double seconds = 0;
    const ProcessResult r = Check(params, &seconds);
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(r.out.rfind("CONFIG OK - Setting initial CRC (", 0), 0u) << r.out;
    EXPECT_LT(seconds, 3.5);
    const struct stat st = LinkStat(listing);
    EXPECT_TRUE(S_ISREG(st.st_mode));
    EXPECT_EQ(st.st_mode & 07777, 0600u);
    EXPECT_EQ(st.st_uid, kOwner);
    EXPECT_EQ(st.st_gid, kGroup);
    EXPECT_EQ(ReadWholeFile(listing).rfind("# comvorlix listing CRC=", 0), 0u);
    EXPECT_EQ(LinkStat(params).st_uid, kOwner);
  }
  EXPECT_EQ(ReadWholeFile(victim), "untouched\n");
  EXPECT_EQ(LinkStat(victim).st_mode & 07777, 0644u);
  // Nothing but the files themselves: no temporary file is left behind.
  EXPECT_EQ(dir_.Names(), (std::vector<std::string>{"fifo.params", "fifo.params.listing", "foreign.params",
                                                   "foreign.params.listing", "link.params", "link.params.listing"}));
}

// The folder's owner swaps the parameter file for a link while the switch
// lists: nothing is written, neither through the link nor beside it.
TEST_F(ForeignFolder, AParameterFileSwappedDuringTheCheckIsNotWritten) {
  StartSwitch({"--think", "1500"});
  const std::string params = Configure("sw.params");
  const std::string victim = private_.Write("victim", ReadWholeFile(params), 0600);
  ProcessResult r;
  std::thread check([&] { r = Check(params, nullptr, "20"); });
  // The listing has begun once the emulator logged its command.
  const auto listing = [&] {
    return ReadWholeFile(private_.Path("commands")).find("show running-config") != std::string::npos;
  };
  for (int i = 0; i < 1000 && !listing(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_TRUE(listing()) << "the switch never began to list";
  ASSERT_EQ(symlink(victim.c_str(), dir_.Path("swap").c_str()), 0);
  ASSERT_EQ(rename(dir_.Path("swap").c_str(), params.c_str()), 0);
  check.join();
  EXPECT_EQ(r.status, 3) << r.out;
  EXPECT_EQ(r.out.rfind("CONFIG UNKNOWN - the parameter file was replaced during the check; nothing written (check "
                        "said: Setting initial CRC (",
                        0),
            0u)
      << r.out;
  EXPECT_EQ(ReadWholeFile(victim).find("@@CRC"), std::string::npos) << "the remembered checksum is untouched";
  EXPECT_TRUE(std::filesystem::is_symlink(params));
  EXPECT_FALSE(std::filesystem::exists(params + ".listing"));
}

// A FIFO stalls nothing: as parameter file and as key file the check ends
// at once with the file's state and text; as debug file it is skipped.
TEST_F(ForeignFolder, AFifoEndsTheCheckInTimeWhereverItIsPlanted) {
  StartSwitch();
  const std::string fifo = dir_.Path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0666), 0);
  double seconds = 0;
  ProcessResult r = Check(fifo, &seconds);
  EXPECT_EQ(r.out, "CONFIG UNKNOWN - parameter file " + fifo + " is not a regular file (a FIFO)\n");
  EXPECT_EQ(r.status, 3);
  EXPECT_LT(seconds, 3.5);

  const std::string keyed = Configure("keyed.params", {"--key-file", fifo});
  r = Check(keyed, &seconds);
  EXPECT_EQ(r.out.rfind("CONFIG CRITICAL - ERR: cannot read the key file " + fifo +
                            ": it is not a regular file (a FIFO)(320) | ",
                        0),
            0u)
      << r.out;
  EXPECT_EQ(r.status, 2);
  EXPECT_LT(seconds, 3.5);
  EXPECT_EQ(ReadWholeFile(keyed).find("@@CRC"), std::string::npos);

  const std::string debugged = Configure("debugged.params", {"--debug-file", fifo});
  r = Check(debugged, &seconds);
  EXPECT_EQ(r.out.rfind("CONFIG OK - Setting initial CRC (", 0), 0u) << r.out;
  EXPECT_LT(seconds, 3.5);
}

TEST_F(ForeignFolder, AnotherUsersLinkAsParameterFileIsNotFollowed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root: only root can give a link to another user";
  const std::string target = private_.Write("real.params", "#USR=a#DEV=CSCSW#\n");
  const std::string link = dir_.Path("sw.params");
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  ASSERT_EQ(lchown(link.c_str(), kOwner, kGroup), 0);
  const ProcessResult r = Check(link);
  EXPECT_EQ(r.status, 3);
  EXPECT_EQ(r.out, "CONFIG UNKNOWN - parameter file " + link + " is a symbolic link owned by user 65534 (neither "
                   "root nor the user running the check); not following it\n");
  EXPECT_EQ(ReadWholeFile(target), "#USR=a#DEV=CSCSW#\n");
  EXPECT_FALSE(std::filesystem::exists(target + ".listing"));
}

}  // namespace
}  // namespace comvorlix

// One credentials file for a fleet of switches: checks read it side by side,
// one `configure` of it rotates the password for all of them, and the
// switches' own files never receive a shared secret. A credentials file that
// cannot be trusted ends the check UNKNOWN and leaves the switch's file.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "common/isolated_home.h"
#include "common/run_cli.h"
#include "common/switchsim_process.h"
#include "common/temp_dir.h"

namespace comvorlix {
namespace {

using testing::Cli;
using testing::ProcessResult;
using testing::ReadWholeFile;
using testing::TempDir;

class SharedCredentials : public ::testing::Test {
 protected:
  static constexpr int kSwitches = 50;

  void StartSwitch(const std::string& password_file, int port = 0) {
    sim_.reset();
    const std::vector<std::string> options{"--device", "cisco", "--user", "admin", "--password-file", password_file,
                                           "--enable-password-file", password_file};
    sim_ = port ? std::make_unique<testing::SwitchSimProcess>(options, port)
                : std::make_unique<testing::SwitchSimProcess>(options);
  }
  void ConfigureCredentials(const std::string& password_file) {
    const ProcessResult r = Cli({"configure", "--credentials", credentials_, "--no-gui", "--user", "admin",
                                 "--password-file", password_file, "--enable-password-file", password_file});
    ASSERT_EQ(r.status, 0) << r.err;
    ASSERT_EQ(r.out, "credentials file " + credentials_ + " written\n");
  }
  std::string SwitchFile(int i) const { return dir_.Path("sw" + std::to_string(i) + ".params"); }
  ProcessResult Check(const std::string& params) {
    return Cli({"check", "-H", "127.0.0.1", "-f", params, "--credentials", credentials_, "-t", "20", "--known-hosts",
                testing::KnownHostsFile()});
  }
  // Every switch checked, four at a time; the outputs in switch order.
  std::vector<ProcessResult> CheckFleet() {
    std::vector<ProcessResult> results(kSwitches);
    std::atomic<int> next{0};
    std::vector<std::thread> workers;
    for (int w = 0; w < 4; ++w) {
      workers.emplace_back([&] {
        for (int i; (i = next++) < kSwitches;) results[i] = Check(SwitchFile(i));
      });
    }
    for (std::thread& t : workers) t.join();
    return results;
  }

  TempDir dir_;
  std::string old_pw_ = dir_.Write("old.pw", "0ld-Secret\n");
  std::string new_pw_ = dir_.Write("new.pw", "n3w-Secret\n");
  std::string credentials_ = dir_.Path("fleet.credentials");
  std::unique_ptr<testing::SwitchSimProcess> sim_;
};

TEST_F(SharedCredentials, AFleetSurvivesOneRotation) {
  StartSwitch(old_pw_);
  const int port = sim_->port();
  ConfigureCredentials(old_pw_);
  std::vector<std::string> own(kSwitches);
  for (int i = 0; i < kSwitches; ++i) {
    const ProcessResult r = Cli({"configure", "--params", SwitchFile(i), "--no-gui", "--device", "CSCSW", "--port",
                                 std::to_string(port)});
    ASSERT_EQ(r.status, 0) << r.err;
    own[i] = ReadWholeFile(SwitchFile(i));
  }
  const std::string shared = ReadWholeFile(credentials_);
  EXPECT_EQ(shared.find("#DEV="), std::string::npos) << shared;

  for (const ProcessResult& r : CheckFleet()) EXPECT_EQ(r.status, 0) << r.out << r.err;
  std::string remembered;
  for (int i = 0; i < kSwitches; ++i) {
    const std::string after = ReadWholeFile(SwitchFile(i));
    // The switch's own line with the checksum appended, nothing shared.
    ASSERT_EQ(after.rfind(own[i].substr(0, own[i].size() - 1) + "@@CRC=", 0), 0u) << after;
    if (i == 0) remembered = after;
  }

  // The switch's password changes; until the credentials follow, checks
  // fail and remember nothing.
  StartSwitch(new_pw_, port);
  const ProcessResult stale = Check(SwitchFile(0));
  EXPECT_EQ(stale.status, 2) << stale.out;
  EXPECT_EQ(ReadWholeFile(SwitchFile(0)), remembered);

  ConfigureCredentials(new_pw_);
  const std::string rotated = ReadWholeFile(credentials_);
  EXPECT_NE(rotated, shared);
  for (const ProcessResult& r : CheckFleet()) {
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    EXPECT_EQ(r.out.rfind("CONFIG OK - configuration unchanged (", 0), 0u) << r.out;
    EXPECT_EQ(r.out.find("0ld-Secret"), std::string::npos);
    EXPECT_EQ(r.out.find("n3w-Secret"), std::string::npos);
  }
  EXPECT_EQ(ReadWholeFile(SwitchFile(0)), remembered);
  EXPECT_EQ(ReadWholeFile(credentials_), rotated);
}

class UntrustedCredentials : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Cli({"configure", "--params", params_, "--no-gui", "--device", "CSCSW", "--port", "1"}).status, 0);
    before_ = ReadWholeFile(params_);
  }
  void ExpectUnknown(const std::string& credentials, const std::string& why) {
    const ProcessResult r = Cli({"check", "-H", "127.0.0.1", "-f", params_, "--credentials", credentials, "-t", "5",
                                 "--known-hosts", testing::KnownHostsFile()});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "CONFIG UNKNOWN - credentials file " + credentials + " " + why + "\n");
    EXPECT_EQ(ReadWholeFile(params_), before_);
  }
  TempDir dir_;
  std::string params_ = dir_.Path("sw.params");
  std::string before_;
};

TEST_F(UntrustedCredentials, MissingFifoOrWithoutUser) {
  const std::string missing = dir_.Path("none");
  ExpectUnknown(missing, "does not exist (write it with comvorlix configure --credentials " + missing + ")");
  const std::string fifo = dir_.Path("fifo");
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  ExpectUnknown(fifo, "is not a regular file (a FIFO)");
  ExpectUnknown(dir_.Write("empty", "#ENC=T#USR=#PWD=#\n"), "holds no user name");
  ExpectUnknown(dir_.Write("bad", "#USR=a#PWD==#\n"), "holds a password that does not decode");
}

TEST_F(UntrustedCredentials, AnotherUsersLinkIsNotFollowed) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give a link to another user";
  const std::string target = dir_.Write("real", "#USR=admin#\n");
  const std::string link = dir_.Path("link");
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  ASSERT_EQ(lchown(link.c_str(), 65534, 65534), 0);
  ExpectUnknown(link, "is a symbolic link owned by user 65534 (neither root nor the user running the check); not "
                      "following it");
}

}  // namespace
}  // namespace comvorlix

// The switch's host key is checked before anything secret is sent: checks
// through the command-line plugin against the emulator over loopback, each
// with a known hosts file of its own.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "common/run_process.h"
#include "common/switchsim_process.h"
#include "common/temp_dir.h"

namespace comvorlix {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::ProcessResult;
using testing::ReadWholeFile;
using testing::RunProcess;
using testing::SwitchSimProcess;
using testing::TempDir;

// The fingerprints of the fixed test keys, as `ssh-keygen -lf` shows them.
std::string FingerprintOf(const std::string& public_key_file) {
  const ProcessResult r = RunProcess({"ssh-keygen", "-lf", public_key_file});
  const size_t start = r.out.find("SHA256:");
  return start == std::string::npos ? "(ssh-keygen failed)" : r.out.substr(start, r.out.find(' ', start) - start);
}

class HostKeyCheck : public ::testing::Test {
 protected:
  void SetUp() override {
    pw_ = dir_.Write("pw", "s3cret\n");
    epw_ = dir_.Write("epw", "en4ble\n");
    Start({"ed25519"});
    const ProcessResult r =
        RunProcess({COMVORLIX_CLI_PATH, "configure", "--params", params_, "--no-gui", "--user", "admin",
                    "--password-file", pw_, "--enable-password-file", epw_, "--port", std::to_string(sim_->port()),
                    "--device", "CSCSW"});
    ASSERT_EQ(r.status, 0) << r.err;
  }

  // (Re)starts the emulator with the given fixed host keys, on the same port
  // once it has one: the same switch with other keys.
  void Start(const std::vector<std::string>& key_types) {
    std::vector<std::string> options{"--device", "cisco", "--user", "admin", "--password-file", pw_,
                                     "--enable-password-file", epw_, "--auth-log", auth_log_};
    for (const std::string& type : key_types) {
      options.push_back("--host-key");
      options.push_back(SwitchSimProcess::FixedHostKey(type));
    }
    const int port = sim_ ? sim_->port() : 0;
    sim_.reset();
    sim_ = port != 0 ? std::make_unique<SwitchSimProcess>(options, port) : std::make_unique<SwitchSimProcess>(options);
    where_ = "127.0.0.1:" + std::to_string(sim_->port());
  }

  ProcessResult Check(const std::string& known_hosts, const std::string& policy = "accept-new") {
    return RunProcess({COMVORLIX_CLI_PATH, "check", "--host", "127.0.0.1", "--params", params_, "--timeout", "20",
                       "--known-hosts", known_hosts, "--host-key-policy", policy});
  }

  TempDir dir_;
  std::string pw_, epw_, where_;
  std::string params_ = dir_.Path("sw.params");
  std::string auth_log_ = dir_.Path("auth.log");
  std::string known_ = dir_.Path("known_hosts");
  std::unique_ptr<SwitchSimProcess> sim_;
};

TEST_F(HostKeyCheck, FirstCheckLearnsTheKeyThenIsSilentAndAReplacedKeyGetsNoLogin) {
  const std::string ed25519 = FingerprintOf(SwitchSimProcess::FixedHostKey("ed25519") + ".pub");
  const std::string rsa = FingerprintOf(SwitchSimProcess::FixedHostKey("rsa") + ".pub");

  ProcessResult first = Check(known_);
  EXPECT_EQ(first.status, 0) << first.out << first.err;
  EXPECT_THAT(first.out, HasSubstr("CONFIG OK - Setting initial CRC ("));
  EXPECT_THAT(first.out, HasSubstr("\nlearned host key " + ed25519 + " of " + where_ + " into " + known_));
  EXPECT_THAT(ReadWholeFile(known_), HasSubstr("[127.0.0.1]:" + std::to_string(sim_->port()) + " ssh-ed25519 "));
  struct stat st{};
  ASSERT_EQ(stat(known_.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  ProcessResult second = Check(known_);
  EXPECT_EQ(second.status, 0) << second.out;
  EXPECT_THAT(second.out, HasSubstr("CONFIG OK - configuration unchanged ("));
  EXPECT_THAT(second.out, Not(HasSubstr("host key")));

  // The same switch now offers only its RSA key: no login at all.
  const std::string params_before = ReadWholeFile(params_);
  const std::string known_before = ReadWholeFile(known_);
  const std::string auth_before = ReadWholeFile(auth_log_);
  ASSERT_THAT(auth_before, HasSubstr("result=accepted"));
  Start({"rsa"});
  ProcessResult replaced = Check(known_);
  EXPECT_EQ(replaced.status, 2) << replaced.out;
  EXPECT_THAT(replaced.out, HasSubstr("CONFIG CRITICAL - host key of " + where_ + " changed: known ssh-ed25519 key " +
                                      ed25519 + " in " + known_ + ", offered ssh-rsa key " + rsa + "; not logging in."));
  EXPECT_THAT(replaced.out, HasSubstr("ssh-keygen -R '[127.0.0.1]:" + std::to_string(sim_->port()) + "' -f " + known_));
  EXPECT_EQ(ReadWholeFile(auth_log_), auth_before) << "no authentication attempt";
  EXPECT_EQ(ReadWholeFile(params_), params_before);
  EXPECT_EQ(ReadWholeFile(known_), known_before);
}

TEST_F(HostKeyCheck, AnotherKeyOfTheKnownTypeIsRefusedAndForgettingItLetsTheNextCheckLearn) {
  // A known Ed25519 key that is not the switch's (32 bytes of 0x01).
  const std::string port = std::to_string(sim_->port());
  dir_.Write("known_hosts", "[127.0.0.1]:" + port +
                                " ssh-ed25519 AAAAC3NzaC1lZDI1NTE5AAAAIAEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEBAQEB\n");
  ProcessResult changed = Check(known_);
  EXPECT_EQ(changed.status, 2) << changed.out;
  EXPECT_THAT(changed.out, HasSubstr("host key of " + where_ + " changed: known ssh-ed25519 key SHA256:"));
  EXPECT_EQ(ReadWholeFile(auth_log_), "");

  ProcessResult forget = RunProcess({"ssh-keygen", "-R", "[127.0.0.1]:" + port, "-f", known_});
  ASSERT_EQ(forget.status, 0) << forget.err;
  ProcessResult learned = Check(known_);
  EXPECT_EQ(learned.status, 0) << learned.out;
  EXPECT_THAT(learned.out, HasSubstr("\nlearned host key SHA256:"));
}

TEST_F(HostKeyCheck, StrictRefusesAnUnknownHostAndAnUnrecordableKeyIsUnknown) {
  ProcessResult strict = Check(known_, "strict");
  EXPECT_EQ(strict.status, 2) << strict.out;
  EXPECT_THAT(strict.out, HasSubstr("CONFIG CRITICAL - host key of " + where_ + " is not known (ssh-ed25519 key SHA256:"));
  EXPECT_THAT(strict.out, HasSubstr("ssh-keyscan -p " + std::to_string(sim_->port()) + " -t ed25519 127.0.0.1 >> " +
                                    known_));

  // A file below a regular file can be made by nobody, root included.
  const std::string blocked = dir_.Write("not-a-folder", "") + "/known_hosts";
  ProcessResult unknown = Check(blocked);
  EXPECT_EQ(unknown.status, 3) << unknown.out;
  EXPECT_THAT(unknown.out, HasSubstr("CONFIG UNKNOWN - cannot record the host key SHA256:"));
  EXPECT_THAT(unknown.out, HasSubstr("not logging in"));

  EXPECT_EQ(ReadWholeFile(auth_log_), "");
  EXPECT_THAT(ReadWholeFile(params_), Not(HasSubstr("@@CRC")));
}

TEST_F(HostKeyCheck, TheDefaultFileIsTheHomeFoldersAndIsMadePrivate) {
  // HOME is a temporary folder of this test process (common/isolated_home.cpp).
  const std::string home = getenv("HOME");
  const passwd* user = getpwuid(getuid());
  ASSERT_TRUE(user == nullptr || home != user->pw_dir) << "the test process must not use the real home folder";
  const ProcessResult r = RunProcess({COMVORLIX_CLI_PATH, "check", "--host", "127.0.0.1", "--params", params_,
                                      "--timeout", "20"});
  EXPECT_EQ(r.status, 0) << r.out;
  struct stat st{};
  ASSERT_EQ(stat((home + "/.ssh").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_THAT(ReadWholeFile(home + "/.ssh/known_hosts"), HasSubstr("[127.0.0.1]:"));
}

}  // namespace
}  // namespace comvorlix

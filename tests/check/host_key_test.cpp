// The switch's host key is checked before anything secret is sent: checks
// through the command-line plugin against the emulator over loopback, each
// with a known hosts file of its own (but the one that shows which file is
// the default).
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "common/run_cli.h"
#include "common/run_process.h"
#include "common/switchsim_process.h"
#include "common/temp_dir.h"

namespace comvorlix {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using testing::Cli;
using testing::ProcessResult;
using testing::ReadWholeFile;
using testing::RunProcess;
using testing::SwitchSimProcess;
using testing::TempDir;

// The plugin's text without its performance data.
std::string Text(const std::string& out) { return out.substr(0, out.find(" | ")); }

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
        Cli({"configure", "--params", params_, "--no-gui", "--user", "admin",
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
    return Cli({"check", "--host", "127.0.0.1", "--params", params_, "--timeout", "20",
                "--known-hosts", known_hosts, "--host-key-policy", policy});
  }

  // The name the files know the emulator by, and a fixed key's line part.
  std::string HostName() const { return "[127.0.0.1]:" + std::to_string(sim_->port()); }
  static std::string PublicKey(const std::string& type) {
    const std::string line = ReadWholeFile(SwitchSimProcess::FixedHostKey(type) + ".pub");
    return line.substr(0, line.find(' ', line.find(' ') + 1));
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
  const std::string forget = "ssh-keygen -R '[127.0.0.1]:" + std::to_string(sim_->port()) + "' -f " + known_;
  EXPECT_THAT(replaced.out, HasSubstr("forget the old key with: " + forget + " (the next"));
  EXPECT_EQ(ReadWholeFile(auth_log_), auth_before) << "no authentication attempt";
  EXPECT_EQ(ReadWholeFile(params_), params_before);
  EXPECT_EQ(ReadWholeFile(known_), known_before);
  // Root checking with the monitoring user's file is told to forget as that user.
  if (geteuid() == 0) {
    const passwd* nobody = getpwnam("nobody");
    ASSERT_NE(nobody, nullptr);
    ASSERT_EQ(chown(known_.c_str(), nobody->pw_uid, static_cast<gid_t>(-1)), 0);
    EXPECT_THAT(Check(known_).out, HasSubstr("forget the old key with: sudo -u nobody " + forget + " (the next"));
  }
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

TEST_F(HostKeyCheck, RevokedKeyIsNeverTrustedNorLearned) {
  const std::string ed25519 = FingerprintOf(SwitchSimProcess::FixedHostKey("ed25519") + ".pub");
  const std::string revoked = "@revoked * " + PublicKey("ed25519") + "\n";
  const std::string refused = "CONFIG CRITICAL - host key of " + where_ + " is revoked (ssh-ed25519 key " + ed25519 +
                              " in " + known_ + "); not logging in";
  // Unknown otherwise: not learned.
  dir_.Write("known_hosts", revoked);
  ProcessResult alone = Check(known_);
  EXPECT_EQ(alone.status, 2) << alone.out;
  EXPECT_THAT(alone.out, HasSubstr(refused));
  EXPECT_EQ(ReadWholeFile(known_), revoked);
  // Also listed as the host's key: still refused.
  const std::string both = revoked + HostName() + " " + PublicKey("ed25519") + "\n";
  dir_.Write("known_hosts", both);
  ProcessResult listed = Check(known_);
  EXPECT_EQ(listed.status, 2) << listed.out;
  EXPECT_THAT(listed.out, HasSubstr(refused));
  EXPECT_EQ(ReadWholeFile(known_), both);
  EXPECT_EQ(ReadWholeFile(auth_log_), "") << "no authentication attempt";
  EXPECT_THAT(ReadWholeFile(params_), Not(HasSubstr("@@CRC")));
}

TEST_F(HostKeyCheck, CertificateAuthorityLinesLeaveTheHostUnknownAndNeverFail) {
  // A CA key for the host, one the SSH library cannot even read, and a last
  // line without its newline.
  const std::string before = "@cert-authority " + HostName() + " " + PublicKey("rsa") +
                             "\n@cert-authority * ssh-unheard-of AAAAB3Nz\nother.example " + PublicKey("rsa");
  dir_.Write("known_hosts", before);
  ProcessResult r = Check(known_);
  EXPECT_EQ(r.status, 0) << r.out;
  EXPECT_THAT(r.out, HasSubstr("\nlearned host key SHA256:"));
  EXPECT_EQ(ReadWholeFile(known_), before + "\n" + HostName() + " " + PublicKey("ed25519") + "\n");
}

TEST_F(HostKeyCheck, AHostKnownByItsRsaKeyIsAskedForItEvenWhenItAlsoHasEd25519) {
  Start({"ed25519", "rsa"});
  const std::string known = HostName() + " " + PublicKey("rsa") + "\n";
  dir_.Write("known_hosts", known);
  ProcessResult plain = Check(known_);
  EXPECT_EQ(plain.status, 0) << plain.out;
  EXPECT_THAT(plain.out, Not(HasSubstr("host key")));
  EXPECT_EQ(ReadWholeFile(known_), known) << "no second line";

  // The same with the name hashed, as HashKnownHosts writes it.
  ASSERT_EQ(RunProcess({"ssh-keygen", "-H", "-f", known_}).status, 0);
  const std::string hashed = ReadWholeFile(known_);
  ASSERT_EQ(hashed.rfind("|1|", 0), 0u) << hashed;
  ProcessResult again = Check(known_);
  EXPECT_EQ(again.status, 0) << again.out;
  EXPECT_THAT(again.out, Not(HasSubstr("host key")));
  EXPECT_EQ(ReadWholeFile(known_), hashed);
}

TEST_F(HostKeyCheck, AKnownHostsFileThatIsNoRegularFileEndsUnknownAtOnce) {
  ASSERT_EQ(mkfifo(known_.c_str(), 0600), 0);
  const auto start = std::chrono::steady_clock::now();
  ProcessResult fifo = Cli({"check", "-H", "127.0.0.1", "-f", params_, "-t", "3",
                            "--known-hosts", known_},
                           {.limit_ms = 10000});
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_EQ(fifo.status, 3) << fifo.out;
  EXPECT_EQ(Text(fifo.out), "CONFIG UNKNOWN - cannot read the known hosts files for " + where_ + ": " + known_ +
                          " is not a regular file (a FIFO); not logging in");

  // Larger than any known hosts file: not read to its end.
  const std::string huge = dir_.Path("huge");
  ASSERT_EQ(truncate(dir_.Write("huge", "").c_str(), 17 << 20), 0);
  ProcessResult large = Check(huge);
  EXPECT_EQ(large.status, 3) << large.out;
  EXPECT_EQ(Text(large.out), "CONFIG UNKNOWN - cannot read the known hosts files for " + where_ + ": " + huge +
                           " is larger than 16777216 bytes; not logging in");
  EXPECT_EQ(ReadWholeFile(auth_log_), "");
}

TEST_F(HostKeyCheck, AKnownHostsLinkIsFollowedOnlyWhenRootOrTheUserOwnsIt) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can give a link to another user";
  const std::string target = dir_.Write("real_known_hosts", "");
  const std::string link = dir_.Path("linked_known_hosts");
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  ProcessResult own = Check(link);
  EXPECT_EQ(own.status, 0) << own.out;
  EXPECT_THAT(ReadWholeFile(target), HasSubstr(HostName() + " ssh-ed25519 ")) << "learned through the link";
  struct stat st{};
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode)) << "the link stays a link";

  ASSERT_EQ(lchown(link.c_str(), 65534, 65534), 0);
  const std::string learned = ReadWholeFile(target);
  ProcessResult other = Check(link);
  EXPECT_EQ(other.status, 3) << other.out;
  EXPECT_EQ(Text(other.out), "CONFIG UNKNOWN - cannot read the known hosts files for " + where_ + ": " + link +
                           " is a symbolic link owned by user 65534 (neither root nor the user running the check); "
                           "not following it; not logging in");
  EXPECT_EQ(ReadWholeFile(target), learned);
}

// A user made with useradd for one test, removed with it (and its group).
class ThrowawayUser {
 public:
  explicit ThrowawayUser(const std::string& home) : name_("cvxtest" + std::to_string(getpid())) {
    made_ = RunProcess({"useradd", "--home-dir", home, "--create-home", "--user-group", "--shell", "/usr/sbin/nologin",
                        name_})
                .status == 0;
    if (const passwd* pw = made_ ? getpwnam(name_.c_str()) : nullptr) {
      uid_ = pw->pw_uid;
      gid_ = pw->pw_gid;
    }
  }
  ~ThrowawayUser() {
    if (made_) RunProcess({"userdel", name_});
  }
  bool made() const { return made_ && uid_ != 0; }
  uid_t uid() const { return uid_; }
  gid_t gid() const { return gid_; }

 private:
  std::string name_;
  bool made_ = false;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
};

TEST_F(HostKeyCheck, TheDefaultFileIsTheAccountsNotHomes) {
  if (geteuid() != 0) GTEST_SKIP() << "only root can make a throwaway user";
  ASSERT_EQ(chmod(dir_.path().c_str(), 0755), 0);
  const std::string home = dir_.Path("home");
  ThrowawayUser user(home);
  ASSERT_TRUE(user.made());
  const std::string params = home + "/sw.params";
  testing::WriteWholeFile(params, ReadWholeFile(params_));
  ASSERT_EQ(chown(params.c_str(), user.uid(), user.gid()), 0);
  // HOME names a folder the user could write to: as a daemon that dropped
  // its privileges but kept root's environment would have it.
  TempDir elsewhere;
  ASSERT_EQ(chmod(elsewhere.path().c_str(), 0777), 0);

  const ProcessResult r = RunProcess({"setpriv", "--reuid", std::to_string(user.uid()), "--regid",
                                      std::to_string(user.gid()), "--clear-groups", "env", "HOME=" + elsewhere.path(),
                                      COMVORLIX_CLI_PATH, "check", "--host", "127.0.0.1", "--params", params,
                                      "--timeout", "20"});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  const std::string file = home + "/.ssh/known_hosts";
  EXPECT_THAT(r.out, HasSubstr(" into " + file + "\n"));
  EXPECT_THAT(ReadWholeFile(file), HasSubstr(HostName() + " ssh-ed25519 "));
  struct stat st{};
  ASSERT_EQ(stat((home + "/.ssh").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(st.st_uid, user.uid());
  ASSERT_EQ(stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  EXPECT_EQ(st.st_uid, user.uid());
  EXPECT_EQ(elsewhere.Names(), std::vector<std::string>{});
}

}  // namespace
}  // namespace comvorlix

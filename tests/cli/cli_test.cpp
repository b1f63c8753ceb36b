// The command-line host, run as a program the way administrators and
// monitoring systems run it.
#include <gtest/gtest.h>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <chrono>
#include <random>
#include <regex>
#include <thread>

#include "common/isolated_home.h"
#include "common/run_cli.h"
#include "common/run_process.h"
#include "devices/device_table.h"
#include "common/switchsim_process.h"
#include "common/temp_dir.h"

namespace comvorlix {
namespace {

using testing::Cli;
using testing::ProcessOptions;
using testing::ProcessResult;
using testing::ReadWholeFile;
using testing::WriteWholeFile;
using testing::SwitchSimProcess;
using testing::TempDir;

unsigned ModeOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 0777;
}

ino_t InodeOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_ino;
}

TEST(CliUsage, HelpVersionAndWrongInvocations) {
  ProcessResult help = Cli({"--help"});
  EXPECT_EQ(help.status, 0);
  for (const char* command : {"check", "configure", "crc", "secret"}) {
    EXPECT_NE(help.out.find(command), std::string::npos) << command;
  }
  ProcessResult version = Cli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, "comvorlix 3.1.49\n");

  // The check's own usage errors: plugin_invocation_test.cpp.
  for (std::vector<std::string> wrong : {std::vector<std::string>{}, {"frobnicate"}, {"secret", "print"}}) {
    ProcessResult r = Cli(wrong);
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("usage: comvorlix"), std::string::npos) << r.err;
  }
}

TEST(CliCrc, ChecksumOfAFileAndOfStandardInput) {
  TempDir dir;
  // CRC-32/ISO-HDLC check value, from the catalogue of parametrised CRC
  // algorithms (reveng): "123456789" gives CBF43926.
  EXPECT_EQ(Cli({"crc", dir.Write("digits", "123456789")}).out, "CBF43926\n");
  EXPECT_EQ(Cli({"crc"}, ProcessOptions{"123456789", std::nullopt}).out, "CBF43926\n");
  EXPECT_EQ(Cli({"crc", dir.Write("empty", "")}).out, "0\n");
  ProcessResult missing = Cli({"crc", dir.Path("nope")});
  EXPECT_EQ(missing.status, 3);
  EXPECT_EQ(missing.err, "comvorlix: cannot read " + dir.Path("nope") + ": No such file or directory\n");
}

TEST(CliSecret, EncodeThenDecodeGivesTheTextBack) {
  for (const std::string& text : std::vector<std::string>{"a", "s3cret with blanks ", "Pässwörd €", std::string(100, 'x')}) {
    ProcessResult encoded = Cli({"secret", "encode"}, ProcessOptions{text + "\n", std::nullopt});
    ASSERT_EQ(encoded.status, 0);
    EXPECT_EQ(encoded.out.find_first_not_of("0123456789ABCDEF\n"), std::string::npos) << encoded.out;
    ProcessResult decoded = Cli({"secret", "decode"}, ProcessOptions{encoded.out, std::nullopt});
    EXPECT_EQ(decoded.status, 0);
    EXPECT_EQ(decoded.out, text + "\n");
  }
}

TEST(CliSecret, OldBase64FormDecodesAndGarbageFails) {
  EXPECT_EQ(Cli({"secret", "decode"}, ProcessOptions{"YWJj\n", std::nullopt}).out, "abc\n");
  ProcessResult bad = Cli({"secret", "decode"}, ProcessOptions{"=\n", std::nullopt});
  EXPECT_EQ(bad.status, 3);
  EXPECT_EQ(bad.err,
            "comvorlix: cannot decode the value: it is neither an encrypted field nor valid Base64 (Invalid "
            "procedure call or argument)\n");
}

TEST(CliConfigure, EveryKindOfSwitchIsOfferedAndAccepted) {
  TempDir dir;
  const std::string params = dir.Path("sw.params");
  const std::string help = Cli({"--help"}).out;
  std::string codes;
  for (const DeviceKind& kind : AllDeviceKinds()) {
    const std::string code = kind.code;
    codes += (codes.empty() ? "" : "|") + code;
    EXPECT_NE(help.find(kind.short_name + " (" + code + ")"), std::string::npos) << help;
    // The code in any case and the name the help lists all store the code.
    std::string lower = code, name = kind.short_name;
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const std::string& given : {code, lower, name}) {
      unlink(params.c_str());
      const ProcessResult r = Cli({"configure", "--params", params, "--no-gui", "--device", given});
      EXPECT_EQ(r.status, 0) << r.err;
      EXPECT_NE(ReadWholeFile(params).find("#DEV=" + code + "#"), std::string::npos) << given;
    }
  }
  // A long list goes on on the next lines.
  const std::string joined = std::regex_replace(help, std::regex("\\|\n +"), "|");
  EXPECT_NE(joined.find("--device " + codes + "\n"), std::string::npos) << help;
}

TEST(CliConfigure, NothingToDoOrTwoReadersOfStandardInputWriteNothing) {
  TempDir dir;
  const std::string params = dir.Path("sw.params");
  // Standard input holds one secret: the second reader would get nothing.
  const std::vector<std::vector<std::string>> refused = {
      {"--no-gui"},
      {"--no-gui", "--password-stdin", "--enable-password-stdin", "--user", "admin"},
      {"--owner", "nobody-such-user-here", "--user", "admin"},
      {"--test", "--user", "admin"}};
  for (const std::vector<std::string>& options : refused) {
    std::vector<std::string> args = {"configure", "--params", params};
    args.insert(args.end(), options.begin(), options.end());
    const ProcessResult r = Cli(args, ProcessOptions{"pw\n", std::nullopt});
    EXPECT_EQ(r.status, 3) << options[0] << options.back();
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("usage: comvorlix configure"), std::string::npos) << r.err;
    EXPECT_EQ(access(params.c_str(), F_OK), -1) << options.back();
  }
  EXPECT_NE(Cli({"configure", "--params", params, "--no-gui"}).err.find("nothing to set: give the fields"),
            std::string::npos);

  ASSERT_EQ(Cli({"configure", "--params", params, "--enable-password-stdin"}, ProcessOptions{"en4ble\n", std::nullopt})
                .status,
            0);
  EXPECT_EQ(ReadWholeFile(params).find("#EPW=#"), std::string::npos) << ReadWholeFile(params);
}

TEST(CliConfigure, OwnerGivesTheFileToTheMonitoringUser) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a file away needs root";
  TempDir dir;
  const std::string params = dir.Path("sw.params");
  WriteWholeFile(params + ".listing", "kept\n");
  const passwd* nobody = getpwnam("nobody");
  ASSERT_NE(nobody, nullptr);
  const ProcessResult r = Cli({"configure", "--params", params, "--user", "admin", "--owner", "nobody"});
  ASSERT_EQ(r.status, 0) << r.err;
  for (const std::string& file : {params, params + ".listing"}) {
    struct stat st {};
    ASSERT_EQ(stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_uid, nobody->pw_uid) << file;
    EXPECT_EQ(st.st_gid, nobody->pw_gid) << file;
  }
  EXPECT_EQ(ModeOf(params), 0600u);
}

class CliWithSwitch : public ::testing::Test {
 protected:
  void SetUp() override {
    running_ = dir_.Write("running.cfg", ReadWholeFile(std::string(SWITCHSIM_CONFIGS) + "/cisco-running.cfg"));
    pw_ = dir_.Write("pw", "s3cret\n");
    epw_ = dir_.Write("epw", "en4ble\n");
    sim_ = std::make_unique<SwitchSimProcess>(std::vector<std::string>{
        "--device", "cisco", "--user", "admin", "--password-file", pw_, "--enable-password-file", epw_, "--running",
        running_});
  }

  ProcessResult Configure(std::vector<std::string> extra) {
    std::vector<std::string> args = {"configure", "--params", params_, "--no-gui", "--user", "admin",
                                     "--password-file", pw_, "--enable-password-file", epw_, "--port",
                                     std::to_string(sim_->port()), "--device", "CSCSW"};
    args.insert(args.end(), extra.begin(), extra.end());
    return Cli(args);
  }

  ProcessResult Check(const ProcessOptions& options = {}) {
    return Cli({"check", "--host", "127.0.0.1", "--params", params_, "--timeout", "20", "--known-hosts",
                testing::KnownHostsFile()},
               options);
  }

  TempDir dir_;
  std::string running_, pw_, epw_;
  std::string params_ = dir_.Path("sw1.params");
  std::unique_ptr<SwitchSimProcess> sim_;
};

TEST_F(CliWithSwitch, ConfigureWritesANewPrivateFileWithoutSecretsInClear) {
  ProcessResult r = Configure({"--configuration", "COMPARE", "--update-known"});
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "parameter file " + params_ + " written\n");
  EXPECT_EQ(ModeOf(params_), 0600u);
  const std::string content = ReadWholeFile(params_);
  EXPECT_EQ(content.find("s3cret"), std::string::npos);
  EXPECT_EQ(content.find("en4ble"), std::string::npos);
  EXPECT_NE(content.find("#USR=admin#"), std::string::npos);
  EXPECT_NE(content.find("#CFG=COMPARE#DEV=CSCSW#UCF=T#"), std::string::npos) << content;
  EXPECT_EQ(content.back(), '\n');
}

TEST_F(CliWithSwitch, ConfigureRefusesInvalidValuesAndLeavesTheFileUntouched) {
  ASSERT_EQ(Configure({}).status, 0);
  const std::string before = ReadWholeFile(params_);
  ProcessResult device = Configure({"--device", "JUNIPER"});
  EXPECT_EQ(device.status, 3);
  EXPECT_NE(device.err.find("--device must be one of CSCSW, ARUSW, HP1920SW, HP2510SW, NXOSSW, EOSSW, JUNOSSW, AOSCXSW, CW7SW, ROSSW, not \"JUNIPER\""),
            std::string::npos)
      << device.err;
  ProcessResult port = Configure({"--port", "ssh"});
  EXPECT_EQ(port.status, 3);
  EXPECT_NE(port.err.find("--port must be a whole number from 1 to 65535, not \"ssh\""), std::string::npos);
  EXPECT_EQ(ReadWholeFile(params_), before);
}

TEST_F(CliWithSwitch, CheckRemembersThenConfirmsThenReportsAChange) {
  ASSERT_EQ(Configure({}).status, 0);
  chmod(params_.c_str(), 0640);
  ProcessResult first = Check();
  EXPECT_EQ(first.status, 0) << first.out << first.err;
  EXPECT_EQ(first.out.rfind("CONFIG OK - Setting initial CRC (", 0), 0u) << first.out;
  EXPECT_NE(first.out.find(" | time="), std::string::npos);
  EXPECT_NE(ReadWholeFile(params_).find("#@@CRC="), std::string::npos);
  EXPECT_EQ(ModeOf(params_), 0640u) << "a replaced file keeps its permissions";

  const ino_t inode = InodeOf(params_);
  ProcessResult second = Check();
  EXPECT_EQ(second.status, 0);
  EXPECT_EQ(second.out.rfind("CONFIG OK - configuration unchanged (", 0), 0u) << second.out;
  EXPECT_EQ(InodeOf(params_), inode) << "an unchanged string is not rewritten";

  std::string config = ReadWholeFile(running_);
  config.insert(config.find("hostname "), "! a new comment line\n");
  WriteWholeFile(running_, config);
  ProcessResult third = Check();
  EXPECT_EQ(third.status, 2);
  EXPECT_EQ(third.out.rfind("CONFIG CRITICAL - Configuration changed (", 0), 0u) << third.out;
}

TEST_F(CliWithSwitch, ConfigureTestLogsInOnceAndRemembersNothing) {
  const ProcessResult test = Configure({"--test", "-H", "127.0.0.1", "--known-hosts", testing::KnownHostsFile()});
  EXPECT_EQ(test.status, 0) << test.out << test.err;
  EXPECT_EQ(test.out.rfind("CONFIG OK - Setting initial CRC (", 0), 0u) << test.out;
  EXPECT_NE(test.out.find("\n(a test: parameter file " + params_ + " written; no checksum"), std::string::npos)
      << test.out;
  EXPECT_EQ(ReadWholeFile(params_).find("@@CRC"), std::string::npos);
  EXPECT_EQ(access((params_ + ".listing").c_str(), F_OK), -1);

  // A wrong password fails the test as it would fail the check.
  WriteWholeFile(pw_, "wrong\n");
  EXPECT_EQ(Configure({"--test", "-H", "127.0.0.1", "--known-hosts", testing::KnownHostsFile()}).status, 2);
}

TEST_F(CliWithSwitch, AFileOthersCanReadIsWarnedAboutBelowTheResult) {
  ASSERT_EQ(Configure({}).status, 0);
  chmod(params_.c_str(), 0644);
  const ProcessResult open = Check();
  EXPECT_EQ(open.status, 0) << open.out;
  EXPECT_EQ(open.out.rfind("CONFIG OK - Setting initial CRC (", 0), 0u) << open.out;
  EXPECT_NE(open.out.find("\n(warning: parameter file " + params_ + " is readable by every user (mode 0644)"),
            std::string::npos)
      << open.out;
  chmod(params_.c_str(), 0600);
  EXPECT_EQ(Check().out.find("warning"), std::string::npos);
}

TEST(CliIpv6, ABracketedAddressIsConnectedToAndKnownAsOpenSshNamesIt) {
  TempDir dir;
  const std::string pw = dir.Write("pw", "s3cret\n"), epw = dir.Write("epw", "en4ble\n");
  std::unique_ptr<SwitchSimProcess> sim;
  try {
    sim = std::make_unique<SwitchSimProcess>(std::vector<std::string>{
        "--device", "cisco", "--user", "admin", "--password-file", pw, "--enable-password-file", epw, "--listen", "::1"});
  } catch (const std::exception&) {
    GTEST_SKIP() << "no IPv6 loopback here";
  }
  const std::string params = dir.Path("sw.params"), known = dir.Path("known_hosts");
  ASSERT_EQ(Cli({"configure", "-f", params, "--user", "admin", "--password-file", pw, "--enable-password-file", epw,
                 "--port", std::to_string(sim->port()), "--device", "cisco"})
                .status,
            0);
  const ProcessResult r = Cli({"check", "-H", "[::1]", "-f", params, "-t", "20", "--known-hosts", known});
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(ReadWholeFile(known).rfind("[::1]:" + std::to_string(sim->port()) + " ssh-", 0), 0u);
}

TEST_F(CliWithSwitch, HostSideProblemsAreUnknownAndSwitchProblemsCritical) {
  ProcessResult missing = Check();
  EXPECT_EQ(missing.status, 3);
  EXPECT_EQ(missing.out, "CONFIG UNKNOWN - parameter file " + params_ +
                             " does not exist (write it with comvorlix configure)\n");

  ASSERT_EQ(Configure({}).status, 0);
  const std::string before = ReadWholeFile(params_);
  sim_->Stop();
  ProcessResult refused = Check();
  EXPECT_EQ(refused.status, 2);
  EXPECT_EQ(refused.out.rfind("CONFIG CRITICAL - SSH connection to 127.0.0.1:", 0), 0u) << refused.out;
  EXPECT_EQ(ReadWholeFile(params_), before);
}

TEST_F(CliWithSwitch, AFullDiskKeepsTheOldFileComplete) {
  ASSERT_EQ(Configure({}).status, 0);
  const std::string before = ReadWholeFile(params_);
  // The switch's key is known already: the little room is the parameter
  // file's (a key that cannot be recorded ends the check before it).
  const std::string key = ReadWholeFile(SwitchSimProcess::FixedHostKey("ed25519") + ".pub");
  testing::WriteWholeFile(testing::KnownHostsFile(), "[127.0.0.1]:" + std::to_string(sim_->port()) + " " + key);
  ProcessResult full = Check(ProcessOptions{"", 64});
  EXPECT_EQ(full.status, 3);
  EXPECT_EQ(full.out.rfind("CONFIG UNKNOWN - cannot write", 0), 0u) << full.out;
  EXPECT_NE(full.out.find("the parameter file keeps its old content (check said: Setting initial CRC ("),
            std::string::npos)
      << full.out;
  EXPECT_EQ(ReadWholeFile(params_), before);
  EXPECT_EQ(Check().status, 0) << "the next check with room stores the checksum";
}

TEST_F(CliWithSwitch, ConcurrentChecksOfOneFileRunOneAfterTheOther) {
  ASSERT_EQ(Configure({}).status, 0);
  ProcessResult a, b;
  std::thread other([&] { b = Check(); });
  a = Check();
  other.join();
  const std::string both = a.out + b.out;
  EXPECT_NE(both.find("Setting initial CRC ("), std::string::npos) << both;
  EXPECT_NE(both.find("configuration unchanged ("), std::string::npos) << both;
}

TEST_F(CliWithSwitch, KillingACheckAtAnyMomentLeavesTheOldOrTheNewString) {
  ASSERT_EQ(Configure({}).status, 0);
  const std::string old_content = ReadWholeFile(params_);
  ASSERT_EQ(Check().status, 0);
  const std::string new_content = ReadWholeFile(params_);
  ASSERT_NE(old_content, new_content);

  std::mt19937 random(12345);
  for (int round = 0; round < 25; ++round) {
    WriteWholeFile(params_, old_content);
    pid_t pid = testing::StartProcess(
        {COMVORLIX_CLI_PATH, "check", "--host", "127.0.0.1", "--params", params_, "--timeout", "5",
         "--known-hosts", testing::KnownHostsFile()});
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 250000));
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    const std::string now = ReadWholeFile(params_);
    EXPECT_TRUE(now == old_content || now == new_content) << "round " << round << ": " << now;
  }
}

}  // namespace
}  // namespace comvorlix

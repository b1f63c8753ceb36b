// The emulator's behaviours that tests of the checker build on: fixed host
// keys and the record of authentication, privilege at login, hostile
// output, slow and broken listings, comment lines that drift, and the
// HP 2530's own listing form. Everything goes over real SSH (OpenSSH's
// client) on loopback.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "common/switchsim_process.h"
#include "common/ssh_client.h"
#include "common/ssh_workspace.h"

namespace switchsim_test {
namespace {

using comvorlix::testing::ReadWholeFile;
using comvorlix::testing::RunProcess;
using comvorlix::testing::SwitchSimProcess;
using Finished = comvorlix::testing::ProcessResult;
using Clock = std::chrono::steady_clock;

const std::string kConfigs = SWITCHSIM_CONFIGS;
const std::string kKeys = kConfigs + "/../keys";

std::string CrLf(const std::string& text) {
  std::string wire;
  for (char c : text) {
    if (c == '\n') wire += '\r';
    wire += c;
  }
  return wire;
}

// The lines of `text` that begin with `prefix`, each with its line end.
std::string LinesStarting(const std::string& text, const std::string& prefix) {
  std::string found;
  for (size_t at = text.find(prefix); at != std::string::npos; at = text.find(prefix, at + 1)) {
    if (at == 0 || text[at - 1] == '\n') found += text.substr(at, text.find('\n', at) + 1 - at);
  }
  return found;
}

class SwitchSimBehaviours : public ::testing::Test {
 protected:
  void SetUp() override {
    if (RunProcess({"ssh", "-V"}, {.limit_ms = 5000}).status != 0) GTEST_SKIP() << "OpenSSH client not installed";
  }

  // The emulator with the workspace's client key allowed; `options` may
  // name host keys of their own (otherwise the workspace's is used).
  std::unique_ptr<SwitchSimProcess> Start(std::vector<std::string> options) {
    std::vector<std::string> all = {"--authorized-keys", ws_.Path("authorized_keys"), "--idle-timeout", "20"};
    if (std::find(options.begin(), options.end(), "--host-key") == options.end()) {
      all.insert(all.end(), {"--host-key", ws_.Path("host_key")});
    }
    all.insert(all.end(), options.begin(), options.end());
    return std::make_unique<SwitchSimProcess>(all);
  }

  Workspace ws_;
};

TEST_F(SwitchSimBehaviours, FixedHostKeysAreTheOnlyOnesOfferedByEveryKind) {
  const char* kinds[] = {"cisco", "aruba", "hp1920", "hp2530"};
  for (int i = 0; i < 4; ++i) {
    const std::string key = kKeys + (i % 2 == 0 ? "/test_host_ed25519" : "/test_host_rsa");
    auto sim = Start({"--device", kinds[i], "--host-key", key});
    const Finished scan = RunProcess({"ssh-keyscan", "-p", std::to_string(sim->port()), "127.0.0.1"},
                                     {.limit_ms = 15000});
    const std::string offered = LinesStarting(scan.out, "[127.0.0.1]:");
    EXPECT_EQ(offered, ReadWholeFile(KnownHosts(ws_, sim->port(), key + ".pub"))) << kinds[i];

    const Finished login = Ssh(ws_, sim->port(), "", {"StrictHostKeyChecking=yes",
                                                      "UserKnownHostsFile=" + ws_.Path("known_hosts")});
    EXPECT_EQ(login.status, 0) << kinds[i] << ": " << login.err;
  }
}

TEST_F(SwitchSimBehaviours, AuthLogIsEmptyWhenTheClientRefusedTheHostKey) {
  const std::string log = ws_.Path("auth.log");
  auto sim = Start({"--host-key", kKeys + "/test_host_ed25519", "--auth-log", log, "--password-file",
                    ws_.Write("pw", "s3cret-pw\n")});
  // A known key of the same type that is not the switch's: the client stops
  // before it authenticates.
  const Finished changed = Ssh(ws_, sim->port(), "exit\r", {"StrictHostKeyChecking=yes",
                               "UserKnownHostsFile=" + KnownHosts(ws_, sim->port(), ws_.Path("host_key.pub"))});
  EXPECT_EQ(changed.status, 255);
  EXPECT_NE(changed.err.find("REMOTE HOST IDENTIFICATION HAS CHANGED"), std::string::npos) << changed.err;
  EXPECT_EQ(ReadWholeFile(log), "");

  const Finished pinned = Ssh(ws_, sim->port(), "exit\r", {"StrictHostKeyChecking=yes",
                              "UserKnownHostsFile=" + KnownHosts(ws_, sim->port(), kKeys + "/test_host_ed25519.pub")});
  EXPECT_EQ(pinned.status, 0) << pinned.err;
  const std::string record = ReadWholeFile(log);
  EXPECT_NE(record.find("session=2 method=publickey user=admin result=accepted\n"), std::string::npos) << record;
  EXPECT_EQ(record.find("session=1"), std::string::npos);
  EXPECT_EQ(record.find("s3cret"), std::string::npos);
}

TEST_F(SwitchSimBehaviours, SetupRefusesKeysAndRecordFilesItCannotUse) {
  const Finished legacy = RunProcess({SWITCHSIM_PATH, "--port", "0", "--authorized-keys", ws_.Path("authorized_keys"),
                                      "--legacy-algorithms", "--host-key", kKeys + "/test_host_ed25519"},
                                     {.limit_ms = 5000});
  EXPECT_EQ(legacy.status, 1);
  EXPECT_NE(legacy.err.find("give an RSA --host-key"), std::string::npos) << legacy.err;
  const Finished log = RunProcess({SWITCHSIM_PATH, "--port", "0", "--authorized-keys", ws_.Path("authorized_keys"),
                                   "--command-log", ws_.Path("no/such/folder/commands.log")},
                                  {.limit_ms = 5000});
  EXPECT_EQ(log.status, 1);
}

TEST_F(SwitchSimBehaviours, CiscoEnableWhilePrivilegedAsksNothingAndTheNextLineIsACommand) {
  const std::string log = ws_.Path("commands.log");
  const std::string epw = ws_.Write("epw", "en4ble\n");
  auto privileged = Start({"--start-privileged", "--enable-password-file", epw, "--command-log", log});
  const Finished f = Ssh(ws_, privileged->port(), "enable\ren4ble\rterminal length 0\rexit\r", {});
  EXPECT_EQ(f.status, 0) << f.err;
  EXPECT_EQ(f.out.find("Password:"), std::string::npos) << f.out;
  EXPECT_NE(f.out.find("Switch#enable\r\nSwitch#en4ble\r\n"), std::string::npos) << f.out;
  EXPECT_EQ(ReadWholeFile(log), "enable\nen4ble\nterminal length 0\nexit\n");
  privileged.reset();

  // At ">" the answer to the password question is no command.
  std::remove(log.c_str());
  auto user = Start({"--enable-password-file", epw, "--command-log", log});
  EXPECT_EQ(Ssh(ws_, user->port(), "en\ren4ble\rshow privilege\rexit\r", {}).status, 0);
  EXPECT_EQ(ReadWholeFile(log), "en\nshow privilege\nexit\n");
  user.reset();

  auto no_prompt = Start({"--no-enable-password-prompt", "--enable-password-file", epw});
  const Finished direct = Ssh(ws_, no_prompt->port(), "enable\rshow privilege\rexit\r", {});
  EXPECT_NE(direct.out.find("Switch>enable\r\nSwitch#show privilege\r\nCurrent privilege level is 15\r\n"),
            std::string::npos)
      << direct.out;
}

TEST_F(SwitchSimBehaviours, Hp1920AsksTheCmdlinePasswordOnlyAfterYes) {
  const std::string log = ws_.Path("commands.log");
  auto sim = Start({"--device", "hp1920", "--cmdline-password-file", ws_.Write("cpw", "en4ble\n"), "--command-log",
                    log});
  const Finished f = Ssh(ws_, sim->port(), "_cmdline-mode on\rN\ren4ble\r_cmdline-mode on\ry\ren4ble\rquit\r", {});
  EXPECT_EQ(f.status, 0) << f.err;
  EXPECT_NE(f.out.find("Continue? [Y/N]N\r\n<HP 1920G Switch>en4ble\r\n"), std::string::npos) << f.out;
  EXPECT_NE(f.out.find("Continue? [Y/N]y\r\nPlease input password:******\r\nWarning:"), std::string::npos);
  EXPECT_EQ(ReadWholeFile(log), "_cmdline-mode on\nen4ble\n_cmdline-mode on\nquit\n");
}

TEST_F(SwitchSimBehaviours, BannerIsSentByteForByteByEveryKind) {
  const std::string banner = std::string("Switch#show running-config\r\nBuilding configuration...\r\nend\r\n"
                                         "\x1b[2J\x1b[31m\x07|\xff\xfe\xc3(\r\rreturn\nSwitch#") +
                             std::string(1, '\0') + "tail";
  const std::string file = ws_.Write("banner", banner);
  for (const char* kind : {"cisco", "aruba", "hp1920", "hp2530"}) {
    auto sim = Start({"--device", kind, "--banner", file});
    const Finished f = Ssh(ws_, sim->port(), "", {});
    EXPECT_NE(f.out.find(banner), std::string::npos) << kind;
  }
}

TEST_F(SwitchSimBehaviours, DisconnectMessageArrivesWhileTheChannelIsOpen) {
  const char kBye[] = "Bye\x1b[31m\x07 Switch#|\xff end\0hidden";
  auto sim = Start({"--start-privileged", "--disconnect-message", ws_.Write("bye", std::string(kBye, sizeof kBye - 1))});
  const Finished f = Ssh(ws_, sim->port(), "exit\r", {"LogLevel=INFO"});
  const size_t at = f.err.find("Received disconnect from 127.0.0.1");
  ASSERT_NE(at, std::string::npos) << f.err;
  // OpenSSH shows control bytes escaped; the words around them arrive.
  const std::string reason = f.err.substr(at, f.err.find('\n', at) - at);
  EXPECT_NE(reason.find("Bye"), std::string::npos) << reason;
  EXPECT_NE(reason.find(" Switch#|"), std::string::npos) << reason;
  EXPECT_EQ(reason.find("hidden"), std::string::npos) << "the message ends at its NUL";
}

TEST_F(SwitchSimBehaviours, DripAndSlowFloodKeepTheirPaceUntilTheClientLeaves) {
  auto drip = Start({"--fault", "drip"});
  const Finished dripped = Ssh(ws_, drip->port(), "exit\r", {}, 3500);
  EXPECT_EQ(dripped.status, -1) << "still running at the limit";
  EXPECT_GE(dripped.out.size(), 2u);
  EXPECT_LE(dripped.out.size(), 5u) << dripped.out;
  EXPECT_EQ(dripped.out.find_first_not_of('.'), std::string::npos) << dripped.out;
  drip.reset();

  auto flood = Start({"--start-privileged", "--fault", "slow-flood"});
  const auto started = Clock::now();
  const Finished flooded = Ssh(ws_, flood->port(), "terminal length 0\rshow running-config\rexit\r", {}, 3000);
  const double seconds = std::chrono::duration<double>(Clock::now() - started).count();
  EXPECT_EQ(flooded.status, -1);
  const std::string listing = CrLf(ReadWholeFile(kConfigs + "/cisco-running.cfg"));
  const size_t repeats = (flooded.out.size() / listing.size());
  EXPECT_GE(repeats, 2u) << "the listing starts again";
  // Within the rate, allowing for the piece in flight and the login.
  EXPECT_LE(flooded.out.size(), static_cast<size_t>(seconds * 64 * 1024) + 8192);
  EXPECT_GE(flooded.out.size(), static_cast<size_t>((seconds - 2) * 64 * 1024));
  EXPECT_EQ(flooded.out.find("Switch#exit"), std::string::npos);
}

TEST_F(SwitchSimBehaviours, CutMidLineEndsTheListingInsideALineAndClosesCleanly) {
  const std::string running = ws_.Write("running.cfg", "!\nhostname one\ninterface Vlan1\n description uplink\nend\n");
  auto sim = Start({"--start-privileged", "--running", running, "--fault", "cut-mid-line"});
  const Finished f = Ssh(ws_, sim->port(), "terminal length 0\rshow running-config\rexit\r", {});
  EXPECT_EQ(f.status, 0) << "exit status 0 and an orderly close";
  const std::string tail = "Current configuration : " + std::to_string(ReadWholeFile(running).size()) +
                           " bytes\r\n!\r\nhostname one\r\ninterfa";
  ASSERT_GE(f.out.size(), tail.size());
  EXPECT_EQ(f.out.substr(f.out.size() - tail.size()), tail) << f.out;
}

TEST_F(SwitchSimBehaviours, CiscoSaveAndNtpDriftChangeOnlyTheirCommentLines) {
  const std::string running = kConfigs + "/cisco-running.cfg";
  auto sim = Start({"--start-privileged", "--running", running, "--ntp-drift"});
  const Finished f = Ssh(ws_, sim->port(),
                         "terminal length 0\rshow running-config\rwrite memory\rshow running-config\r"
                         "show startup-config\rexit\r", {});
  EXPECT_EQ(f.status, 0) << f.err;
  const size_t save = f.out.find("Switch#write memory");
  const size_t show_startup = f.out.find("Switch#show startup");
  ASSERT_LT(save, show_startup) << f.out;
  const std::string first = f.out.substr(0, save);
  const std::string second = f.out.substr(save, show_startup - save);
  const std::string startup = f.out.substr(show_startup);

  const std::string nvram = "! NVRAM config last updated at ";
  EXPECT_EQ(LinesStarting(first, nvram), LinesStarting(CrLf(ReadWholeFile(running)), nvram));
  const std::string saved_line = LinesStarting(second, nvram);
  EXPECT_NE(saved_line, LinesStarting(first, nvram));
  EXPECT_NE(saved_line.find(" UTC "), std::string::npos) << saved_line;
  EXPECT_NE(saved_line.find(" by admin\r\n"), std::string::npos) << saved_line;
  EXPECT_EQ(LinesStarting(startup, nvram), saved_line) << "the save copied the listed running configuration";

  const std::string period = "ntp clock-period ";
  ASSERT_FALSE(LinesStarting(first, period).empty()) << "added where the file has none";
  EXPECT_NE(LinesStarting(first, period), LinesStarting(second, period));
  // Apart from these lines the listing is the file.
  auto without = [&](std::string text) {
    for (const std::string& prefix : {nvram, period}) {
      const std::string line = LinesStarting(text, prefix);
      if (!line.empty()) text.erase(text.find(line), line.size());
    }
    return text;
  };
  EXPECT_NE(without(first).find(without(CrLf(ReadWholeFile(running)))), std::string::npos);
}

TEST_F(SwitchSimBehaviours, Hp2530NativeListingHasHeadersAndNoEndLine) {
  auto sim = Start({"--device", "hp2530", "--listing-form", "native"});
  const Finished f = Ssh(ws_, sim->port(), "\rscreen-length 1000\rdisplay current-configuration\r"
                                            "display saved-configuration\rquit\r", {});
  EXPECT_EQ(f.status, 0) << f.err;
  const std::string native = CrLf(ReadWholeFile(kConfigs + "/hp2530-native-running.cfg"));
  EXPECT_NE(f.out.find("\x1b[24;1HRunning configuration:\r\n\r\n; J9776A Configuration Editor;"), std::string::npos)
      << f.out;
  EXPECT_NE(f.out.find("Running configuration:\r\n\r\n" + native + "\x1b[1;24r"), std::string::npos);
  EXPECT_NE(f.out.find("Startup configuration:\r\n\r\n" + native + "\x1b[1;24r"), std::string::npos)
      << "the startup file defaults to the running one";
  EXPECT_EQ(f.out.find("return"), std::string::npos);
}

}  // namespace
}  // namespace switchsim_test

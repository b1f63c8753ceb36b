// The switch emulator seen through OpenSSH's client, with the commands
// typed ahead the way a configuration checker sends them. Expected texts
// are built from the configuration files, not taken from the emulator.
#include <gtest/gtest.h>

#include <chrono>

#include "common/switchsim_process.h"
#include "common/ssh_workspace.h"

namespace switchsim_test {
namespace {

using comvorlix::testing::ReadWholeFile;
using comvorlix::testing::RunProcess;
using comvorlix::testing::SwitchSimProcess;
using Finished = comvorlix::testing::ProcessResult;

const std::string kConfigs = SWITCHSIM_CONFIGS;

// The lines of a configuration file, each ended with CR LF as on the wire.
std::string OnTheWire(const std::string& file) {
  std::string text = ReadWholeFile(file);
  std::string wire;
  for (char c : text) {
    if (c == '\n') wire += '\r';
    wire += c;
  }
  return wire;
}

size_t Count(const std::string& haystack, const std::string& needle) {
  size_t n = 0;
  for (size_t at = haystack.find(needle); at != std::string::npos; at = haystack.find(needle, at + 1)) ++n;
  return n;
}

class SwitchSimSmoke : public ::testing::Test {
 protected:
  void SetUp() override {
    if (RunProcess({"ssh", "-V"}, {.limit_ms = 5000}).status != 0) GTEST_SKIP() << "OpenSSH client not installed";
  }

  std::unique_ptr<SwitchSimProcess> Start(std::vector<std::string> options) {
    std::vector<std::string> all = {"--host-key", ws_.Path("host_key"), "--authorized-keys",
                                    ws_.Path("authorized_keys"), "--idle-timeout", "20"};
    all.insert(all.end(), options.begin(), options.end());
    return std::make_unique<SwitchSimProcess>(all);
  }

  Workspace ws_;
};

TEST_F(SwitchSimSmoke, CiscoTypedAheadDialogGivesTheExactListing) {
  const std::string running = kConfigs + "/cisco-running.cfg";
  auto sim = Start({"--enable-password-file", ws_.Write("epw", "en4ble\n"), "--running", running});
  const Finished f = TypeAhead(ws_, sim->port(), "en\ren4ble\rterminal length 0 \rshow running-config\rexit\r");
  EXPECT_EQ(f.status, 0) << f.err;
  const std::string expected = "\r\nSwitch>en\r\nPassword: \r\nSwitch#terminal length 0 \r\n"
                               "Switch#show running-config\r\nBuilding configuration...\r\n\r\n"
                               "Current configuration : " + std::to_string(ReadWholeFile(running).size()) +
                               " bytes\r\n" + OnTheWire(running) + "\r\nSwitch#exit\r\n";
  EXPECT_EQ(f.out, expected);
}

TEST_F(SwitchSimSmoke, CiscoStartupListingAndPrivilegeNeeded) {
  const std::string startup = kConfigs + "/cisco-startup.cfg";
  auto sim = Start({"--enable-password-file", ws_.Write("epw", "en4ble\n"), "--running",
                    kConfigs + "/cisco-running.cfg", "--startup", startup});
  const Finished f = TypeAhead(ws_, sim->port(),
                               "show startup-config\ren\rwrong1\rwrong2\rwrong3\ren\ren4ble\r"
                               "terminal length 0 \rshow startup-config\rexit\r");
  EXPECT_EQ(f.status, 0) << f.err;
  EXPECT_NE(f.out.find("Switch>show startup-config\r\n            ^\r\n% Invalid input detected at '^' marker.\r\n\r\n"
                       "Switch>en\r\nPassword: \r\nPassword: \r\nPassword: \r\n% Access denied\r\n\r\nSwitch>en\r\n"),
            std::string::npos)
      << f.out;
  EXPECT_NE(f.out.find("Switch#show startup-config\r\nUsing " + std::to_string(ReadWholeFile(startup).size()) +
                       " out of 524288 bytes\r\n" + OnTheWire(startup) + "\r\nSwitch#exit\r\n"),
            std::string::npos);
}

TEST_F(SwitchSimSmoke, CiscoPagerTakesSpaceEnterAndStopsAtOtherKeys) {
  auto sim = Start({"--start-privileged"});
  // Space: next page; CR: one line; anything else: stop.
  const Finished f = TypeAhead(ws_, sim->port(), "show running-config\r \rxexit\r");
  EXPECT_EQ(Count(f.out, " --More-- "), 3u) << f.out;
  const std::string erase = std::string(10, '\b') + std::string(10, ' ') + std::string(10, '\b');
  EXPECT_NE(f.out.find(" --More-- " + erase + "Switch#exit\r\n"), std::string::npos);
}

TEST_F(SwitchSimSmoke, ArubaLogoutWithUnsavedChangesSavesWhenTheSecondYArrives) {
  const std::string log = ws_.Path("saves.log");
  auto sim = Start({"--device", "aruba", "--running", kConfigs + "/aruba-running.cfg", "--startup",
                    kConfigs + "/aruba-startup.cfg", "--save-log", log});
  const Finished f = TypeAhead(ws_, sim->port(),
                               "\rterminal length 1000 \rshow running\rexit\rexit\ry\rexit\rexit\ry\r");
  EXPECT_EQ(f.status, 0) << f.err;
  EXPECT_NE(f.out.find("Press any key to continue"), std::string::npos);
  EXPECT_NE(f.out.find("Running configuration:\r\n\r\n" + OnTheWire(kConfigs + "/aruba-running.cfg") + "\x1b[1;24r"),
            std::string::npos);
  EXPECT_NE(f.out.find("Do you want to log out [y/n]? y\x1b" "EDo you want to save current configuration [y/n/^C]? y\x1b" "E"),
            std::string::npos);
  const std::string saves = ReadWholeFile(log);
  EXPECT_EQ(Count(saves, "\n"), 1u) << saves;
  EXPECT_NE(saves.find(" device=aruba session=1 saved the running configuration to startup (save 1)"),
            std::string::npos);

  // After the save startup equals running: the next logout asks nothing more.
  const Finished again = TypeAhead(ws_, sim->port(), "\rno page\rshow config\rexit\rexit\ry\r");
  EXPECT_NE(again.out.find("Startup configuration: 7\r\n\r\n" + OnTheWire(kConfigs + "/aruba-running.cfg")),
            std::string::npos);
  EXPECT_EQ(again.out.find("save current configuration"), std::string::npos);
  EXPECT_EQ(Count(ReadWholeFile(log), "\n"), 1u);
}

TEST_F(SwitchSimSmoke, ArubaEchoesWithCursorPositioning) {
  auto sim = Start({"--device", "aruba"});
  const Finished f = TypeAhead(ws_, sim->port(), "\rno\rlogout\rn\rexit\rexit\rn");
  // The prompt "HP-2530-24G-PoEP# " ends at column 18; "n" goes to column 19.
  EXPECT_NE(f.out.find("HP-2530-24G-PoEP# \x1b[24;1H\x1b[24;19H\x1b[24;1H\x1b[?25h\x1b[24;19H"
                       "\x1b[24;19Hn\x1b[24;19H\x1b[?25h\x1b[24;20H\x1b[24;20Ho\x1b[24;20H\x1b[?25h\x1b[24;21H"),
            std::string::npos)
      << f.out;
  EXPECT_NE(f.out.find("Incomplete input: no\x1b" "E"), std::string::npos);
  EXPECT_EQ(Count(f.out, "Do you want to log out [y/n]? n"), 2u);
  EXPECT_NE(f.out.find("HP-2530-24G-PoEP> "), std::string::npos);
}

TEST_F(SwitchSimSmoke, Hp1920CommandsHiddenUntilCmdlineModeAndCrLfLines) {
  const std::string running = kConfigs + "/hp1920-running.cfg";
  auto sim = Start({"--device", "hp1920", "--cmdline-password-file", ws_.Write("cpw", "en4ble\n")});
  const Finished f = TypeAhead(ws_, sim->port(),
                               "display current-configuration \r_cmdline-mode on\r\nY\r\nwrong\r\n"
                               "_cmdline-mode on\r\nY\r\nen4ble\r\n\r\nscreen-length disable \r"
                               "display current-configuration \rquit\rquit\r");
  EXPECT_EQ(f.status, 0) << f.err;
  const std::string prompt = "<HP 1920G Switch>";
  EXPECT_NE(f.out.find(prompt + "display current-configuration \r\n" + std::string(prompt.size(), ' ') +
                       "^\r\n% Unrecognized command found at '^' position.\r\n"),
            std::string::npos)
      << f.out;
  EXPECT_NE(f.out.find("All commands can be displayed and executed. Continue? [Y/N]Y\r\n"
                       "Please input password:*****\r\nError: Invalid password.\r\n"),
            std::string::npos);
  EXPECT_NE(f.out.find("Please input password:******\r\nWarning: Now you enter an all-command mode for developer's "
                       "testing, some commands may affect operation by wrong use, please carefully use it with our "
                       "engineer's direction.\r\n" + prompt + "\r\n" + prompt + "screen-length disable \r\n"),
            std::string::npos);
  EXPECT_NE(f.out.find(prompt + "display current-configuration \r\n" + OnTheWire(running) + prompt + "quit\r\n"),
            std::string::npos);
}

TEST_F(SwitchSimSmoke, Hp2530ListsWithDisplayInItsOwnFormByDefaultAndQuitCloses) {
  const std::string running = kConfigs + "/hp2530-native-running.cfg";
  auto sim = Start({"--device", "hp2530"});
  const Finished f = TypeAhead(ws_, sim->port(), "\rscreen-length 1000 \rdisplay current-configuration \rquit\r");
  EXPECT_EQ(f.status, 0) << f.err;
  EXPECT_NE(f.out.find("\x1b[?25h\x1b[24;1HRunning configuration:\r\n\r\n" + OnTheWire(running) + "\x1b[1;24r"),
            std::string::npos)
      << f.out;
  EXPECT_NE(f.out.find("HP-2530-24G# "), std::string::npos);
}

TEST_F(SwitchSimSmoke, RunningFileIsReadAgainForEveryListing) {
  const std::string running = ws_.Write("running.cfg", "hostname one\nend\n");
  auto sim = Start({"--start-privileged", "--running", running});
  const std::string input = "terminal length 0\rshow running-config\rexit\r";
  EXPECT_NE(TypeAhead(ws_, sim->port(), input).out.find("Current configuration : 17 bytes\r\nhostname one\r\nend\r\n"),
            std::string::npos);
  ws_.Write("running.cfg", "hostname two!\nend\n");
  EXPECT_NE(TypeAhead(ws_, sim->port(), input).out.find("Current configuration : 18 bytes\r\nhostname two!\r\nend\r\n"),
            std::string::npos);
}

TEST_F(SwitchSimSmoke, SeededChunkingGivesTheSameBytes) {
  auto sim = Start({"--start-privileged", "--chunk", "1:40", "--delay", "0:1", "--seed", "5"});
  const std::string input = "terminal length 0\rshow running-config\rexit\r";
  const Finished first = TypeAhead(ws_, sim->port(), input);
  const Finished second = TypeAhead(ws_, sim->port(), input);
  EXPECT_EQ(first.status, 0);
  EXPECT_NE(first.out.find(OnTheWire(kConfigs + "/cisco-running.cfg")), std::string::npos);
  EXPECT_EQ(first.out, second.out);
}

TEST_F(SwitchSimSmoke, ListeningLineAndStopBySignal) {
  auto sim = Start({});
  EXPECT_EQ(sim->listening_line(), "switchsim listening on 127.0.0.1:" + std::to_string(sim->port()));
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(sim->Stop(), 0);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(3));
}

TEST(SwitchSimOptions, BadOptionsExitWithTwoAndUsage) {
  const Finished unknown = RunProcess({SWITCHSIM_PATH, "--bogus"}, {.limit_ms = 5000});
  EXPECT_EQ(unknown.status, 2);
  EXPECT_EQ(unknown.err.rfind("switchsim: unknown option --bogus\n\nUsage: switchsim [OPTION]...\n", 0), 0u)
      << unknown.err;
  const Finished no_login = RunProcess({SWITCHSIM_PATH, "--port", "0"}, {.limit_ms = 5000});
  EXPECT_EQ(no_login.status, 2);
  EXPECT_EQ(no_login.err.rfind(
                "switchsim: no way to log in: give --password-file, --password-env or --authorized-keys\n", 0),
            0u);
  const Finished help = RunProcess({SWITCHSIM_PATH, "--help"}, {.limit_ms = 5000});
  EXPECT_EQ(help.status, 0);
  for (const char* option : {"--listen", "--port", "--device", "--running", "--startup", "--hostname", "--user",
                             "--password-file", "--authorized-keys", "--enable-password-file",
                             "--cmdline-password-file", "--host-key", "--banner", "--chunk", "--delay", "--seed",
                             "--think", "--legacy-algorithms", "--keyboard-interactive-only", "--fault",
                             "--save-log"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
}

}  // namespace
}  // namespace switchsim_test

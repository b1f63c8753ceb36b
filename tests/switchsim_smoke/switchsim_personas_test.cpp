// The table-driven kinds of switch over real SSH (OpenSSH's client), typed
// ahead the way a checker types: log in, (enable,) paging off, list twice,
// the startup listing where there is one, log out; and a second session
// without paging off, which must meet the pager. The listed configuration
// is compared with the file byte for byte; the header lines, which hold
// dates, with a pattern.
#include <gtest/gtest.h>

#include <cstring>
#include <regex>

#include "common/switchsim_process.h"
#include "common/ssh_workspace.h"

namespace switchsim_test {
namespace {

using comvorlix::testing::ReadWholeFile;
using comvorlix::testing::RunProcess;
using comvorlix::testing::SwitchSimProcess;
using Finished = comvorlix::testing::ProcessResult;

const std::string kConfigs = SWITCHSIM_CONFIGS;

std::string CrLf(const std::string& text) {
  std::string wire;
  for (char c : text) {
    if (c == '\n') wire += '\r';
    wire += c;
  }
  return wire;
}

struct Persona {
  const char* device;
  const char* prompt;  // the prompt once paging is off (after enable)
  const char* opening;  // typed first, with its answers
  const char* paging_off;
  const char* running;   // the listing command
  const char* head;      // pattern of the lines before the configuration
  const char* startup;   // the startup listing command, or ""
  const char* startup_head;
  const char* tail;      // what follows the configuration, before the prompt
  const char* logout;
  const char* more;      // the pager's prompt
  bool dated;            // the header changes at every listing
  const char* user = "admin";
};

const Persona kPersonas[] = {
    {"nxos", "switch# ", "", "terminal length 0", "show running-config",
     "\r\n!Command: show running-config\r\n!Running configuration last done at: \\w{3} \\w{3} [ \\d]\\d [\\d:]{8} "
     "\\d{4}\r\n!Time: .*\r\n\r\n",
     "show startup-config", "\r\n!Command: show startup-config\r\n!Time: .*\r\n!Startup config saved at: .*\r\n\r\n",
     "\r\n", "exit", "--More--", true},
    {"eos", "leaf1#", "enable\ren4ble\r", "terminal length 0", "show running-config",
     "! Command: show running-config\r\n! device: leaf1 \\(DCS-7050TX-64, EOS-4\\.28\\.3M\\)\r\n",
     "show startup-config",
     "! Command: show startup-config\r\n! Startup-config last modified at  .* by admin\r\n! device: leaf1 .*\r\n", "",
     "exit", " --More-- ", false},
    {"junos", "\r\nadmin@ex4300> ", "", "set cli screen-length 0", "show configuration", "", "", "", "", "exit",
     "---(more)---", false},
    {"aoscx", "6300-core# ", "", "no page", "show running-config",
     "Current configuration:\r\n!\r\n!Version ArubaOS-CX FL\\.10\\.13\\.1040\r\n!export-password: default\r\n",
     "show startup-config",
     "Current configuration:\r\n!\r\n!Version ArubaOS-CX FL\\.10\\.13\\.1040\r\n!export-password: default\r\n", "",
     "exit", "-- MORE --, next page: Space, next line: Enter, quit: Control-C", false},
    {"comware7", "<H3C>", "", "screen-length disable", "display current-configuration", "",
     "display saved-configuration", "", "", "quit", "---- More ----", false},
    {"routeros", "[admin@MikroTik] > ", "", "", "/export terse show-sensitive",
     "# \\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d by RouterOS 7\\.16\\.1\r\n# software id = \\S+\r\n#\r\n"
     "# model = \\S+\r\n# serial number = \\S+\r\n",
     "", "", "", "/quit", "-- [Q quit|D dump|down]", true, "admin+ct"},
};

void PrintTo(const Persona& p, std::ostream* os) { *os << p.device; }

class SwitchSimPersonas : public ::testing::TestWithParam<Persona> {
 protected:
  void SetUp() override {
    if (RunProcess({"ssh", "-V"}, {.limit_ms = 5000}).status != 0) GTEST_SKIP() << "OpenSSH client not installed";
  }

  std::unique_ptr<SwitchSimProcess> Start() {
    std::vector<std::string> options = {"--host-key",     ws_.Path("host_key"), "--authorized-keys",
                                        ws_.Path("authorized_keys"), "--idle-timeout", "20",
                                        "--device",       GetParam().device,    "--enable-password-file",
                                        ws_.Write("epw", "en4ble\n")};
    if (*GetParam().startup != '\0') {
      options.insert(options.end(), {"--startup", kConfigs + "/" + GetParam().device + "-startup.cfg"});
    }
    return std::make_unique<SwitchSimProcess>(options);
  }

  // The text between the echo of `command` and the configuration `file`,
  // found from `from` on; `from` moves past the configuration and the
  // expected `after`. Fails when either is missing.
  std::string HeadBefore(const std::string& out, size_t& from, const std::string& command, const std::string& file,
                         const std::string& after) {
    const std::string echo = command + "\r\n";
    const std::string body = CrLf(ReadWholeFile(file)) + after;
    const size_t start = out.find(echo, from);
    const size_t at = start == std::string::npos ? start : out.find(body, start);
    if (at == std::string::npos) {
      ADD_FAILURE() << GetParam().device << ": no listing of " << file << " after " << command << " in\n" << out;
      from = out.size();
      return {};
    }
    from = at + body.size();
    return out.substr(start + echo.size(), at - start - echo.size());
  }

  Workspace ws_;
};

TEST_P(SwitchSimPersonas, ListsItsConfigurationsOnceThePagerIsOffAndPagesOtherwise) {
  const Persona& p = GetParam();
  const std::string running = kConfigs + "/" + p.device + "-running.cfg";
  const std::string startup = kConfigs + "/" + p.device + "-startup.cfg";
  auto sim = Start();

  std::string input = std::string(p.opening) + p.paging_off + "\r" + p.running + "\r" + p.running + "\r";
  if (*p.startup != '\0') input += std::string(p.startup) + "\r";
  const Finished f = TypeAhead(ws_, sim->port(), input + p.logout + "\r", 15000, p.user);
  EXPECT_EQ(f.status, 0) << f.err;
  EXPECT_NE(f.out.find(p.prompt + std::string(p.paging_off) + "\r\n"), std::string::npos) << f.out;

  size_t from = 0;
  const std::string after = p.tail + std::string(p.prompt);
  const std::string first = HeadBefore(f.out, from, p.running, running, after);
  const std::string second = HeadBefore(f.out, from, p.running, running, after);
  EXPECT_TRUE(std::regex_match(first, std::regex(p.head))) << p.device << ": " << first;
  EXPECT_TRUE(std::regex_match(second, std::regex(p.head))) << p.device << ": " << second;
  EXPECT_EQ(first != second, p.dated) << first << second;
  if (*p.startup != '\0') {
    const std::string head = HeadBefore(f.out, from, p.startup, startup, after);
    EXPECT_TRUE(std::regex_match(head, std::regex(p.startup_head))) << p.device << ": " << head;
  }
  EXPECT_NE(f.out.find(std::string(p.prompt) + p.logout + "\r\n", from - std::strlen(p.prompt)), std::string::npos);
  EXPECT_EQ(f.out.find(p.more), std::string::npos);

  // Without paging off (for RouterOS: without "+ct", so with terminal
  // detection) the listing stops at the pager; "q" quits it.
  const Finished paged = TypeAhead(ws_, sim->port(), std::string(p.opening) + p.running + "\rq" + p.logout + "\r");
  EXPECT_EQ(paged.status, 0) << paged.err;
  EXPECT_NE(paged.out.find(p.more), std::string::npos) << paged.out;
  EXPECT_EQ(paged.out.find(CrLf(ReadWholeFile(running))), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(Kinds, SwitchSimPersonas, ::testing::ValuesIn(kPersonas),
                         [](const ::testing::TestParamInfo<Persona>& kind) { return std::string(kind.param.device); });

// RouterOS 7 leaves secrets out of an export unless asked to show them:
// a checker that forgets "show-sensitive" would miss a changed secret.
TEST(SwitchSimRouterOs, ExportHidesSensitiveValuesUnlessAskedAndColoursUnlessTurnedOff) {
  if (RunProcess({"ssh", "-V"}, {.limit_ms = 5000}).status != 0) GTEST_SKIP() << "OpenSSH client not installed";
  Workspace ws;
  SwitchSimProcess sim({"--host-key", ws.Path("host_key"), "--authorized-keys", ws.Path("authorized_keys"),
                        "--device", "routeros"});
  const Finished f = TypeAhead(ws, sim.port(), "/export terse\r/export\r/quit\r", 15000, "admin+t");
  EXPECT_EQ(f.status, 0) << f.err;
  EXPECT_NE(f.out.find("\x1b[36madmin\x1b[m@"), std::string::npos) << f.out;
  EXPECT_NE(f.out.find("\r\n/ip ipsec identity add peer=branch\r\n"), std::string::npos) << f.out;
  EXPECT_NE(f.out.find("\r\n/ip ipsec identity\r\nadd peer=branch\r\n"), std::string::npos);
  EXPECT_NE(f.out.find(" name=guest\r\n"), std::string::npos);  // passphrase="..." with its blank gone too
  EXPECT_EQ(f.out.find("Br4nchIPsecPSK"), std::string::npos);
  EXPECT_EQ(f.out.find("Guest Wifi"), std::string::npos);

  EXPECT_EQ(TypeAhead(ws, sim.port(), "/quit\r", 15000, "admin+").status, 255);  // refused
  EXPECT_EQ(TypeAhead(ws, sim.port(), "/quit\r", 15000, "admin+c80w").status, 0);
}

TEST(SwitchSimPersonaOptions, KindsWithoutStartupRefuseAStartupFile) {
  const Finished f = RunProcess({SWITCHSIM_PATH, "--device", "junos", "--password-env", "HOME", "--startup",
                                 kConfigs + "/junos-running.cfg"},
                                {.limit_ms = 5000});
  EXPECT_EQ(f.status, 2);
  EXPECT_EQ(f.err.rfind("switchsim: junos keeps no startup configuration: --startup does not apply\n", 0), 0u)
      << f.err;
}

}  // namespace
}  // namespace switchsim_test

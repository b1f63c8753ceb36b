// A configuration holding every secret a vendor documents (the tables of
// tests/redact/data), checked over real SSH: a change to every secret is
// reported statement by statement, and no secret value reaches the plugin
// output, the debug lines or the debug file, nor an error about a listing
// cut off right after a secret.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "common/isolated_home.h"
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
using testing::WriteWholeFile;

// Every secret value in the tables holds "Zq"; a changed one holds "Yx".
constexpr const char* kSecretMark = "Zq";
constexpr const char* kChangedMark = "Yx";

std::string ReplacedAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

// A table of tests/redact/data without its "## " comment lines.
std::string SecretTable(const std::string& name) {
  std::istringstream in(ReadWholeFile(std::string(SWITCHSIM_CONFIGS) + "/../../../tests/redact/data/" + name + "-secrets.txt"));
  std::string text;
  for (std::string line; std::getline(in, line);) {
    if (line.rfind("## ", 0) != 0) text += line + "\n";
  }
  return text;
}

// The lines of `text` that hold `what`.
size_t LinesWith(const std::string& text, const std::string& what) {
  size_t n = 0;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) n += line.find(what) != std::string::npos;
  return n;
}

struct Kind {
  const char* sim;     // switchsim --device
  const char* code;    // --device of configure
  const char* sample;  // the shipped configuration the table goes into
  const char* form;    // hp2530: --listing-form
  const char* table;
  const char* last;    // the table goes before this last line; "": at the end
};

class SecretReport : public ::testing::TestWithParam<Kind> {
 protected:
  void StartSwitch(const std::string& running, std::vector<std::string> extra = {}) {
    const Kind& k = GetParam();
    running_ = dir_.Write("running.cfg", running);
    std::vector<std::string> options = {"--device", k.sim, "--user", "admin", "--password-file", pw_,
                                        "--enable-password-file", pw_, "--cmdline-password-file", pw_,
                                        "--running", running_};
    if (k.form) options.insert(options.end(), {"--listing-form", k.form});
    options.insert(options.end(), extra.begin(), extra.end());
    sim_ = std::make_unique<SwitchSimProcess>(options);
    const ProcessResult configured =
        Cli({"configure", "--params", params_, "--no-gui", "--user", "admin", "--password-file", pw_,
             "--enable-password-file", pw_, "--port", std::to_string(sim_->port()), "--device", k.code,
             "--debug-file", debug_file_});
    ASSERT_EQ(configured.status, 0) << configured.err;
  }

  // The sample configuration with the kind's secret table in it.
  std::string WithTable() const {
    const Kind& k = GetParam();
    std::string sample = ReadWholeFile(std::string(SWITCHSIM_CONFIGS) + "/" + k.sample + ".cfg");
    const std::string table = SecretTable(k.table);
    const size_t at = *k.last ? sample.rfind(std::string("\n") + k.last) + 1 : sample.size();
    return sample.insert(at, table);
  }

  ProcessResult Check(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"check", "-H", "127.0.0.1", "-f", params_, "-t", "20",
                                     "--known-hosts", testing::KnownHostsFile()};
    args.insert(args.end(), extra.begin(), extra.end());
    return Cli(args);
  }

  // No secret value, old or new, in anything the check wrote.
  void ExpectNoSecretIn(const ProcessResult& r) {
    for (const char* mark : {kSecretMark, kChangedMark}) {
      EXPECT_EQ(r.out.find(mark), std::string::npos) << r.out;
      EXPECT_EQ(r.err.find(mark), std::string::npos) << r.err.substr(0, 4000);
      EXPECT_EQ(ReadWholeFile(debug_file_).find(mark), std::string::npos) << "debug file";
    }
  }

  TempDir dir_;
  std::string pw_ = dir_.Write("pw", "s3cret\n");
  std::string params_ = dir_.Path("sw.params");
  std::string debug_file_ = dir_.Path("ssh-debug.log");
  std::string running_;
  std::unique_ptr<SwitchSimProcess> sim_;
};

TEST_P(SecretReport, EverySecretChangedAtOnceIsNamedAndNoneIsShown) {
  const std::string running = WithTable();
  const size_t secrets = LinesWith(SecretTable(GetParam().table), kSecretMark);
  ASSERT_GT(secrets, 20u);
  StartSwitch(running);
  const ProcessResult first = Check({"--verbose"});
  ASSERT_EQ(first.status, 0) << first.out << first.err;
  ExpectNoSecretIn(first);

  WriteWholeFile(running_, ReplacedAll(running, kSecretMark, kChangedMark));
  const ProcessResult changed = Check({"--verbose", "--diff-lines", "1000"});
  EXPECT_EQ(changed.status, 2) << changed.out;
  EXPECT_EQ(changed.out.rfind("CONFIG CRITICAL - Configuration changed (", 0), 0u) << changed.out;
  EXPECT_NE(changed.out.find(" changed_lines=" + std::to_string(2 * secrets) + ";"), std::string::npos)
      << changed.out;
  ExpectNoSecretIn(changed);
  // Each secret statement removed and added again, shown the same masked.
  std::vector<std::string> removed, added;
  std::istringstream lines(changed.out);
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("- ", 0) == 0) removed.push_back(line.substr(2));
    if (line.rfind("+ ", 0) == 0) added.push_back(line.substr(2));
  }
  EXPECT_EQ(removed.size(), secrets) << changed.out;
  EXPECT_EQ(added, removed) << changed.out;
  for (const std::string& line : removed) EXPECT_NE(line.find("<secret>"), std::string::npos) << line;
}

INSTANTIATE_TEST_SUITE_P(Kinds, SecretReport,
                         ::testing::Values(Kind{"cisco", "CSCSW", "cisco-running", nullptr, "cisco", "end"},
                                           Kind{"aruba", "ARUSW", "aruba-running", nullptr, "procurve", ""},
                                           Kind{"hp1920", "HP1920SW", "hp1920-running", nullptr, "comware",
                                                "return"},
                                           Kind{"hp2530", "HP2510SW", "hp2530-running", "comware", "comware",
                                                "return"},
                                           Kind{"hp2530", "HP2510SW", "hp2530-native-running", "native",
                                                "procurve", ""}),
                         [](const auto& p) {
                           return std::string(p.param.sim) + (p.param.form ? p.param.form : "");
                         });

// A listing the switch breaks off right after a secret line: the error's
// "last line from the switch" names the statement, not its secret, also when
// only its section makes it one.
class CutAfterASecret : public SecretReport {};

TEST_P(CutAfterASecret, TheLastLineQuotedIsMasked) {
  // The emulator sends the first half of the lines and drops the connection.
  for (const auto& [config, shown] : std::vector<std::pair<std::string, std::string>>{
           {"!\nhostname sw\nenable secret 5 $1$Zq01$mERr8pCX5r9kD1z0HUk8a/\n!\nline vty 0 4\nend\n",
            "\"enable secret <secret>\""},
           {"!\nradius server RAD1\n address ipv4 10.0.0.1\n key 7 Zq0822455D0A16\n!\nline vty 0 4\n"
            " transport input ssh\nend\n",
            "\"key <secret>\""}}) {
    StartSwitch(config, {"--fault", "drop-mid-listing"});
    const ProcessResult r = Check({"--verbose"});
    EXPECT_NE(r.status, 0);
    const std::string first_line = r.out.substr(0, r.out.find('\n'));
    EXPECT_NE(first_line.find("last line from the switch: " + shown), std::string::npos) << first_line;
    ExpectNoSecretIn(r);
  }
}

INSTANTIATE_TEST_SUITE_P(Cisco, CutAfterASecret,
                         ::testing::Values(Kind{"cisco", "CSCSW", "cisco-running", nullptr, "cisco", "end"}),
                         [](const auto& p) { return std::string(p.param.sim); });

}  // namespace
}  // namespace comvorlix

// How the command-line host takes its options: as monitoring plugins do for
// the check (also under the name check_comvorlix), with every usage error
// of the check one CONFIG UNKNOWN line on standard output.
#include <gtest/gtest.h>
#include <unistd.h>

#include "common/run_cli.h"
#include "common/run_process.h"
#include "common/temp_dir.h"

namespace comvorlix {
namespace {

using testing::Cli;
using testing::ProcessResult;
using testing::RunProcess;
using testing::TempDir;

std::string UsageErrorLine(const std::string& what) {
  return "CONFIG UNKNOWN - " + what + "; see 'comvorlix check --help'\n";
}

TEST(CheckOptions, UsageErrorsAreOneUnknownLineOnStandardOutput) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{}, "option --host is required"},
      {{"-H", "sw1"}, "option --params is required"},
      {{"-H"}, "option -H needs a value"},
      {{"-f", "p", "--host"}, "option --host needs a value"},
      {{"--bogus", "-H", "sw1"}, "unknown option --bogus"},
      {{"-x"}, "unknown option -x"},
      {{"--verbose=yes"}, "option --verbose takes no value"},
      {{"-H", "sw1", "-f", "p", "-t", "3O"}, "--timeout must be a whole number from 1 to 32767, not \"3O\""},
      {{"-H", "sw1", "-f", "p", "extra"}, "unexpected argument \"extra\""},
  };
  for (const auto& [args, what] : cases) {
    std::vector<std::string> call{"check"};
    call.insert(call.end(), args.begin(), args.end());
    ProcessResult r = Cli(call);
    EXPECT_EQ(r.status, 3) << what;
    EXPECT_EQ(r.out, UsageErrorLine(what));
    EXPECT_EQ(r.err.rfind("usage: comvorlix check ", 0), 0u) << r.err;
  }
}

TEST(CheckOptions, ShortLongAttachedAndAbbreviatedFormsMeanTheSame) {
  TempDir dir;
  const std::string missing = dir.Path("sw1.params");
  const std::string expected =
      "CONFIG UNKNOWN - parameter file " + missing + " does not exist (write it with comvorlix configure)\n";
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"check", "-H", "127.0.0.1", "-f", missing, "-t", "5"},
           {"check", "-H127.0.0.1", "-f" + missing, "-t5", "-v"},
           {"check", "--host=127.0.0.1", "--params", missing, "--timeout=5", "--verbose"},
           {"check", "--par", missing, "--time", "5", "-H", "127.0.0.1"}}) {
    ProcessResult r = Cli(args);
    EXPECT_EQ(r.status, 3) << args[2];
    EXPECT_EQ(r.out, expected) << args[2];
  }
}

TEST(CheckOptions, CalledAsCheckComvorlixItIsTheCheck) {
  TempDir dir;
  const std::string plugin = dir.Path("check_comvorlix");
  ASSERT_EQ(symlink(COMVORLIX_CLI_PATH, plugin.c_str()), 0);
  ProcessResult missing = RunProcess({plugin, "-H", "127.0.0.1", "-f", dir.Path("p"), "-t", "10"});
  EXPECT_EQ(missing.status, 3);
  EXPECT_EQ(missing.out.rfind("CONFIG UNKNOWN - parameter file " + dir.Path("p") + " does not exist", 0), 0u)
      << missing.out;
  // "check" is an operand there, not the command.
  ProcessResult operand = RunProcess({plugin, "check", "-H", "h", "-f", "p"});
  EXPECT_EQ(operand.out, UsageErrorLine("unexpected argument \"check\""));
  ProcessResult help = RunProcess({plugin, "--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out, Cli({"check", "--help"}).out);
  EXPECT_EQ(RunProcess({plugin, "-V"}).out, "comvorlix 3.1.49\n");
}

TEST(CommandOptions, EveryCommandAnswersHelpAndOthersReportUsageOnStandardError) {
  for (const std::string command : {"check", "configure", "crc", "secret"}) {
    for (const std::string help : {"--help", "-h"}) {
      ProcessResult r = Cli({command, help});
      EXPECT_EQ(r.status, 0) << command;
      EXPECT_EQ(r.out.rfind("usage: comvorlix " + command + " ", 0), 0u) << r.out;
      EXPECT_EQ(r.err, "");
    }
  }
  // Help wins over the options after it, an error before it wins over help.
  EXPECT_EQ(Cli({"configure", "--help", "--bogus"}).status, 0);
  EXPECT_EQ(Cli({"configure", "--bogus", "--help"}).status, 3);

  for (const auto& [args, what] : std::vector<std::pair<std::vector<std::string>, std::string>>{
           {{"configure", "--params"}, "option --params needs a value"},
           {{"crc", "--bogus"}, "unknown option --bogus"},
           {{"secret", "-x", "encode"}, "unknown option -x"}}) {
    ProcessResult r = Cli(args);
    EXPECT_EQ(r.status, 3) << what;
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err.rfind("comvorlix: " + what + "\nusage: comvorlix " + args[0] + " ", 0), 0u) << r.err;
  }
  // "--" lets a file name start with "-".
  TempDir dir;
  dir.Write("-digits", "123456789");
  ProcessResult crc = RunProcess({"sh", "-c", "cd '" + dir.Path("") + "' && \"$0\" crc -- -digits", COMVORLIX_CLI_PATH});
  EXPECT_EQ(crc.out, "CBF43926\n") << crc.err;
}

}  // namespace
}  // namespace comvorlix

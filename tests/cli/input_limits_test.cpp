// The bounds on what the command-line host reads: a secret on standard input
// and a parameter file.
#include <gtest/gtest.h>
#include <unistd.h>

#include "common/run_cli.h"
#include "common/temp_dir.h"

namespace comvorlix {
namespace {

using testing::Cli;
using testing::ProcessResult;
using testing::ReadWholeFile;
using testing::TempDir;
using testing::WriteWholeFile;

const std::string kTooLong = "comvorlix: the secret on standard input is longer than 4 KiB (4096 bytes); it is refused";

TEST(InputLimits, ASecretOnStandardInputIsAtMostFourKibibytes) {
  const std::string longest(4096, 's');
  ProcessResult encoded = Cli({"secret", "encode"}, {.stdin_text = longest + "\r\n"});
  ASSERT_EQ(encoded.status, 0) << encoded.err;
  EXPECT_EQ(Cli({"secret", "decode"}, {.stdin_text = encoded.out}).out, longest + "\n");

  for (const std::string& input : {longest + "s", std::string(size_t{16} << 20, 's')}) {
    ProcessResult refused = Cli({"secret", "encode"}, {.stdin_text = input});
    EXPECT_EQ(refused.status, 3);
    EXPECT_EQ(refused.out, "");
    EXPECT_NE(refused.err.find(kTooLong), std::string::npos) << refused.err;
  }
  ProcessResult stored = Cli({"secret", "decode"}, {.stdin_text = std::string(32 * 1024 + 1, '0')});
  EXPECT_EQ(stored.status, 3);
  EXPECT_NE(stored.err.find("the stored secret on standard input is longer than 32 KiB"), std::string::npos)
      << stored.err;
}

TEST(InputLimits, ConfigureRefusesALongPasswordAndAParameterFileOverSixtyFourKibibytes) {
  TempDir dir;
  const std::string params = dir.Path("sw1.params");
  const std::vector<std::string> configure = {"configure", "--params", params, "--no-gui", "--user", "admin",
                                              "--device", "CSCSW", "--password-stdin"};
  ProcessResult refused = Cli(configure, {.stdin_text = std::string(4097, 'p') + "\n"});
  EXPECT_EQ(refused.status, 3);
  EXPECT_NE(refused.err.find(kTooLong), std::string::npos) << refused.err;
  EXPECT_NE(::access(params.c_str(), F_OK), 0) << "nothing is written";

  ASSERT_EQ(Cli(configure, {.stdin_text = "pw\n"}).status, 0);
  // Padded with line ends to exactly 64 KiB the file is still read; one
  // byte more and it is refused.
  std::string content = ReadWholeFile(params);
  content.resize(64 * 1024, '\n');
  WriteWholeFile(params, content);
  ProcessResult read = Cli({"configure", "--params", params, "--no-gui", "--port", "2222"});
  EXPECT_EQ(read.status, 0) << read.err;
  content = ReadWholeFile(params);
  content.resize(64 * 1024 + 1, '\n');
  WriteWholeFile(params, content);
  ProcessResult large = Cli({"configure", "--params", params, "--no-gui", "--port", "2222"});
  EXPECT_EQ(large.status, 3);
  EXPECT_NE(large.err.find("parameter file " + params + " is larger than 64 KiB"), std::string::npos) << large.err;
  EXPECT_EQ(ReadWholeFile(params), content) << "a refused file is left alone";
}

}  // namespace
}  // namespace comvorlix

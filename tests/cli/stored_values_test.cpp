// Input the command-line host must refuse rather than store: values the
// parameter string cannot hold, bytes that are not UTF-8, ports outside TCP's
// range; and checks on every TCP port and short of descriptors. Each refusal
// leaves the parameter file byte for byte as it was.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include "common/isolated_home.h"
#include "common/run_cli.h"
#include "common/run_process.h"
#include "common/switchsim_process.h"
#include "common/temp_dir.h"

namespace comvorlix {
namespace {

using testing::Cli;
using testing::ProcessOptions;
using testing::ProcessResult;
using testing::ReadWholeFile;
using testing::TempDir;

class StoredValues : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(Configure({"--user", "admin"}).status, 0);
    before_ = ReadWholeFile(params_);
  }
  ProcessResult Configure(std::vector<std::string> options) {
    std::vector<std::string> args{"configure", "--params", params_, "--no-gui"};
    args.insert(args.end(), options.begin(), options.end());
    return Cli(args);
  }
  void ExpectRefused(const std::vector<std::string>& options, const std::string& err) {
    const ProcessResult r = Configure(options);
    EXPECT_EQ(r.status, 3) << options[0];
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(ReadWholeFile(params_), before_);
  }

  TempDir dir_;
  std::string params_ = dir_.Path("sw.params");
  std::string before_;
};

TEST_F(StoredValues, ConfigureRefusesValuesTheStringCannotHold) {
  const std::string unchanged = "; " + params_ + " unchanged\n";
  ExpectRefused({"--user", "admin#UCF=T"}, "comvorlix: the user name must not contain \"#\", CR, LF or NUL" + unchanged);
  ExpectRefused({"--key-file", "/k\n#DBG=T"}, "comvorlix: the key file must not contain \"#\", CR, LF or NUL" + unchanged);
  ExpectRefused({"--debug-file", "/tmp/d\r"}, "comvorlix: the debug file must not contain \"#\", CR, LF or NUL" + unchanged);
  const ProcessResult latin1 = Configure({"--user", "ren\xE9"});
  EXPECT_EQ(latin1.status, 3);
  EXPECT_EQ(latin1.err.rfind("comvorlix: --user is not valid UTF-8\nusage: ", 0), 0u) << latin1.err;
  EXPECT_EQ(ReadWholeFile(params_), before_);
}

TEST_F(StoredValues, ConfigureTakesEveryTcpPortAndNothingElse) {
  for (const std::string bad : {"0", "65536", "-22"}) {
    const ProcessResult r = Configure({"--port", bad});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.err.rfind("comvorlix: --port must be a whole number from 1 to 65535, not \"" + bad + "\"\n", 0), 0u)
        << r.err;
    EXPECT_EQ(ReadWholeFile(params_), before_);
  }
  ASSERT_EQ(Configure({"--port", "65535"}).status, 0);
  EXPECT_NE(ReadWholeFile(params_).find("#PORT=65535#"), std::string::npos);
}

TEST_F(StoredValues, AParameterFileThatIsNotUtf8IsRefusedAndKept) {
  // "é" in Latin-1: one byte that no UTF-8 character begins with.
  const std::string latin1 = "#ENC=T#USR=ren\xE9#PWD=#PORT=22#DEV=CSCSW#\n";
  testing::WriteWholeFile(params_, latin1);
  const std::string why = "parameter file " + params_ + " is not valid UTF-8 (byte 15 is not part of a UTF-8 character)";
  const ProcessResult check = Cli({"check", "--host", "127.0.0.1", "--params", params_});
  EXPECT_EQ(check.status, 3);
  EXPECT_EQ(check.out, "CONFIG UNKNOWN - " + why + "\n");
  const ProcessResult configure = Configure({"--port", "2222"});
  EXPECT_EQ(configure.status, 3);
  EXPECT_EQ(configure.err, "comvorlix: " + why + "; " + params_ + " unchanged\n");
  EXPECT_EQ(ReadWholeFile(params_), latin1);
}

TEST(SecretEncode, BytesThatAreNotUtf8AreRefused) {
  for (const std::string bad : {"pass\xFFword", "\xC3", "\xED\xA0\x80", "\xC0\xAF"}) {
    const ProcessResult r = Cli({"secret", "encode"}, ProcessOptions{bad + "\n"});
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "comvorlix: cannot encode the value: standard input is not valid UTF-8\n");
  }
  EXPECT_EQ(Cli({"secret", "encode"}, ProcessOptions{"p\xC3\xA4\xF0\x9F\x94\x91\n"}).status, 0);
}

// A port of the upper half that nothing listens on now.
int FreeHighPort() {
  for (int port = 40000 + getpid() % 20000, tries = 0; tries < 200; ++tries, port = 40000 + (port - 39999) % 25000) {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<uint16_t>(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool free = bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
    close(s);
    if (free) return port;
  }
  return -1;
}

class CheckOnAHighPort : public ::testing::Test {
 protected:
  void SetUp() override {
    const int port = FreeHighPort();
    ASSERT_GT(port, 32767);
    sim_ = std::make_unique<testing::SwitchSimProcess>(
        std::vector<std::string>{"--device", "cisco", "--user", "admin", "--password-file", pw_,
                                 "--enable-password-file", pw_},
        port);
    const ProcessResult r = Cli({"configure", "--params", params_, "--no-gui", "--user", "admin", "--password-file",
                                 pw_, "--enable-password-file", pw_, "--port", std::to_string(port)});
    ASSERT_EQ(r.status, 0) << r.err;
  }
  ProcessResult Check() {
    return Cli({"check", "--host", "127.0.0.1", "--params", params_, "--timeout", "20", "--known-hosts",
                testing::KnownHostsFile()});
  }

  TempDir dir_;
  std::string pw_ = dir_.Write("pw", "s3cret\n");
  std::string params_ = dir_.Path("sw.params");
  std::unique_ptr<testing::SwitchSimProcess> sim_;
};

TEST_F(CheckOnAHighPort, RemembersThenConfirms) {
  const ProcessResult first = Check();
  EXPECT_EQ(first.status, 0) << first.out << first.err;
  EXPECT_EQ(first.out.rfind("CONFIG OK - Setting initial CRC (", 0), 0u) << first.out;
  const ProcessResult second = Check();
  EXPECT_EQ(second.out.rfind("CONFIG OK - configuration unchanged (", 0), 0u) << second.out;
}

TEST_F(CheckOnAHighPort, ShortOfDescriptorsTheCheckReportsInsteadOfCrashing) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  // The sanitizer runtimes probe memory through a pipe of their own; with no
  // descriptor left they take good objects for bad ones.
  GTEST_SKIP() << "not under a sanitizer: its runtime needs descriptors itself";
#endif
  const std::string before = ReadWholeFile(params_);
  // However few descriptors are left, the check ends with a monitoring line:
  // UNKNOWN when the parameter file cannot be had, CRITICAL (naming the
  // lack of descriptors) once the session cannot.
  bool short_session = false;
  for (int limit = 4; limit <= 20; ++limit) {
    const ProcessResult r = testing::RunProcess(
        {"/bin/sh", "-c",
         "ulimit -n " + std::to_string(limit) +
             " && exec \"$0\" check --host 127.0.0.1 --params \"$1\" --timeout 5 --known-hosts \"$2\"",
         COMVORLIX_CLI_PATH, params_, testing::KnownHostsFile()});
    SCOPED_TRACE("ulimit -n " + std::to_string(limit) + ": " + r.out + r.err);
    // Fewer descriptors than the loader needs (the test's own inherited
    // ones count) do not reach the program at all.
    if (r.status == 127) continue;
    ASSERT_TRUE(r.status == 2 || r.status == 3 || r.status == 0);
    EXPECT_EQ(r.out.rfind(r.status == 3 ? "CONFIG UNKNOWN - " : r.status == 2 ? "CONFIG CRITICAL - " : "CONFIG OK - ", 0),
              0u);
    if (r.status == 2) {
      EXPECT_NE(r.out.find("oo many open files"), std::string::npos);
      short_session = true;
    }
    if (r.status != 0) {
      EXPECT_EQ(ReadWholeFile(params_), before);
    }
  }
  EXPECT_TRUE(short_session) << "no limit left the check short of descriptors for its session";
}

}  // namespace
}  // namespace comvorlix

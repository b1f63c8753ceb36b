// `comvorlix check -v`: every line of the session on standard error as it
// happens, one record per line, secrets masked, whatever pieces the switch
// sends; failures leave a record that says what happened.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>
#include <vector>

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

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// A tab, as a record shows it.
std::string Escaped(const std::string& line) {
  std::string out;
  for (char c : line) out += c == '\t' ? std::string("\\x09") : std::string(1, c);
  return out;
}

class Verbose : public ::testing::Test {
 protected:
  std::string Configure(int port, const std::string& password_file) {
    const std::string params = dir_.Path("sw.params");
    const ProcessResult r = Cli({"configure", "--params", params, "--no-gui", "--user",
                                 "admin", "--password-file", password_file, "--enable-password-file", pw_,
                                 "--port", std::to_string(port), "--device", "CSCSW"});
    EXPECT_EQ(r.status, 0) << r.err;
    return params;
  }
  ProcessResult Check(const std::string& params, const char* verbose = "-v") {
    return Cli({"check", "-H", "127.0.0.1", "-f", params, "-t", "10", verbose,
                "--known-hosts", dir_.Path("known_hosts")});
  }

  TempDir dir_;
  std::string pw_ = dir_.Write("pw", "Pw-7f3kq9\n");
};

TEST_F(Verbose, EveryLineOfAChunkedListingOnceAndNoSecret) {
  const std::string config = ReadWholeFile(std::string(SWITCHSIM_CONFIGS) + "/cisco-running.cfg");
  SwitchSimProcess sim({"--device", "cisco", "--user", "admin", "--password-file", pw_, "--enable-password-file",
                        pw_, "--running", std::string(SWITCHSIM_CONFIGS) + "/cisco-running.cfg", "--chunk", "1:40",
                        "--seed", "7"});
  const ProcessResult r = Check(Configure(sim.port(), pw_));
  ASSERT_EQ(r.status, 0) << r.out << r.err;

  std::map<std::string, int> received;
  for (const std::string& record : Lines(r.err)) {
    ASSERT_EQ(record.rfind('+', 0), 0u) << "a record without its time: " << record;
    const size_t text = record.find(' ') + 1;
    if (record.compare(text, 2, "< ") == 0) ++received[record.substr(text + 2)];
  }
  std::map<std::string, int> listed;
  std::vector<std::string> secrets;
  for (const std::string& line : Lines(config)) {
    const size_t at = line.find(" secret 9 ");
    if (at == std::string::npos) {
      ++listed[line];
    } else {
      secrets.push_back(line.substr(at + 10));
      EXPECT_EQ(received[line.substr(0, at + 8) + "<secret>"], 1) << line;
    }
  }
  ASSERT_EQ(secrets.size(), 3u);
  for (const auto& [line, count] : listed) {
    if (line == "!" || line.empty()) continue;  // also outside the listing
    EXPECT_EQ(received[Escaped(line)], count) << "\"" << line << "\"";
  }
  for (const std::string& secret : secrets) EXPECT_EQ(r.err.find(secret), std::string::npos) << secret;
  EXPECT_EQ(r.err.find("Pw-7f3kq9"), std::string::npos);
  EXPECT_NE(r.err.find("> ********"), std::string::npos) << "the enable password typed, masked";
  EXPECT_EQ(r.err.find("libssh "), std::string::npos) << "the library's log only with -vv";
}

TEST_F(Verbose, FailuresSayWhatHappenedAndVeryVerboseAddsTheLibraryLog) {
  {
    const std::string wrong = dir_.Write("wrong", "not-it\n");
    SwitchSimProcess sim({"--device", "cisco", "--user", "admin", "--password-file", pw_});
    const ProcessResult r = Check(Configure(sim.port(), wrong), "-vv");
    EXPECT_NE(r.err.find(" failed: authentication failed for user admin\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find(" libssh "), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find("not-it"), std::string::npos);
  }
  {
    const std::string params = Configure(1, pw_);  // nothing listens on port 1
    const ProcessResult r = Check(params);
    EXPECT_NE(r.err.find(" failed: connection refused\n"), std::string::npos) << r.err;
  }
  {
    SwitchSimProcess sim({"--device", "cisco", "--user", "admin", "--password-file", pw_, "--fault", "drip"});
    const ProcessResult r = Cli({"check", "-H", "127.0.0.1", "-f",
                                 Configure(sim.port(), pw_), "-t", "2", "-v", "--known-hosts",
                                 dir_.Path("known_hosts")});
    EXPECT_NE(r.err.find(" the check's time-out passed while opening the command line\n"), std::string::npos)
        << r.err;
  }
}

}  // namespace
}  // namespace comvorlix

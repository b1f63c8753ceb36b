// What the SSH server says reaches the monitoring line only quoted,
// escaped and cut: a switch that ends the session mid-listing with a long
// disconnect reason full of control bytes and quotes.
#include <gtest/gtest.h>

#include "common/run_cli.h"
#include "common/switchsim_process.h"
#include "common/temp_dir.h"

namespace comvorlix {
namespace {

using testing::Cli;
using testing::SwitchSimProcess;
using testing::TempDir;

TEST(ServerText, ADisconnectReasonIsQuotedEscapedAndCutAndTheLineBounded) {
  TempDir dir;
  const std::string pw = dir.Write("pw", "s3cret\n");
  const std::string reason = "Bye \x1B[2J\x07\r\nFAKE | x=1 \"quoted\" " + std::string(3000, 'Z');
  SwitchSimProcess sim({"--device", "cisco", "--password-file", pw, "--enable-password-file", pw, "--fault",
                        "disconnect-mid-listing", "--disconnect-message", dir.Write("reason", reason)});
  const std::string params = dir.Path("sw.params");
  ASSERT_EQ(Cli({"configure", "--params", params, "--no-gui", "--user", "admin",
                 "--password-file", pw, "--enable-password-file", pw, "--port", std::to_string(sim.port()),
                 "--device", "CSCSW"})
                .status,
            0);
  const auto r = Cli({"check", "--host", "127.0.0.1", "--params", params,
                      "--known-hosts", dir.Path("known_hosts"), "--timeout", "20"});
  EXPECT_EQ(r.status, 2) << r.out;
  ASSERT_EQ(r.out.find('\n'), r.out.size() - 1) << r.out;
  const size_t bar = r.out.find(" | time=");
  ASSERT_NE(bar, std::string::npos) << r.out;
  EXPECT_LE(bar, 1000u) << r.out;
  // The reason in its own quotes: escaped, its quote and bar disarmed, cut
  // to 200 characters ending in "..." (libssh puts "Received
  // SSH_MSG_DISCONNECT: 11:" before it).
  const size_t open = r.out.find("(\"Received SSH_MSG_DISCONNECT: 11:Bye \\x1B[2J\\x07");
  ASSERT_NE(open, std::string::npos) << r.out;
  const size_t close = r.out.find("...\")", open);
  ASSERT_NE(close, std::string::npos) << r.out;
  const std::string shown = r.out.substr(open + 2, close + 3 - open - 2);
  // 197 characters and the dots; two of them print as four-character escapes.
  EXPECT_EQ(shown.size(), 200u + 2 * 3) << shown;
  EXPECT_NE(shown.find("FAKE / x=1 'quoted' ZZZ"), std::string::npos) << shown;
  for (const char c : r.out.substr(0, r.out.size() - 1)) EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20) << r.out;
}

}  // namespace
}  // namespace comvorlix

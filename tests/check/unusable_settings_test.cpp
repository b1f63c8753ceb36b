// Settings that can list nothing fail before the check connects: run by the
// command-line host against a port that only counts who knocks.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <filesystem>

#include "common/run_cli.h"
#include "common/temp_dir.h"

namespace comvorlix {
namespace {

using testing::Cli;
using testing::ReadWholeFile;
using testing::TempDir;

// A listening loopback socket that nothing accepts from: a connection
// attempt stays queued and can be taken afterwards.
class CountingPort {
 public:
  CountingPort() {
    fd_ = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (fd_ < 0 || bind(fd_, reinterpret_cast<sockaddr*>(&a), size) != 0 || listen(fd_, 8) != 0 ||
        getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size) != 0) {
      throw std::runtime_error("cannot listen on loopback");
    }
    port_ = ntohs(a.sin_port);
  }
  ~CountingPort() { close(fd_); }
  int port() const { return port_; }
  bool Knocked() const {
    const int c = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (c >= 0) close(c);
    return c >= 0;
  }

 private:
  int fd_ = -1;
  int port_ = 0;
};

TEST(UnusableSettings, AnUnknownDeviceOrAConfigurationKindCiscoCannotListFailsBeforeConnecting) {
  struct Case {
    const char* dev_cfg;
    const char* text;
  };
  const Case cases[] = {
      {"#CFG=RUN#DEV=XYZ#",
       "ERR: the device type \"XYZ\" is not one of CSCSW, ARUSW, HP1920SW, HP2510SW, "
            "NXOSSW, EOSSW, JUNOSSW, AOSCXSW, CW7SW, ROSSW, so no configuration was "
       "listed(110)"},
      {"#CFG=#DEV=CSCSW#",
       "ERR: the configuration kind \"\" is not one of RUN, START, COMPARE, so no configuration was listed(120)"},
      {"#CFG=running#DEV=ARUSW#",
       "ERR: the configuration kind \"running\" is not one of RUN, START, COMPARE, so no configuration was "
       "listed(120)"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    CountingPort port;
    const std::string content = "#ENC=T#USR=admin#PWD=c2VjcmV0#PROTO=A#PORT=" + std::to_string(port.port()) +
                                "#KEYF=#KEYT=RSA#EPW=#UCF=T#DBG=F#DBF=#@@CRC=1234ABCD" + c.dev_cfg + "\n";
    const std::string params = dir.Write("sw.params", content);
    const std::string known_hosts = dir.Path("known_hosts");
    const auto r = Cli({"check", "--host", "127.0.0.1", "--params", params,
                        "--known-hosts", known_hosts, "--timeout", "10"});
    EXPECT_EQ(r.status, 2) << c.dev_cfg;
    EXPECT_EQ(r.out.rfind("CONFIG CRITICAL - " + std::string(c.text) + " | ", 0), 0u) << r.out;
    EXPECT_FALSE(port.Knocked()) << c.dev_cfg;
    EXPECT_FALSE(std::filesystem::exists(known_hosts)) << c.dev_cfg;
    EXPECT_EQ(ReadWholeFile(params), content) << c.dev_cfg;
    EXPECT_FALSE(std::filesystem::exists(params + ".listing")) << c.dev_cfg;
  }

  // The HP kinds list the current configuration for any kind: they connect.
  TempDir dir;
  CountingPort port;
  const std::string params = dir.Write("hp.params", "#USR=admin#PWD=c2VjcmV0#PORT=" + std::to_string(port.port()) +
                                                        "#CFG=other#DEV=HP1920SW#\n");
  Cli({"check", "--host", "127.0.0.1", "--params", params, "--known-hosts",
       dir.Path("known_hosts"), "--timeout", "1"});
  EXPECT_TRUE(port.Knocked());
}

}  // namespace
}  // namespace comvorlix

// Asking display servers whether they answer, against sockets the tests
// listen on themselves, and the default front end's decision built on it.
#include "dialog/display_probe.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "common/temp_dir.h"
#include "dialog/front_end.h"

namespace comvorlix {
namespace {

using testing::TempDir;

// A listening socket that closes when it goes out of scope.
class Listener {
 public:
  // A Unix socket at `path` (abstract when `abstract`).
  Listener(const std::string& path, bool abstract) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    const size_t offset = abstract ? 1 : 0;
    std::memcpy(a.sun_path + offset, path.data(), path.size());
    const auto length =
        static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() + (abstract ? 0 : 1));
    ok_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&a), length) == 0 && ::listen(fd_, 4) == 0;
  }
  // TCP on 127.0.0.1, on a port the system picks.
  Listener() {
    fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ok_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(fd_, 4) == 0 &&
          ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &size) == 0;
    port_ = ntohs(a.sin_port);
  }
  ~Listener() { Close(); }
  void Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  bool ok() const { return ok_; }
  int port() const { return port_; }

 private:
  int fd_ = -1;
  bool ok_ = false;
  int port_ = 0;
};

TEST(WaylandDisplayAnswers, SocketInTheRuntimeFolderOrByPath) {
  TempDir dir;
  Listener compositor(dir.path() + "/wayland-7", false);
  ASSERT_TRUE(compositor.ok());
  EXPECT_TRUE(WaylandDisplayAnswers("wayland-7", dir.path().c_str()));
  EXPECT_TRUE(WaylandDisplayAnswers(dir.path() + "/wayland-7", nullptr));
  EXPECT_FALSE(WaylandDisplayAnswers("wayland-8", dir.path().c_str()));
  EXPECT_FALSE(WaylandDisplayAnswers("wayland-7", nullptr));
  EXPECT_FALSE(WaylandDisplayAnswers("wayland-7", ""));
  EXPECT_FALSE(WaylandDisplayAnswers("", dir.path().c_str()));
  compositor.Close();
  // The socket file is still there, but nobody listens.
  EXPECT_TRUE(std::filesystem::exists(dir.path() + "/wayland-7"));
  EXPECT_FALSE(WaylandDisplayAnswers("wayland-7", dir.path().c_str()));
}

TEST(X11DisplayAnswers, LocalDisplayNumberAndSocketPath) {
  // An abstract socket as local X servers offer it, with a display number
  // no real server uses.
  const int number = 50000 + static_cast<int>(::getpid() % 9000);
  const std::string display = ":" + std::to_string(number);
  EXPECT_FALSE(X11DisplayAnswers(display));
  {
    Listener server("/tmp/.X11-unix/X" + std::to_string(number), true);
    ASSERT_TRUE(server.ok());
    EXPECT_TRUE(X11DisplayAnswers(display));
    EXPECT_TRUE(X11DisplayAnswers(display + ".0"));
    EXPECT_TRUE(X11DisplayAnswers("unix" + display));
    EXPECT_TRUE(X11DisplayAnswers("unix/" + display + ".1"));
  }
  EXPECT_FALSE(X11DisplayAnswers(display));

  TempDir dir;
  Listener by_path(dir.path() + "/X0", false);
  ASSERT_TRUE(by_path.ok());
  EXPECT_TRUE(X11DisplayAnswers(dir.path() + "/X0"));
  EXPECT_FALSE(X11DisplayAnswers(dir.path() + "/X1"));
}

TEST(X11DisplayAnswers, DisplayOverTcp) {
  Listener server;
  ASSERT_TRUE(server.ok());
  ASSERT_GE(server.port(), 6000) << "the system picked a port below the X11 range";
  const std::string number = std::to_string(server.port() - 6000);
  EXPECT_TRUE(X11DisplayAnswers("127.0.0.1:" + number));
  EXPECT_TRUE(X11DisplayAnswers("127.0.0.1:" + number + ".0"));
  EXPECT_TRUE(X11DisplayAnswers("tcp/127.0.0.1:" + number));
  EXPECT_FALSE(X11DisplayAnswers("unix/127.0.0.1:" + number));
  server.Close();
  EXPECT_FALSE(X11DisplayAnswers("127.0.0.1:" + number, std::chrono::milliseconds(500)));
}

TEST(X11DisplayAnswers, ValuesThatNameNoDisplay) {
  for (const char* display : {"", ":", "localhost", ":x", "host::0", "localhost:", ":99999999999"}) {
    EXPECT_FALSE(X11DisplayAnswers(display, std::chrono::milliseconds(200))) << display;
  }
}

// Runs in a fresh process (no Qt application yet) with the environment
// given, and prints the decision.
void DecideWith(std::initializer_list<std::pair<const char*, std::string>> env) {
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XDG_RUNTIME_DIR"})
    unsetenv(name);
  for (const auto& [name, value] : env) setenv(name, value.c_str(), 1);
  std::fprintf(stderr, "available=%d\n", DefaultFrontEndAvailable() ? 1 : 0);
  std::fflush(stderr);
  std::_Exit(0);
}

#ifdef COMVORLIX_HAVE_QT
constexpr bool kWithQt = true;
#else
constexpr bool kWithQt = false;
#endif

std::string Available(bool yes) { return yes ? "available=1\n" : "available=0\n"; }

TEST(DefaultFrontEndDeathTest, DecidesOnWhatAnswers) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  const int number = 50000 + static_cast<int>(::getpid() % 9000);
  const std::string display = ":" + std::to_string(number);
  EXPECT_EXIT(DecideWith({}), ::testing::ExitedWithCode(0), Available(false));
  EXPECT_EXIT(DecideWith({{"QT_QPA_PLATFORM", "offscreen"}}), ::testing::ExitedWithCode(0),
              Available(kWithQt));
  EXPECT_EXIT(DecideWith({{"QT_QPA_PLATFORM", "nosuchplatform"}}), ::testing::ExitedWithCode(0),
              Available(false));
  // A display named but not answering.
  EXPECT_EXIT(DecideWith({{"DISPLAY", display}}), ::testing::ExitedWithCode(0), Available(false));
  EXPECT_EXIT(DecideWith({{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_RUNTIME_DIR", "/nonexistent"}}),
              ::testing::ExitedWithCode(0), Available(false));
  // A display that answers.
  Listener server("/tmp/.X11-unix/X" + std::to_string(number), true);
  ASSERT_TRUE(server.ok());
  EXPECT_EXIT(DecideWith({{"DISPLAY", display}}), ::testing::ExitedWithCode(0), Available(kWithQt));
  EXPECT_EXIT(DecideWith({{"DISPLAY", display}, {"QT_QPA_PLATFORM", "wayland"}}),
              ::testing::ExitedWithCode(0), Available(false));
}

}  // namespace
}  // namespace comvorlix

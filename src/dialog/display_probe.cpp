#include "dialog/display_probe.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstring>
#include <string>

namespace comvorlix {
namespace {

class Socket {
 public:
  explicit Socket(int fd) : fd_(fd) {}
  ~Socket() {
    if (fd_ >= 0) ::close(fd_);
  }
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  int fd() const { return fd_; }

 private:
  int fd_;
};

// A non-blocking connect that finishes within `timeout`.
bool ConnectAnswers(int family, const sockaddr* address, socklen_t length,
                    std::chrono::milliseconds timeout) {
  Socket s(::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (s.fd() < 0) return false;
  if (::connect(s.fd(), address, length) == 0) return true;
  // A full listen queue still means someone listens there.
  if (errno == EAGAIN) return true;
  if (errno != EINPROGRESS) return false;
  pollfd p{s.fd(), POLLOUT, 0};
  int ready;
  do {
    ready = ::poll(&p, 1, static_cast<int>(timeout.count()));
  } while (ready < 0 && errno == EINTR);
  if (ready <= 0) return false;
  int error = 0;
  socklen_t size = sizeof error;
  return ::getsockopt(s.fd(), SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

bool UnixSocketAnswers(const std::string& path, bool abstract) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const size_t offset = abstract ? 1 : 0;
  if (path.empty() || path.size() + offset >= sizeof address.sun_path) return false;
  std::memcpy(address.sun_path + offset, path.data(), path.size());
  const auto length =
      static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + offset + path.size() + (abstract ? 0 : 1));
  return ConnectAnswers(AF_UNIX, reinterpret_cast<const sockaddr*>(&address), length,
                        std::chrono::milliseconds(500));
}

bool TcpAnswers(const std::string& host, int port, std::chrono::milliseconds timeout) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0) return false;
  bool answers = false;
  for (addrinfo* a = found; a != nullptr && !answers; a = a->ai_next) {
    answers = ConnectAnswers(a->ai_family, a->ai_addr, a->ai_addrlen, timeout);
  }
  ::freeaddrinfo(found);
  return answers;
}

}  // namespace

bool X11DisplayAnswers(std::string_view display, std::chrono::milliseconds timeout) {
  if (display.empty()) return false;
  if (display.front() == '/') return UnixSocketAnswers(std::string(display), false);

  std::string_view protocol;
  const size_t colon = display.rfind(':');
  if (colon == std::string_view::npos) return false;
  const size_t slash = display.substr(0, colon).find('/');
  std::string_view host = display.substr(0, colon);
  if (slash != std::string_view::npos) {
    protocol = host.substr(0, slash);
    host = host.substr(slash + 1);
  }
  // "host::n" is the old DECnet form; not a display this can reach.
  if (!host.empty() && host.back() == ':') return false;

  int number = 0;
  size_t digits = 0;
  for (size_t i = colon + 1; i < display.size() && display[i] >= '0' && display[i] <= '9'; ++i, ++digits) {
    number = number * 10 + (display[i] - '0');
    if (number > 59535) return false;  // beyond the last TCP port
  }
  if (digits == 0) return false;

  if (protocol != "tcp" && (host.empty() || host == "unix")) {
    const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
    return UnixSocketAnswers(path, true) || UnixSocketAnswers(path, false);
  }
  if (protocol == "unix") return false;
  // An IPv6 address may be written in brackets.
  if (host.size() > 2 && host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  return TcpAnswers(std::string(host.empty() ? "localhost" : host), 6000 + number, timeout);
}

bool WaylandDisplayAnswers(std::string_view name, const char* runtime_dir) {
  if (name.empty()) return false;
  if (name.front() == '/') return UnixSocketAnswers(std::string(name), false);
  if (runtime_dir == nullptr || *runtime_dir == '\0') return false;
  return UnixSocketAnswers(std::string(runtime_dir) + "/" + std::string(name), false);
}

}  // namespace comvorlix

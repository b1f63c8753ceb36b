#include "ssh/debug_log.h"

#include <fcntl.h>
#include <libssh/callbacks.h>
#include <libssh/libssh.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include "base/debug_output.h"

namespace comvorlix::ssh_internal {
namespace {

thread_local const DebugLog* t_route = nullptr;

std::mutex& RouteMutex() {
  static std::mutex m;
  return m;
}
int g_routes = 0;  // guarded by RouteMutex()

void LibraryLogLine(int /*priority*/, const char* function, const char* buffer, void* /*userdata*/) {
  if (t_route == nullptr || buffer == nullptr) return;
  std::string line = "libssh ";
  if (function != nullptr) line.append(function).append(": ");
  line += buffer;
  t_route->Line(line, true);
}

std::string TimeStamp() {
  auto now = std::chrono::system_clock::now();
  std::time_t t = std::chrono::system_clock::to_time_t(now);
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm tm{};
  localtime_r(&t, &tm);
  char buf[64];
  std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", tm.tm_year + 1900, tm.tm_mon + 1,
                tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(ms));
  return buf;
}

// Switch and network text is written as it came, except that control
// bytes (which could rewrite a terminal showing the file, or start a
// record of their own) are written as \xNN.
std::string EscapedControls(std::string_view text) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) {
      out += "\\x";
      out += kHex[b >> 4];
      out += kHex[b & 0x0F];
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

DebugLog::DebugLog(const std::string& path, std::vector<SecretString> secrets) {
  for (auto& s : secrets) {
    if (!s.empty()) secrets_.push_back(std::move(s));
  }
  if (path.empty()) return;
  // O_NOFOLLOW: a link planted at the path is not written through.
  // O_NONBLOCK: a FIFO planted there does not hang the session in open();
  // it is refused below like any other file that is not a regular one.
  int fd;
  do {
    fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0600);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    const int error = errno;
    // ENXIO: a FIFO nobody reads, which O_NONBLOCK refuses to open.
    OutputDebugLine("SSH debug file " + path + " not written: " +
                    (error == ELOOP   ? std::string("it is a symbolic link")
                     : error == ENXIO ? std::string("it is not a regular file owned by this user")
                                      : std::strerror(error)));
    return;
  }
  struct stat st{};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    ::close(fd);
    OutputDebugLine("SSH debug file " + path + " not written: it is not a regular file owned by this user");
    return;
  }
  fd_ = fd;
}

DebugLog::~DebugLog() {
  if (fd_ >= 0) ::close(fd_);
}

bool DebugLog::library_wanted() const {
  return fd_ >= 0 || (DebugOutputEnabled() && DebugOutputLevel() >= 2);
}

void DebugLog::Line(std::string_view text, bool library) const {
  const bool shown = DebugOutputEnabled() && (!library || DebugOutputLevel() >= 2);
  if (fd_ < 0 && !shown) return;
  std::string line(text);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  for (const auto& secret : secrets_) {
    const std::string& s = secret.get();
    for (size_t at = line.find(s); at != std::string::npos; at = line.find(s, at + 8)) {
      line.replace(at, s.size(), "********");
    }
  }
  // One write per record: with O_APPEND, records of sessions that share
  // the file do not interleave.
  const std::string escaped = EscapedControls(line);
  if (shown) OutputDebugLine(std::string_view(escaped));
  if (fd_ < 0) return;
  const std::string record = TimeStamp() + " " + escaped + "\n";
  size_t done = 0;
  while (done < record.size()) {
    const ssize_t n = ::write(fd_, record.data() + done, record.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;  // a full disk loses debug lines, not the session
    done += static_cast<size_t>(n);
  }
}

LibraryLogRoute::LibraryLogRoute(const DebugLog* log) {
  if (log == nullptr || !log->library_wanted()) return;
  std::lock_guard<std::mutex> lock(RouteMutex());
  static std::once_flag installed;
  std::call_once(installed, [] { ssh_set_log_callback(LibraryLogLine); });
  if (g_routes++ == 0) ssh_set_log_level(SSH_LOG_PROTOCOL);
  t_route = log;
  active_ = true;
}

LibraryLogRoute::~LibraryLogRoute() {
  if (!active_) return;
  std::lock_guard<std::mutex> lock(RouteMutex());
  t_route = nullptr;
  if (--g_routes == 0) ssh_set_log_level(SSH_LOG_NOLOG);
}

}  // namespace comvorlix::ssh_internal

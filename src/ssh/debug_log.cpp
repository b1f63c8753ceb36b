#include "ssh/debug_log.h"

#include <libssh/callbacks.h>
#include <libssh/libssh.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <mutex>

#include "automation/debug_output.h"

namespace comvorlix::ssh_internal {
namespace {

thread_local DebugLog* t_route = nullptr;

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
  t_route->Line(line);
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

}  // namespace

DebugLog::DebugLog(const std::string& path, std::vector<SecretString> secrets) {
  for (auto& s : secrets) {
    if (!s.empty()) secrets_.push_back(std::move(s));
  }
  if (path.empty()) return;
  file_ = std::fopen(path.c_str(), "ae");
  if (file_ == nullptr) {
    OutputDebugLine("SSH debug file " + path + " cannot be opened: " + std::strerror(errno));
    return;
  }
  std::setvbuf(file_, nullptr, _IOLBF, 0);
}

DebugLog::~DebugLog() {
  if (file_ != nullptr) std::fclose(file_);
}

void DebugLog::Line(std::string_view text) {
  if (file_ == nullptr) return;
  std::string line(text);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
  for (const auto& secret : secrets_) {
    const std::string& s = secret.get();
    for (size_t at = line.find(s); at != std::string::npos; at = line.find(s, at + 8)) {
      line.replace(at, s.size(), "********");
    }
  }
  std::fprintf(file_, "%s %s\n", TimeStamp().c_str(), line.c_str());
}

LibraryLogRoute::LibraryLogRoute(DebugLog* log) {
  if (log == nullptr || !log->enabled()) return;
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

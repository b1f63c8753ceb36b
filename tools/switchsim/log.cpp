#include "log.h"

#include <unistd.h>

#include <atomic>

namespace switchsim {
namespace {
std::atomic<bool> g_verbose{false};
}  // namespace

void LogLine(const std::string& line) {
  std::string text = "switchsim: " + line + "\n";
  // One write(2) per line: atomic enough for stderr, and safe from threads.
  const char* p = text.data();
  size_t left = text.size();
  while (left > 0) {
    ssize_t n = ::write(STDERR_FILENO, p, left);
    if (n <= 0) return;
    p += n;
    left -= static_cast<size_t>(n);
  }
}

void SetVerbose(bool on) { g_verbose = on; }

void LogVerbose(const std::string& line) {
  if (g_verbose) LogLine(line);
}

}  // namespace switchsim

#include "base/debug_output.h"

#include <atomic>
#include <mutex>

namespace comvorlix {
namespace {

std::mutex& ListenerMutex() {
  static std::mutex m;
  return m;
}

DebugListener& Listener() {
  static DebugListener l;
  return l;
}

// Mirrors whether Listener() is set, readable without the mutex.
std::atomic<bool> g_enabled{false};
std::atomic<int> g_level{1};

}  // namespace

void AttachDebugListener(DebugListener listener) {
  std::lock_guard<std::mutex> lock(ListenerMutex());
  Listener() = std::move(listener);
  g_enabled.store(static_cast<bool>(Listener()), std::memory_order_relaxed);
}

bool DebugOutputEnabled() { return g_enabled.load(std::memory_order_relaxed); }

void SetDebugOutputLevel(int level) { g_level.store(level, std::memory_order_relaxed); }
int DebugOutputLevel() { return g_level.load(std::memory_order_relaxed); }

// Every byte stands for one character of the ANSI code page, so the bytes
// pass unchanged.
void OutputDebugLine(std::string_view ansi_line) {
  std::lock_guard<std::mutex> lock(ListenerMutex());
  if (Listener()) Listener()(ansi_line);
}

}  // namespace comvorlix

#include "automation/debug_output.h"

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

}  // namespace

void AttachDebugListener(DebugListener listener) {
  std::lock_guard<std::mutex> lock(ListenerMutex());
  Listener() = std::move(listener);
}

void OutputDebugLine(TextView line) {
  std::lock_guard<std::mutex> lock(ListenerMutex());
  if (Listener()) Listener()(ToAnsi(line));
}

void OutputDebugLine(std::string_view ascii_line) { OutputDebugLine(FromAnsi(ascii_line)); }

}  // namespace comvorlix

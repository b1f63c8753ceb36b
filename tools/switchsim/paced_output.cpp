#include "paced_output.h"

namespace switchsim {

using Clock = std::chrono::steady_clock;

Pacer::Pacer(Terminal& terminal, long bytes_per_second)
    : terminal_(terminal), bytes_per_second_(bytes_per_second), start_(Clock::now()) {}

void Pacer::Sent(size_t bytes) {
  total_ += bytes;
  const auto due = start_ + std::chrono::milliseconds(total_ * 1000 / bytes_per_second_);
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(due - Clock::now()).count();
  if (left > 0) terminal_.Pause(static_cast<int>(left));
}

void Drip(Terminal& terminal) {
  Pacer pacer(terminal, 1);
  for (;;) {
    terminal.Send(".");
    pacer.Sent(1);
  }
}

}  // namespace switchsim

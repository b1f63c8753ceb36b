// Output at a fixed, slow rate, for the faults that trickle or flood.
//
// Pacer keeps a steady byte rate over a whole stream: after each piece sent
// it pauses until the moment the bytes sent so far are due, so the rate
// holds however long the sends themselves take. Pauses go through
// Terminal::Pause, which keeps collecting input and throws SessionEnded
// when the client goes; nothing spins.
#pragma once

#include <chrono>
#include <cstddef>

#include "terminal.h"

namespace switchsim {

class Pacer {
 public:
  Pacer(Terminal& terminal, long bytes_per_second);
  // `bytes` more have been sent; waits until they are due.
  void Sent(size_t bytes);

 private:
  Terminal& terminal_;
  long bytes_per_second_;
  std::chrono::steady_clock::time_point start_;
  unsigned long long total_ = 0;
};

// The drip fault: from the opened shell on, one "." a second, without end.
// Returns only by exception (the client left).
[[noreturn]] void Drip(Terminal& terminal);

}  // namespace switchsim

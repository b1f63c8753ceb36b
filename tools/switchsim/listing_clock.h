// The time stamp a switch prints in a listing header that is dated at every
// listing (NX-OS "!Time:", the RouterOS export's first line).
//
// Next returns the current time, but always at least one second after what
// it returned before, so two listings never carry the same stamp even when
// they come within one second: a checker that forgets to leave the line out
// sees a change every time, as it would against the real switch. One object
// serves all sessions of a server; Next is thread-safe.
#pragma once

#include <ctime>
#include <mutex>

namespace switchsim {

class ListingClock {
 public:
  std::time_t Next();

 private:
  std::mutex mutex_;
  std::time_t last_ = 0;  // guarded by mutex_
};

}  // namespace switchsim

// An exclusive advisory lock (flock(2)) on the file at a path, for files
// that are replaced by renaming a new file over them.
//
// LockedFile::Open opens the file for reading and takes the lock, waiting
// for another holder to let go. Since a holder may replace the file while
// others wait, the lock is only kept when it is on the file that is at the
// path now; otherwise the wait starts over with the new file. Closing the
// object releases the lock.
//
// Waiting: without a deadline the calling thread blocks in flock(). With a
// deadline, a helper thread blocks in flock() on its own descriptor while
// the caller waits on a condition variable until the deadline; nothing
// polls and no signal is used. A helper that is given up on stays blocked
// until the other holder lets go, then closes its descriptor (so it never
// keeps the lock) and ends.
//
// Errors other than a missing file or a passed deadline throw
// AutomationError naming the file. Objects are move-only; one thread uses
// an object at a time.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace comvorlix {

class LockedFile {
 public:
  enum class State { kLocked, kMissing, kTimedOut };

  static LockedFile Open(const std::string& path,
                         std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt);

  LockedFile(LockedFile&& other) noexcept;
  LockedFile& operator=(LockedFile&& other) noexcept;
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;
  ~LockedFile();

  State state() const { return state_; }
  // The locked descriptor (open for reading) while kLocked, else -1.
  int fd() const { return fd_; }

 private:
  LockedFile(State state, int fd) : state_(state), fd_(fd) {}
  State state_;
  int fd_;
};

}  // namespace comvorlix

// An exclusive advisory lock (flock(2)) on the file at a name, for files
// that are replaced by renaming a new file over them.
//
// LockedFile::Open opens the regular file at the name for reading (as
// NameInFolder::Open does: no link followed, no FIFO waited for) and takes
// the lock, waiting for another holder to let go. Since a holder may
// replace the file while others wait, the lock is only kept when it is on
// the file that is at the name now; otherwise the wait starts over with
// the new file. Closing the object releases the lock.
//
// Waiting: without a deadline the calling thread blocks in flock(). With a
// deadline, a helper thread blocks in flock() on its own descriptor while
// the caller waits on a condition variable until the deadline; nothing
// polls and no signal is used. A helper that is given up on stays blocked
// until the other holder lets go, then closes its descriptor (so it never
// keeps the lock) and ends.
//
// Errors other than a missing file or a passed deadline throw
// AutomationError (FileError for a refused file) naming the file. Objects are move-only; one thread uses
// an object at a time.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include <sys/stat.h>

#include "files/name_in_folder.h"

namespace comvorlix {

class LockedFile {
 public:
  enum class State { kLocked, kMissing, kTimedOut };

  static LockedFile Open(const NameInFolder& name,
                         std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt);

  LockedFile(LockedFile&& other) noexcept = default;
  LockedFile& operator=(LockedFile&& other) noexcept = default;
  LockedFile(const LockedFile&) = delete;
  LockedFile& operator=(const LockedFile&) = delete;
  ~LockedFile() = default;  // closing the file releases the lock

  State state() const { return state_; }
  // The locked file (open for reading, its fstat) while kLocked.
  const OpenedFile& file() const { return *file_; }

 private:
  LockedFile(State state, std::optional<OpenedFile> file) : state_(state), file_(std::move(file)) {}
  State state_;
  std::optional<OpenedFile> file_;
};

// The process holding a flock(2) or POSIX lock on the file with `info`'s
// device and inode, as /proc/locks names it; locks of the calling process
// and locks only waited for are skipped. nullopt when none is found or
// /proc/locks cannot be read (a hint for messages, never a decision).
std::optional<long> LockHolder(const struct stat& info);

}  // namespace comvorlix

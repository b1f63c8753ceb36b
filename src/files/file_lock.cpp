#include "files/file_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "automation/automation_error.h"

namespace comvorlix {
namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const char* action, const std::string& path, int error) {
  throw AutomationError(Status::kFail, std::string("cannot ") + action + " " + path + ": " + strerror(error));
}

int BlockingLock(int fd) {
  int rc;
  do {
    rc = ::flock(fd, LOCK_EX);
  } while (rc != 0 && errno == EINTR);
  return rc == 0 ? 0 : errno;
}

// What the helper thread and the waiting caller share.
struct LockWait {
  std::mutex mutex;
  std::condition_variable finished;
  bool done = false;       // the helper's flock() returned
  bool abandoned = false;  // the caller stopped waiting
  int error = 0;
};

// Locks `fd` (owned from here on) by the deadline. Returns 0 with `fd`
// still open and locked, ETIMEDOUT after closing it (at once or, when
// the helper is still blocked, once its flock() returns), or the errno of a
// failed flock() after closing it.
int LockByDeadline(int fd, Clock::time_point deadline) {
  auto wait = std::make_shared<LockWait>();
  std::thread([wait, fd] {
    const int error = BlockingLock(fd);
    std::lock_guard<std::mutex> lock(wait->mutex);
    if (wait->abandoned) {
      ::close(fd);  // nobody takes the lock any more: release it at once
      return;
    }
    wait->done = true;
    wait->error = error;
    wait->finished.notify_one();
  }).detach();

  std::unique_lock<std::mutex> lock(wait->mutex);
  if (!wait->finished.wait_until(lock, deadline, [&] { return wait->done; })) {
    wait->abandoned = true;
    return ETIMEDOUT;
  }
  if (wait->error != 0) ::close(fd);
  return wait->error;
}

}  // namespace

LockedFile LockedFile::Open(const std::string& path, std::optional<Clock::time_point> deadline) {
  for (;;) {
    int fd;
    do {
      fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      if (errno == ENOENT) return LockedFile(State::kMissing, -1);
      Fail("open", path, errno);
    }
    // Uncontended, the common case, needs no helper thread.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int busy = errno;
      if (busy != EWOULDBLOCK) {
        ::close(fd);
        Fail("lock", path, busy);
      }
      if (!deadline) {
        if (const int error = BlockingLock(fd); error != 0) {
          ::close(fd);
          Fail("lock", path, error);
        }
      } else if (const int error = LockByDeadline(fd, *deadline); error == ETIMEDOUT) {
        return LockedFile(State::kTimedOut, -1);
      } else if (error != 0) {
        Fail("lock", path, error);
      }
    }
    LockedFile locked(State::kLocked, fd);

    // A holder that replaced the file while we waited leaves our lock on
    // the old file: start over with the one at the path now.
    struct stat held{}, current{};
    if (::fstat(fd, &held) != 0) Fail("read", path, errno);
    if (::stat(path.c_str(), &current) != 0) {
      if (errno == ENOENT) continue;
      Fail("read", path, errno);
    }
    if (held.st_dev == current.st_dev && held.st_ino == current.st_ino) return locked;
  }
}

LockedFile::LockedFile(LockedFile&& other) noexcept
    : state_(other.state_), fd_(std::exchange(other.fd_, -1)) {}

LockedFile& LockedFile::operator=(LockedFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    state_ = other.state_;
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

LockedFile::~LockedFile() {
  if (fd_ >= 0) ::close(fd_);  // releases the lock
}

}  // namespace comvorlix

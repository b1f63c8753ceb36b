#include "files/file_lock.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cinttypes>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

#include "files/safe_open.h"

namespace comvorlix {
namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void Fail(const char* action, const std::string& path, int error) {
  throw FileError::System(action, path, error);
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
  bool done = false;  // the helper's flock() returned
  int error = 0;
};

// Locks the open file description of `fd` by the deadline: 0 when locked,
// ETIMEDOUT, or the errno of a failed flock(). The helper thread blocks on
// a duplicate of `fd` that it closes once flock() returns; a lock it takes
// after the caller gave up (and closed `fd`) goes with that close.
int LockByDeadline(int fd, Clock::time_point deadline) {
  const int helper_fd = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
  if (helper_fd < 0) return errno;
  auto wait = std::make_shared<LockWait>();
  std::thread([wait, helper_fd] {
    const int error = BlockingLock(helper_fd);
    ::close(helper_fd);
    std::lock_guard<std::mutex> lock(wait->mutex);
    wait->done = true;
    wait->error = error;
    wait->finished.notify_one();
  }).detach();

  std::unique_lock<std::mutex> lock(wait->mutex);
  if (!wait->finished.wait_until(lock, deadline, [&] { return wait->done; })) return ETIMEDOUT;
  return wait->error;
}

}  // namespace

LockedFile LockedFile::Open(const NameInFolder& name, std::optional<Clock::time_point> deadline) {
  for (;;) {
    std::optional<OpenedFile> file = name.Open(O_RDONLY);
    if (!file) return LockedFile(State::kMissing, std::nullopt);
    const int fd = file->fd();
    // Uncontended, the common case, needs no helper thread.
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      const int busy = errno;
      if (busy != EWOULDBLOCK) Fail("lock", name.path(), busy);
      const int error = deadline ? LockByDeadline(fd, *deadline) : BlockingLock(fd);
      if (error == ETIMEDOUT && deadline) return LockedFile(State::kTimedOut, std::nullopt);
      if (error != 0) Fail("lock", name.path(), error);
    }
    // A holder that replaced the file while we waited leaves our lock on
    // the old file: start over with the one at the name now.
    if (name.Holds(file->info())) return LockedFile(State::kLocked, std::move(file));
  }
}

std::optional<long> LockHolder(const struct stat& info) {
  std::ifstream locks("/proc/locks");
  const long self = static_cast<long>(::getpid());
  // "1: FLOCK  ADVISORY  WRITE 4711 08:01:1234 0 EOF"; a waiter's line
  // carries "->" after its number.
  for (std::string line; std::getline(locks, line);) {
    std::istringstream fields(line);
    std::string number, kind, mode, access, where;
    long pid = 0;
    if (!(fields >> number >> kind)) continue;
    if (kind == "->") continue;
    if (!(fields >> mode >> access >> pid >> where)) continue;
    unsigned device_major = 0, device_minor = 0;
    unsigned long long inode = 0;
    if (std::sscanf(where.c_str(), "%x:%x:%llu", &device_major, &device_minor, &inode) != 3) continue;
    if (device_major != major(info.st_dev) || device_minor != minor(info.st_dev) || inode != info.st_ino) continue;
    if (pid > 0 && pid != self) return pid;
  }
  return std::nullopt;
}

}  // namespace comvorlix

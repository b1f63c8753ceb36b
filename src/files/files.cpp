#include "files/files.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "base/automation_error.h"

namespace comvorlix {
namespace {

[[noreturn]] void Fail(std::string_view action, const std::string& path, int error) {
  throw AutomationError(Status::kFail,
                        std::string("cannot ") + std::string(action) + " " + path + ": " + strerror(error));
}

// Closes a descriptor on scope exit unless it was closed (and checked)
// explicitly before.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Returns 0 or the errno of a failed close.
  int Close() {
    const int fd = fd_;
    fd_ = -1;
    return ::close(fd) == 0 ? 0 : errno;
  }

 private:
  int fd_;
};

int OpenForReading(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

int WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    done += static_cast<size_t>(n);
  }
  return 0;
}

std::string ReadFileBytes(const std::string& path) { return ReadFileBytes(path, SIZE_MAX); }

std::string ReadFileBytes(const std::string& path, size_t max_bytes) {
  Descriptor fd(OpenForReading(path));
  if (fd.get() < 0) Fail("open", path, errno);
  struct stat st{};
  if (::fstat(fd.get(), &st) != 0) Fail("read", path, errno);
  if (S_ISDIR(st.st_mode)) Fail("read", path, EISDIR);

  std::string bytes;
  if (S_ISREG(st.st_mode)) bytes.reserve(std::min(static_cast<size_t>(st.st_size), max_bytes));
  char buffer[65536];
  while (bytes.size() < max_bytes) {
    const ssize_t n = ::read(fd.get(), buffer, std::min(sizeof buffer, max_bytes - bytes.size()));
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("read", path, errno);
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
  }
  if (const int error = fd.Close(); error != 0) Fail("close", path, error);
  return bytes;
}

}  // namespace comvorlix

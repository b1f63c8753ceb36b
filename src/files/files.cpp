#include "files/files.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "automation/automation_error.h"

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

// The file a path names: the path itself, or the final target when it is
// (or passes through) a symbolic link. A path that does not exist yet
// names itself; a link to a missing file is refused rather than replaced
// by a file of its own.
std::string ResolvedTarget(const std::string& path) {
  struct stat link{};
  if (::lstat(path.c_str(), &link) != 0) {
    if (errno == ENOENT) return path;
    Fail("read", path, errno);
  }
  if (!S_ISLNK(link.st_mode)) return path;
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) Fail("follow the symbolic link", path, errno);
  std::string target(resolved);
  ::free(resolved);
  return target;
}

// The new file gets the old file's owner and group, so that a check run
// by root leaves a file the monitoring user can still replace. Only root
// may give a file away; anyone else keeps the group where allowed (a group
// they belong to, else EPERM: the file gets their own, as any new file).
// Returns 0 or the errno of a failed fchown.
int KeepOwner(int fd, const struct stat& existing) {
  if (::geteuid() == 0) return ::fchown(fd, existing.st_uid, existing.st_gid) == 0 ? 0 : errno;
  return ::fchown(fd, static_cast<uid_t>(-1), existing.st_gid) == 0 || errno == EPERM ? 0 : errno;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
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

std::optional<uint64_t> FileLength(const std::string& path) {
  // Opening proves the file can be read; a directory or device is no file.
  Descriptor fd(OpenForReading(path));
  if (fd.get() < 0) return std::nullopt;
  struct stat st{};
  if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(st.st_size);
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

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  int raw;
  do {
    raw = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  } while (raw < 0 && errno == EINTR);
  Descriptor fd(raw);
  if (fd.get() < 0) Fail("create", path, errno);
  if (const int error = WriteAll(fd.get(), bytes); error != 0) Fail("write", path, error);
  // Some file systems report a full disk or a lost connection only here.
  if (const int error = fd.Close(); error != 0) Fail("write", path, error);
}

void DeleteFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) Fail("delete", path, errno);
}

void ReplaceFileAtomically(const std::string& link_path, const std::string& bytes,
                           unsigned new_file_mode) {
  // A symbolic link stays in place: its target is replaced.
  const std::string path = ResolvedTarget(link_path);
  mode_t mode = static_cast<mode_t>(new_file_mode & 07777);
  struct stat existing{};
  const bool exists = ::stat(path.c_str(), &existing) == 0;
  if (exists) {
    if (S_ISDIR(existing.st_mode)) Fail("replace", path, EISDIR);
    mode = existing.st_mode & 07777;
  }

  // The temporary file lives in the same folder so that rename() replaces
  // the old file in one step on the same file system.
  std::string temp_path = path + ".XXXXXX";
  Descriptor fd(::mkostemp(temp_path.data(), O_CLOEXEC));
  if (fd.get() < 0) Fail("create a temporary file for", path, errno);

  int error = 0;
  std::string_view action;
  if (exists && (error = KeepOwner(fd.get(), existing)) != 0) {
    action = "keep the owner of";
  } else if (::fchmod(fd.get(), mode) != 0) {  // after fchown, which may clear set-id bits
    error = errno;
    action = "set the permissions of";
  } else if ((error = WriteAll(fd.get(), bytes)) != 0) {
    action = "write";
  } else if (::fsync(fd.get()) != 0) {
    error = errno;
    action = "write";
  } else if ((error = fd.Close()) != 0) {
    action = "write";
  } else if (::rename(temp_path.c_str(), path.c_str()) != 0) {
    error = errno;
    action = "replace";
  }
  if (error != 0) {
    ::unlink(temp_path.c_str());
    Fail(action, path, error);
  }

  // Make the rename itself durable. The new content is already in place, so
  // a failure here is not reported as a failed replacement.
  const std::string folder = FolderOf(path);
  const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir >= 0) {
    ::fsync(dir);
    ::close(dir);
  }
}

}  // namespace comvorlix

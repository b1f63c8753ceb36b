#include "files/safe_open.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <algorithm>
#include <string_view>
#include <utility>

#include "base/automation_error.h"

namespace comvorlix {
namespace {

// Bounds a chain of links as the kernel does with its own limit.
constexpr int kMaxLinks = 16;

[[noreturn]] void Refuse(const std::string& path, std::string_view why) {
  throw FileError::Refusal(path, std::string(why));
}

[[noreturn]] void Fail(std::string_view action, const std::string& path, int error) {
  throw FileError::System(std::string(action), path, error);
}

std::string_view KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a folder";
  if (S_ISFIFO(mode)) return "a FIFO";
  if (S_ISSOCK(mode)) return "a socket";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  return "no regular file";
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

}  // namespace

FileError FileError::Refusal(const std::string& path, std::string reason) {
  return FileError(path + " " + reason, reason, true);
}

FileError FileError::System(const std::string& action, const std::string& path, int error) {
  return FileError("cannot " + action + " " + path + ": " + strerror(error), strerror(error), false);
}

OpenedFile::OpenedFile(OpenedFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), resolved_(std::move(other.resolved_)), info_(other.info_) {}

OpenedFile& OpenedFile::operator=(OpenedFile&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = std::exchange(other.fd_, -1);
    resolved_ = std::move(other.resolved_);
    info_ = other.info_;
  }
  return *this;
}

OpenedFile::~OpenedFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::string FollowTrustedLinks(const std::string& path) {
  std::string current = path;
  const uid_t self = ::getuid();
  for (int links = 0;; ++links) {
    // One descriptor for the look and the read: a link swapped in between
    // by whoever owns the folder is never read under another link's owner.
    int fd;
    do {
      fd = ::open(current.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
      // A name below a regular file does not exist either.
      if (errno == ENOENT || errno == ENOTDIR) return current;
      Fail("read", path, errno);
    }
    struct stat st{};
    if (::fstat(fd, &st) != 0) {
      const int error = errno;
      ::close(fd);
      Fail("read", path, error);
    }
    if (!S_ISLNK(st.st_mode)) {
      ::close(fd);
      return current;
    }
    if (links == kMaxLinks) {
      ::close(fd);
      Refuse(path, "passes through too many symbolic links");
    }
    // Root following a link that another user can re-point would let that
    // user aim root's writes anywhere.
    if (st.st_uid != 0 && st.st_uid != self) {
      ::close(fd);
      Refuse(path,
             (current == path ? std::string("is a symbolic link") : "leads through the symbolic link " + current) +
                 " owned by user " + std::to_string(st.st_uid) +
                 " (neither root nor the user running the check); not following it");
    }
    std::string target(static_cast<size_t>(std::max<off_t>(st.st_size, 0)) + 256, '\0');
    const ssize_t n = ::readlinkat(fd, "", target.data(), target.size());
    const int error = errno;
    ::close(fd);
    if (n < 0) Fail("follow the symbolic link", path, error);
    if (static_cast<size_t>(n) == target.size()) Refuse(path, "is a symbolic link that changed while it was read");
    target.resize(static_cast<size_t>(n));
    current = (!target.empty() && target[0] == '/') ? target : FolderOf(current) + "/" + target;
  }
}

std::optional<OpenedFile> OpenRegularFile(const std::string& path, int access) {
  std::string resolved = FollowTrustedLinks(path);
  return OpenRegularFileAt(AT_FDCWD, resolved, access, path, resolved);
}

std::optional<OpenedFile> OpenRegularFileAt(int folder, const std::string& name, int access, const std::string& path,
                                            std::string resolved) {
  int fd;
  do {
    fd = ::openat(folder, name.c_str(), access | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) {
    if (errno == ENOENT || errno == ENOTDIR) return std::nullopt;
    // A link planted between the look and the open.
    if (errno == ELOOP) Refuse(path, "became a symbolic link while it was opened; not following it");
    if (errno == ENXIO) Refuse(path, "is not a regular file (a FIFO or socket)");
    if (errno == EISDIR) Refuse(path, "is not a regular file (a folder)");
    Fail("open", path, errno);
  }
  struct stat info{};
  if (::fstat(fd, &info) != 0) {
    const int error = errno;
    ::close(fd);
    Fail("read", path, error);
  }
  if (!S_ISREG(info.st_mode)) {
    ::close(fd);
    Refuse(path, "is not a regular file (" + std::string(KindOf(info.st_mode)) + ")");
  }
  // Regular files never block; reads later should not see EAGAIN from a
  // file system that honours the flag anyway.
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return OpenedFile(fd, std::move(resolved), info);
}

std::string ReadCapped(const OpenedFile& file, size_t max_bytes, const std::string& path) {
  std::string bytes;
  bytes.reserve(std::min(static_cast<size_t>(std::max<off_t>(file.info().st_size, 0)), max_bytes) + 1);
  char buffer[65536];
  for (;;) {
    const size_t room = max_bytes + 1 - bytes.size();
    const ssize_t n = ::read(file.fd(), buffer, std::min(sizeof buffer, room));
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail("read", path, errno);
    }
    if (n == 0) break;
    bytes.append(buffer, static_cast<size_t>(n));
    if (bytes.size() > max_bytes) Refuse(path, "is larger than " + std::to_string(max_bytes) + " bytes");
  }
  return bytes;
}

}  // namespace comvorlix

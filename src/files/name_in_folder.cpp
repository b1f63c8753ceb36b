#include "files/name_in_folder.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/random.h>
#include <unistd.h>

#include <utility>

#include "files/files.h"

namespace comvorlix {
namespace {

[[noreturn]] void Fail(const std::string& action, const std::string& path, int error) {
  throw FileError::System(action, path, error);
}

// Six letters or digits; names nobody can guess ahead, so that a file
// planted at the temporary name is unlikely and, with O_EXCL, harmless.
std::string RandomSuffix() {
  static constexpr char kChars[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  unsigned char random[6] = {};
  size_t got = 0;
  while (got < sizeof random) {
    const ssize_t n = ::getrandom(random + got, sizeof random - got, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;  // no entropy source: O_EXCL still refuses a taken name
    got += static_cast<size_t>(n);
  }
  std::string suffix = ".";
  for (const unsigned char r : random) suffix += kChars[r % (sizeof kChars - 1)];
  return suffix;
}

// A new file for root gets `owner` entirely, so that the monitoring user
// can still replace it; anyone else can only give it the group, and only
// one they belong to (else it keeps their own, as any new file).
int GiveTo(int fd, const NameInFolder::Owner& owner) {
  if (::geteuid() == 0) return ::fchown(fd, owner.uid, owner.gid) == 0 ? 0 : errno;
  return ::fchown(fd, static_cast<uid_t>(-1), owner.gid) == 0 || errno == EPERM ? 0 : errno;
}

}  // namespace

NameInFolder NameInFolder::Resolve(const std::string& path) {
  std::string resolved = FollowTrustedLinks(path);
  const size_t slash = resolved.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : resolved.substr(0, slash);
  std::string name = slash == std::string::npos ? resolved : resolved.substr(slash + 1);
  int fd;
  do {
    fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0 && errno != ENOENT) Fail("open the folder of", path, errno);
  return NameInFolder(path, std::move(resolved), fd, std::move(name));
}

NameInFolder::NameInFolder(NameInFolder&& other) noexcept
    : path_(std::move(other.path_)),
      resolved_(std::move(other.resolved_)),
      folder_(std::exchange(other.folder_, -1)),
      name_(std::move(other.name_)) {}

NameInFolder& NameInFolder::operator=(NameInFolder&& other) noexcept {
  if (this != &other) {
    if (folder_ >= 0) ::close(folder_);
    path_ = std::move(other.path_);
    resolved_ = std::move(other.resolved_);
    folder_ = std::exchange(other.folder_, -1);
    name_ = std::move(other.name_);
  }
  return *this;
}

NameInFolder::~NameInFolder() {
  if (folder_ >= 0) ::close(folder_);
}

NameInFolder NameInFolder::Sibling(const std::string& suffix) const {
  int fd = -1;
  if (folder_ >= 0 && (fd = ::fcntl(folder_, F_DUPFD_CLOEXEC, 0)) < 0) Fail("open the folder of", path_, errno);
  return NameInFolder(resolved_ + suffix, resolved_ + suffix, fd, name_ + suffix);
}

std::optional<OpenedFile> NameInFolder::Open(int access) const {
  if (folder_ < 0) return std::nullopt;
  return OpenRegularFileAt(folder_, name_, access, path_, resolved_);
}

bool NameInFolder::Holds(const struct stat& info) const {
  struct stat now{};
  return folder_ >= 0 && ::fstatat(folder_, name_.c_str(), &now, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(now.st_mode) &&
         now.st_dev == info.st_dev && now.st_ino == info.st_ino;
}

void NameInFolder::Replace(std::string_view bytes, mode_t mode, std::optional<Owner> owner) const {
  if (folder_ < 0) Fail("create a temporary file for", path_, ENOENT);
  std::string temp;
  int fd = -1;
  for (int tries = 0; fd < 0 && tries < 100; ++tries) {
    temp = name_ + RandomSuffix();
    do {
      fd = ::openat(folder_, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 && errno != EEXIST) break;
  }
  if (fd < 0) Fail("create a temporary file for", path_, errno);

  int error = 0;
  std::string action;
  if (owner && (error = GiveTo(fd, *owner)) != 0) {
    action = "set the owner of";
  } else if (::fchmod(fd, mode & 07777) != 0) {  // after fchown, which may clear set-id bits
    error = errno;
    action = "set the permissions of";
  } else if ((error = WriteAll(fd, bytes)) != 0 || (::fsync(fd) != 0 && (error = errno) != 0)) {
    action = "write";
  }
  // Some file systems report a full disk or a lost connection only here.
  if (::close(fd) != 0 && error == 0) {
    error = errno;
    action = "write";
  }
  if (error == 0 && ::renameat(folder_, temp.c_str(), folder_, name_.c_str()) != 0) {
    error = errno;
    action = "replace";
  }
  if (error != 0) {
    ::unlinkat(folder_, temp.c_str(), 0);
    Fail(action, path_, error);
  }
  // Make the rename itself durable. The new content is already in place,
  // so a failure here is not reported as a failed replacement.
  ::fsync(folder_);
}

}  // namespace comvorlix

// Opening a file that someone else may have planted: a check run by root
// in a folder the monitoring user owns must not be made to follow another
// user's link, stall on a FIFO, or read a device or a huge file.
//
// OpenRegularFile follows a symbolic link only when the link is owned by
// root or by the running user (every link of a chain, at most 16), then
// opens the file it ends at without following anything further
// (O_NOFOLLOW) and without blocking (O_NONBLOCK, so a FIFO cannot stall
// the open), and refuses whatever fstat does not call a regular file.
// A name whose final file does not exist gives nothing (the caller may
// create it at `resolved`).
//
// Errors throw FileError (an AutomationError) whose description names the
// path as given and says why in words an administrator can act on, e.g.
// "/x/sw1.params is not a regular file (a FIFO)" or "cannot open
// /x/sw1.params: Permission denied". Descriptors are closed by
// OpenedFile's destructor. Functions may be called from any thread.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <optional>
#include <string>

#include "base/automation_error.h"

namespace comvorlix {

class FileError : public AutomationError {
 public:
  // A refusal: `reason` is what is wrong with the file, said of it ("is
  // not a regular file (a FIFO)"); the description is "PATH " + reason.
  static FileError Refusal(const std::string& path, std::string reason);
  // A failed system call: the description is "cannot ACTION PATH: " +
  // the system's reason.
  static FileError System(const std::string& action, const std::string& path, int error);

  // A refusal of the file rather than a failed system call.
  bool refused() const { return refused_; }
  // The reason in words that follow "PATH: ": "it is not a regular file
  // (a FIFO)", "Permission denied".
  std::string AfterColon() const { return refused_ ? "it " + reason_ : reason_; }

 private:
  FileError(const std::string& description, std::string reason, bool refused)
      : AutomationError(Status::kFail, description), reason_(std::move(reason)), refused_(refused) {}
  std::string reason_;
  bool refused_;
};

class OpenedFile {
 public:
  OpenedFile(int fd, std::string resolved, const struct stat& info)
      : fd_(fd), resolved_(std::move(resolved)), info_(info) {}
  OpenedFile(OpenedFile&& other) noexcept;
  OpenedFile& operator=(OpenedFile&& other) noexcept;
  OpenedFile(const OpenedFile&) = delete;
  OpenedFile& operator=(const OpenedFile&) = delete;
  ~OpenedFile();

  int fd() const { return fd_; }
  // The path of the file itself, every link of the name followed.
  const std::string& resolved() const { return resolved_; }
  // fstat of the open descriptor: device, inode, owner, size.
  const struct stat& info() const { return info_; }

 private:
  int fd_;
  std::string resolved_;
  struct stat info_;
};

// The path with every symbolic link of its last component followed, each
// link checked for its owner as OpenRegularFile does; the path itself when
// it is no link. A link that ends at a missing file gives the missing
// file's path. Throws FileError for another user's link or a loop. Each
// link is looked at and read through one descriptor, so the owner checked
// is that of the link whose target is followed.
std::string FollowTrustedLinks(const std::string& path);

// `access` is O_RDONLY, O_WRONLY or O_RDWR, optionally with O_APPEND.
// Nothing for a missing file; throws as said above.
std::optional<OpenedFile> OpenRegularFile(const std::string& path, int access);
// The same for `name` in the folder `folder` (a descriptor or AT_FDCWD),
// no link followed at all; `path` is for messages, `resolved` is kept.
std::optional<OpenedFile> OpenRegularFileAt(int folder, const std::string& name, int access, const std::string& path,
                                            std::string resolved);

// The whole file from its current offset; throws FileError (a refusal)
// "PATH is larger than N bytes" when it holds more than `max_bytes` (of
// which at most max_bytes + 1 are read). `path` is only for messages.
std::string ReadCapped(const OpenedFile& file, size_t max_bytes, const std::string& path);

}  // namespace comvorlix

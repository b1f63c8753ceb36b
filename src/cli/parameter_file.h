// The parameter file of one switch: one line holding its parameter string.
//
// OpenLocked resolves the path once: a symbolic link owned by root or by
// the running user names its target, which is what gets locked and
// replaced (the link stays); another user's link is refused. The folder of
// the target is held open from then on, so every later step (reading,
// checking, replacing, the kept listing beside it) acts on that folder
// and that name, never on a path resolved anew. It opens the regular file
// there without following a link or waiting for a FIFO and takes an
// exclusive lock on it, waiting for another check of the same file to
// finish, at most until `deadline` when one is given. The lock is held on
// the file that is currently at the name, since a finished check replaces
// the file by renaming a new one over it.
//
// Replace writes the new string, only while the name still refers to the
// file that was opened, as a new file in the same folder, flushed and
// renamed over the old one, keeping the opened file's permissions and,
// when run as root, its owner and group; a new file is created with mode
// 0600. Errors, and a lock still held by another check at the deadline,
// throw std::runtime_error with a message naming the file (as the user
// gave it).
#pragma once

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>

#include "files/file_lock.h"
#include "files/name_in_folder.h"

namespace comvorlix::cli {

// OpenLocked gave up waiting for the lock at its deadline.
class LockTimeout : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The parameter string of a file's `content`: its first line without the
// line end. Throws std::runtime_error(what + " is not valid UTF-8 (...)")
// or (what + " holds more than one line") for more than one non-empty line.
std::string ParameterLine(const std::string& content, const std::string& what);

class ParameterFile {
 public:
  ParameterFile(const ParameterFile&) = delete;
  ParameterFile& operator=(const ParameterFile&) = delete;
  ParameterFile(ParameterFile&& other) noexcept = default;
  ~ParameterFile() = default;  // the LockedFile releases the lock

  // A missing file gives an object with exists() false (nothing locked).
  static ParameterFile OpenLocked(const std::string& path,
                                  std::optional<std::chrono::steady_clock::time_point> deadline = std::nullopt);

  bool exists() const { return lock_.state() == LockedFile::State::kLocked; }
  const std::string& path() const { return name_.path(); }
  // The file itself, a symbolic link resolved: what is locked and replaced.
  const std::string& target() const { return name_.resolved(); }
  // The name of the file in its folder, as resolved when it was opened.
  const NameInFolder& name() const { return name_; }
  // The opened file's fstat (owner, mode, device, inode); exists() only.
  const struct stat& info() const { return lock_.file().info(); }
  // The parameter string: the file's first line, without its line end.
  // A file with more than one non-empty line is refused, and so are a file
  // that is not UTF-8 ("parameter file PATH is not valid UTF-8 (byte N ...)",
  // utf8_check.h) and a file larger than kMaxBytes (of which no more than
  // kMaxBytes + 1 bytes are read).
  static constexpr size_t kMaxBytes = 64 * 1024;
  std::string Read() const;
  // Throws when the folder or the file cannot be written.
  void CheckWritable() const;
  // A warning for the long output when the opened file can be read by its
  // group or by everyone (its stored passwords decode without a key); empty
  // when it cannot, or when it does not exist.
  std::string ReadableByOthersWarning() const;
  // Whether the name still refers to the file that was opened and locked
  // (always true for a file that did not exist when it was opened).
  bool StillInPlace() const;
  void Replace(const std::string& parameter_string) const;

 private:
  ParameterFile(NameInFolder name, LockedFile lock) : name_(std::move(name)), lock_(std::move(lock)) {}
  NameInFolder name_;  // the file itself in its folder: read, locked and replaced
  LockedFile lock_;
};

}  // namespace comvorlix::cli

// The parameter file of one switch: one line holding its parameter string.
//
// OpenLocked resolves the path (a symbolic link names its target, which is
// what gets locked and replaced; the link stays) and takes an exclusive
// lock on the file, waiting for another check of the same file to finish,
// at most until `deadline` when one is given. The lock is held on the file
// that is currently at the path, since a finished check replaces the file
// by renaming a new one over it. Replace writes the new string atomically
// (new file in the same folder, flushed, renamed over the old one),
// keeping the file's permissions and, when run as root, its owner and
// group; a new file is created with mode 0600. Errors, and a lock still
// held by another check at the deadline, throw std::runtime_error with a
// message naming the file (as the user gave it).
#pragma once

#include <chrono>
#include <optional>
#include <stdexcept>
#include <string>

#include "files/file_lock.h"

namespace comvorlix::cli {

// OpenLocked gave up waiting for the lock at its deadline.
class LockTimeout : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

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
  const std::string& path() const { return path_; }
  // The file itself, a symbolic link resolved: what is locked and replaced.
  const std::string& target() const { return target_; }
  // The parameter string: the file's first line, without its line end.
  // A file with more than one non-empty line is refused, and so are a file
  // that is not UTF-8 ("parameter file PATH is not valid UTF-8 (byte N ...)",
  // utf8_check.h) and a file larger than kMaxBytes (of which no more than
  // kMaxBytes + 1 bytes are read).
  static constexpr size_t kMaxBytes = 64 * 1024;
  std::string Read() const;
  // Throws when the folder or the file cannot be written.
  void CheckWritable() const;
  void Replace(const std::string& parameter_string) const;

 private:
  ParameterFile(std::string path, std::string target, LockedFile lock)
      : path_(std::move(path)), target_(std::move(target)), lock_(std::move(lock)) {}
  std::string path_;    // as given, for messages
  std::string target_;  // the file itself: read, locked and replaced
  LockedFile lock_;
};

}  // namespace comvorlix::cli

// The parameter file of one switch: one line holding its parameter string.
//
// OpenLocked takes an exclusive lock on the file (waiting for another
// check of the same file to finish) and makes sure the lock is held on the
// file that is currently at the path, since a finished check replaces the
// file by renaming a new one over it. Replace writes the new string
// atomically (new file in the same folder, flushed, renamed over the old
// one), keeping the file's permissions; a new file is created with mode
// 0600. Errors throw std::runtime_error with a message naming the file.
#pragma once

#include <string>

namespace comvorlix::cli {

class ParameterFile {
 public:
  ParameterFile(const ParameterFile&) = delete;
  ParameterFile& operator=(const ParameterFile&) = delete;
  ParameterFile(ParameterFile&& other) noexcept;
  ~ParameterFile();

  // A missing file gives an object with exists() false (nothing locked).
  static ParameterFile OpenLocked(const std::string& path);

  bool exists() const { return fd_ >= 0; }
  const std::string& path() const { return path_; }
  // The parameter string: the file's first line, without its line end.
  // A file with more than one non-empty line is refused.
  std::string Read() const;
  // Throws when the folder or the file cannot be written.
  void CheckWritable() const;
  void Replace(const std::string& parameter_string) const;

 private:
  ParameterFile(std::string path, int fd) : path_(std::move(path)), fd_(fd) {}
  std::string path_;
  int fd_ = -1;
};

}  // namespace comvorlix::cli

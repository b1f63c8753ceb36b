#include "cli/parameter_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

#include "automation/automation_error.h"
#include "files/files.h"

namespace comvorlix::cli {
namespace {

std::runtime_error SystemError(const std::string& what, const std::string& path) {
  return std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

std::string FolderOf(const std::string& path) {
  size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

ParameterFile::ParameterFile(ParameterFile&& other) noexcept : path_(std::move(other.path_)), fd_(other.fd_) {
  other.fd_ = -1;
}

ParameterFile::~ParameterFile() {
  if (fd_ >= 0) close(fd_);  // releases the lock
}

ParameterFile ParameterFile::OpenLocked(const std::string& path) {
  for (;;) {
    int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
      if (errno == ENOENT) return ParameterFile(path, -1);
      throw SystemError("cannot open parameter file", path);
    }
    ParameterFile file(path, fd);
    while (flock(fd, LOCK_EX) != 0) {
      if (errno != EINTR) throw SystemError("cannot lock parameter file", path);
    }
    // Another check may have replaced the file while we waited for the
    // lock: then the lock is on the old file; start over with the new one.
    struct stat held {}, current {};
    if (fstat(fd, &held) != 0) throw SystemError("cannot read parameter file", path);
    if (stat(path.c_str(), &current) != 0) {
      if (errno == ENOENT) continue;
      throw SystemError("cannot read parameter file", path);
    }
    if (held.st_dev == current.st_dev && held.st_ino == current.st_ino) return file;
  }
}

std::string ParameterFile::Read() const {
  std::string content;
  try {
    content = ReadFileBytes(path_);
  } catch (const AutomationError& e) {
    throw std::runtime_error(e.description());
  }
  size_t nl = content.find('\n');
  std::string line = content.substr(0, nl);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (nl != std::string::npos && content.find_first_not_of("\r\n", nl) != std::string::npos) {
    throw std::runtime_error("parameter file " + path_ + " holds more than one line");
  }
  return line;
}

void ParameterFile::CheckWritable() const {
  const std::string folder = FolderOf(path_);
  if (access(folder.c_str(), W_OK) != 0) throw SystemError("cannot write to the folder of", path_);
  if (exists() && access(path_.c_str(), W_OK) != 0) throw SystemError("cannot write parameter file", path_);
}

void ParameterFile::Replace(const std::string& parameter_string) const {
  try {
    ReplaceFileAtomically(path_, parameter_string + "\n", 0600);
  } catch (const AutomationError& e) {
    throw std::runtime_error(e.description());
  }
}

}  // namespace comvorlix::cli

#include "cli/parameter_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "base/automation_error.h"
#include "cli/utf8_check.h"
#include "files/safe_open.h"

namespace comvorlix::cli {
namespace {

std::runtime_error SystemError(const std::string& what, const std::string& path) {
  return std::runtime_error(what + " " + path + ": " + std::strerror(errno));
}

// "parameter file P is not a regular file (a FIFO)",
// "parameter file P: cannot lock P: Permission denied".
std::runtime_error ParameterFileError(const std::string& path, const AutomationError& e) {
  if (const auto* file = dynamic_cast<const FileError*>(&e); file != nullptr && file->refused()) {
    return std::runtime_error("parameter file " + file->description());
  }
  return std::runtime_error("parameter file " + path + ": " + e.description());
}

}  // namespace

std::string ParameterLine(const std::string& content, const std::string& what) {
  RequireUtf8(content, what);
  size_t nl = content.find('\n');
  std::string line = content.substr(0, nl);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (nl != std::string::npos && content.find_first_not_of("\r\n", nl) != std::string::npos) {
    throw std::runtime_error(what + " holds more than one line");
  }
  return line;
}

ParameterFile ParameterFile::OpenLocked(const std::string& path,
                                        std::optional<std::chrono::steady_clock::time_point> deadline) {
  const auto start = std::chrono::steady_clock::now();
  std::optional<NameInFolder> name;
  std::optional<LockedFile> lock;
  try {
    name.emplace(NameInFolder::Resolve(path));
    lock.emplace(LockedFile::Open(*name, deadline));
  } catch (const AutomationError& e) {
    throw ParameterFileError(path, e);
  }
  if (lock->state() == LockedFile::State::kTimedOut) {
    const double waited = std::chrono::duration<double>(*deadline - start).count();
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", waited > 0 ? waited : 0.0);
    throw LockTimeout("parameter file " + path + " is still locked by another check after waiting " + seconds + " s");
  }
  return ParameterFile(std::move(*name), std::move(*lock));
}

std::string ParameterFile::Read() const {
  const std::string& path = name_.path();
  std::string content;
  try {
    if (::lseek(lock_.file().fd(), 0, SEEK_SET) != 0) throw FileError::System("read", path, errno);
    content = ReadCapped(lock_.file(), kMaxBytes, path);
  } catch (const FileError& e) {
    if (e.refused()) {  // the only refusal of an open file: its size
      throw std::runtime_error("parameter file " + path +
                               " is larger than 64 KiB; a parameter string is one short line");
    }
    throw ParameterFileError(path, e);
  }
  // Read as text, a malformed byte would become U+FFFD and the file would
  // be written back with it: such a file is refused and left alone.
  return ParameterLine(content, "parameter file " + path);
}

void ParameterFile::CheckWritable() const {
  const int folder = name_.folder_fd();
  if (folder < 0) {
    errno = ENOENT;
    throw SystemError("cannot write to the folder of", path());
  }
  if (faccessat(folder, ".", W_OK, 0) != 0) throw SystemError("cannot write to the folder of", path());
  if (exists() && faccessat(folder, name_.name().c_str(), W_OK, 0) != 0) {
    throw SystemError("cannot write parameter file", path());
  }
}

bool ParameterFile::StillInPlace() const { return !exists() || name_.Holds(info()); }

void ParameterFile::Replace(const std::string& parameter_string) const {
  // Whatever now stands at the name was never read: it is not replaced by
  // a string made from another file.
  if (!StillInPlace()) {
    throw std::runtime_error("parameter file " + path() +
                             " was replaced by another file since it was read; nothing written");
  }
  std::optional<NameInFolder::Owner> owner;
  mode_t mode = 0600;
  if (exists()) {
    owner = NameInFolder::Owner{info().st_uid, info().st_gid};
    mode = info().st_mode & 07777;
  }
  try {
    name_.Replace(parameter_string + "\n", mode, owner);
  } catch (const AutomationError& e) {
    throw std::runtime_error(e.description());
  }
}

std::string ParameterFile::ReadableByOthersWarning() const {
  if (!exists()) return {};
  const mode_t mode = info().st_mode & 07777;
  if ((mode & 0044) == 0) return {};
  char octal[8];
  std::snprintf(octal, sizeof octal, "%04o", static_cast<unsigned>(mode));
  return "(warning: parameter file " + path() + " is readable by " + ((mode & 0004) ? "every user" : "its group") +
         " (mode " + octal + "), and whoever reads it can decode its passwords: chmod go-rwx it)";
}

}  // namespace comvorlix::cli

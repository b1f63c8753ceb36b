#include "cli/parameter_file.h"

#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

#include "automation/automation_error.h"
#include "cli/utf8_check.h"
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

ParameterFile ParameterFile::OpenLocked(const std::string& path,
                                        std::optional<std::chrono::steady_clock::time_point> deadline) {
  // Lock and replace the target of a symbolic link, so that the link stays.
  std::string target = path;
  if (char* resolved = realpath(path.c_str(), nullptr)) {
    target = resolved;
    free(resolved);
  } else if (errno != ENOENT) {
    throw SystemError("cannot open parameter file", path);
  }
  const auto start = std::chrono::steady_clock::now();
  LockedFile lock = [&] {
    try {
      return LockedFile::Open(target, deadline);
    } catch (const AutomationError& e) {
      // "cannot open|lock|read <target>: <reason>"
      throw std::runtime_error("parameter file " + path + ": " + e.description());
    }
  }();
  if (lock.state() == LockedFile::State::kTimedOut) {
    const double waited = std::chrono::duration<double>(*deadline - start).count();
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.1f", waited > 0 ? waited : 0.0);
    throw LockTimeout("parameter file " + path + " is still locked by another check after waiting " +
                             seconds + " s");
  }
  return ParameterFile(path, std::move(target), std::move(lock));
}

std::string ParameterFile::Read() const {
  std::string content;
  try {
    content = ReadFileBytes(target_, kMaxBytes + 1);
  } catch (const AutomationError& e) {
    throw std::runtime_error(e.description());
  }
  if (content.size() > kMaxBytes) {
    throw std::runtime_error("parameter file " + path_ + " is larger than 64 KiB; a parameter string is one short line");
  }
  // Read as text, a malformed byte would become U+FFFD and the file would
  // be written back with it: such a file is refused and left alone.
  RequireUtf8(content, "parameter file " + path_);
  size_t nl = content.find('\n');
  std::string line = content.substr(0, nl);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  if (nl != std::string::npos && content.find_first_not_of("\r\n", nl) != std::string::npos) {
    throw std::runtime_error("parameter file " + path_ + " holds more than one line");
  }
  return line;
}

void ParameterFile::CheckWritable() const {
  const std::string folder = FolderOf(target_);
  if (access(folder.c_str(), W_OK) != 0) throw SystemError("cannot write to the folder of", path_);
  if (exists() && access(target_.c_str(), W_OK) != 0) throw SystemError("cannot write parameter file", path_);
}

void ParameterFile::Replace(const std::string& parameter_string) const {
  try {
    ReplaceFileAtomically(target_, parameter_string + "\n", 0600);
  } catch (const AutomationError& e) {
    throw std::runtime_error(e.description());
  }
}

}  // namespace comvorlix::cli

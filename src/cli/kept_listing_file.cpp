#include "cli/kept_listing_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <stdexcept>

#include "automation/automation_error.h"
#include "files/files.h"

namespace comvorlix::cli {

std::string KeptListingPath(const ParameterFile& file) { return file.target() + ".listing"; }

std::string ReadKeptListing(const ParameterFile& file, size_t max_bytes) {
  const std::string path = KeptListingPath(file);
  const std::optional<uint64_t> length = FileLength(path);
  if (!length || *length > kMaxKeptListingBytes) return std::string();
  try {
    return ReadFileBytes(path, std::min(max_bytes, kMaxKeptListingBytes));
  } catch (const AutomationError&) {
    return std::string();
  }
}

void WriteKeptListing(const ParameterFile& file, const std::string& text) {
  const std::string path = KeptListingPath(file);
  const bool existed = FileLength(path).has_value();
  try {
    ReplaceFileAtomically(path, text, 0600);
  } catch (const AutomationError& e) {
    throw std::runtime_error(e.description());
  }
  // Root (a monitoring engine's helper) creates it for the engine's user,
  // who owns the parameter file and must be able to replace both.
  struct stat owner;
  if (!existed && geteuid() == 0 && stat(file.target().c_str(), &owner) == 0 &&
      lchown(path.c_str(), owner.st_uid, owner.st_gid) != 0) {
    throw std::runtime_error("cannot give " + path + " the owner of the parameter file");
  }
}

}  // namespace comvorlix::cli

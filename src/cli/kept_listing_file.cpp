#include "cli/kept_listing_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <stdexcept>

#include "base/automation_error.h"
#include "files/name_in_folder.h"
#include "files/safe_open.h"

namespace comvorlix::cli {
namespace {

constexpr const char* kSuffix = ".listing";

// A file the check wrote itself. A hard link to someone else's file (the
// folder's owner may make one where the system allows it) or a file of a
// third user is not shown as the switch's earlier configuration.
bool Trusted(const struct stat& listing, const ParameterFile& file) {
  return listing.st_nlink == 1 && (listing.st_uid == ::geteuid() || listing.st_uid == file.info().st_uid);
}

// The first `max_bytes` bytes: the check often needs only the first line.
std::string ReadHead(const OpenedFile& listing, size_t max_bytes) {
  std::string text(std::min(max_bytes, static_cast<size_t>(listing.info().st_size)), '\0');
  size_t done = 0;
  while (done < text.size()) {
    const ssize_t n = ::pread(listing.fd(), text.data() + done, text.size() - done, static_cast<off_t>(done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  text.resize(done);
  return text;
}

}  // namespace

std::string KeptListingPath(const ParameterFile& file) { return file.target() + kSuffix; }

std::string ReadKeptListing(const ParameterFile& file, size_t max_bytes) {
  try {
    const std::optional<OpenedFile> listing = file.name().Sibling(kSuffix).Open(O_RDONLY);
    if (!listing || !Trusted(listing->info(), file) ||
        static_cast<uint64_t>(listing->info().st_size) > kMaxKeptListingBytes) {
      return std::string();
    }
    if (max_bytes < kMaxKeptListingBytes) return ReadHead(*listing, max_bytes);
    return ReadCapped(*listing, kMaxKeptListingBytes, KeptListingPath(file));
  } catch (const AutomationError&) {
    return std::string();
  }
}

void WriteKeptListing(const ParameterFile& file, const std::string& text) {
  try {
    // Root (a monitoring engine's helper) creates it for the engine's
    // user, who owns the parameter file and must be able to replace both.
    file.name().Sibling(kSuffix).Replace(text, 0600, NameInFolder::Owner{file.info().st_uid, file.info().st_gid});
  } catch (const AutomationError& e) {
    throw std::runtime_error(e.description());
  }
}

}  // namespace comvorlix::cli

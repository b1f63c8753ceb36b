// The kept listing of a check: FILE.listing beside the parameter file (in
// the folder and under the name the parameter file was resolved to when it
// was opened), which holds the configuration statements the remembered
// checksum stands for, so that the next change can be shown.
//
// It holds the switch's real text, secrets included, so it is always
// written as a fresh private file: mode 0600, created under a temporary
// name in that folder and renamed over FILE.listing (NameInFolder::Replace).
// Whatever was at that name (another user's file, a link, a FIFO) is
// replaced, never written through or left readable. When run as root the
// new file gets the owner and group of the parameter file.
//
// Only a regular file with one link, owned by the running user or by the
// parameter file's owner, is read, without blocking and up to a cap;
// anything else counts as no kept listing (the check then reports a
// change without its diff, and keeps a fresh listing where it keeps one).
// Callers hold the parameter file's lock.
#pragma once

#include <string>

#include "cli/parameter_file.h"

namespace comvorlix::cli {

// The largest kept listing read: a listing's cap with room for its head.
inline constexpr size_t kMaxKeptListingBytes = (size_t{32} << 20) + 4096;

std::string KeptListingPath(const ParameterFile& file);

// The first `max_bytes` bytes of the kept listing (at most
// kMaxKeptListingBytes); empty when there is none, it is larger than that,
// or it cannot be read or is refused as said above.
std::string ReadKeptListing(const ParameterFile& file, size_t max_bytes);

// Throws std::runtime_error naming the file when it cannot be written; the
// old kept listing is then left as it was.
void WriteKeptListing(const ParameterFile& file, const std::string& text);

}  // namespace comvorlix::cli

// The kept listing of a check: FILE.listing beside the parameter file (its
// symbolic link resolved), which holds the configuration statements the
// remembered checksum stands for, so that the next change can be shown.
//
// It holds the switch's real text, secrets included, so it is written like
// the parameter file that holds the passwords: mode 0600, atomically
// (ReplaceFileAtomically), and when run as root a new one gets the owner
// and group of the parameter file (an existing one keeps its own). Callers
// hold the parameter file's lock.
#pragma once

#include <string>

#include "cli/parameter_file.h"

namespace comvorlix::cli {

// The largest kept listing read: a listing's cap with room for its head.
inline constexpr size_t kMaxKeptListingBytes = (size_t{32} << 20) + 4096;

std::string KeptListingPath(const ParameterFile& file);

// The first `max_bytes` bytes of the kept listing (at most
// kMaxKeptListingBytes); empty when there is none, it is larger than that,
// or it cannot be read (then a change shows no diff, which the check says).
std::string ReadKeptListing(const ParameterFile& file, size_t max_bytes);

// Throws std::runtime_error naming the file when it cannot be written; the
// old kept listing is then left as it was.
void WriteKeptListing(const ParameterFile& file, const std::string& text);

}  // namespace comvorlix::cli

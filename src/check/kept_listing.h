// The listing a check keeps beside its parameter file, so that the next
// change can be shown as a diff.
//
// A kept listing is the configuration statements of the last listing whose
// checksum the parameter string remembers, as the switch sent them, after a
// first line that names that checksum:
//
//   # comvorlix listing CRC=40ABF1A9
//   hostname sw1
//   ...
//
// The checksum line makes a stale file harmless: a kept listing is only
// used when it names the checksum remembered now (a failed write of either
// file, a parameter file edited by hand, a downgrade and upgrade). Pure
// functions, thread-safe.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "automation/text.h"

namespace comvorlix {

// The text of a kept listing for `statements` with the checksum `crc`.
std::string KeptListingText(TextView crc, std::string_view statements);

// The statements of the kept listing `file_text` when its first line names
// `crc` (not empty); nothing for any other text.
std::optional<std::string_view> KeptStatements(std::string_view file_text, TextView crc);

}  // namespace comvorlix

// The listing a check keeps beside its parameter file, so that the next
// change can be shown as a diff.
//
// A kept listing is the configuration statements of the last listing whose
// checksum the parameter string remembers, as the switch sent them, after a
// first line that names that checksum and the device kind and
// configuration it was listed with:
//
//   # comvorlix listing CRC=40ABF1A9 DEV=CSCSW CFG=RUN
//   hostname sw1
//   ...
//
// The checksum line makes a stale file harmless: a kept listing is only
// used when it names the checksum remembered now (a failed write of either
// file, a parameter file edited by hand, a downgrade and upgrade). When the
// parameter string remembers no checksum at all (a template rewrote it), a
// kept listing of the same DEV and CFG stands for the remembered one
// (KeptHeadFor). Listings written before the head named DEV and CFG
// ("# comvorlix listing CRC=X" alone) are read as before and never stand
// in for a lost checksum. Pure functions, thread-safe.
#pragma once

#include <optional>
#include <string>
#include <string_view>


namespace comvorlix {

// The kept listing of `statements` with the checksum `crc`,
// listed from a switch of kind `device` with configuration `configuration`.
// A device or configuration code that is not a short word of printable
// ASCII (never one of the device table) is left out of the head, with the
// other: such a listing only serves diffs.
std::string KeptListingOf(std::string_view crc, std::string_view device, std::string_view configuration,
                          std::string_view statements);
// The same with the head of earlier versions, which names the checksum only.
std::string KeptListingOf(std::string_view crc, std::string_view statements);

// The statements of the kept listing `file_text` when its first line names
// `crc` (not empty); nothing for any other text.
std::optional<std::string_view> KeptStatements(std::string_view file_text, std::string_view crc);

// The checksum the first line of `file_text` names when that line also
// names exactly `device` and `configuration`; nothing otherwise (no head,
// a head without DEV and CFG, another switch kind or configuration).
// `file_text` may be only the first bytes of the file (kMaxKeptHeadBytes).
std::optional<std::string> KeptHeadFor(std::string_view file_text, std::string_view device,
                                       std::string_view configuration);

// Enough of a kept listing for its first line.
inline constexpr size_t kMaxKeptHeadBytes = 128;

}  // namespace comvorlix

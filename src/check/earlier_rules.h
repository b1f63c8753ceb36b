// The checksums earlier versions of this program remembered, so that a
// configuration they remembered counts as unchanged after an upgrade.
//
// Two rules came before the line rules of today (check/line_rules.h):
//   * the whole listing: every byte of it, an Aruba listing from the second
//     byte of its header on ("unning configuration:");
//   * statements by first bytes: the same listing without empty lines,
//     separators ("!" for Cisco, "#" for HP 1920 and HP 2530, compared after
//     leading blanks) and lines that start, after leading blanks, with a
//     header or comment prefix, anywhere in the listing: Cisco "Building
//     configuration...", "Current configuration :", "Using ", "! Last
//     configuration change at", "! NVRAM config last updated at", "! No
//     configuration change since last restart", "ntp clock-period "; Aruba
//     and HP 2530 "Running configuration:", "Startup configuration:", ";".
// These tables are frozen: they say what was remembered, not what is right.
// Pure functions, thread-safe.
#pragma once

#include <string_view>


namespace comvorlix {

// Whether `remembered` (not empty) is the checksum one of the earlier rules
// gives `listing` (the whole listing as found, header included) of a switch
// of kind `device_code`.
bool RememberedByAnEarlierRule(std::string_view device_code, std::string_view listing, std::string_view remembered);

}  // namespace comvorlix

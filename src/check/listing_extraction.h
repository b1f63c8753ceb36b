// Finding a configuration listing in the output of a whole session.
//
// The session output holds banners, prompts, the echo of every typed
// command, the answers to them, logout questions and the listings, in the
// order the switch sent them. A listing is found by the echo of its command
// after a prompt ("Switch#show running-config"); it runs from the next
// non-empty line to
//   * the device's end line ("end", "return") that is followed, after any
//     empty lines, by a line that starts with the same prompt; or
//   * for a device without an end line, the last non-empty line before the
//     next line that starts with the prompt.
// The returned text keeps every character as received, line ends included
// (the last line with its line end); nothing before or after is part of it.
// So the same configuration gives the same text whatever the banner, the
// grouping of the data or the number of repeated logout texts.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "automation/text.h"

namespace comvorlix {

struct ListingShape {
  Text command;       // as typed, without the line end; blanks around it are ignored
  Text first_marker;  // when not empty, the listing's first line must start with it
  Text end_line;      // when not empty, the listing's last line (blanks ignored)
};

struct FoundListing {
  Text text;
  size_t end_offset = 0;  // where the output after the listing starts
};

struct ListingError {
  std::string what;  // UTF-8, names what was missing
};

// Searches `output` from `from`. Returns the listing or says what is missing.
std::variant<FoundListing, ListingError> FindListing(TextView output, const ListingShape& shape, size_t from = 0);

// The last line of the output that holds more than blanks, without its line
// end, shortened to `max_chars` (with "..." appended when cut).
Text LastDeviceLine(TextView output, size_t max_chars = 120);

// The configuration statements of a listing, for comparing two listings:
// the listing without empty lines, without lines that are one of
// `separators`, and without lines that start with one of `metadata_prefixes`
// (both compared after leading blanks). Kept lines keep their line ends.
Text StatementsOnly(TextView listing, const std::vector<Text>& metadata_prefixes,
                    const std::vector<Text>& separators);

}  // namespace comvorlix

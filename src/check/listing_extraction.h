// Finding a configuration listing in the output of a whole session.
//
// The session output holds banners, prompts, the echo of every typed
// command, the answers to them, logout questions and the listings, in the
// order the switch sent them.
//
// With a marker (a command carrying a token fresh for the session, typed
// just before and just after the listing command), the listing is found by
// echoes after a prompt only: the marker's echo, then the first echo of the
// listing command after it; the listing runs from the next non-empty line to
// the last non-empty line before the next echo of the marker. Nothing a
// switch prints before (a banner holding a prompt, the command and an old
// listing) or inside the listing (a banner or description holding an end
// line and a prompt) can stand in for these echoes, since no text can hold
// a token drawn after it was written. That last line must be the device's
// end line ("end", "return"), unless the device has none or the listing's
// first line starts with one of the endless markers; so a listing cut off
// is still found missing.
//
// Without a marker (output recorded before markers were typed), the listing
// is found by the echo of its command after a prompt
// ("Switch#show running-config"); it runs from the next non-empty line to
//   * the device's end line that is followed, after any empty lines, by a
//     line that starts with the same prompt; or
//   * for a device without an end line (or an endless listing), the last
//     non-empty line before the next line that starts with the prompt.
// The returned piece keeps every byte as received, line ends included (the
// last line with its line end); nothing before or after is part of it. So
// the same configuration gives the same bytes whatever the banner, the
// grouping of the data or the number of repeated logout texts.
//
// Everything here works on bytes as the switch sent them; commands and
// markers are bytes too. Names quoted in error texts are shown as UTF-8, a
// byte standing for the character it has in the ANSI code page. Pure
// functions, thread-safe.
#pragma once

#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace comvorlix {

struct ListingShape {
  std::string command;       // as typed, without the line end; blanks around it are ignored
  std::string first_marker;  // when not empty, the listing's first line must start with it
  std::string end_line;      // when not empty, the listing's last line (blanks ignored)
  // A listing whose first line starts with one of these has no end line.
  std::vector<std::string> endless_markers;
  // The marker command as typed (token filled in, no line end); empty: none.
  std::string marker;
};

struct FoundListing {
  std::string_view text;  // a piece of the output searched
  size_t end_offset = 0;  // where the output after the listing starts (with a
                          // marker: its closing echo, which opens the next)
};

struct ListingError {
  std::string what;  // UTF-8, names what was missing
};

// Searches `output` from `from`. Returns the listing (a view into `output`)
// or says what is missing.
std::variant<FoundListing, ListingError> FindListing(std::string_view output, const ListingShape& shape,
                                                     size_t from = 0);

// The last line of the output that holds more than blanks, without its line
// end and carriage returns, blanks around it dropped, shortened to
// `max_bytes` (with "..." appended when cut).
std::string LastDeviceLine(std::string_view output, size_t max_bytes = 120);

// Bytes shown in an error text: the UTF-8 form of the characters they stand
// for in the ANSI code page, in double quotes.
std::string QuotedBytes(std::string_view bytes);

}  // namespace comvorlix

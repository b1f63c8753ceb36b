// The lines a check prints for a monitoring engine, made safe to print.
//
// A check's text carries what the switch and the network said: escape
// sequences, bells, line ends, bytes that are not UTF-8, a `|` that would
// split the performance data, or a listing line of any length. The
// command-line host formats every monitoring line here and nowhere else:
//
//   CONFIG <STATE> - <text> | <perfdata>
//   <long output line>
//   ...
//
// Each line is cleaned on its own:
// - every control byte (C0, DEL), every UTF-8 encoded C1 control and the
//   Unicode line and paragraph separators are written as `\xNN` per byte,
//   upper-case hex, so nothing can move a terminal's cursor or start a
//   new line;
// - every byte that is not part of valid UTF-8 (stray continuation bytes,
//   overlong forms, surrogates, code points above U+10FFFF, cut sequences)
//   is written as `\xNN`; valid multi-byte characters are kept;
// - `|` in a text is written as `/`, so performance data starts only
//   after the one ` | ` this formatter writes;
// - text between double quotes (what the switch, the SSH server or the
//   SSH library said, in error messages) keeps at most kMaxQuotedChars
//   characters: a longer one shows its beginning and `...` inside the
//   quotes, kMaxQuotedChars in all; a quote without its closing quote runs
//   to the end of the line. Here characters are counted before escaping:
//   a control byte or an invalid byte counts one, as does a multi-byte
//   character;
// - every line keeps at most kMaxLineChars characters as printed (an
//   escape counts its four), `...` included when it is cut; this bounds
//   text that reaches a line without quotes (or with quotes of its own
//   that confuse the pairing). The performance data after the first
//   line's ` | ` is never cut and not counted.
//
// Pure functions; safe from any thread.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace comvorlix::cli {

inline constexpr size_t kMaxQuotedChars = 200;
inline constexpr size_t kMaxLineChars = 1000;

// What a check reports, before cleaning. The exit status is the state.
struct PluginReport {
  std::string text;                     // the first line's text, after "CONFIG <STATE> - "
  std::string perfdata;                 // without the leading " | "; empty: no performance data
  std::vector<std::string> long_lines;  // further lines (long output), one entry per line
};

// One text cleaned as described above, at most `max_chars` characters as
// printed.
std::string CleanForPlugin(std::string_view text, size_t max_chars = kMaxLineChars);

// "OK", "WARNING", "CRITICAL" or "UNKNOWN" (any other status: "UNKNOWN").
std::string_view PluginStateName(int status);

// The whole output stays under this many bytes (monitoring engines cut a
// plugin's output at 8 KiB).
inline constexpr size_t kMaxOutputBytes = 8000;

// The whole output, lines joined with '\n', without a final line end. The
// performance data is cleaned like text but keeps no quotes rule. Long
// output lines that would take the whole past kMaxOutputBytes are replaced
// by "... and N more lines (the output stays under 8000 bytes)".
std::string FormatPluginOutput(int status, const PluginReport& report);

}  // namespace comvorlix::cli

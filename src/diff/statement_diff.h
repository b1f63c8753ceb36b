// A line diff of two configuration listings, rendered for the long output of
// a check.
//
// Input: two statement lists as bytes, one statement per line. A line ends
// in "\n" or "\r\n"; the last line may lack its end, and a lone "\r" at the
// very end of a list is taken as its line end as well (a listing cut after
// the "\r" of its last "\r\n"). Lines are compared as byte strings without
// their line end; nothing else about the bytes is interpreted (they need
// not be UTF-8). An empty list has no lines; "\n" alone is one empty line.
//
// The diff is minimal: the common head and tail of the two lists are set
// aside, lines found in one list only are changed in any case, and Myers'
// O(ND) algorithm in linear space runs on the others. Its rendering:
//   - a removed line is "- <line>", an added line "+ <line>", the line with
//     its own indentation, passed through `show`;
//   - changed lines come in hunks (runs of changed lines with no unchanged
//     line between them); in a hunk the removed lines come first, then the
//     added ones;
//   - a hunk opens with its section line "  <line>" (two blanks, the line
//     through `show`): the nearest line above the hunk's first changed line,
//     in that line's own list (the old one for a removed line, the new one
//     for an added line), that is indented less than it (indentation: the
//     count of leading blanks and tabs). None when the first changed line is
//     not indented or no such line exists. Every hunk gets its own;
//   - at most `max_changed_lines` removed and added lines are rendered, and
//     all rendered lines together, each counted with one more byte for its
//     line end, stay within `max_output_bytes`. When changed lines are left
//     out, the last rendered line is "... and N more changed lines" (N: the
//     removed and added lines not shown), and the byte cap leaves room for
//     it. A section line is never rendered without a changed line after it.
//     Should not even that last line fit, nothing is rendered.
//
// Work bound: equal lists give 0 and 0 whatever their size. Other lists
// whose lines between the common head and tail number more than
// `max_lines` together, or a diff whose search would pass `max_work` steps,
// give counts only: counts_only is set, no lines are rendered, and
// removed/added are the lines of the old and of the new list outside their
// common head and tail, every one of them. That count is never smaller than
// the exact one, so a reordered listing is never "0 removed and 0 added".
//
// Time: comparing the common head and tail, hashing the lines between them
// plus at most about `max_work` steps of the search (a step is a comparison
// of two line numbers), and one more reading of both lists to render.
// Memory: the caller's input stays where it is and is not copied; for the
// lines between the common head and tail only, about 24 bytes per distinct
// line for the line table and about 15 bytes per line of both lists, all of
// it freed before rendering. A change of a few lines in a large listing
// costs next to nothing. Nothing is quadratic.
//
// DiffStatements is pure and thread-safe as long as `show` is. An exception
// from `show` or std::bad_alloc propagates; a list over 4 GiB is refused
// with std::length_error; nothing else fails.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace comvorlix {

struct StatementDiffOptions {
  // Removed plus added lines rendered; section lines do not count.
  size_t max_changed_lines = 40;
  // All rendered lines together, each counted with one byte for its "\n".
  size_t max_output_bytes = 7000;
  // Turns a line into what is shown of it (masking secrets); the line as it
  // is when empty. Called only for a line about to be rendered (the caps are
  // checked on its result), never for the rest of the lists.
  std::function<std::string(std::string_view line)> show;
  // Lines of both lists between their common head and tail beyond which
  // only counts are given. The default takes two listings of 200 000 lines
  // each.
  size_t max_lines = 400'000;
  // Steps of the diff search beyond which only counts are given. The
  // default takes some tens of milliseconds at most; any change of a few
  // hundred lines in listings of 20 000 lines stays well within it.
  size_t max_work = 10'000'000;
};

struct StatementDiff {
  // Lines removed from the old list and added in the new one; exact unless
  // counts_only, then the lines outside the common head and tail (see above).
  size_t removed = 0;
  size_t added = 0;
  // The work bound was passed: `lines` is empty.
  bool counts_only = false;
  // The rendered long-output lines, without line ends.
  std::vector<std::string> lines;
};

StatementDiff DiffStatements(std::string_view old_statements, std::string_view new_statements,
                             const StatementDiffOptions& options);

}  // namespace comvorlix

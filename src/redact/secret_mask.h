// Masks the secrets of configuration statements before they are shown.
//
// A SecretPattern says where a statement holds a secret, as RE2 patterns
// written as the device tables (and kind files) give them:
//   * `line` is searched for in a line of the configuration (unanchored:
//     "^" anchors at the line's start), without its line end and trailing
//     blanks, in Latin-1 mode (one byte is one character, any bytes are
//     fine), case-sensitively unless the pattern says "(?i)"; "." matches
//     every byte. It is searched for again after each match, where that
//     match ended. Every capture group that takes part in a match and
//     matches at least one byte is a secret: it is shown as "<secret>".
//     "Everything after the keyword" is a capture "(.*)" at the end.
//   * `section`, when not empty, limits the pattern to the lines of a
//     section whose opening line it matches (read as `line` is). A line's
//     section is opened by the nearest line above it that is indented less
//     (indentation: leading blanks and tabs; lines of blanks only are
//     skipped); a line with no such line is in no section and `section`
//     patterns never hold for it. So a "#" line at the left margin ends a
//     Comware section, and "exit" lines change nothing.
// Example: {.line = R"(^ *enable (?:\S+ )*?(?:secret|password) (.*))"}, and
// {.line = R"(^ +key (.*))", .section = R"(^radius server )"}.
//
// What several patterns capture in one line is united, and each run of
// captured bytes becomes one "<secret>"; everything else stays byte for
// byte, indentation, trailing blanks and line end included. Lines end in "\n", "\r\n" or a lone "\r" (so that
// a carriage return inside device output cannot hide a secret from a
// pattern anchored at the line's start).
//
// Where the section of a line is unknown (the text above it is not at
// hand), every `section` pattern is taken to hold: masking may hide more
// than needed, never less.
//
// Patterns are compiled once, when the mask is made (RE2 with a small
// memory budget; should a pattern set's automaton run out of it, each
// pattern is tried on its own, more slowly but with the same result). Time
// is linear in the text for each line; no backtracking.
//
// A SecretMask is immutable once made; all of its functions are const and
// may be called from any number of threads at once. Masking never fails
// short of std::bad_alloc.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace comvorlix {

struct SecretPattern {
  std::string line;
  std::string section = {};  // empty: every line, in a section or not
};

class SecretMask {
 public:
  // Throws std::invalid_argument naming the pattern and what RE2 says of it
  // when one does not compile, is empty, or is no ASCII text (other bytes
  // are written "\xNN").
  explicit SecretMask(std::span<const SecretPattern> patterns);
  ~SecretMask();
  SecretMask(SecretMask&&) noexcept;
  SecretMask& operator=(SecretMask&&) noexcept;

  // Every line of `text`, each in its section within `text`.
  std::string MaskLines(std::string_view text) const;

  // The lines of `part`, which should start at a line's start: when `part`
  // lies within `text`, masked as MaskLines(text) masks them (the text
  // above `part` gives their sections); otherwise as MaskLines(part), a
  // line without a section inside `part` having an unknown one.
  std::string MaskPart(std::string_view text, std::string_view part) const;

  // The lines of `text` with nothing known of what lies above it:
  // MaskPart({}, text).
  std::string Mask(std::string_view text) const;

 private:
  struct Compiled;
  std::unique_ptr<const Compiled> compiled_;
};

}  // namespace comvorlix

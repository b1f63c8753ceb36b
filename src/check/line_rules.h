// The line rules of a kind of switch: which lines of a listing are its
// configuration statements, the bytes a checksum covers and a diff compares.
//
// A listing is read line by line, each line as its bytes without the line
// end, carriage returns and trailing blanks (the "clean" line); a pattern of
// the device table (devices/device_table.h) must match a whole clean line:
//   * inside free text (from a line that matches a free-text opener up to
//     and including the line that holds the opener's closing delimiter, which
//     may be the opener itself) every line is configuration, empty ones
//     included;
//   * outside it, an empty line is none, nor is a separator (matched without
//     the line's indentation), nor a drifting line;
//   * in the head, before the first line that is configuration, neither is a
//     head line;
//   * every other line is configuration; the first one ends the head.
// A line that is configuration is kept byte for byte with its line end.
//
// Patterns are compiled once per kind, in Latin-1 mode (one byte is one
// character: switch text is bytes), case-sensitive unless they say "(?i)".
// A pattern that is a plain text is compared, never compiled. RE2 matches
// in time linear in the line and without recursion, so any line of any
// length is safe. Every member is const and thread-safe.
#pragma once

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace re2 {
class RE2;
}

namespace comvorlix {

struct DeviceKind;

class LineRules {
 public:
  // Throws std::invalid_argument naming the kind and the pattern when a
  // pattern does not compile or an opener does not have two capture groups.
  explicit LineRules(const DeviceKind& device);
  ~LineRules();
  LineRules(LineRules&&) noexcept;
  LineRules& operator=(LineRules&&) = delete;

  // The rules of a registered kind, made on first use; for any other kind
  // (OtherDeviceKind), rules that keep every line that is not empty. A
  // registered kind's patterns were all compiled when it was registered
  // (devices/kind_file.h), so here each is compiled only when a line first
  // starts the way it does; most listings never need some of them.
  static const LineRules& Of(const DeviceKind& kind);

  // Calls `run` with the pieces of `listing` that are configuration, in
  // order, each one or more whole lines with their line ends, never copied.
  void ForEachStatementRun(std::string_view listing, const std::function<void(std::string_view run)>& run) const;

  // The pieces of ForEachStatementRun, one after the other.
  std::string StatementsOnly(std::string_view listing) const;

 private:
  // A pattern and the bytes every line it matches starts with, which let
  // most lines pass without running it.
  struct Pattern {
    Pattern(std::string text, int groups);
    std::string text;
    int groups;              // capture groups it must have; -1: any number
    std::string prefix;
    bool literal = false;    // the whole pattern is `prefix`: a line matches by being it
    bool CanMatch(std::string_view line) const;
    // Compiled on the first call; throws as the constructor does, naming
    // the kind `code`.
    const re2::RE2& Compiled(std::string_view code) const;
   private:
    mutable std::once_flag once_;
    mutable std::unique_ptr<re2::RE2> re_;
  };
  using Patterns = std::deque<Pattern>;  // a deque: a Pattern is never moved
  enum class When { kNow, kFirstUse };
  LineRules(const DeviceKind& device, When compile);
  static Patterns Compile(std::string_view code, const std::vector<std::string>& patterns, int groups, When when);
  bool Matches(const Pattern& p, std::string_view line) const;
  bool AnyMatches(const Patterns& patterns, std::string_view line) const;
  // The closing delimiter of free text opened by `line`, and whether the
  // opener's own rest already closes it; empty: `line` opens none.
  std::string Opens(std::string_view line, bool& closed) const;

  std::string code_;  // the kind's, for the errors
  Patterns head_;
  Patterns drifting_;
  Patterns openers_;
  Patterns separators_;
};

}  // namespace comvorlix

// Masks the secrets of configuration statements before they are shown.
//
// A pattern names the keywords after which a statement holds a secret, as
// the device tables list them: keyword tokens separated by blanks; "a|b"
// matches either token; "..." matches any number of tokens, none included.
// A pattern matches a statement when its tokens match a run of adjacent
// tokens of the statement (tokens are separated by blanks and tabs),
// anywhere in it, compared without regard to ASCII case. Examples:
// "enable secret|password", "username ... secret|password",
// "snmp-server community".
//
// Masking keeps the statement byte for byte up to and including the last
// keyword of the match, indentation and all, and puts " <secret>" in place
// of everything after it; the line end (any "\r" and "\n" at the end of the
// statement) is kept as it was. A statement with nothing but blanks after
// the keyword stays as it is. When several matches exist, the first one
// found reading the statement from the left wins: the one whose last
// keyword comes first, which is also the one that hides the most. So a
// "..." matches as few tokens as it can: "username admin password x secret
// y" becomes "username admin password <secret>".
//
// Since everything after the keyword goes, a quoted secret with blanks in
// it, or further options after the secret, are hidden as well.
//
// A SecretMask is immutable once made; all of its functions are const and
// may be called from any number of threads at once. Masking never fails
// (short of std::bad_alloc) and looks at the bytes only as blanks and ASCII
// letters, so any bytes are fine.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace comvorlix {

class SecretMask {
 public:
  // Throws std::invalid_argument naming the pattern when one is invalid:
  // empty or only blanks, an empty alternative ("|", "a|", "a||b"), "..." as
  // an alternative, or "..." first or last.
  explicit SecretMask(std::span<const std::string> patterns);

  // One statement, with or without its line end; the statement itself when
  // no pattern matches.
  std::string Mask(std::string_view line) const;

  // Every line of a text: lines end in "\n", "\r\n" or a lone "\r" (so that
  // a carriage return in the middle of device output cannot hide a secret
  // from the match); each line is masked with its line end kept.
  std::string MaskLines(std::string_view text) const;

 private:
  // The lower-case tokens any of which matches one token of a statement.
  using Keyword = std::vector<std::string>;
  // Runs of keywords that match adjacent tokens; "..." lies between runs.
  using Pattern = std::vector<std::vector<Keyword>>;

  std::vector<Pattern> patterns_;
};

}  // namespace comvorlix

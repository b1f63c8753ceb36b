// The parameter string: every setting of one monitored switch in one UTF-8
// string.
//
// The string is a sequence of entries "#" key "=" value. A value runs from
// just after its "=" up to, not including, the next "#" (or to the end of
// the string), so it cannot hold "#" but may hold "=" and blanks. Keys are
// matched without regard to the case of ASCII and Latin-1 letters; values
// are kept exactly, byte for byte, case and blanks included. When a key
// occurs more than once only its first entry counts, for reading and for
// replacing. Anything before the first "#" belongs to no entry. There is
// no quoting, escaping or length limit.
//
// These two functions are the only code that parses the string. Both are
// pure, thread-safe and never fail: any string is a parameter string and any
// string is a key.
#pragma once

#include <string>
#include <string_view>

namespace comvorlix {

// The value of the first entry for `key` (upper-cased and stripped of
// leading and trailing blanks before matching), exactly as stored; the
// empty string when the string has no such entry.
std::string GetKeyValue(std::string_view p, std::string_view key);

// `p` with the value of the first entry for `key` replaced by `value`; the
// entry's key keeps the letter case it has in `p`. Without such an entry,
// "#" is appended unless `p` already ends with one, then the key in upper
// case (with any blanks it was given), "=", `value` and "#". `value` is
// written as given; a "#" in it ends the value when the string is read.
std::string SetKeyValue(std::string_view p, std::string_view key, std::string_view value);

}  // namespace comvorlix

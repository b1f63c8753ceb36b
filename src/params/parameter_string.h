// The parameter string: every setting of one monitored switch in one text.
//
// The string is a sequence of entries "#" key "=" value. A value runs from
// just after its "=" up to, not including, the next "#" (or to the end of
// the string), so it cannot hold "#" but may hold "=" and blanks. Keys are
// matched without regard to letter case; values are kept exactly, case and
// blanks included. When a key occurs more than once only its first entry
// counts, for reading and for replacing. Text before the first "#" belongs
// to no entry. There is no quoting, escaping or length limit.
//
// These two functions are the only code that parses the string. Both are
// pure, thread-safe and never fail: any text is a parameter string and any
// text is a key.
#pragma once

#include "automation/text.h"

namespace comvorlix {

// The value of the first entry for `key` (upper-cased and stripped of
// leading and trailing blanks before matching), exactly as stored; the
// empty text when the string has no such entry.
Text GetKeyValue(TextView p, TextView key);

// `p` with the value of the first entry for `key` replaced by `value`; the
// entry's key keeps the letter case it has in `p`. Without such an entry,
// "#" is appended unless `p` already ends with one, then the key in upper
// case (with any blanks it was given), "=", `value` and "#". `value` is
// written as given; a "#" in it ends the value when the string is read.
Text SetKeyValue(TextView p, TextView key, TextView value);

}  // namespace comvorlix

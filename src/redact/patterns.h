// The RE2 options every pattern on switch output is compiled with.
//
// Switch output is bytes in whatever code page the switch speaks, so a
// pattern reads it as Latin-1: one byte is one character and any byte is
// fine. A pattern that does not compile is reported by its caller with
// RE2's own error, never logged by RE2 to standard error. `max_memory` is
// what RE2 may spend on the pattern; past it RE2 refuses the pattern, or
// falls back to slower matching instead of growing its automata cache.
// Pure and thread-safe.
#pragma once

#include <re2/re2.h>

#include <cstdint>

namespace comvorlix {

// The budget of one pattern of a kind (line rules, attribution). Patterns
// run on one line at a time, so their automata stay tiny: a pattern that
// would need more is a mistake, and a hostile kind file cannot make the
// check big. A kind file is loaded with the budget the check compiles with,
// so a kind that loads never fails later.
inline constexpr int64_t kLinePatternMemory = 256 << 10;

RE2::Options SwitchOutputPatternOptions(int64_t max_memory);

}  // namespace comvorlix

// Reading a value from standard input, with a bound.
#pragma once

#include <cstddef>
#include <string>

namespace comvorlix::cli {

// The most bytes a secret given on standard input may have (its line end
// not counted), and the most its stored form may have (a secret of 4 KiB
// is stored in about 16.1 KiB).
inline constexpr size_t kMaxSecretBytes = 4 * 1024;
inline constexpr size_t kMaxStoredSecretBytes = 32 * 1024;

// Standard input without one trailing line end ("\n" or "\r\n"). Reads at
// most `max_bytes` and a line end, so an endless input costs nothing; a
// longer value raises UsageError "the <what> on standard input is longer
// than N KiB ...". Main thread.
std::string ReadValueFromStandardInput(size_t max_bytes, const std::string& what);

}  // namespace comvorlix::cli

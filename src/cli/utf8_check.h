// Whether bytes read from outside (a parameter file, standard input) are
// UTF-8. The text conversions of the library turn every malformed byte into
// U+FFFD silently; the command line refuses such input instead, so that a
// file is never rewritten with its bytes replaced.
//
// Pure functions; thread-safe; FirstInvalidUtf8 never fails.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace comvorlix::cli {

// The offset of the first byte that does not belong to a well-formed UTF-8
// sequence (overlong forms, surrogates and code points above U+10FFFF are
// malformed), or nullopt when all of `bytes` is UTF-8.
std::optional<size_t> FirstInvalidUtf8(std::string_view bytes);

// Throws std::runtime_error(what + " is not valid UTF-8 (byte N is not
// part of a UTF-8 character)"), N counted from 1, when `bytes` is not UTF-8.
void RequireUtf8(std::string_view bytes, const std::string& what);

}  // namespace comvorlix::cli

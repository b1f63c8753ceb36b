// Character data as bytes: the two conversions between UTF-8 and the
// single-byte code page that switches are spoken to in (Windows-1252 with
// every byte mapped, as automation/text.h describes it), and the cleaning
// of UTF-8 from outside. Each gives exactly the bytes that the 16-bit
// conversions of automation/text.h give for the same input.
//
//  * Cp1252OfUtf8: the bytes typed for a text the user gave (a password
//    "pässwört" becomes p E4 s s w F6 r t). A character the code page lacks
//    becomes "?", one for each 16-bit unit it takes (two for a character
//    beyond U+FFFF), and each byte that is not part of well-formed UTF-8
//    becomes one "?".
//  * Utf8OfCp1252: switch bytes shown as UTF-8, each byte as the character
//    it stands for in the code page.
//  * ValidUtf8: text from outside (a host's string, a server's message)
//    as well-formed UTF-8: each byte that is not part of well-formed UTF-8
//    becomes U+FFFD.
//
// Well-formed UTF-8 has no overlong forms, no surrogates and nothing beyond
// U+10FFFF; a malformed sequence counts as its first byte alone and reading
// goes on at the next. None goes through 16-bit characters. Pure,
// thread-safe, never fail.
#pragma once

#include <string>
#include <string_view>

namespace comvorlix {

std::string Cp1252OfUtf8(std::string_view utf8);
std::string Utf8OfCp1252(std::string_view bytes);
std::string ValidUtf8(std::string_view text);

}  // namespace comvorlix

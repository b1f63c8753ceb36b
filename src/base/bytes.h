// Text as bytes: the two conversions between UTF-8 and the single-byte code
// page that switches are spoken to in (Windows-1252 with every byte mapped,
// as base/text.h describes it).
//
//  * Cp1252OfUtf8: the bytes typed for a text the user gave (a password
//    "pässwört" becomes p E4 s s w F6 r t). A character the code page lacks
//    becomes "?", one for each 16-bit unit it takes (two for a character
//    beyond U+FFFF), and each byte that is not part of well-formed UTF-8
//    becomes one "?": exactly the bytes ToAnsi(FromUtf8(utf8)) gives.
//  * Utf8OfCp1252: switch bytes shown as UTF-8, each byte as the character
//    it stands for in the code page; exactly ToUtf8(FromAnsi(bytes)).
//  * ValidUtf8: text from outside (a host's string, a server's message)
//    as well-formed UTF-8: each byte that is not part of well-formed UTF-8
//    becomes U+FFFD; exactly ToUtf8(FromUtf8(text)).
//
// None goes through 16-bit characters. Pure, thread-safe, never fail.
#pragma once

#include <string>
#include <string_view>

namespace comvorlix {

std::string Cp1252OfUtf8(std::string_view utf8);
std::string Utf8OfCp1252(std::string_view bytes);
std::string ValidUtf8(std::string_view text);

}  // namespace comvorlix

// Character data as bytes, with no 16-bit characters on the way.
//
// Switches are spoken to in one single-byte code page: Windows-1252 with
// every byte 0x00-0xFF mapped to a character of its own. The five bytes
// Windows-1252 leaves unassigned (0x81, 0x8D, 0x8F, 0x90, 0x9D) stand for
// U+0081, U+008D, U+008F, U+0090 and U+009D, as on Windows, so bytes ->
// characters -> bytes is lossless. Everything else here is UTF-8.
//
//  * Cp1252OfUtf8: the bytes typed for a text the user gave (a password
//    "pässwört" becomes p E4 s s w F6 r t). A character the code page lacks
//    becomes "?", one for each UTF-16 unit it takes (two for a character
//    beyond U+FFFF), and each byte that is not part of well-formed UTF-8
//    becomes one "?".
//  * Utf8OfCp1252: switch bytes shown as UTF-8, each byte as the character
//    it stands for in the code page.
//  * ValidUtf8: text from outside (a host's string, a server's message)
//    as well-formed UTF-8: each byte that is not part of well-formed UTF-8
//    becomes U+FFFD.
//  * Utf8AsUtf16Le / Utf16LeAsUtf8: the UTF-16LE bytes the cipher works on
//    (malformed UTF-8 counts as one U+FFFD per bad byte; an unpaired
//    surrogate becomes U+FFFD).
//
// Well-formed UTF-8 has no overlong forms, no surrogates and nothing beyond
// U+10FFFF; a malformed sequence counts as its first byte alone and reading
// goes on at the next. Pure, thread-safe, never fail.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace comvorlix {

std::string Cp1252OfUtf8(std::string_view utf8);
std::string Utf8OfCp1252(std::string_view bytes);
std::string ValidUtf8(std::string_view text);

std::string Utf8AsUtf16Le(std::string_view utf8);
std::string Utf16LeAsUtf8(std::string_view bytes);

// The code-page byte of one character ('?' when the code page has none),
// and the character one byte stands for.
uint8_t Cp1252ByteOf(char32_t c);
char32_t CharOfCp1252Byte(uint8_t b);

// Appends code point `cp` (at most U+10FFFF, no surrogate) as UTF-8.
void AppendUtf8(std::string& out, char32_t cp);

// The one UTF-8 decoding every conversion shares. The length of the
// well-formed character that starts at s[i], its code point in `cp`; 0 when
// s[i] starts none: a byte that starts nothing, a cut or broken sequence, an
// overlong form, a surrogate, a code point beyond U+10FFFF.
size_t Utf8CharAt(std::string_view s, size_t i, char32_t& cp);
// Calls `each(cp, bytes)` for every character of UTF-8 `s` in order: a
// well-formed one with its code point and its bytes, each byte that is not
// part of one with U+FFFD and no bytes (a malformed sequence is its first
// byte alone; decoding goes on at the next byte).
template <typename Each>
void ForEachUtf8Char(std::string_view s, Each each) {
  for (size_t i = 0; i < s.size();) {
    char32_t cp = 0;
    const size_t length = Utf8CharAt(s, i, cp);
    if (length == 0) {
      each(U'\uFFFD', std::string_view());
      ++i;
    } else {
      each(cp, s.substr(i, length));
      i += length;
    }
  }
}
// Calls `unit(u)` with each UTF-16 code unit of UTF-8 `s`: a malformed byte
// gives U+FFFD, a character beyond U+FFFF its surrogate pair.
template <typename Unit>
void ForEachUtf16UnitOfUtf8(std::string_view s, Unit unit) {
  ForEachUtf8Char(s, [&](char32_t cp, std::string_view) {
    if (cp < 0x10000) {
      unit(static_cast<uint16_t>(cp));
    } else {
      unit(static_cast<uint16_t>(0xD800 + ((cp - 0x10000) >> 10)));
      unit(static_cast<uint16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
    }
  });
}

// Removes leading and trailing blanks (space characters only).
std::string TrimBlanks(std::string_view text);

}  // namespace comvorlix

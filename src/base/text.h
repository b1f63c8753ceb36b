// Texts and their byte forms.
//
// A text is a string of 16-bit characters (`Text`). Two byte forms exist:
//
//  * ANSI: one byte per character through the system's single-byte code
//    page. This project uses Windows-1252 with every byte 0x00-0xFF mapped to
//    a character of its own: the five bytes Windows-1252 leaves unassigned
//    (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to U+0081, U+008D, U+008F, U+0090 and
//    U+009D, as Windows does. So bytes -> text -> bytes is lossless.
//    A character the code page cannot represent becomes "?" (0x3F) in the
//    ANSI form; the conversion never fails.
//  * UTF-16LE: two bytes per character, lowest byte first.
//
// At the host boundary (command line, files, terminal) texts are UTF-8.
// Malformed UTF-8 input decodes each bad byte to U+FFFD; unpaired surrogates
// encode to U+FFFD. All functions are pure and thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace comvorlix {

using Text = std::u16string;
using TextView = std::u16string_view;

// The ANSI byte of one character ('?' when the code page has none).
uint8_t AnsiByteOf(char16_t c);
// The character that one ANSI byte stands for.
char16_t CharOfAnsiByte(uint8_t b);

std::string ToAnsi(TextView text);
Text FromAnsi(std::string_view bytes);

std::string ToUtf16Le(TextView text);
// An odd trailing byte becomes the low byte of one last code unit.
Text FromUtf16Le(std::string_view bytes);

std::string ToUtf8(TextView text);
Text FromUtf8(std::string_view utf8);

// The one UTF-8 decoding every conversion here shares. The length of the
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

// Convenience for literals and tests: ASCII/UTF-8 to text.
inline Text T(std::string_view utf8) { return FromUtf8(utf8); }

// UTF-8 text as UTF-16LE bytes and back, converted directly: exactly the
// bytes ToUtf16Le(FromUtf8(utf8)) gives (malformed UTF-8 counts as one
// U+FFFD per bad byte), and exactly ToUtf8(FromUtf16Le(bytes)) (an unpaired
// surrogate becomes U+FFFD). The Windows-1252 forms are in bytes.h.
std::string Utf8AsUtf16Le(std::string_view utf8);
std::string Utf16LeAsUtf8(std::string_view bytes);

// Removes leading and trailing blanks (space characters only).
Text TrimBlanks(TextView text);
std::string TrimBlanks(std::string_view text);
// Upper case, one character for one character (positions are kept):
// ASCII and Latin-1 letters are mapped; everything else stays.
Text ToUpper(TextView text);

}  // namespace comvorlix

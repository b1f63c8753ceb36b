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
// This is the automation edge: hosts and form controls see 16-bit texts;
// everything below works in bytes (base/bytes.h, whose code page and UTF-8
// decoding these conversions share).
//
// At the host boundary (command line, files, terminal) texts are UTF-8.
// Malformed UTF-8 input decodes each bad byte to U+FFFD; unpaired surrogates
// encode to U+FFFD. All functions are pure and thread-safe.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/bytes.h"

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

// Convenience for literals and tests: ASCII/UTF-8 to text.
inline Text T(std::string_view utf8) { return FromUtf8(utf8); }

// Removes leading and trailing blanks (space characters only).
Text TrimBlanks(TextView text);
// Upper case, one character for one character (positions are kept):
// ASCII and Latin-1 letters are mapped; everything else stays.
Text ToUpper(TextView text);

}  // namespace comvorlix

// Base64 of bytes, for UTF-8 texts whose characters each stand for one byte.
//
// Encoding takes each character's byte in Windows-1252 (a character the code
// page lacks, or a malformed byte, counts as "?"; base/bytes.h), and
// writes RFC 4648 Base64 (alphabet "+" "/", "=" padding, no line breaks).
// Decoding turns each resulting byte back into its Windows-1252 character,
// given as UTF-8, and differs from RFC 4648 in these ways:
//  * characters outside the alphabet are neither skipped nor rejected: each
//    takes its place in its group of four as the digit "A" (value 0); a
//    character is one byte of the input;
//  * a "=" ends its group of four there, whatever follows it in the group;
//  * an input whose length is not a multiple of four is read as if padded
//    with "=", so a last group of one character yields nothing.
// A group of four that starts with "=" (for example the input "=") makes
// Base64Decode throw AutomationError(kInvalidArgument,
// "Invalid procedure call or argument") and return nothing.
//
// Stateless; thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace comvorlix {

std::string Base64Encode(std::string_view utf8);
std::string Base64Decode(std::string_view base64);

}  // namespace comvorlix

// Base64 of texts whose characters each stand for one byte.
//
// Encoding takes each character's byte in the ANSI code page (a character
// the code page lacks counts as "?"), and writes RFC 4648 Base64 (alphabet
// "+" "/", "=" padding, no line breaks). Decoding turns each resulting byte
// back into its ANSI character and differs from RFC 4648 in these ways:
//  * characters outside the alphabet are neither skipped nor rejected: each
//    takes its place in its group of four as the digit "A" (value 0);
//  * a "=" ends its group of four there, whatever follows it in the group;
//  * an input whose length is not a multiple of four is read as if padded
//    with "=", so a last group of one character yields nothing.
// A group of four that starts with "=" (for example the input "=") makes
// Base64Decode throw AutomationError(kInvalidArgument,
// "Invalid procedure call or argument") and return nothing.
//
// Stateless; thread-safe.
#pragma once

#include "automation/text.h"

namespace comvorlix {

Text Base64Encode(TextView text);
Text Base64Decode(TextView text);

}  // namespace comvorlix

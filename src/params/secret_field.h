// Secret fields of the parameter string (PWD, EPW, CMD): conversion between
// the stored form and the clear text (UTF-8).
//
// The stored form this component writes is the upper-case hexadecimal cipher
// text of Rijndael's string envelope under a fixed pass phrase; it holds
// only the digits 0-9 and A-F, never the separators "#" or "=". An older
// stored form, plain Base64, is still read: a field that does not decrypt is
// decoded as Base64 instead.
//
// Errors: a field that neither decrypts nor decodes as Base64 (for example
// "=") throws AutomationError(kInvalidArgument, "Invalid procedure call or
// argument") from Base64Decode; errors of the cipher pass through unchanged.
//
// No state is kept between calls: each call that needs the cipher creates
// its own Rijndael and assembles the pass phrase, and both are wiped when
// the call ends. Thread-safe.
#pragma once

#include <string>
#include <string_view>

namespace comvorlix {

// The clear text of a stored field. With `try_decrypt` (what every caller of
// this component passes) a non-empty field is first decrypted, and decoded
// as Base64 only when decryption fails; without it, the field is Base64.
// The empty field gives the empty string.
std::string DecodeSecretField(std::string_view stored, bool try_decrypt);

// The stored form of a clear text: the hexadecimal cipher text with
// `encrypt` (the empty string stays empty, the cipher is not called),
// Base64 without it.
std::string EncodeSecretField(std::string_view clear, bool encrypt);

}  // namespace comvorlix

// Fuzz target: Base64 decoding and encoding.
//
// Decoding any string either gives a string or throws AutomationError
// (kInvalidArgument, "Invalid procedure call or argument"); it throws
// exactly when a group of four characters (UTF-16 code units, a malformed
// byte one of them) starts with "=", and otherwise gives three characters
// per group, fewer when the group holds "=". Anything else leaving
// Base64Decode is a fault. Encoding round-trips: decoding the encoding of
// a string gives its Windows-1252 form back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "params/base64.h"
#include "base/automation_error.h"

#include "base/bytes.h"
#include "automation/text.h"

using comvorlix::Text;
using comvorlix::TextView;

namespace {

bool InAlphabet(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
         c == '=';
}

// What the decoding of `text` must look like: the number of characters it
// gives, or -1 when a group starts with "=".
long ExpectedDecodedLength(TextView text) {
  long total = 0;
  for (size_t n = 0; n < text.size(); n += 4) {
    const TextView group = text.substr(n, 4);
    size_t pad = group.find(u'=');
    if (pad == TextView::npos) pad = group.size();  // a short last group counts as padded
    if (pad == 0) return -1;
    total += static_cast<long>(std::min<size_t>(pad, 4)) - 1;
  }
  return total;
}

void CheckDecode(std::string_view input) {
  const long expected = ExpectedDecodedLength(comvorlix::FromUtf8(input));
  std::string decoded;
  try {
    decoded = comvorlix::Base64Decode(input);
  } catch (const comvorlix::AutomationError& e) {
    FUZZ_CHECK(e.status() == comvorlix::Status::kInvalidArgument);
    FUZZ_CHECK(e.description() == "Invalid procedure call or argument");
    FUZZ_CHECK(expected < 0);
    return;
  }
  FUZZ_CHECK(expected >= 0);
  // Every character stands for one byte: the Windows-1252 form has as many
  // bytes as the decoding has characters.
  const std::string bytes = comvorlix::Cp1252OfUtf8(decoded);
  FUZZ_CHECK(static_cast<long>(bytes.size()) == expected);
  FUZZ_CHECK(comvorlix::Utf8OfCp1252(bytes) == decoded);
}

void CheckRoundTrip(std::string_view utf8) {
  const std::string bytes = comvorlix::Cp1252OfUtf8(utf8);
  const std::string encoded = comvorlix::Base64Encode(utf8);
  FUZZ_CHECK(encoded.size() == (bytes.size() + 2) / 3 * 4);
  for (char c : encoded) FUZZ_CHECK(InAlphabet(c));
  FUZZ_CHECK(comvorlix::Base64Decode(encoded) == comvorlix::Utf8OfCp1252(bytes));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckDecode(bytes);
  CheckRoundTrip(bytes);
  // Bytes taken one for one: also reaches characters 0x80-0xFF and NUL.
  const std::string as_windows1252 = comvorlix::Utf8OfCp1252(bytes);
  CheckDecode(as_windows1252);
  CheckRoundTrip(as_windows1252);
  return 0;
}

// Fuzz target: Base64 decoding and encoding.
//
// Decoding any text either gives a text or throws AutomationError
// (kInvalidArgument, "Invalid procedure call or argument"); it throws
// exactly when a group of four starts with "=", and otherwise gives three
// characters per group, fewer when the group holds "=". Anything else
// leaving Base64Decode is a fault. Encoding round-trips: decoding the
// encoding of a text gives its ANSI form back.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "params/base64.h"
#include "automation/automation_error.h"

using comvorlix::Text;
using comvorlix::TextView;

namespace {

bool InAlphabet(char16_t c) {
  return (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9') || c == u'+' ||
         c == u'/' || c == u'=';
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

void CheckDecode(const Text& text) {
  const long expected = ExpectedDecodedLength(text);
  Text decoded;
  try {
    decoded = comvorlix::Base64Decode(text);
  } catch (const comvorlix::AutomationError& e) {
    FUZZ_CHECK(e.status() == comvorlix::Status::kInvalidArgument);
    FUZZ_CHECK(e.description() == "Invalid procedure call or argument");
    FUZZ_CHECK(expected < 0);
    return;
  }
  FUZZ_CHECK(expected >= 0);
  FUZZ_CHECK(static_cast<long>(decoded.size()) == expected);
  // Every character stands for one byte: the ANSI form has as many bytes.
  FUZZ_CHECK(comvorlix::FromAnsi(comvorlix::ToAnsi(decoded)) == decoded);
}

void CheckRoundTrip(const Text& text) {
  const Text encoded = comvorlix::Base64Encode(text);
  FUZZ_CHECK(encoded.size() == (text.size() + 2) / 3 * 4);
  for (char16_t c : encoded) FUZZ_CHECK(InAlphabet(c));
  FUZZ_CHECK(comvorlix::Base64Decode(encoded) == comvorlix::FromAnsi(comvorlix::ToAnsi(text)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const Text as_utf8 = comvorlix::FromUtf8(bytes);
  CheckDecode(as_utf8);
  // Bytes taken one for one: also reaches characters 0x80-0xFF and NUL.
  CheckDecode(comvorlix::FromAnsi(bytes));
  CheckRoundTrip(comvorlix::FromAnsi(bytes));
  CheckRoundTrip(as_utf8);
  return 0;
}

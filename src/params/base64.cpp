#include "params/base64.h"

#include <string>

#include "base/automation_error.h"
#include "base/bytes.h"

namespace comvorlix {
namespace {

// The pad character first, then the 64 digits: digit value v sits at index
// v + 1, and the pad stands for -1.
constexpr std::string_view kBase64Alphabet =
    "=ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

char CharOfValue(int v) { return kBase64Alphabet[static_cast<size_t>(v + 1)]; }

// The digit value of a character; the pad and foreign characters give 0.
int ValueOfChar(char c) {
  const size_t at = kBase64Alphabet.find(c);
  if (at == std::string_view::npos || at == 0) return 0;
  return static_cast<int>(at) - 1;
}

}  // namespace

std::string Base64Encode(std::string_view utf8) {
  const std::string bytes = Cp1252OfUtf8(utf8);
  const size_t length = bytes.size();
  std::string result;
  result.reserve((length + 2) / 3 * 4);
  for (size_t n = 0; n < length; n += 3) {
    const bool has_second = n + 1 < length;
    const bool has_third = n + 2 < length;
    const int c1 = static_cast<uint8_t>(bytes[n]);
    const int c2 = has_second ? static_cast<uint8_t>(bytes[n + 1]) : 0;
    const int c3 = has_third ? static_cast<uint8_t>(bytes[n + 2]) : 0;
    result += CharOfValue(c1 >> 2);
    result += CharOfValue(((c1 << 4) & 48) | (c2 >> 4));
    result += CharOfValue(has_second ? (((c2 << 2) & 60) | (c3 >> 6)) : -1);
    result += CharOfValue(has_third ? (c3 & 63) : -1);
  }
  return result;
}

std::string Base64Decode(std::string_view base64) {
  // One byte for each character (each UTF-16 code unit, as the form has
  // always counted them): ASCII as it is, anything else a byte outside the
  // alphabet.
  const std::string text = Cp1252OfUtf8(base64);
  const size_t length = text.size();
  std::string bytes;
  bytes.reserve(length / 4 * 3 + 3);
  for (size_t n = 0; n < length; n += 4) {
    // Scanning from the last position to the first leaves `count` at the
    // number of characters before the group's first "=".
    int count = 3;
    int w[4];
    for (int m = 3; m >= 0; --m) {
      const char c = n + m < length ? text[n + m] : '=';
      if (c == '=') count = m - 1;
      w[m] = ValueOfChar(c);
    }
    if (count < 0) {
      throw AutomationError(Status::kInvalidArgument, "Invalid procedure call or argument");
    }
    const char group[3] = {static_cast<char>(((w[0] << 2) | (w[1] >> 4)) & 255),
                           static_cast<char>(((w[1] << 4) | (w[2] >> 2)) & 255),
                           static_cast<char>(((w[2] << 6) | w[3]) & 255)};
    bytes.append(group, static_cast<size_t>(count));
  }
  return Utf8OfCp1252(bytes);
}

}  // namespace comvorlix

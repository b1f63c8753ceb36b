#include "cli/utf8_check.h"

#include <stdexcept>

namespace comvorlix::cli {

std::optional<size_t> FirstInvalidUtf8(std::string_view bytes) {
  size_t i = 0;
  while (i < bytes.size()) {
    const auto b = static_cast<unsigned char>(bytes[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    size_t length = 0;
    // The range of the second byte narrows for the lead bytes whose
    // sequences would be overlong, surrogates or beyond U+10FFFF.
    unsigned char low = 0x80, high = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      if (b == 0xE0) low = 0xA0;
      if (b == 0xED) high = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      if (b == 0xF0) low = 0x90;
      if (b == 0xF4) high = 0x8F;
    } else {
      return i;
    }
    if (bytes.size() - i < length) return i;
    for (size_t k = 1; k < length; ++k) {
      const auto c = static_cast<unsigned char>(bytes[i + k]);
      if (c < (k == 1 ? low : 0x80) || c > (k == 1 ? high : 0xBF)) return i;
    }
    i += length;
  }
  return std::nullopt;
}

void RequireUtf8(std::string_view bytes, const std::string& what) {
  if (const auto bad = FirstInvalidUtf8(bytes)) {
    throw std::runtime_error(what + " is not valid UTF-8 (byte " + std::to_string(*bad + 1) +
                             " is not part of a UTF-8 character)");
  }
}

}  // namespace comvorlix::cli

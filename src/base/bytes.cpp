#include "base/bytes.h"

#include <cstdint>

#include "base/text.h"

namespace comvorlix {

std::string Cp1252OfUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  ForEachUtf8Char(s, [&](char32_t cp, std::string_view) {
    // Beyond U+FFFF: two 16-bit units, neither in the code page; a
    // malformed byte comes as U+FFFD, which the code page lacks as well.
    if (cp >= 0x10000) out += "??";
    else out += static_cast<char>(AnsiByteOf(static_cast<char16_t>(cp)));
  });
  return out;
}

std::string ValidUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  ForEachUtf8Char(s, [&](char32_t, std::string_view bytes) {
    if (bytes.empty()) out += "\xEF\xBF\xBD";
    else out += bytes;
  });
  return out;
}

std::string Utf8OfCp1252(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char byte : bytes) {
    const char32_t cp = CharOfAnsiByte(static_cast<uint8_t>(byte));
    if (cp < 0x80) {
      out += static_cast<char>(cp);
    } else if (cp < 0x800) {
      out += static_cast<char>(0xC0 | (cp >> 6));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (cp >> 12));
      out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  return out;
}

}  // namespace comvorlix

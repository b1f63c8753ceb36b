#include "base/bytes.h"

#include <cstdint>

#include "base/text.h"

namespace comvorlix {
namespace {

// The length of the well-formed UTF-8 character at s[i] and its code
// point; 0 when s[i] starts none (the decoding rules of FromUtf8: a
// malformed sequence is its first byte alone, decoding goes on at the next).
size_t CharAt(std::string_view s, size_t i, char32_t& cp) {
  const auto b = static_cast<uint8_t>(s[i]);
  if (b < 0x80) {
    cp = b;
    return 1;
  }
  const int extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
  if (extra < 0 || i + extra >= s.size()) return 0;
  cp = b & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    const auto c = static_cast<uint8_t>(s[i + k]);
    if ((c & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (c & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return static_cast<size_t>(extra) + 1;
}

}  // namespace

std::string Cp1252OfUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    char32_t cp = 0;
    const size_t length = CharAt(s, i, cp);
    if (length == 0) {
      out += '?';
      ++i;
    } else {
      // Beyond U+FFFF: two 16-bit units, neither in the code page.
      if (cp >= 0x10000) out += "??";
      else out += static_cast<char>(AnsiByteOf(static_cast<char16_t>(cp)));
      i += length;
    }
  }
  return out;
}

std::string ValidUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size();) {
    char32_t cp = 0;
    const size_t length = CharAt(s, i, cp);
    if (length == 0) {
      out += "\xEF\xBF\xBD";
      ++i;
    } else {
      out.append(s, i, length);
      i += length;
    }
  }
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

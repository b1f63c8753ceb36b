#include "base/bytes.h"

#include <array>

namespace comvorlix {
namespace {

// Characters of the bytes 0x80-0x9F in Windows-1252; the five bytes the code
// page leaves unassigned map to the C1 control of the same value.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

}  // namespace

uint8_t Cp1252ByteOf(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<uint8_t>(c);
  for (size_t i = 0; i < kHighControls.size(); ++i) {
    if (kHighControls[i] == c) return static_cast<uint8_t>(0x80 + i);
  }
  return '?';
}

char32_t CharOfCp1252Byte(uint8_t b) {
  if (b >= 0x80 && b < 0xA0) return kHighControls[b - 0x80];
  return b;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

size_t Utf8CharAt(std::string_view s, size_t i, char32_t& cp) {
  const auto b = static_cast<uint8_t>(s[i]);
  if (b < 0x80) {
    cp = b;
    return 1;
  }
  const int extra = (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
  if (extra < 0 || i + extra >= s.size()) return 0;
  char32_t c = b & (0x3F >> extra);
  for (int k = 1; k <= extra; ++k) {
    const auto next = static_cast<uint8_t>(s[i + k]);
    if ((next & 0xC0) != 0x80) return 0;
    c = (c << 6) | (next & 0x3F);
  }
  static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
  if (c < kMin[extra] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
  cp = c;
  return static_cast<size_t>(extra) + 1;
}

std::string Cp1252OfUtf8(std::string_view s) {
  std::string out;
  out.reserve(s.size());
  ForEachUtf8Char(s, [&](char32_t cp, std::string_view) {
    // Beyond U+FFFF: two UTF-16 units, neither in the code page; a
    // malformed byte comes as U+FFFD, which the code page lacks as well.
    if (cp >= 0x10000) out += "??";
    else out += static_cast<char>(Cp1252ByteOf(cp));
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
  for (const char byte : bytes) AppendUtf8(out, CharOfCp1252Byte(static_cast<uint8_t>(byte)));
  return out;
}

std::string Utf8AsUtf16Le(std::string_view utf8) {
  std::string out;
  out.reserve(2 * utf8.size());
  ForEachUtf16UnitOfUtf8(utf8, [&out](uint16_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  });
  return out;
}

std::string Utf16LeAsUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  const auto unit = [bytes](size_t i) -> char32_t {
    const uint16_t lo = static_cast<uint8_t>(bytes[i]);
    const uint16_t hi = i + 1 < bytes.size() ? static_cast<uint8_t>(bytes[i + 1]) : 0;
    return lo | (hi << 8);
  };
  for (size_t i = 0; i < bytes.size(); i += 2) {
    char32_t c = unit(i);
    if (c >= 0xD800 && c <= 0xDBFF && i + 2 < bytes.size() && unit(i + 2) >= 0xDC00 && unit(i + 2) <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unit(i + 2) - 0xDC00);
      i += 2;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::string TrimBlanks(std::string_view text) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] == ' ') ++b;
  while (e > b && text[e - 1] == ' ') --e;
  return std::string(text.substr(b, e - b));
}

}  // namespace comvorlix

#include "automation/text.h"

namespace comvorlix {
namespace {

// Calls `emit` with each UTF-16 code unit of UTF-8 `s`.
template <typename Emit>
void ForEachUtf16Unit(std::string_view s, Emit emit) {
  ForEachUtf16UnitOfUtf8(s, [&](uint16_t u) { emit(static_cast<char16_t>(u)); });
}

}  // namespace

uint8_t AnsiByteOf(char16_t c) { return Cp1252ByteOf(c); }

char16_t CharOfAnsiByte(uint8_t b) { return static_cast<char16_t>(CharOfCp1252Byte(b)); }

std::string ToAnsi(TextView text) {
  std::string out;
  out.resize(text.size());
  for (size_t i = 0; i < text.size(); ++i) out[i] = static_cast<char>(AnsiByteOf(text[i]));
  return out;
}

Text FromAnsi(std::string_view bytes) {
  Text out;
  out.resize(bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) out[i] = CharOfAnsiByte(static_cast<uint8_t>(bytes[i]));
  return out;
}

std::string ToUtf16Le(TextView text) {
  std::string out;
  out.reserve(text.size() * 2);
  for (char16_t c : text) {
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

Text FromUtf16Le(std::string_view bytes) {
  Text out;
  out.reserve((bytes.size() + 1) / 2);
  for (size_t i = 0; i < bytes.size(); i += 2) {
    uint16_t lo = static_cast<uint8_t>(bytes[i]);
    uint16_t hi = i + 1 < bytes.size() ? static_cast<uint8_t>(bytes[i + 1]) : 0;
    out += static_cast<char16_t>(lo | (hi << 8));
  }
  return out;
}

std::string ToUtf8(TextView text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    AppendUtf8(out, c);
  }
  return out;
}

Text FromUtf8(std::string_view s) {
  Text out;
  out.reserve(s.size());
  ForEachUtf16Unit(s, [&out](char16_t c) { out += c; });
  return out;
}

Text TrimBlanks(TextView text) {
  size_t b = 0, e = text.size();
  while (b < e && text[b] == u' ') ++b;
  while (e > b && text[e - 1] == u' ') --e;
  return Text(text.substr(b, e - b));
}

Text ToUpper(TextView text) {
  Text out(text);
  for (char16_t& c : out) {
    if (c >= u'a' && c <= u'z') {
      c = static_cast<char16_t>(c - 32);
    } else if (c >= 0xE0 && c <= 0xFE && c != 0xF7) {
      c = static_cast<char16_t>(c - 32);
    }
  }
  return out;
}

}  // namespace comvorlix

#include "params/parameter_string.h"

#include "base/bytes.h"

namespace comvorlix {
namespace {

constexpr size_t kNone = std::string::npos;

// Upper case, byte for byte in place: ASCII letters, and the Latin-1
// letters U+00E0-U+00FE (but U+00F7), whose UTF-8 forms differ from their
// capitals only in the second byte. Everything else stays.
std::string Upper(std::string_view text) {
  std::string out(text);
  for (size_t i = 0; i < out.size(); ++i) {
    const auto b = static_cast<unsigned char>(out[i]);
    if (b >= 'a' && b <= 'z') {
      out[i] = static_cast<char>(b - 32);
    } else if (b == 0xC3 && i + 1 < out.size()) {
      const auto next = static_cast<unsigned char>(out[i + 1]);
      if (next >= 0xA0 && next <= 0xBE && next != 0xB7) {
        out[i + 1] = static_cast<char>(next - 32);
        ++i;
      }
    }
  }
  return out;
}

// The position of the "#" that starts the first entry for `key` in the
// upper-cased string, or kNone. Upper-casing keeps every byte in its
// place, so positions found in `upper` are positions in the original.
size_t FindEntry(const std::string& upper, std::string_view key) {
  std::string pattern;
  pattern.reserve(key.size() + 2);
  pattern += '#';
  pattern += key;
  pattern += '=';
  return upper.find(pattern);
}

// Where the value of the entry at `entry` ends: at the next "#" after the
// entry's own, or at the end of the string.
size_t ValueEnd(const std::string& upper, size_t entry) {
  size_t end = upper.find('#', entry + 1);
  return end == kNone ? upper.size() : end;
}

}  // namespace

std::string GetKeyValue(std::string_view p, std::string_view key) {
  const std::string upper = Upper(p);
  const std::string k = TrimBlanks(Upper(key));
  size_t entry = FindEntry(upper, k);
  if (entry == kNone) return {};
  size_t start = entry + k.size() + 2;
  size_t end = ValueEnd(upper, entry);
  // A key that holds "#" is cut short by its own "#": such an entry has no
  // value to give.
  if (end < start) return {};
  return std::string(p.substr(start, end - start));
}

std::string SetKeyValue(std::string_view p, std::string_view key, std::string_view value) {
  const std::string upper = Upper(p);
  const std::string k = Upper(key);
  const std::string trimmed = TrimBlanks(k);
  size_t entry = FindEntry(upper, trimmed);
  std::string out;
  if (entry == kNone) {
    out.reserve(p.size() + k.size() + value.size() + 3);
    out = p;
    if (out.empty() || out.back() != '#') out += '#';
    out += k;
    out += '=';
    out += value;
    out += '#';
    return out;
  }
  size_t kept = entry + trimmed.size() + 2;  // up to and including the "="
  size_t end = ValueEnd(upper, entry);
  // For a key holding "#", `end` lies inside the kept part; the rest of the
  // string is then repeated after the value, which loses nothing.
  out.reserve(kept + value.size() + (p.size() - end));
  out = p.substr(0, kept);
  out += value;
  out += p.substr(end);
  return out;
}

}  // namespace comvorlix

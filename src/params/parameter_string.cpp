#include "params/parameter_string.h"

namespace comvorlix {
namespace {

constexpr size_t kNone = Text::npos;

// The position of the "#" that starts the first entry for `key` in the
// upper-cased string, or kNone. Upper-casing keeps every character in its
// place, so positions found in `upper` are positions in the original.
size_t FindEntry(const Text& upper, TextView key) {
  Text pattern;
  pattern.reserve(key.size() + 2);
  pattern += u'#';
  pattern += key;
  pattern += u'=';
  return upper.find(pattern);
}

// Where the value of the entry at `entry` ends: at the next "#" after the
// entry's own, or at the end of the string.
size_t ValueEnd(const Text& upper, size_t entry) {
  size_t end = upper.find(u'#', entry + 1);
  return end == kNone ? upper.size() : end;
}

}  // namespace

Text GetKeyValue(TextView p, TextView key) {
  Text upper = ToUpper(p);
  Text k = TrimBlanks(ToUpper(key));
  size_t entry = FindEntry(upper, k);
  if (entry == kNone) return {};
  size_t start = entry + k.size() + 2;
  size_t end = ValueEnd(upper, entry);
  // A key that holds "#" is cut short by its own "#": such an entry has no
  // value to give.
  if (end < start) return {};
  return Text(p.substr(start, end - start));
}

Text SetKeyValue(TextView p, TextView key, TextView value) {
  Text upper = ToUpper(p);
  Text k = ToUpper(key);
  Text trimmed = TrimBlanks(k);
  size_t entry = FindEntry(upper, trimmed);
  Text out;
  if (entry == kNone) {
    out.reserve(p.size() + k.size() + value.size() + 3);
    out = p;
    if (out.empty() || out.back() != u'#') out += u'#';
    out += k;
    out += u'=';
    out += value;
    out += u'#';
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

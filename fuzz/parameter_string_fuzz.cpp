// Fuzz target: reading and replacing the entries of a parameter string.
//
// Input: four lines of any bytes: the parameter string, a key, a value and
// a second key. Checked for any input:
//  * GetKeyValue never fails and gives a piece of the string without "#";
//  * SetKeyValue never fails; reading the key back gives the value (key and
//    value without "#", key without blanks at its ends or already present);
//  * setting the same value twice changes nothing more, and writing back
//    the value that was read leaves a string with the entry unchanged;
//  * the entries of other keys read the same before and after (keys
//    without "#" and "=", a value without "#", which would start entries).
#include <cstddef>
#include <cstdint>

#include "fuzz_support.h"
#include "params/parameter_string.h"

#include <string>
#include <string_view>

#include "automation/text.h"

namespace {

bool Holds(std::string_view t, char c) { return t.find(c) != std::string_view::npos; }

// Upper case as the format defines it, written apart from the code under
// test: ASCII letters, and the Latin-1 letters U+00E0-U+00FE but U+00F7
// (UTF-8 C3 A0-BE, capitals C3 80-9E).
std::string Upper(std::string_view t) {
  std::string out(t);
  for (size_t i = 0; i < out.size(); ++i) {
    const auto c = static_cast<unsigned char>(out[i]);
    if (c >= 'a' && c <= 'z') out[i] = static_cast<char>(c - 32);
    if (c == 0xC3 && i + 1 < out.size()) {
      const auto n = static_cast<unsigned char>(out[i + 1]);
      if (n >= 0xA0 && n <= 0xBE && n != 0xB7) out[++i] = static_cast<char>(n - 32);
    }
  }
  return out;
}

// Whether `p` has an entry for `key`: the plain reading of the format.
bool HasEntry(std::string_view p, std::string_view key) {
  const std::string pattern = "#" + comvorlix::TrimBlanks(Upper(key)) + "=";
  return Upper(p).find(pattern) != std::string::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  comvorlix::fuzz::InputReader in(data, size);
  const std::string p(in.Line());
  const std::string key(in.Line());
  const std::string value(in.Line());
  const std::string other(in.Line());

  const std::string read = comvorlix::GetKeyValue(p, key);
  FUZZ_CHECK(!Holds(read, '#'));
  FUZZ_CHECK(read.empty() || p.find(read) != std::string::npos);
  FUZZ_CHECK(read.empty() || HasEntry(p, key));

  const std::string set = comvorlix::SetKeyValue(p, key, value);
  const bool plain_key = !Holds(key, '#');
  const bool plain_value = !Holds(value, '#');
  const bool existed = HasEntry(p, key);
  if (plain_key && plain_value && (existed || comvorlix::TrimBlanks(key) == key)) {
    FUZZ_CHECK(comvorlix::GetKeyValue(set, key) == value);
    FUZZ_CHECK(comvorlix::SetKeyValue(set, key, value) == set);
  }
  if (plain_key && existed) {
    // Only the value changes: the string keeps its length otherwise.
    FUZZ_CHECK(set.size() + read.size() == p.size() + value.size());
    FUZZ_CHECK(comvorlix::SetKeyValue(p, key, read) == p);
  }
  if (!existed) {
    // A new entry is appended; the string before it is kept.
    FUZZ_CHECK(set.compare(0, p.size(), p) == 0);
    FUZZ_CHECK(!set.empty() && set.back() == '#');
  }

  const std::string k1 = comvorlix::TrimBlanks(Upper(key));
  const std::string k2 = comvorlix::TrimBlanks(Upper(other));
  if (plain_key && plain_value && !Holds(key, '=') && !Holds(other, '#') && !Holds(other, '=') && k1 != k2) {
    FUZZ_CHECK(comvorlix::GetKeyValue(set, other) == comvorlix::GetKeyValue(p, other));
  }
  return 0;
}

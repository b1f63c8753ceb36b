// Fuzz target: reading and replacing the entries of a parameter string.
//
// Input: four lines (UTF-8): the parameter string, a key, a value and a
// second key. Checked for any input:
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

using comvorlix::Text;
using comvorlix::TextView;

namespace {

bool Holds(TextView t, char16_t c) { return t.find(c) != TextView::npos; }

// Whether `p` has an entry for `key`: the plain reading of the format,
// written apart from the code under test.
bool HasEntry(TextView p, TextView key) {
  const Text pattern = u"#" + comvorlix::TrimBlanks(comvorlix::ToUpper(key)) + u"=";
  return comvorlix::ToUpper(p).find(pattern) != Text::npos;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  comvorlix::fuzz::InputReader in(data, size);
  const Text p = comvorlix::FromUtf8(in.Line());
  const Text key = comvorlix::FromUtf8(in.Line());
  const Text value = comvorlix::FromUtf8(in.Line());
  const Text other = comvorlix::FromUtf8(in.Line());

  const Text read = comvorlix::GetKeyValue(p, key);
  FUZZ_CHECK(!Holds(read, u'#'));
  FUZZ_CHECK(read.empty() || p.find(read) != Text::npos);
  FUZZ_CHECK(read.empty() || HasEntry(p, key));

  const Text set = comvorlix::SetKeyValue(p, key, value);
  const bool plain_key = !Holds(key, u'#');
  const bool plain_value = !Holds(value, u'#');
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
    FUZZ_CHECK(!set.empty() && set.back() == u'#');
  }

  const Text k1 = comvorlix::TrimBlanks(comvorlix::ToUpper(key));
  const Text k2 = comvorlix::TrimBlanks(comvorlix::ToUpper(other));
  if (plain_key && plain_value && !Holds(key, u'=') && !Holds(other, u'#') && !Holds(other, u'=') && k1 != k2) {
    FUZZ_CHECK(comvorlix::GetKeyValue(set, other) == comvorlix::GetKeyValue(p, other));
  }
  return 0;
}

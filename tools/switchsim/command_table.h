// Matching typed command lines against a switch's command words.
//
// A pattern is a list of words separated by blanks. A keyword matches any
// leading part of itself, compared without regard to case ("sh run" matches
// "show running-config"); "<n>" matches a decimal number and "<word>" any
// word. Blanks and tabs separate words, so leading, trailing and repeated
// blanks do not matter. When several patterns match, one whose keywords are
// all typed in full wins; otherwise the line is ambiguous.
//
// Match reports which pattern matched and the values of its placeholders,
// or why nothing matched and at which typed word, so each device can word
// its own error message and place its caret. A CommandTable is built once
// and then only read.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace switchsim {

struct CommandMatch {
  enum class Kind { kMatched, kEmpty, kUnknown, kIncomplete, kAmbiguous };
  Kind kind = Kind::kEmpty;
  int id = -1;                      // the id given to Add, when matched
  std::vector<std::string> values;  // the words typed for placeholders
  std::vector<size_t> value_offsets;  // their byte offsets in the line
  size_t error_offset = 0;          // byte offset of the offending word in the line
  std::string error_word;           // that word (the last word when incomplete)
};

class CommandTable {
 public:
  void Add(int id, std::string_view pattern);
  CommandMatch Match(std::string_view line) const;

 private:
  struct Entry {
    int id;
    std::vector<std::string> words;
  };
  std::vector<Entry> entries_;
};

}  // namespace switchsim

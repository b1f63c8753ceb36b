#include "command_table.h"

#include <algorithm>
#include <cctype>

namespace switchsim {
namespace {

struct Token {
  std::string text;
  size_t offset;
};

std::vector<Token> Tokenize(std::string_view line) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    size_t start = i;
    while (i < line.size() && line[i] != ' ' && line[i] != '\t') ++i;
    tokens.push_back({std::string(line.substr(start, i - start)), start});
  }
  return tokens;
}

bool IsNumber(const std::string& s) {
  return !s.empty() && s.size() <= 9 &&
         std::all_of(s.begin(), s.end(), [](unsigned char c) { return std::isdigit(c) != 0; });
}

bool IsPlaceholder(const std::string& word) { return !word.empty() && word.front() == '<'; }

// How a typed word relates to a pattern word.
enum class WordMatch { kNo, kPrefix, kExact };

WordMatch MatchWord(const std::string& typed, const std::string& word) {
  if (word == "<n>") return IsNumber(typed) ? WordMatch::kExact : WordMatch::kNo;
  if (word == "<word>") return WordMatch::kExact;
  if (typed.size() > word.size()) return WordMatch::kNo;
  for (size_t i = 0; i < typed.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(typed[i])) !=
        std::tolower(static_cast<unsigned char>(word[i]))) {
      return WordMatch::kNo;
    }
  }
  return typed.size() == word.size() ? WordMatch::kExact : WordMatch::kPrefix;
}

}  // namespace

void CommandTable::Add(int id, std::string_view pattern) {
  Entry entry{id, {}};
  for (Token& t : Tokenize(pattern)) entry.words.push_back(std::move(t.text));
  entries_.push_back(std::move(entry));
}

CommandMatch CommandTable::Match(std::string_view line) const {
  CommandMatch result;
  const std::vector<Token> tokens = Tokenize(line);
  if (tokens.empty()) return result;

  struct Candidate {
    const Entry* entry;
    bool all_exact;
  };
  std::vector<Candidate> full;
  bool incomplete = false;
  size_t furthest = 0;  // the most leading words any pattern accepted

  for (const Entry& entry : entries_) {
    size_t matched = 0;
    bool all_exact = true;
    while (matched < tokens.size() && matched < entry.words.size()) {
      WordMatch m = MatchWord(tokens[matched].text, entry.words[matched]);
      if (m == WordMatch::kNo) break;
      if (m == WordMatch::kPrefix) all_exact = false;
      ++matched;
    }
    furthest = std::max(furthest, matched);
    if (matched == tokens.size()) {
      if (matched == entry.words.size()) {
        full.push_back({&entry, all_exact});
      } else {
        incomplete = true;
      }
    }
  }

  if (full.size() > 1) {
    auto exact = std::find_if(full.begin(), full.end(), [](const Candidate& c) { return c.all_exact; });
    if (exact != full.end()) {
      full = {*exact};
    } else {
      // The first word at which the candidates part ways is the ambiguous one.
      size_t at = 0;
      while (at + 1 < tokens.size()) {
        const std::string& first = full.front().entry->words[at];
        bool same = std::all_of(full.begin(), full.end(),
                                [&](const Candidate& c) { return c.entry->words[at] == first; });
        if (!same) break;
        ++at;
      }
      result.kind = CommandMatch::Kind::kAmbiguous;
      result.error_offset = tokens[at].offset;
      result.error_word = tokens[at].text;
      return result;
    }
  }
  if (full.size() == 1) {
    result.kind = CommandMatch::Kind::kMatched;
    result.id = full.front().entry->id;
    const auto& words = full.front().entry->words;
    for (size_t i = 0; i < words.size(); ++i) {
      if (IsPlaceholder(words[i])) {
        result.values.push_back(tokens[i].text);
        result.value_offsets.push_back(tokens[i].offset);
      }
    }
    return result;
  }
  if (incomplete) {
    result.kind = CommandMatch::Kind::kIncomplete;
    result.error_offset = tokens.back().offset;
    result.error_word = tokens.back().text;
    return result;
  }
  result.kind = CommandMatch::Kind::kUnknown;
  size_t at = std::min(furthest, tokens.size() - 1);
  result.error_offset = tokens[at].offset;
  result.error_word = tokens[at].text;
  return result;
}

}  // namespace switchsim

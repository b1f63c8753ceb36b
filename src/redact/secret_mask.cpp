#include "redact/secret_mask.h"

#include <cstddef>
#include <optional>
#include <stdexcept>

namespace comvorlix {
namespace {

constexpr std::string_view kGap = "...";
constexpr std::string_view kMasked = " <secret>";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

// A token of a statement: its bytes [begin, end).
struct Token {
  size_t begin;
  size_t end;
};

std::vector<Token> Tokens(std::string_view s) {
  std::vector<Token> tokens;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && IsBlank(s[i])) ++i;
    if (i == s.size()) break;
    const size_t begin = i;
    while (i < s.size() && !IsBlank(s[i])) ++i;
    tokens.push_back({begin, i});
  }
  return tokens;
}

[[noreturn]] void Invalid(const std::string& pattern, const char* why) {
  throw std::invalid_argument("secret pattern \"" + pattern + "\": " + why);
}

}  // namespace

SecretMask::SecretMask(std::span<const std::string> patterns) {
  patterns_.reserve(patterns.size());
  for (const std::string& text : patterns) {
    const std::vector<Token> tokens = Tokens(text);
    if (tokens.empty()) Invalid(text, "no keyword");
    Pattern pattern(1);
    for (size_t t = 0; t < tokens.size(); ++t) {
      const std::string_view token(text.data() + tokens[t].begin, tokens[t].end - tokens[t].begin);
      if (token == kGap) {
        if (t == 0) Invalid(text, "\"...\" before the first keyword");
        if (t + 1 == tokens.size()) Invalid(text, "\"...\" after the last keyword");
        if (!pattern.back().empty()) pattern.emplace_back();  // "... ..." is one gap
        continue;
      }
      Keyword keyword;
      size_t begin = 0;
      while (true) {
        const size_t bar = token.find('|', begin);
        const std::string_view alternative = token.substr(
            begin, bar == std::string_view::npos ? std::string_view::npos : bar - begin);
        if (alternative.empty()) Invalid(text, "an empty alternative around \"|\"");
        if (alternative == kGap) Invalid(text, "\"...\" as an alternative");
        keyword.push_back(Lower(alternative));
        if (bar == std::string_view::npos) break;
        begin = bar + 1;
      }
      pattern.back().push_back(std::move(keyword));
    }
    patterns_.push_back(std::move(pattern));
  }
}

std::string SecretMask::Mask(std::string_view line) const {
  size_t body_size = line.size();
  while (body_size > 0 && (line[body_size - 1] == '\r' || line[body_size - 1] == '\n')) --body_size;
  const std::string_view body = line.substr(0, body_size);
  const std::vector<Token> tokens = Tokens(body);

  auto matches = [&](const Keyword& keyword, size_t t) {
    const std::string_view token = body.substr(tokens[t].begin, tokens[t].end - tokens[t].begin);
    for (const std::string& alternative : keyword) {
      if (alternative.size() != token.size()) continue;
      size_t i = 0;
      while (i < token.size() && AsciiLower(token[i]) == alternative[i]) ++i;
      if (i == token.size()) return true;
    }
    return false;
  };
  // The first position at or after `from` where the keywords of `run` match
  // adjacent tokens.
  auto find_run = [&](const std::vector<Keyword>& run, size_t from) -> std::optional<size_t> {
    for (size_t s = from; s + run.size() <= tokens.size(); ++s) {
      size_t k = 0;
      while (k < run.size() && matches(run[k], s + k)) ++k;
      if (k == run.size()) return s;
    }
    return std::nullopt;
  };

  // Each run placed as early as it fits after the one before gives the
  // pattern's earliest-ending match; when that fails, no match exists, since
  // a later start leaves the later runs only fewer tokens.
  std::optional<size_t> cut_token;  // the last keyword of the winning match
  for (const Pattern& pattern : patterns_) {
    size_t next = 0;
    bool found = true;
    for (const std::vector<Keyword>& run : pattern) {
      const std::optional<size_t> at = find_run(run, next);
      if (!at || (cut_token && *at + run.size() - 1 >= *cut_token)) {
        found = false;  // none, or none ending before the match we have
        break;
      }
      next = *at + run.size();
    }
    if (found) cut_token = next - 1;
  }
  if (!cut_token) return std::string(line);

  const size_t cut = tokens[*cut_token].end;
  if (*cut_token + 1 == tokens.size()) return std::string(line);  // nothing after the keyword
  std::string out;
  out.reserve(cut + kMasked.size() + (line.size() - body_size));
  out.append(body.substr(0, cut));
  out.append(kMasked);
  out.append(line.substr(body_size));
  return out;
}

std::string SecretMask::MaskLines(std::string_view text) const {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      end = text.size();
    } else if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') {
      end += 2;
    } else {
      end += 1;
    }
    out.append(Mask(text.substr(pos, end - pos)));
    pos = end;
  }
  return out;
}

}  // namespace comvorlix

// Fuzz target: the statement diff and the secret mask, which see the
// listings a switch sends.
//
// Input: six bytes of options, then the old list, a NUL byte, the new list
// (no NUL: the new list is empty).
//  0  flags: bit 0 shows lines through the mask; bits 1-2 max_work (1: byte
//     4, 2: SIZE_MAX, else the default); bit 3 lifts both rendering caps;
//     bit 4 max_lines is byte 5
//  1  max_changed_lines (modulo 51)
//  2-3 max_output_bytes (big endian, modulo 2001)
// Checked for the diff, against its header:
//  * rendered lines are "- ", "+ " or "  " lines, and at most one closing
//    "... and N more changed lines", last, with N the changed lines not
//    shown; caps on changed lines and bytes hold; a section line is followed
//    by a changed line indented deeper, and is a line of that line's list;
//  * with everything shown: old - removed + added == new as multisets (of
//    the lines as shown), and the counts are those of a minimal diff (an LCS
//    table for small lists; the diff the other way round otherwise);
//  * counts only: past max_lines, and then the multiset difference, which
//    never exceeds an exact count; equal lists give nothing;
//  * `show` is called only for lines about to be rendered.
// For the mask, with a few fixed patterns: Mask agrees with a plain reading
// of the header (the earliest-ending match of any pattern, tried at every
// token), is idempotent, and MaskLines is Mask over the lines of a text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "diff/statement_diff.h"
#include "fuzz_support.h"
#include "redact/secret_mask.h"

namespace {

using Lines = std::vector<std::string_view>;
using Multiset = std::unordered_map<std::string, long>;

const std::vector<std::string> kPatterns = {"enable secret|password", "username ... secret|password",
                                            "snmp-server community",
                                            "snmp-server user ... auth md5|sha ... priv des|aes"};
const comvorlix::SecretMask kMask(kPatterns);
constexpr std::string_view kMore = "... and ";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

size_t Indentation(std::string_view line) {
  size_t n = 0;
  while (n < line.size() && IsBlank(line[n])) ++n;
  return n;
}

// The statements of a list: "\n" or "\r\n" ends a line, and so does a lone
// "\r" at the very end.
Lines Statements(std::string_view text) {
  Lines lines;
  while (!text.empty()) {
    const size_t nl = text.find('\n');
    std::string_view line = text.substr(0, nl);
    text.remove_prefix(nl == std::string_view::npos ? text.size() : nl + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
  }
  return lines;
}

// What the mask must make of a statement: the keyword runs of each pattern
// tried at every token, gaps of any length between them, and the match
// whose last keyword comes first wins.
std::string ExpectedMask(std::string_view line) {
  size_t body = line.size();
  while (body > 0 && (line[body - 1] == '\r' || line[body - 1] == '\n')) --body;
  std::vector<std::pair<size_t, size_t>> tokens;
  for (size_t i = 0; i < body;) {
    if (IsBlank(line[i])) { ++i; continue; }
    const size_t begin = i;
    while (i < body && !IsBlank(line[i])) ++i;
    tokens.emplace_back(begin, i);
  }
  auto is = [&](size_t t, std::string_view alternatives) {
    const std::string_view token = line.substr(tokens[t].first, tokens[t].second - tokens[t].first);
    size_t from = 0;
    while (from <= alternatives.size()) {
      const std::string_view word = alternatives.substr(from, alternatives.find('|', from) - from);
      from += word.size() + 1;
      auto same = [](char w, char c) { return w == ((c >= 'A' && c <= 'Z') ? c - 'A' + 'a' : c); };
      if (word.size() == token.size() && std::equal(word.begin(), word.end(), token.begin(), same)) return true;
    }
    return false;
  };
  // Each pattern as its runs of keywords ("a|b" kept whole), read once.
  static const auto patterns = [] {
    std::vector<std::vector<std::vector<std::string_view>>> all;
    for (std::string_view rest : kPatterns) {
      all.emplace_back(1);
      while (!rest.empty()) {
        const std::string_view word = rest.substr(0, rest.find(' '));
        rest.remove_prefix(std::min(rest.size(), word.size() + 1));
        if (word == "...") all.back().emplace_back(); else all.back().back().push_back(word);
      }
    }
    return all;
  }();
  std::vector<char> ends, next;  // where the runs so far can end
  size_t best = tokens.size();
  for (const auto& runs : patterns) {
    ends.assign(tokens.size(), 1);
    for (size_t r = 0; r < runs.size(); ++r) {
      next.assign(tokens.size(), 0);
      bool before = r == 0;  // the previous runs end before the start
      for (size_t s = 0; s + runs[r].size() <= tokens.size(); ++s) {
        if (s > 0 && r > 0 && ends[s - 1]) before = true;
        size_t k = 0;
        while (k < runs[r].size() && is(s + k, runs[r][k])) ++k;
        if (before && k == runs[r].size()) next[s + k - 1] = 1;
      }
      ends.swap(next);
    }
    best = std::min(best, static_cast<size_t>(std::find(ends.begin(), ends.end(), 1) - ends.begin()));
  }
  if (best + 1 >= tokens.size()) return std::string(line);  // no match, or nothing after it
  return std::string(line.substr(0, tokens[best].second)) + " <secret>" + std::string(line.substr(body));
}

void CheckMask(std::string_view text) {
  std::string joined;
  for (size_t pos = 0; pos < text.size();) {
    size_t end = text.find_first_of("\r\n", pos);
    end = end == std::string_view::npos ? text.size() : end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    const std::string masked = kMask.Mask(text.substr(pos, end - pos));
    FUZZ_CHECK(masked == ExpectedMask(text.substr(pos, end - pos)));
    if (masked != text.substr(pos, end - pos)) FUZZ_CHECK(kMask.Mask(masked) == masked);
    joined += masked;
    pos = end;
  }
  FUZZ_CHECK(kMask.MaskLines(text) == joined);
  // The whole text as one statement: line breaks inside, any line end run.
  FUZZ_CHECK(kMask.Mask(text) == ExpectedMask(text));
}

Multiset Count(const Lines& lines, const std::function<std::string(std::string_view)>& show) {
  Multiset counts;
  for (std::string_view line : lines) ++counts[show ? show(line) : std::string(line)];
  return counts;
}

// Lines of the old list not matched in the new one, and the other way round.
std::pair<size_t, size_t> MultisetDifference(const Lines& old_lines, const Lines& new_lines) {
  std::pair<size_t, size_t> difference{0, 0};
  Multiset balance = Count(old_lines, nullptr);
  for (std::string_view line : new_lines) --balance[std::string(line)];
  for (const auto& [line, b] : balance) (b > 0 ? difference.first : difference.second) += static_cast<size_t>(std::abs(b));
  return difference;
}

size_t LongestCommonSubsequence(const Lines& a, const Lines& b) {
  std::vector<size_t> row(b.size() + 1, 0);
  for (size_t i = 0; i < a.size(); ++i) {
    size_t diagonal = 0;
    for (size_t j = 0; j < b.size(); ++j) {
      const size_t up = row[j + 1];
      row[j + 1] = a[i] == b[j] ? diagonal + 1 : std::max(row[j], up);
      diagonal = up;
    }
  }
  return row[b.size()];
}

void CheckDiff(std::string_view old_text, std::string_view new_text, comvorlix::StatementDiffOptions options) {
  size_t calls = 0;
  const auto show = options.show;
  if (show) options.show = [&](std::string_view line) { return ++calls, show(line); };
  const comvorlix::StatementDiff d = comvorlix::DiffStatements(old_text, new_text, options);
  const Lines old_lines = Statements(old_text), new_lines = Statements(new_text);
  const auto [multiset_removed, multiset_added] = MultisetDifference(old_lines, new_lines);

  const bool too_long = old_lines.size() + new_lines.size() > options.max_lines;
  if (old_text != new_text && too_long) FUZZ_CHECK(d.counts_only);
  if (options.max_work == SIZE_MAX && !too_long) FUZZ_CHECK(!d.counts_only);
  if (d.counts_only) {
    FUZZ_CHECK(d.lines.empty() && calls == 0);
    FUZZ_CHECK(d.removed == multiset_removed && d.added == multiset_added);
    return;
  }
  FUZZ_CHECK(d.removed >= multiset_removed && d.added >= multiset_added && d.removed <= old_lines.size());
  FUZZ_CHECK(old_lines.size() - d.removed == new_lines.size() - d.added);
  if (old_lines.size() * new_lines.size() <= 40'000) {
    FUZZ_CHECK(d.removed == old_lines.size() - LongestCommonSubsequence(old_lines, new_lines));
  } else {
    comvorlix::StatementDiffOptions back;
    back.max_changed_lines = 0;
    const comvorlix::StatementDiff b = comvorlix::DiffStatements(new_text, old_text, back);
    if (!b.counts_only) FUZZ_CHECK(b.removed == d.added && b.added == d.removed);
  }

  const Multiset old_shown = Count(old_lines, show), new_shown = Count(new_lines, show);
  Multiset applied = old_shown;
  size_t shown = 0, bytes = 0;
  for (size_t i = 0; i < d.lines.size(); ++i) {
    const std::string& line = d.lines[i];
    bytes += line.size() + 1;
    if (line.rfind(kMore, 0) == 0) {
      FUZZ_CHECK(i + 1 == d.lines.size() && shown < d.removed + d.added);
      FUZZ_CHECK(line == std::string(kMore) + std::to_string(d.removed + d.added - shown) + " more changed lines");
      continue;
    }
    FUZZ_CHECK(line.size() >= 2 && (line[1] == ' ') && (line[0] == '-' || line[0] == '+' || line[0] == ' '));
    const std::string text = line.substr(2);
    if (show) FUZZ_CHECK(kMask.Mask(text) == text);  // nothing shown holds a secret
    if (line[0] == ' ') {
      FUZZ_CHECK(i + 1 < d.lines.size() && (d.lines[i + 1][0] == '-' || d.lines[i + 1][0] == '+'));
      FUZZ_CHECK(Indentation(text) < Indentation(std::string_view(d.lines[i + 1]).substr(2)));
      FUZZ_CHECK((d.lines[i + 1][0] == '-' ? old_shown : new_shown).count(text) == 1);
      continue;
    }
    ++shown;
    if (line[0] == '-') {
      FUZZ_CHECK(--applied[text] >= 0);  // a removed line is one of the old list
    } else {
      ++applied[text];
    }
  }
  FUZZ_CHECK(shown <= options.max_changed_lines && bytes <= options.max_output_bytes);
  FUZZ_CHECK(calls <= d.lines.size() + 2);
  const bool all = shown == d.removed + d.added;
  if (!all) FUZZ_CHECK(d.lines.empty() || d.lines.back().rfind(kMore, 0) == 0);
  if (options.max_changed_lines == SIZE_MAX) FUZZ_CHECK(all);
  if (all) {
    std::erase_if(applied, [](const auto& entry) { return entry.second == 0; });
    FUZZ_CHECK(applied == new_shown);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  comvorlix::fuzz::InputReader in(data, size);
  const uint8_t flags = in.Byte();
  comvorlix::StatementDiffOptions options;
  options.max_changed_lines = in.Byte() % 51;
  options.max_output_bytes = (size_t{in.Byte()} << 8 | in.Byte()) % 2001;
  const uint8_t work = in.Byte(), max_lines = in.Byte();
  if ((flags & 1) != 0) options.show = [](std::string_view line) { return kMask.Mask(line); };
  if ((flags >> 1 & 3) == 1) options.max_work = work;
  if ((flags >> 1 & 3) == 2) options.max_work = SIZE_MAX;
  if ((flags & 8) != 0) options.max_changed_lines = options.max_output_bytes = SIZE_MAX;
  if ((flags & 16) != 0) options.max_lines = max_lines;
  const std::string_view rest = in.Rest();
  const size_t nul = std::min(rest.find('\0'), rest.size());
  const std::string_view old_text = rest.substr(0, nul), new_text = rest.substr(std::min(nul + 1, rest.size()));

  CheckMask(rest);
  CheckDiff(old_text, new_text, options);
  auto unchanged = [&](std::string_view a, std::string_view b) {
    const comvorlix::StatementDiff d = comvorlix::DiffStatements(a, b, options);
    FUZZ_CHECK(d.removed == 0 && d.added == 0 && d.lines.empty());
  };
  unchanged(old_text, old_text);
  // A last line without its end is the same line with it.
  if (!old_text.empty() && old_text.back() != '\n') unchanged(old_text, std::string(old_text) + "\n");
  return 0;
}

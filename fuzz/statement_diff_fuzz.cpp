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
// For the mask, with a few fixed patterns (one of them a section's):
// MaskLines, Mask and MaskPart agree with a plain reading of the header
// (lines split at every line end, each pattern searched for again and again
// on its own, a line's section found by looking back line by line,
// overlapping captures united); MaskPart of every line start of a text is
// that part of MaskLines; a masked text has the lines and line ends of the
// text.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <re2/re2.h>

#include "diff/statement_diff.h"
#include "fuzz_support.h"
#include "redact/secret_mask.h"

namespace {

using Lines = std::vector<std::string_view>;
using Multiset = std::unordered_map<std::string, long>;

const std::vector<comvorlix::SecretPattern> kPatterns = {
    {R"(^ *enable (?:\S+ )*?(?:secret|password) (.*))"},
    {R"(^ *snmp-server user \S+ auth (?:md5|sha) (\S+)(?: priv (?:des|aes) (\S+))?)"},
    {R"(://[^/@: ]*:([^@ ]*)@)"},
    {.line = R"(^ +key (.*))", .section = R"(^radius server )"}};
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

// The lines of a text as the mask reads them: "\r\n", "\n" or a lone "\r"
// ends one.
std::vector<std::string_view> MaskLinesOf(std::string_view text) {
  std::vector<std::string_view> lines;
  for (size_t pos = 0; pos < text.size();) {
    size_t end = text.find_first_of("\r\n", pos);
    end = end == std::string_view::npos ? text.size() : end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
    lines.push_back(text.substr(pos, end - pos));
    pos = end;
  }
  return lines;
}

std::string_view BodyOf(std::string_view line) {
  while (!line.empty() && std::string_view(" \t\r\n").find(line.back()) != std::string_view::npos) {
    line.remove_suffix(1);
  }
  return line;
}

// What the mask must make of `lines` (`above`: how many of them lie above
// the part to mask, and give sections only): a section is the nearest line
// above, looking back one by one, that is indented less; none inside the
// lines is unknown when `unknown_above`.
std::string ExpectedMask(const std::vector<std::string_view>& lines, size_t above, bool unknown_above) {
  static const auto compiled = [] {
    RE2::Options o;
    o.set_encoding(RE2::Options::EncodingLatin1);
    o.set_dot_nl(true);
    std::vector<std::pair<std::unique_ptr<RE2>, std::unique_ptr<RE2>>> all;
    for (const auto& p : kPatterns) {
      all.emplace_back(std::make_unique<RE2>(p.line, o), p.section.empty() ? nullptr : std::make_unique<RE2>(p.section, o));
    }
    return all;
  }();
  std::string out;
  for (size_t i = above; i < lines.size(); ++i) {
    const std::string_view body = BodyOf(lines[i]);
    if (body.empty()) {
      out += lines[i];
      continue;
    }
    const size_t indent = Indentation(body);
    std::optional<std::string_view> section;
    for (size_t j = i; j-- > 0;) {
      const std::string_view b = BodyOf(lines[j]);
      if (!b.empty() && Indentation(b) < indent) {
        section = b;
        break;
      }
    }
    std::vector<char> secret(body.size(), 0);
    for (const auto& [line_re, section_re] : compiled) {
      if (section_re) {
        if (!section && !unknown_above) continue;
        if (section && !RE2::PartialMatch(re2::StringPiece(section->data(), section->size()), *section_re)) continue;
      }
      const int n = line_re->NumberOfCapturingGroups();
      std::vector<re2::StringPiece> g(static_cast<size_t>(n) + 1);
      const re2::StringPiece piece(body.data(), body.size());
      for (size_t from = 0; from <= body.size();) {
        if (!line_re->Match(piece, from, body.size(), RE2::UNANCHORED, g.data(), n + 1)) break;
        for (int k = 1; k <= n; ++k) {
          if (g[k].data() == nullptr) continue;
          for (size_t b = static_cast<size_t>(g[k].data() - body.data()), e = b + g[k].size(); b < e; ++b) secret[b] = 1;
        }
        const size_t end = static_cast<size_t>(g[0].data() - body.data()) + g[0].size();
        from = end > from ? end : from + 1;
      }
    }
    for (size_t b = 0; b < body.size(); ++b) {
      if (!secret[b]) {
        out += body[b];
      } else if (b == 0 || !secret[b - 1]) {
        out += "<secret>";
      }
    }
    out += lines[i].substr(body.size());
  }
  return out;
}

void CheckMask(std::string_view text) {
  const std::vector<std::string_view> lines = MaskLinesOf(text);
  const std::string whole = kMask.MaskLines(text);
  FUZZ_CHECK(whole == ExpectedMask(lines, 0, false));
  FUZZ_CHECK(kMask.Mask(text) == ExpectedMask(lines, 0, true));
  // Every line start, or some 64 of them evenly spread.
  const size_t step = lines.size() / 64 + 1;
  size_t at = 0;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i % step == 0) {
      const std::string part = kMask.MaskPart(text, text.substr(at));
      FUZZ_CHECK(part == ExpectedMask(lines, i, false));
      FUZZ_CHECK(whole.size() >= part.size() && whole.compare(whole.size() - part.size(), part.size(), part) == 0);
    }
    at += lines[i].size();
  }
  // The line ends stay: as many lines, each ending as it did.
  const std::vector<std::string_view> masked = MaskLinesOf(whole);
  FUZZ_CHECK(masked.size() == lines.size());
  for (size_t i = 0; i < lines.size() && i < masked.size(); ++i) {
    FUZZ_CHECK(lines[i].substr(BodyOf(lines[i]).size()) == masked[i].substr(BodyOf(masked[i]).size()));
  }
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

  // The lines between the common head and the common tail (the head taken
  // first) are all the search looks at, and all that counts only count.
  size_t head = 0, tail = 0;
  while (head < old_lines.size() && head < new_lines.size() && old_lines[head] == new_lines[head]) ++head;
  while (tail < old_lines.size() - head && tail < new_lines.size() - head &&
         old_lines[old_lines.size() - 1 - tail] == new_lines[new_lines.size() - 1 - tail]) {
    ++tail;
  }
  const size_t old_middle = old_lines.size() - head - tail, new_middle = new_lines.size() - head - tail;
  const bool too_long = old_middle + new_middle > options.max_lines;
  if (old_text != new_text && too_long) FUZZ_CHECK(d.counts_only);
  if (options.max_work == SIZE_MAX && !too_long) FUZZ_CHECK(!d.counts_only);
  if (d.counts_only) {
    FUZZ_CHECK(d.lines.empty() && calls == 0);
    FUZZ_CHECK(d.removed == old_middle && d.added == new_middle);
    FUZZ_CHECK(d.removed >= multiset_removed && d.added >= multiset_added);
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

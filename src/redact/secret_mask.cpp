#include "redact/secret_mask.h"

#include <re2/re2.h>
#include <re2/set.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <utility>

#include "redact/patterns.h"

namespace comvorlix {
namespace {

constexpr std::string_view kSecret = "<secret>";

// RE2's budget for one pattern and for the set of all of them. Patterns of
// a device table are small; the budget caps what a hostile line can make
// the automata cache, and RE2 falls back to slower matching past it.
constexpr int64_t kPatternMemory = 128 << 10;
constexpr int64_t kSetMemory = 1 << 20;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }
bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

// A line without its line end and trailing blanks: what patterns see.
std::string_view Body(std::string_view line) {
  size_t n = line.size();
  while (n > 0 && (IsBlank(line[n - 1]) || IsLineEnd(line[n - 1]))) --n;
  return line.substr(0, n);
}

size_t Indentation(std::string_view body) {
  size_t n = 0;
  while (n < body.size() && IsBlank(body[n])) ++n;
  return n;
}

// The end of the line that starts at `pos`: after "\r\n", "\n" or "\r".
size_t LineEnd(std::string_view text, size_t pos) {
  const size_t end = text.find_first_of("\r\n", pos);
  if (end == std::string_view::npos) return text.size();
  if (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n') return end + 2;
  return end + 1;
}

// A line that opens a section for the lines below it that are indented
// more: its indentation and its body.
struct Opening {
  size_t indentation;
  std::string_view body;
};

// The section of one line.
struct Section {
  enum Kind { kNone, kKnown, kUnknown } kind = kNone;
  std::string_view opening;  // kKnown: the body of the line that opens it
};

re2::StringPiece Piece(std::string_view s) { return re2::StringPiece(s.data(), s.size()); }

[[noreturn]] void Invalid(const std::string& pattern, const std::string& why) {
  throw std::invalid_argument("secret pattern '" + pattern + "': " + why);
}

void RequireAsciiPattern(const std::string& pattern) {
  if (pattern.empty()) Invalid(pattern, "empty");
  for (char c : pattern) {
    if (static_cast<unsigned char>(c) >= 0x80) Invalid(pattern, "a byte that is no ASCII (write it \\xNN)");
  }
}

RE2::Options PatternOptions(int64_t memory) {
  RE2::Options o = SwitchOutputPatternOptions(memory);
  o.set_dot_nl(true);  // nothing after a keyword escapes "(.*)"
  return o;
}

std::unique_ptr<RE2> Compile(const std::string& pattern) {
  RequireAsciiPattern(pattern);
  auto re = std::make_unique<RE2>(pattern, PatternOptions(kPatternMemory));
  if (!re->ok()) Invalid(pattern, re->error());
  return re;
}

}  // namespace

struct SecretMask::Compiled {
  std::vector<std::unique_ptr<RE2>> lines;
  std::vector<std::unique_ptr<RE2>> sections;  // null: no section needed
  std::unique_ptr<RE2::Set> set;

  // Reused between the lines of one call.
  struct Scratch {
    std::vector<int> hits;
    std::vector<re2::StringPiece> groups;
    std::vector<std::pair<size_t, size_t>> spans;
  };

  void MaskLine(std::string_view line, const Section& section, Scratch& s, std::string& out) const;
  void MaskRun(std::string_view text, std::vector<Opening> open, bool unknown_above, std::string& out) const;
};

void SecretMask::Compiled::MaskLine(std::string_view line, const Section& section, Scratch& s,
                                    std::string& out) const {
  const std::string_view body = Body(line);
  s.hits.clear();
  RE2::Set::ErrorInfo error{};
  if (body.empty() || !set->Match(Piece(body), &s.hits, &error)) {
    if (body.empty() || error.kind == RE2::Set::kNoError) {
      out.append(line);
      return;
    }
    // The set's automaton ran out of memory: every pattern on its own.
    s.hits.resize(lines.size());
    for (size_t i = 0; i < lines.size(); ++i) s.hits[i] = static_cast<int>(i);
  }
  s.spans.clear();
  for (int hit : s.hits) {
    const size_t i = static_cast<size_t>(hit);
    if (sections[i]) {
      if (section.kind == Section::kNone) continue;
      if (section.kind == Section::kKnown && !RE2::PartialMatch(Piece(section.opening), *sections[i])) continue;
    }
    const RE2& re = *lines[i];
    const int groups = re.NumberOfCapturingGroups();
    s.groups.resize(static_cast<size_t>(groups) + 1);
    // Every match, each searched for where the one before ended.
    for (size_t from = 0; from <= body.size();) {
      if (!re.Match(Piece(body), from, body.size(), RE2::UNANCHORED, s.groups.data(), groups + 1)) break;
      for (int g = 1; g <= groups; ++g) {
        const re2::StringPiece& captured = s.groups[static_cast<size_t>(g)];
        if (captured.data() == nullptr || captured.empty()) continue;
        const size_t begin = static_cast<size_t>(captured.data() - body.data());
        s.spans.emplace_back(begin, begin + captured.size());
      }
      const size_t end = static_cast<size_t>(s.groups[0].data() - body.data()) + s.groups[0].size();
      from = end > from ? end : from + 1;
    }
  }
  if (s.spans.empty()) {
    out.append(line);
    return;
  }
  std::sort(s.spans.begin(), s.spans.end());
  size_t kept = 0;  // bytes of the line written so far
  for (size_t k = 0; k < s.spans.size();) {
    const size_t begin = s.spans[k].first;
    size_t end = s.spans[k].second;
    // Overlapping and touching captures are one secret.
    for (++k; k < s.spans.size() && s.spans[k].first <= end; ++k) end = std::max(end, s.spans[k].second);
    out.append(line.substr(kept, begin - kept));
    out.append(kSecret);
    kept = end;
  }
  out.append(line.substr(kept));
}

void SecretMask::Compiled::MaskRun(std::string_view text, std::vector<Opening> open, bool unknown_above,
                                   std::string& out) const {
  out.reserve(out.size() + text.size());
  Scratch scratch;
  for (size_t pos = 0; pos < text.size();) {
    const size_t end = LineEnd(text, pos);
    const std::string_view line = text.substr(pos, end - pos);
    pos = end;
    const std::string_view body = Body(line);
    if (body.empty()) {  // a line of blanks opens and closes nothing
      out.append(line);
      continue;
    }
    const size_t indentation = Indentation(body);
    while (!open.empty() && open.back().indentation >= indentation) open.pop_back();
    Section section;
    if (!open.empty()) {
      section = {Section::kKnown, open.back().body};
    } else if (unknown_above) {
      section.kind = Section::kUnknown;
    }
    MaskLine(line, section, scratch, out);
    open.push_back({indentation, body});
  }
}

SecretMask::SecretMask(std::span<const SecretPattern> patterns) : compiled_() {
  auto c = std::make_unique<Compiled>();
  c->set = std::make_unique<RE2::Set>(PatternOptions(kSetMemory), RE2::UNANCHORED);
  for (const SecretPattern& p : patterns) {
    std::unique_ptr<RE2> line = Compile(p.line);
    if (line->NumberOfCapturingGroups() == 0) Invalid(p.line, "no capture group, so nothing is masked");
    std::string error;
    if (c->set->Add(Piece(p.line), &error) < 0) Invalid(p.line, error);
    c->lines.push_back(std::move(line));
    c->sections.push_back(p.section.empty() ? nullptr : Compile(p.section));
  }
  if (!c->set->Compile()) throw std::invalid_argument("secret patterns: too large to compile together");
  compiled_ = std::move(c);
}

SecretMask::~SecretMask() = default;
SecretMask::SecretMask(SecretMask&&) noexcept = default;
SecretMask& SecretMask::operator=(SecretMask&&) noexcept = default;

std::string SecretMask::MaskLines(std::string_view text) const {
  std::string out;
  compiled_->MaskRun(text, {}, false, out);
  return out;
}

std::string SecretMask::MaskPart(std::string_view text, std::string_view part) const {
  std::string out;
  if (part.empty()) return out;
  const std::less<const char*> before;
  const bool within = !text.empty() && !before(part.data(), text.data()) &&
                      !before(text.data() + text.size(), part.data() + part.size());
  if (!within) {
    compiled_->MaskRun(part, {}, true, out);
    return out;
  }
  // The sections open where `part` starts, found backwards: the nearest
  // line above that is not blank, the nearest above that one indented less,
  // and so on up to the left margin. These are the lines a forward reading
  // of `text` would have open there.
  const std::string_view above = text.substr(0, static_cast<size_t>(part.data() - text.data()));
  std::vector<Opening> open;
  size_t below = SIZE_MAX;  // the indentation of the last line taken
  for (size_t end = above.size(); end > 0 && below > 0;) {
    const size_t brk = above.find_last_of("\r\n", end - 1);
    const size_t begin = brk == std::string_view::npos ? 0 : brk + 1;
    const std::string_view body = Body(above.substr(begin, end - begin));
    if (!body.empty() && Indentation(body) < below) {
      below = Indentation(body);
      open.push_back({below, body});
    }
    end = brk == std::string_view::npos ? 0 : brk;
  }
  std::reverse(open.begin(), open.end());
  compiled_->MaskRun(part, std::move(open), false, out);
  return out;
}

std::string SecretMask::Mask(std::string_view text) const { return MaskPart({}, text); }

}  // namespace comvorlix

#include "check/line_rules.h"

#include <re2/re2.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <mutex>
#include <span>
#include <stdexcept>
#include <utility>

#include "devices/device_table.h"
#include "redact/patterns.h"

namespace comvorlix {
namespace {

// The bytes every line a pattern matches whole must start with: the
// pattern's leading literal characters (an escaped punctuation character
// counts as itself), up to the first operator, class, group or class
// escape such as \d. A character a quantifier makes optional is not part
// of it, and a pattern with an alternation anywhere has none. Reading no
// further than that keeps it sure; the pattern decides the rest. (Asking
// RE2 for the range of possible matches builds a DFA per pattern: at every
// start, that cost more than all the lines of a listing it lets pass.)
// `whole`: the prefix is all of the pattern, which then matches that text
// and nothing else.
std::string LiteralPrefix(std::string_view pattern, bool& whole) {
  whole = false;
  if (pattern.find('|') != std::string_view::npos) return {};
  static constexpr std::string_view kOperators = ".[]()^$*+?{}|\\";
  std::string prefix;
  size_t i = 0;
  while (i < pattern.size()) {
    char literal;
    size_t next;
    if (pattern[i] == '\\') {
      if (i + 1 >= pattern.size()) break;
      const unsigned char escaped = static_cast<unsigned char>(pattern[i + 1]);
      if (std::isalnum(escaped) || escaped >= 0x80) break;  // \d, \S, \x41, \Q ...
      literal = pattern[i + 1];
      next = i + 2;
    } else if (kOperators.find(pattern[i]) != std::string_view::npos) {
      break;
    } else {
      literal = pattern[i];
      next = i + 1;
    }
    if (next < pattern.size()) {
      const char after = pattern[next];
      if (after == '*' || after == '?' || after == '{') break;  // may be absent
      if (after == '+') {  // present at least once, then who knows
        prefix += literal;
        break;
      }
    }
    prefix += literal;
    i = next;
  }
  whole = i == pattern.size();
  return prefix;
}

// The line without carriage returns and blanks at its end; a carriage
// return inside it (rare: switches end lines with "\r\n") is dropped too,
// the line then cleaned into `storage`.
std::string_view Clean(std::string_view raw, std::string& storage) {
  const size_t last = raw.find_last_not_of("\r ");
  std::string_view text = last == std::string_view::npos ? std::string_view() : raw.substr(0, last + 1);
  if (text.find('\r') == std::string_view::npos) return text;
  storage.clear();
  for (char c : text) {
    if (c != '\r') storage += c;
  }
  while (!storage.empty() && storage.back() == ' ') storage.pop_back();
  return storage;
}

}  // namespace

LineRules::Pattern::Pattern(std::string pattern, int capture_groups)
    : text(std::move(pattern)), groups(capture_groups) {
  prefix = LiteralPrefix(text, literal);
}

bool LineRules::Pattern::CanMatch(std::string_view line) const { return line.starts_with(prefix); }

const RE2& LineRules::Pattern::Compiled(std::string_view code) const {
  std::call_once(once_, [&] {
    auto re = std::make_unique<RE2>(text, SwitchOutputPatternOptions(kLinePatternMemory));
    const auto refuse = [&](const std::string& why) {
      throw std::invalid_argument("the line rule \"" + text + "\" of " + std::string(code) + " " + why);
    };
    if (!re->ok()) refuse("does not compile: " + re->error());
    if (groups >= 0 && re->NumberOfCapturingGroups() != groups) {
      refuse("needs " + std::to_string(groups) + " capture groups");
    }
    re_ = std::move(re);
  });
  return *re_;
}

LineRules::Patterns LineRules::Compile(std::string_view code, const std::vector<std::string>& patterns, int groups,
                                       When when) {
  Patterns out;
  for (const std::string& text : patterns) {
    const Pattern& p = out.emplace_back(text, groups);
    if (when == When::kNow) p.Compiled(code);
  }
  return out;
}

LineRules::LineRules(const DeviceKind& device) : LineRules(device, When::kNow) {}

LineRules::LineRules(const DeviceKind& device, When when)
    : code_(device.code),
      head_(Compile(code_, device.head_lines, -1, when)),
      drifting_(Compile(code_, device.drifting_lines, -1, when)),
      openers_(Compile(code_, device.free_text_openers, 2, when)),
      separators_(Compile(code_, device.separator_lines, -1, when)) {}

LineRules::~LineRules() = default;
LineRules::LineRules(LineRules&&) noexcept = default;

const LineRules& LineRules::Of(const DeviceKind& kind) {
  // Kinds are registered before the first check and never change: a kind's
  // rules are made on its first check and kept for the life of the
  // program. Only the kind checked gets them; a check pays for one kind's
  // patterns, not for every kind's. Checks may run on many threads at once;
  // the map is touched only under the lock.
  static std::mutex lock;
  static std::map<const DeviceKind*, std::unique_ptr<const LineRules>> compiled;
  const std::span<const DeviceKind> known = AllDeviceKinds();
  const bool registered =
      std::any_of(known.begin(), known.end(), [&kind](const DeviceKind& k) { return &k == &kind; });
  const DeviceKind& key = registered ? kind : OtherDeviceKind();
  const std::lock_guard<std::mutex> guard(lock);
  std::unique_ptr<const LineRules>& rules = compiled[&key];
  if (!rules) rules.reset(new LineRules(key, When::kFirstUse));
  return *rules;
}

bool LineRules::Matches(const Pattern& p, std::string_view line) const {
  if (!p.CanMatch(line)) return false;
  if (p.literal && p.groups <= 0) return line.size() == p.prefix.size();
  return RE2::FullMatch(re2::StringPiece(line.data(), line.size()), p.Compiled(code_));
}

bool LineRules::AnyMatches(const Patterns& patterns, std::string_view line) const {
  for (const Pattern& p : patterns) {
    if (Matches(p, line)) return true;
  }
  return false;
}

std::string LineRules::Opens(std::string_view line, bool& closed) const {
  for (const Pattern& p : openers_) {
    re2::StringPiece delimiter, rest;
    if (p.CanMatch(line) &&
        RE2::FullMatch(re2::StringPiece(line.data(), line.size()), p.Compiled(code_), &delimiter, &rest) &&
        !delimiter.empty()) {
      closed = rest.find(delimiter) != re2::StringPiece::npos;
      return std::string(delimiter.data(), delimiter.size());
    }
  }
  return std::string();
}

void LineRules::ForEachStatementRun(std::string_view listing,
                                    const std::function<void(std::string_view run)>& run) const {
  size_t begin = std::string_view::npos;  // where the kept lines not yet handed on begin
  bool head = true;
  std::string delimiter;  // not empty: inside free text, which this closes
  std::string cleaned;
  const char* const data = listing.data();
  for (size_t pos = 0; pos < listing.size();) {
    const void* nl = std::memchr(data + pos, '\n', listing.size() - pos);
    const size_t end = nl ? static_cast<size_t>(static_cast<const char*>(nl) - data) : listing.size();
    const size_t next = nl ? end + 1 : end;
    const std::string_view raw(data + pos, end - pos);
    bool kept = true;
    if (!delimiter.empty()) {
      if (raw.find(delimiter) != std::string_view::npos) delimiter.clear();
    } else {
      const std::string_view line = Clean(raw, cleaned);
      const size_t indent = line.find_first_not_of(' ');
      if (indent == std::string_view::npos || AnyMatches(separators_, line.substr(indent)) ||
          (head && AnyMatches(head_, line)) || AnyMatches(drifting_, line)) {
        kept = false;
      } else {
        head = false;
        bool closed = false;
        delimiter = Opens(line, closed);
        if (closed) delimiter.clear();
      }
    }
    if (kept) {
      if (begin == std::string_view::npos) begin = pos;
    } else if (begin != std::string_view::npos) {
      run(listing.substr(begin, pos - begin));
      begin = std::string_view::npos;
    }
    pos = next;
  }
  if (begin != std::string_view::npos) run(listing.substr(begin));
}

std::string LineRules::StatementsOnly(std::string_view listing) const {
  std::string out;
  out.reserve(listing.size());
  ForEachStatementRun(listing, [&out](std::string_view run) { out.append(run); });
  return out;
}

}  // namespace comvorlix

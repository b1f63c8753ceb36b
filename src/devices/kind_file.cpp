#include "devices/kind_file.h"

#include <re2/re2.h>

#include <algorithm>
#include <functional>
#include <stdexcept>

// toml++ is compiled into this file from its headers: one library fewer for
// every start of the program to load and bind, although a check reads no
// TOML unless an administrator added kind files. Its own debug assertions
// are left out: toml++ 3.3 asserts on a bad table-header key ("[[+x]]")
// that its parser goes on to report as an error, as its release builds do
// (tests/devices/kind_file_test.cpp).
#define TOML_HEADER_ONLY 1
#define TOML_ASSERT(expr) static_assert(true)
#include <toml++/toml.h>

#include "redact/patterns.h"
#include "redact/secret_mask.h"

namespace comvorlix {
namespace {

// A problem found while reading, carried out of the nested readers.
struct Refusal {
  int64_t line;
  std::string what;
};

int64_t LineOf(const toml::node& node) { return node.source().begin.line; }

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

// Reads one table's keys, refusing the keys nobody asked for.
class Reader {
 public:
  Reader(const toml::table& table, std::string prefix) : table_(table), prefix_(std::move(prefix)) {}

  // Calls `read` with the node of `key` when the table has it.
  void Take(std::string_view key, const std::function<void(const toml::node&, const std::string&)>& read) {
    taken_.push_back(key);
    if (const toml::node* node = table_.get(key)) read(*node, prefix_ + std::string(key));
  }

  void RefuseUnknownKeys() const {
    for (auto&& [key, node] : table_) {
      if (std::find(taken_.begin(), taken_.end(), key.str()) == taken_.end()) {
        throw Refusal{key.source().begin.line, "unknown key " + Quoted(prefix_ + std::string(key.str()))};
      }
    }
  }

 private:
  const toml::table& table_;
  std::string prefix_;
  std::vector<std::string_view> taken_;
};

std::string String(const toml::node& node, const std::string& name) {
  if (const auto* s = node.as_string()) return s->get();
  throw Refusal{LineOf(node), Quoted(name) + " must be a string"};
}

std::vector<std::string> Strings(const toml::node& node, const std::string& name) {
  const auto* array = node.as_array();
  if (array == nullptr) throw Refusal{LineOf(node), Quoted(name) + " must be a list of strings"};
  std::vector<std::string> out;
  for (const toml::node& item : *array) {
    const auto* s = item.as_string();
    if (s == nullptr) throw Refusal{LineOf(item), Quoted(name) + " must be a list of strings"};
    out.push_back(s->get());
  }
  return out;
}

int64_t Integer(const toml::node& node, const std::string& name, int64_t low, int64_t high) {
  const auto* i = node.as_integer();
  if (i == nullptr || i->get() < low || i->get() > high) {
    throw Refusal{LineOf(node), Quoted(name) + " must be a whole number from " + std::to_string(low) + " to " +
                                    std::to_string(high)};
  }
  return i->get();
}

bool Flag(const toml::node& node, const std::string& name) {
  if (const auto* b = node.as_boolean()) return b->get();
  throw Refusal{LineOf(node), Quoted(name) + " must be true or false"};
}

const toml::table& Table(const toml::node& node, const std::string& name) {
  if (const auto* t = node.as_table()) return *t;
  throw Refusal{LineOf(node), Quoted(name) + " must be a table"};
}

// Compiles `pattern` as the check will, so a kind that loads never fails
// later: Latin-1, ASCII text (other bytes written \xNN), `groups` capture
// groups when not negative.
void CheckPattern(const std::string& pattern, int64_t line, int groups) {
  for (char c : pattern) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      throw Refusal{line, "the pattern '" + pattern + "' holds a byte that is no ASCII (write it \\xNN)"};
    }
  }
  RE2 re(pattern, SwitchOutputPatternOptions(kLinePatternMemory));
  if (!re.ok()) throw Refusal{line, "the pattern '" + pattern + "' does not compile: " + re.error()};
  if (groups >= 0 && re.NumberOfCapturingGroups() != groups) {
    throw Refusal{line, "the pattern '" + pattern + "' needs " + std::to_string(groups) + " capture groups"};
  }
}

std::vector<std::string> Patterns(const toml::node& node, const std::string& name, int groups) {
  const std::vector<std::string> patterns = Strings(node, name);
  const toml::array& array = *node.as_array();
  for (size_t i = 0; i < patterns.size(); ++i) CheckPattern(patterns[i], LineOf(array[i]), groups);
  return patterns;
}

bool ValidCode(std::string_view code) {
  if (code.empty() || code.size() > 16) return false;
  for (char c : code) {
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'))) return false;
  }
  return true;
}

OpeningStep ReadOpeningStep(const toml::table& table, const std::string& name) {
  OpeningStep step;
  Reader r(table, name + ".");
  bool has_send = false;
  r.Take("send", [&](const toml::node& n, const std::string& k) {
    step.send = String(n, k);
    has_send = true;
  });
  r.Take("questions", [&](const toml::node& n, const std::string& k) { step.questions = Strings(n, k); });
  r.Take("asks_for", [&](const toml::node& n, const std::string& k) { step.asks_for = String(n, k); });
  r.Take("answers_question", [&](const toml::node& n, const std::string& k) { step.answers_question = Flag(n, k); });
  r.RefuseUnknownKeys();
  if (!has_send) throw Refusal{table.source().begin.line, Quoted(name + ".send") + " is missing"};
  return step;
}

void ReadListing(const toml::table& table, DeviceKind& kind, bool& has_running) {
  Reader r(table, "listing.");
  r.Take("running", [&](const toml::node& n, const std::string& k) {
    kind.run_listing = String(n, k);
    has_running = !kind.run_listing.empty();
  });
  r.Take("startup", [&](const toml::node& n, const std::string& k) { kind.start_listing = String(n, k); });
  r.Take("other", [&](const toml::node& n, const std::string& k) { kind.other_listing = String(n, k); });
  r.Take("running_marker",
         [&](const toml::node& n, const std::string& k) { kind.run_marker = String(n, k); });
  r.Take("startup_marker",
         [&](const toml::node& n, const std::string& k) { kind.start_marker = String(n, k); });
  r.Take("end_line", [&](const toml::node& n, const std::string& k) { kind.end_line = String(n, k); });
  r.Take("endless_markers", [&](const toml::node& n, const std::string& k) { kind.endless_markers = Strings(n, k); });
  r.Take("logout_threshold_after_listing", [&](const toml::node& n, const std::string& k) {
    kind.opening_threshold_offset = static_cast<int>(Integer(n, k, 0, 1 << 20));
  });
  r.Take("logout_threshold_after_follow_up", [&](const toml::node& n, const std::string& k) {
    if (const auto* s = n.as_string(); s != nullptr && s->get() == "keep") {
      kind.follow_up_threshold = std::nullopt;
    } else if (n.is_integer()) {
      kind.follow_up_threshold = static_cast<int>(Integer(n, k, 0, 1 << 20));
    } else {
      throw Refusal{LineOf(n), Quoted(k) + " must be a whole number or \"keep\""};
    }
  });
  r.RefuseUnknownKeys();
}

void ReadRules(const toml::table& table, DeviceKind& kind) {
  Reader r(table, "rules.");
  r.Take("head_lines", [&](const toml::node& n, const std::string& k) { kind.head_lines = Patterns(n, k, -1); });
  r.Take("drifting_lines",
         [&](const toml::node& n, const std::string& k) { kind.drifting_lines = Patterns(n, k, -1); });
  r.Take("free_text_openers",
         [&](const toml::node& n, const std::string& k) { kind.free_text_openers = Patterns(n, k, 2); });
  r.Take("separator_lines",
         [&](const toml::node& n, const std::string& k) { kind.separator_lines = Patterns(n, k, -1); });
  r.RefuseUnknownKeys();
}

SecretRule ReadSecret(const toml::table& table, const std::string& name) {
  SecretRule rule;
  bool has_line = false;
  int64_t line = table.source().begin.line;
  Reader r(table, name + ".");
  r.Take("line", [&](const toml::node& n, const std::string& k) {
    rule.line = String(n, k);
    line = LineOf(n);
    has_line = true;
  });
  r.Take("section", [&](const toml::node& n, const std::string& k) { rule.section = String(n, k); });
  r.RefuseUnknownKeys();
  if (!has_line) throw Refusal{table.source().begin.line, Quoted(name + ".line") + " is missing"};
  // Compiled by the mask itself, which says what is wrong.
  try {
    const SecretPattern pattern{rule.line, rule.section};
    SecretMask mask({&pattern, 1});
  } catch (const std::invalid_argument& e) {
    throw Refusal{line, e.what()};
  }
  return rule;
}

void ReadEarlier(const toml::table& table, DeviceKind& kind) {
  EarlierRule earlier;
  Reader r(table, "earlier.");
  r.Take("prefixes", [&](const toml::node& n, const std::string& k) { earlier.prefixes = Strings(n, k); });
  r.Take("separators", [&](const toml::node& n, const std::string& k) { earlier.separators = Strings(n, k); });
  r.Take("cut_header", [&](const toml::node& n, const std::string& k) { earlier.cut_header = Flag(n, k); });
  r.RefuseUnknownKeys();
  kind.earlier = std::move(earlier);
}

DeviceKind ReadKind(const toml::table& root) {
  DeviceKind kind = PlainCliDevice();
  bool has_code = false;
  bool has_running = false;
  int64_t listing_line = 1;
  Reader r(root, "");
  r.Take("code", [&](const toml::node& n, const std::string& k) {
    const std::string code = String(n, k);
    if (!ValidCode(code)) throw Refusal{LineOf(n), "the code " + Quoted(code) + " is not 1 to 16 of A-Z and 0-9"};
    kind.code = code;
    has_code = true;
  });
  r.Take("name", [&](const toml::node& n, const std::string& k) { kind.form_name = String(n, k); });
  r.Take("short_name",
         [&](const toml::node& n, const std::string& k) { kind.short_name = String(n, k); });
  r.Take("order", [&](const toml::node& n, const std::string& k) {
    kind.sort_key = static_cast<int>(Integer(n, k, 0, 1000000));
  });
  r.Take("marker", [&](const toml::node& n, const std::string& k) { kind.marker = String(n, k); });
  r.Take("line_end", [&](const toml::node& n, const std::string& k) { kind.line_end = String(n, k); });
  r.Take("logout", [&](const toml::node& n, const std::string& k) { kind.logout = String(n, k); });
  r.Take("follow_up", [&](const toml::node& n, const std::string& k) { kind.follow_up = Strings(n, k); });
  r.Take("login_suffix", [&](const toml::node& n, const std::string& k) { kind.login_suffix = String(n, k); });
  r.Take("opening", [&](const toml::node& n, const std::string& k) {
    const auto* steps = n.as_array();
    if (steps == nullptr) throw Refusal{LineOf(n), Quoted(k) + " must be a list of tables ([[opening]])"};
    for (const toml::node& step : *steps) kind.opening.push_back(ReadOpeningStep(Table(step, k), k));
  });
  r.Take("listing", [&](const toml::node& n, const std::string& k) {
    listing_line = LineOf(n);
    ReadListing(Table(n, k), kind, has_running);
  });
  r.Take("rules", [&](const toml::node& n, const std::string& k) { ReadRules(Table(n, k), kind); });
  r.Take("secrets", [&](const toml::node& n, const std::string& k) {
    const auto* rules = n.as_array();
    if (rules == nullptr) throw Refusal{LineOf(n), Quoted(k) + " must be a list of tables ([[secrets]])"};
    for (const toml::node& rule : *rules) kind.secret_patterns.push_back(ReadSecret(Table(rule, k), k));
  });
  r.Take("attribution", [&](const toml::node& n, const std::string& k) {
    Reader a(Table(n, k), "attribution.");
    a.Take("line", [&](const toml::node& line, const std::string& name) {
      kind.attribution = String(line, name);
      CheckPattern(kind.attribution, LineOf(line), 2);
    });
    a.RefuseUnknownKeys();
  });
  r.Take("earlier", [&](const toml::node& n, const std::string& k) { ReadEarlier(Table(n, k), kind); });
  r.RefuseUnknownKeys();
  if (!has_code) throw Refusal{1, Quoted("code") + " is missing"};
  if (!has_running) throw Refusal{listing_line, Quoted("listing.running") + " is missing"};
  if (kind.form_name.empty()) kind.form_name = kind.code;
  if (kind.short_name.empty()) kind.short_name = kind.form_name;
  return kind;
}

}  // namespace

std::string KindFileProblem::Message() const {
  if (line <= 0) return file + ": " + what;
  return file + ":" + std::to_string(line) + ": " + what;
}

const DeviceKind& OtherDeviceKind() {
  static const DeviceKind other{};
  return other;
}

const DeviceKind& PlainCliDevice() { return OtherDeviceKind(); }

std::variant<DeviceKind, KindFileProblem> ParseKindFile(std::string_view text, const std::string& file) {
  // A kind file is ASCII (non-ASCII text is written \uXXXX in strings): the
  // parser this builds on goes astray on some raw non-ASCII characters, and
  // TOML allows no NUL. Said here with its line, before the parser meets it.
  for (size_t at = 0; at < text.size(); ++at) {
    const unsigned char c = static_cast<unsigned char>(text[at]);
    if (c != 0 && c < 0x80) continue;
    const auto line = 1 + std::count(text.begin(), text.begin() + static_cast<std::ptrdiff_t>(at), '\n');
    if (c == 0) return KindFileProblem{file, line, "a NUL byte"};
    return KindFileProblem{file, line, "a byte that is no ASCII; write \\uXXXX in a string instead"};
  }
  toml::table root;
  try {
    root = toml::parse(text, file);
  } catch (const toml::parse_error& e) {
    return KindFileProblem{file, e.source().begin.line, std::string(e.description())};
  }
  try {
    return ReadKind(root);
  } catch (const Refusal& r) {
    return KindFileProblem{file, r.line, r.what};
  }
}

}  // namespace comvorlix

#include "check/earlier_rules.h"

#include <cstdint>
#include <vector>

#include "check/checksum.h"

namespace comvorlix {
namespace {

struct EarlierRule {
  std::string_view code;
  std::vector<std::string_view> prefixes;
  std::vector<std::string_view> separators;
  bool cut_header = false;  // the listing was taken from its header's second byte on
};

const std::vector<EarlierRule>& EarlierRules() {
  static const std::vector<EarlierRule> rules = {
      {"CSCSW",
       {"Building configuration...", "Current configuration :", "Using ", "! Last configuration change at",
        "! NVRAM config last updated at", "! No configuration change since last restart", "ntp clock-period "},
       {"!"},
       false},
      {"ARUSW", {"Running configuration:", "Startup configuration:", ";"}, {}, true},
      {"HP1920SW", {}, {"#"}, false},
      {"HP2510SW", {"Running configuration:", "Startup configuration:", ";"}, {"#"}, false},
  };
  return rules;
}

uint32_t Sum(uint32_t crc, std::string_view bytes) { return ChecksumUpdate(crc, bytes); }

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

// The statements by first bytes, summed as they go by.
uint32_t StatementSum(std::string_view listing, const EarlierRule& rule) {
  uint32_t crc = 0;
  std::string cleaned;
  for (size_t pos = 0; pos < listing.size();) {
    const size_t nl = listing.find('\n', pos);
    const size_t next = nl == std::string_view::npos ? listing.size() : nl + 1;
    std::string_view text = listing.substr(pos, next - pos);
    // Compared without carriage returns (anywhere) and blanks at either end.
    cleaned.clear();
    for (char c : text) {
      if (c != '\r' && c != '\n') cleaned += c;
    }
    std::string_view content = cleaned;
    while (!content.empty() && content.back() == ' ') content.remove_suffix(1);
    while (!content.empty() && content.front() == ' ') content.remove_prefix(1);
    bool kept = !content.empty();
    for (std::string_view p : rule.prefixes) kept = kept && !StartsWith(content, p);
    for (std::string_view s : rule.separators) kept = kept && content != s;
    if (kept) crc = Sum(crc, text);
    pos = next;
  }
  return crc;
}

}  // namespace

bool RememberedByAnEarlierRule(std::string_view device_code, std::string_view listing, std::string_view remembered) {
  if (remembered.empty()) return false;
  const EarlierRule* rule = nullptr;
  for (const EarlierRule& r : EarlierRules()) {
    if (r.code == device_code) rule = &r;
  }
  if (rule != nullptr && rule->cut_header && !listing.empty()) listing.remove_prefix(1);
  if (ChecksumHex(Sum(0, listing)) == remembered) return true;
  return rule != nullptr && ChecksumHex(StatementSum(listing, *rule)) == remembered;
}

}  // namespace comvorlix

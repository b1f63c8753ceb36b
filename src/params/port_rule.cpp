#include "params/port_rule.h"

#include <cstdlib>
#include <string>

#include "base/bytes.h"

namespace comvorlix {

double LeadingNumber(std::string_view text) {
  std::string s;
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) s += text[i++];
  bool digits = false, point = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      s += c;
      digits = true;
    } else if (c == '.' && !point) {
      s += '.';
      point = true;
    } else if (c == ' ') {
      continue;  // blanks inside the number are skipped as well
    } else {
      break;
    }
  }
  return digits ? std::strtod(s.c_str(), nullptr) : 0.0;
}

std::string PortNumberShown(std::string_view value) {
  size_t i = 0;
  while (i < value.size() && value[i] == ' ') ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == '+' || value[i] == '-')) {
    negative = value[i] == '-';
    ++i;
  }
  std::string digits;
  for (; i < value.size(); ++i) {
    const char c = value[i];
    if (c == ' ') continue;
    if (c < '0' || c > '9') break;
    // Leading zeros carry no value.
    if (c == '0' && digits.empty()) continue;
    digits += c;
  }
  if (digits.empty()) return "0";
  return negative ? "-" + digits : digits;
}

std::string PortOutsideRange(std::string_view value) {
  return "the port " + TrimBlanks(value) + " is not a TCP port (1-" + std::to_string(kMaxTcpPort) + ")";
}

}  // namespace comvorlix

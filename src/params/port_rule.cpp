#include "params/port_rule.h"

#include <cstdlib>
#include <string>

namespace comvorlix {

double LeadingNumber(TextView text) {
  std::string s;
  size_t i = 0;
  while (i < text.size() && text[i] == u' ') ++i;
  if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) s += static_cast<char>(text[i++]);
  bool digits = false, point = false;
  for (; i < text.size(); ++i) {
    char16_t c = text[i];
    if (c >= u'0' && c <= u'9') {
      s += static_cast<char>(c);
      digits = true;
    } else if (c == u'.' && !point) {
      s += '.';
      point = true;
    } else if (c == u' ') {
      continue;  // blanks inside the number are skipped as well
    } else {
      break;
    }
  }
  return digits ? std::strtod(s.c_str(), nullptr) : 0.0;
}

Text PortNumberText(TextView value) {
  size_t i = 0;
  while (i < value.size() && value[i] == u' ') ++i;
  bool negative = false;
  if (i < value.size() && (value[i] == u'+' || value[i] == u'-')) {
    negative = value[i] == u'-';
    ++i;
  }
  Text digits;
  for (; i < value.size(); ++i) {
    const char16_t c = value[i];
    if (c == u' ') continue;
    if (c < u'0' || c > u'9') break;
    // Leading zeros carry no value.
    if (c == u'0' && digits.empty()) continue;
    digits += c;
  }
  if (digits.empty()) return u"0";
  return negative ? u"-" + digits : digits;
}

std::string PortOutsideRangeText(TextView value) {
  return "the port " + ToUtf8(TrimBlanks(value)) + " is not a TCP port (1-" + std::to_string(kMaxTcpPort) + ")";
}

}  // namespace comvorlix

#include "params/parameter_fields.h"

#include <string>
#include <vector>

#include "base/automation_error.h"
#include "base/bytes.h"
#include "params/item_codes.h"
#include "params/keys.h"
#include "params/parameter_string.h"
#include "params/port_rule.h"
#include "params/secret_field.h"

namespace comvorlix {
namespace {

std::string FallbackCode(const CodeList& list) { return CodeOfIndex(list, static_cast<int>(list.fallback_index)); }

// A value is stored as it stands, and the parameter string has no escaping:
// "#" would end the value and begin an entry of its own choosing, and a line
// end or NUL would cut the one-line parameter file. Such a value is refused.
void RequireStorable(std::string_view value, const char* what) {
  if (value.find_first_of(std::string_view("#\r\n\0", 4)) != std::string_view::npos) {
    throw AutomationError(Status::kInvalidArgument,
                          std::string("the ") + what + " must not contain \"#\", CR, LF or NUL");
  }
}

// Empty (the default port) or a decimal whole number 0-65535, blanks around
// it already trimmed.
void RequireTcpPort(const std::string& port) {
  bool digits_only = !port.empty();
  for (const char c : port) digits_only = digits_only && c >= '0' && c <= '9';
  const std::string number = PortNumberShown(port);
  if (port.empty() || (digits_only && number.size() <= 5 && std::stol(number) <= kMaxTcpPort)) return;
  throw AutomationError(Status::kInvalidArgument, PortOutsideRange(port));
}

// The value `row` is written with, before its secret is encoded.
std::string ValueToWrite(const ParameterKey& row, const ParameterFields& f) {
  if (row.kind == ValueKind::kFlag) return std::string(row.flag == nullptr || f.*row.flag ? keys::kTrue : keys::kFalse);
  return row.trimmed ? TrimBlanks(f.*row.text) : f.*row.text;
}

// Rows the form and `configure` write: those with a field, and ENC.
bool Written(const ParameterKey& row) {
  return row.text != nullptr || row.flag != nullptr || row.key == keys::kEncrypted;
}

}  // namespace

ParameterFields::ParameterFields() {
  for (const ParameterKey& row : ParameterKeys()) {
    if (row.kind == ValueKind::kList && row.text != nullptr) this->*row.text = FallbackCode(row.codes());
    if (row.kind == ValueKind::kPort && row.text != nullptr) this->*row.text = std::to_string(kDefaultSshPort);
  }
}

ParameterFields ReadParameterFields(std::string_view p) {
  ParameterFields f;
  if (p.empty()) return f;
  // In the table's order, so the secret fields are decoded PWD first.
  for (const ParameterKey& row : ParameterKeys()) {
    if (row.flag != nullptr) f.*row.flag = GetKeyValue(p, row.key) == keys::kTrue;
    if (row.text == nullptr) continue;
    const std::string value = GetKeyValue(p, row.key);
    switch (row.kind) {
      case ValueKind::kSecret:
        f.*row.text = DecodeSecretField(value, true);
        break;
      case ValueKind::kList:
        f.*row.text = row.keeps_unknown && !value.empty() ? value : KnownCode(row.codes(), value);
        break;
      case ValueKind::kPort:
        f.*row.text = PortNumberShown(value);
        break;
      default:
        f.*row.text = value;
        break;
    }
  }
  return f;
}

std::string BuildParameterString(const ParameterFields& f) {
  // Every value is checked before anything is encoded or assembled.
  std::vector<std::string> values;
  for (const ParameterKey& row : ParameterKeys()) {
    if (!Written(row)) continue;
    values.push_back(ValueToWrite(row, f));
    if (row.storable_as != nullptr) RequireStorable(values.back(), row.storable_as);
    if (row.kind == ValueKind::kPort) RequireTcpPort(values.back());
  }
  // The secrets are encoded before anything is assembled: a failure leaves
  // nothing half built.
  size_t i = 0;
  for (const ParameterKey& row : ParameterKeys()) {
    if (!Written(row)) continue;
    if (row.kind == ValueKind::kSecret) values[i] = EncodeSecretField(values[i], true);
    ++i;
  }
  std::string out = "#";
  i = 0;
  for (const ParameterKey& row : ParameterKeys()) {
    if (!Written(row)) continue;
    out += row.key;
    out += '=';
    out += values[i++];
    out += '#';
  }
  return out;
}

}  // namespace comvorlix

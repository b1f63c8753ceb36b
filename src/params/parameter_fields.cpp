#include "params/parameter_fields.h"

#include <string>

#include "automation/automation_error.h"
#include "automation/text.h"

#include "params/item_codes.h"
#include "params/keys.h"
#include "params/parameter_string.h"
#include "params/port_rule.h"
#include "params/secret_field.h"

namespace comvorlix {
namespace {

std::string FallbackCode(const CodeList& list) { return CodeOfIndex(list, static_cast<int>(list.fallback_index)); }

std::string_view Flag(bool set) { return set ? keys::kTrue : keys::kFalse; }

// Appends one entry; the leading "#" of the string's first entry, and the
// closing one, are the caller's.
void Entry(std::string& out, std::string_view key, std::string_view value) {
  out += key;
  out += '=';
  out += value;
  out += '#';
}

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

}  // namespace

ParameterFields::ParameterFields()
    : protocol(FallbackCode(ProtocolCodes())),
      port(std::to_string(kDefaultSshPort)),
      key_type(FallbackCode(KeyTypeCodes())),
      configuration(FallbackCode(ConfigurationCodes())),
      device(FallbackCode(DeviceCodes())) {}

ParameterFields ReadParameterFields(std::string_view p) {
  ParameterFields f;
  if (p.empty()) return f;
  // The order of reading (and of decoding the secret fields) is the form's.
  f.user = GetKeyValue(p, keys::kUser);
  f.password = DecodeSecretField(GetKeyValue(p, keys::kPassword), true);
  f.protocol = KnownCode(ProtocolCodes(), GetKeyValue(p, keys::kProtocol));
  f.port = PortNumberShown(GetKeyValue(p, keys::kPort));
  f.enable_password = DecodeSecretField(GetKeyValue(p, keys::kEnablePassword), true);
  f.device = KnownCode(DeviceCodes(), GetKeyValue(p, keys::kDevice));
  f.configuration = KnownCode(ConfigurationCodes(), GetKeyValue(p, keys::kConfiguration));
  f.key_file = GetKeyValue(p, keys::kKeyFile);
  f.key_type = KnownCode(KeyTypeCodes(), GetKeyValue(p, keys::kKeyType));
  f.debug = GetKeyValue(p, keys::kDebug) == keys::kTrue;
  f.debug_file = GetKeyValue(p, keys::kDebugFile);
  f.update_changed = GetKeyValue(p, keys::kUpdateChanged) == keys::kTrue;
  return f;
}

std::string BuildParameterString(const ParameterFields& f) {
  // Every value is checked before anything is encoded or assembled.
  RequireStorable(f.user, "user name");
  const std::string port = TrimBlanks(f.port);
  RequireTcpPort(port);
  const std::string key_file = TrimBlanks(f.key_file);
  RequireStorable(key_file, "key file");
  const std::string debug_file = TrimBlanks(f.debug_file);
  RequireStorable(debug_file, "debug file");
  // Both secrets are encoded before anything is assembled: a failure
  // leaves nothing half built.
  const std::string password = EncodeSecretField(f.password, true);
  const std::string enable_password = EncodeSecretField(f.enable_password, true);
  std::string out = "#";
  Entry(out, keys::kEncrypted, keys::kTrue);
  Entry(out, keys::kUser, f.user);
  Entry(out, keys::kPassword, password);
  Entry(out, keys::kProtocol, f.protocol);
  Entry(out, keys::kPort, port);
  Entry(out, keys::kKeyFile, key_file);
  Entry(out, keys::kKeyType, f.key_type);
  Entry(out, keys::kEnablePassword, enable_password);
  Entry(out, keys::kConfiguration, f.configuration);
  Entry(out, keys::kDevice, f.device);
  Entry(out, keys::kUpdateChanged, Flag(f.update_changed));
  Entry(out, keys::kDebug, Flag(f.debug));
  Entry(out, keys::kDebugFile, debug_file);
  return out;
}

}  // namespace comvorlix

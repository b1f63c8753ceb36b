#include "params/parameter_fields.h"

#include <string>

#include "params/item_codes.h"
#include "params/keys.h"
#include "params/parameter_string.h"
#include "params/port_rule.h"
#include "params/secret_field.h"

namespace comvorlix {
namespace {

Text FallbackCode(const CodeList& list) { return CodeOfIndex(list, static_cast<int>(list.fallback_index)); }

TextView Flag(bool set) { return set ? keys::kTrue : keys::kFalse; }

// Appends one entry; the leading "#" of the string's first entry, and the
// closing one, are the caller's.
void Entry(Text& out, TextView key, TextView value) {
  out += key;
  out += u'=';
  out += value;
  out += u'#';
}

}  // namespace

ParameterFields::ParameterFields()
    : protocol(FallbackCode(ProtocolCodes())),
      port(FromUtf8(std::to_string(kDefaultSshPort))),
      key_type(FallbackCode(KeyTypeCodes())),
      configuration(FallbackCode(ConfigurationCodes())),
      device(FallbackCode(DeviceCodes())) {}

ParameterFields ReadParameterFields(TextView p) {
  ParameterFields f;
  if (p.empty()) return f;
  // The order of reading (and of decoding the secret fields) is the form's.
  f.user = GetKeyValue(p, keys::kUser);
  f.password = DecodeSecretField(GetKeyValue(p, keys::kPassword), true);
  f.protocol = KnownCode(ProtocolCodes(), GetKeyValue(p, keys::kProtocol));
  f.port = PortNumberText(GetKeyValue(p, keys::kPort));
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

Text BuildParameterString(const ParameterFields& f) {
  // Both secrets are encoded before anything is assembled: a failure
  // leaves nothing half built.
  const Text password = EncodeSecretField(f.password, true);
  const Text enable_password = EncodeSecretField(f.enable_password, true);
  Text out = u"#";
  Entry(out, keys::kEncrypted, keys::kTrue);
  Entry(out, keys::kUser, f.user);
  Entry(out, keys::kPassword, password);
  Entry(out, keys::kProtocol, f.protocol);
  Entry(out, keys::kPort, TrimBlanks(f.port));
  Entry(out, keys::kKeyFile, TrimBlanks(f.key_file));
  Entry(out, keys::kKeyType, f.key_type);
  Entry(out, keys::kEnablePassword, enable_password);
  Entry(out, keys::kConfiguration, f.configuration);
  Entry(out, keys::kDevice, f.device);
  Entry(out, keys::kUpdateChanged, Flag(f.update_changed));
  Entry(out, keys::kDebug, Flag(f.debug));
  Entry(out, keys::kDebugFile, TrimBlanks(f.debug_file));
  return out;
}

}  // namespace comvorlix

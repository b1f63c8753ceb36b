#include "params/check_settings.h"

#include <cmath>

#include "params/keys.h"
#include "params/parameter_string.h"
#include "params/port_rule.h"
#include "params/secret_field.h"

namespace comvorlix {
namespace {

// The port as a whole number, halves rounded to the even number as every
// number of the component is; anything outside 0-65535 is no TCP port.
int32_t PortNumber(std::string_view value) {
  const double r = std::nearbyint(LeadingNumber(value));
  if (!(r >= 0 && r <= kMaxTcpPort)) throw AutomationError(Status::kOverflow, PortOutsideRange(value));
  return static_cast<int32_t>(r);
}

}  // namespace

bool CheckSettings::compare() const { return ToUtf8(configuration) == keys::kCompare; }

CheckSettings ParseCheckSettings(TextView parameter_text) {
  const std::string parameter = ToUtf8(parameter_text);
  auto raw = [&parameter](std::string_view k) { return GetKeyValue(parameter, k); };
  auto key = [&raw](std::string_view k) { return FromUtf8(raw(k)); };
  CheckSettings s;
  s.user = AtStep(40, [&] { return key(keys::kUser); });
  s.password = AtStep(50, [&] { return FromUtf8(DecodeSecretField(raw(keys::kPassword), true)); });
  s.protocol = AtStep(60, [&] { return key(keys::kProtocol); });
  s.port = AtStep(70, [&] { return PortNumber(raw(keys::kPort)); });
  s.key_file = AtStep(80, [&] { return key(keys::kKeyFile); });
  s.key_type = AtStep(90, [&] { return key(keys::kKeyType); });
  s.enable_password = AtStep(100, [&] { return FromUtf8(DecodeSecretField(raw(keys::kEnablePassword), true)); });
  s.device = AtStep(110, [&] { return key(keys::kDevice); });
  s.configuration = AtStep(120, [&] { return key(keys::kConfiguration); });
  s.debug = AtStep(130, [&] { return raw(keys::kDebug) == keys::kTrue; });
  s.debug_file = AtStep(140, [&] { return TrimBlanks(key(keys::kDebugFile)); });
  s.stored_checksum = AtStep(150, [&] { return key(keys::kChecksum); });
  AtStep(160, [&] { return DecodeSecretField(raw(keys::kCommand), true); });  // must decode; not used
  s.update_changed = AtStep(490, [&] { return raw(keys::kUpdateChanged) == keys::kTrue; });
  return s;
}

}  // namespace comvorlix

#include "check/check_settings.h"

#include <cmath>

#include "params/keys.h"
#include "params/parameter_string.h"
#include "params/port_rule.h"
#include "params/secret_field.h"

namespace comvorlix {
namespace {

// The port as a whole number, halves rounded to the even number as every
// number of the component is; anything outside 0-65535 is no TCP port.
int32_t PortNumber(TextView value) {
  const double r = std::nearbyint(LeadingNumber(value));
  if (!(r >= 0 && r <= kMaxTcpPort)) throw AutomationError(Status::kOverflow, PortOutsideRangeText(value));
  return static_cast<int32_t>(r);
}

}  // namespace

bool CheckSettings::compare() const { return configuration == keys::kCompare; }

CheckSettings ParseCheckSettings(TextView parameter) {
  auto key = [parameter](TextView k) { return GetKeyValue(parameter, k); };
  CheckSettings s;
  s.user = AtStep(Step::kUser, [&] { return key(keys::kUser); });
  s.password = AtStep(Step::kPassword, [&] { return DecodeSecretField(key(keys::kPassword), true); });
  s.protocol = AtStep(Step::kProtocol, [&] { return key(keys::kProtocol); });
  s.port = AtStep(Step::kPort, [&] { return PortNumber(key(keys::kPort)); });
  s.key_file = AtStep(Step::kKeyFile, [&] { return key(keys::kKeyFile); });
  s.key_type = AtStep(Step::kKeyType, [&] { return key(keys::kKeyType); });
  s.enable_password = AtStep(Step::kEnablePassword, [&] { return DecodeSecretField(key(keys::kEnablePassword), true); });
  s.device = AtStep(Step::kDevice, [&] { return key(keys::kDevice); });
  s.configuration = AtStep(Step::kConfiguration, [&] { return key(keys::kConfiguration); });
  s.debug = AtStep(Step::kDebug, [&] { return key(keys::kDebug) == keys::kTrue; });
  s.debug_file = AtStep(Step::kDebugFile, [&] { return TrimBlanks(key(keys::kDebugFile)); });
  s.stored_checksum = AtStep(Step::kRemembered, [&] { return key(keys::kChecksum); });
  AtStep(Step::kCommand, [&] { return DecodeSecretField(key(keys::kCommand), true); });  // must decode; not used
  s.update_changed = AtStep(Step::kChanged, [&] { return key(keys::kUpdateChanged) == keys::kTrue; });
  return s;
}

}  // namespace comvorlix

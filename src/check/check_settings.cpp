#include "check/check_settings.h"

#include <cmath>

#include "base/automation_error.h"
#include "base/bytes.h"
#include "params/keys.h"
#include "params/parameter_string.h"
#include "params/port_rule.h"
#include "params/secret_field.h"

namespace comvorlix {
namespace {

// The parameter string's codec, read through one door: each value UTF-8.
class Stored {
 public:
  explicit Stored(std::string_view parameter) : parameter_(ValidUtf8(parameter)) {}
  std::string Value(std::string_view key) const { return GetKeyValue(parameter_, key); }
  std::string Secret(std::string_view key) const { return DecodeSecretField(GetKeyValue(parameter_, key), true); }
  double Number(std::string_view key) const { return LeadingNumber(GetKeyValue(parameter_, key)); }
  std::string PortError(std::string_view key) const { return PortOutsideRange(GetKeyValue(parameter_, key)); }

 private:
  const std::string parameter_;
};

// The port as a whole number, halves rounded to the even number as every
// number of the component is; anything outside 0-65535 is no TCP port.
int32_t PortNumber(const Stored& stored) {
  const double r = std::nearbyint(stored.Number(keys::kPort));
  if (!(r >= 0 && r <= kMaxTcpPort)) throw AutomationError(Status::kOverflow, stored.PortError(keys::kPort));
  return static_cast<int32_t>(r);
}

// Without blanks (spaces) at either end.
std::string TrimmedBlanks(std::string_view s) {
  const size_t first = s.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  return std::string(s.substr(first, s.find_last_not_of(' ') + 1 - first));
}

}  // namespace

void CheckSettings::SetDevice(std::string code) {
  known_kind = FindDeviceKind(code);
  device = std::move(code);
}

CheckSettings ParseCheckSettings(std::string_view parameter) {
  CheckSettings s;
  const Stored stored = AtStep(Step::kUser, [&] { return Stored(parameter); });
  s.login.user = AtStep(Step::kUser, [&] { return stored.Value(keys::kUser); });
  s.login.password = AtStep(Step::kPassword, [&] { return stored.Secret(keys::kPassword); });
  s.login.protocol = AtStep(Step::kProtocol, [&] { return stored.Value(keys::kProtocol); });
  s.login.port = AtStep(Step::kPort, [&] { return PortNumber(stored); });
  s.login.key_file = AtStep(Step::kKeyFile, [&] { return stored.Value(keys::kKeyFile); });
  s.login.key_type = AtStep(Step::kKeyType, [&] { return stored.Value(keys::kKeyType); });
  s.enable_password = AtStep(Step::kEnablePassword, [&] { return stored.Secret(keys::kEnablePassword); });
  AtStep(Step::kDevice, [&] { s.SetDevice(stored.Value(keys::kDevice)); });
  s.configuration = AtStep(Step::kConfiguration, [&] { return stored.Value(keys::kConfiguration); });
  s.debug = AtStep(Step::kDebug, [&] { return stored.Value(keys::kDebug) == "T"; });
  s.debug_file = AtStep(Step::kDebugFile, [&] { return TrimmedBlanks(stored.Value(keys::kDebugFile)); });
  s.stored_checksum = AtStep(Step::kRemembered, [&] { return stored.Value(keys::kChecksum); });
  AtStep(Step::kCommand, [&] { return stored.Secret(keys::kCommand); });  // must decode; not used
  // UCF has always been read at the step that handles a change.
  s.update_changed = AtStep(Step::kChanged, [&] { return stored.Value(keys::kUpdateChanged) == "T"; });
  return s;
}

}  // namespace comvorlix

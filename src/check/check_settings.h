// The settings of one check, read once from the parameter string.
//
// ParseCheckSettings reads every key the check uses, in the order the check
// has always read them, each read a numbered step (step.h):
//   40 USR, 50 PWD (secret field), 60 PROTO, 70 PORT, 80 KEYF, 90 KEYT,
//   100 EPW (secret field), 110 DEV, 120 CFG, 130 DBG, 140 DBF, 150 @@CRC,
//   160 CMD (a secret field that must decode; its value is not used),
//   then UCF.
// A step that fails throws CheckStepError carrying the step and the
// description of what failed (a secret field that is neither cipher text
// nor Base64, a port outside 0-65535: "the port 70000 is not a TCP port
// (1-65535)", port_rule.h). Values are kept exactly as stored (UTF-8)
// except where said; the device kind DEV names is looked up here, once.
// Pure; thread-safe.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "check/step.h"
#include "devices/device_table.h"
#include "session/switch_login.h"

namespace comvorlix {

struct CheckSettings {
  // USR, PWD (clear text), PROTO, PORT (the number it begins with, rounded
  // half to even, 0-65535; 0: default), KEYF, KEYT.
  SwitchLogin login;
  std::string enable_password;  // clear text
  std::string configuration;    // CFG code
  bool debug = false;           // DBG is exactly "T"
  std::string debug_file;       // DBF without blanks around it
  std::string stored_checksum;  // @@CRC; empty: none remembered yet
  bool update_changed = false;  // UCF is exactly "T"

  // DEV as stored, and the kind it names (nullptr: none of the known kinds).
  std::string device;
  const DeviceKind* known_kind = nullptr;
  void SetDevice(std::string code);
  // The kind's table; OtherDeviceKind() for a code that is no known kind.
  const DeviceKind& kind() const { return known_kind ? *known_kind : OtherDeviceKind(); }

  bool compare() const { return configuration == "COMPARE"; }
};

CheckSettings ParseCheckSettings(std::string_view parameter);

}  // namespace comvorlix

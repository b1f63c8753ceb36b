// The settings of one check, read once from the parameter string.
//
// ParseCheckSettings reads every key the check uses, in the order the check
// has always read them, each read a numbered step:
//   40 USR, 50 PWD (secret field), 60 PROTO, 70 PORT, 80 KEYF, 90 KEYT,
//   100 EPW (secret field), 110 DEV, 120 CFG, 130 DBG, 140 DBF, 150 @@CRC,
//   160 CMD (a secret field that must decode; its value is not used),
//   then UCF.
// A step that fails throws CheckStepError carrying the step and the
// description of what failed (a secret field that is neither cipher text
// nor Base64, a port outside 0-65535: "the port 70000 is not a TCP port
// (1-65535)", port_rule.h). Values are kept exactly as
// stored except where said. Pure; thread-safe.
#pragma once

#include <cstdint>
#include <string>

#include "automation/text.h"
#include "check/step.h"

namespace comvorlix {

struct CheckSettings {
  Text user;
  Text password;          // clear text
  Text protocol;          // PROTO code
  int32_t port = 0;       // the number PORT begins with, rounded half to even, 0-65535; 0: default
  Text key_file;
  Text key_type;          // KEYT code
  Text enable_password;   // clear text
  Text device;            // DEV code
  Text configuration;     // CFG code
  bool debug = false;     // DBG is exactly "T"
  Text debug_file;        // DBF without blanks around it
  Text stored_checksum;   // @@CRC; empty: none remembered yet
  bool update_changed = false;  // UCF is exactly "T"

  bool compare() const;   // CFG is COMPARE
};

CheckSettings ParseCheckSettings(TextView parameter);

}  // namespace comvorlix

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
#include <new>
#include <stdexcept>
#include <string>
#include <system_error>

#include "automation/automation_error.h"
#include "automation/text.h"

namespace comvorlix {

// A numbered step of a check failed; the host is told
// "ERR: " + description + "(" + step + ")".
class CheckStepError : public std::runtime_error {
 public:
  CheckStepError(int step, std::string description)
      : std::runtime_error(description), step_(step), description_(std::move(description)) {}
  int step() const { return step_; }
  // UTF-8; complete even when it holds a NUL character.
  const std::string& description() const { return description_; }
  // The text the host is given.
  std::string HostText() const { return "ERR: " + description_ + "(" + std::to_string(step_) + ")"; }

 private:
  int step_;
  std::string description_;
};

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

// Runs `step` of a check: an AutomationError, a lack of memory or a
// resource the system refused (std::system_error: a thread, a descriptor)
// inside it becomes a CheckStepError with the step's number ("Out of memory"
// for a lack of memory, "cannot get a system resource: " + what the system
// said for the last). Anything else passes unchanged.
template <typename F>
auto AtStep(int step, F&& f) -> decltype(f()) {
  try {
    return f();
  } catch (const AutomationError& e) {
    throw CheckStepError(step, e.description());
  } catch (const std::bad_alloc&) {
    throw CheckStepError(step, "Out of memory");
  } catch (const std::system_error& e) {
    throw CheckStepError(step, std::string("cannot get a system resource: ") + e.what());
  }
}

}  // namespace comvorlix

// The numbered steps of a check, and how a failure inside one is reported.
//
// Every step has the number it has always had: hosts and their users see it
// in every error text ("ERR: description(390)"), so a number never changes
// and is never reused for another step. The numbers are named here and
// nowhere else.
//
// Thread-safe: constants and a pure template.
#pragma once

#include <new>
#include <stdexcept>
#include <string>
#include <system_error>

#include "base/automation_error.h"

namespace comvorlix {

enum class Step {
  // The automation adapter converts its properties.
  kTimeout = 20,  // qo_timeout to a 16-bit whole number
  kHost = 30,     // qo_hostname to text
  // The parameter string, one key a step (check_settings.h); qo_parameter
  // is read as text at the first.
  kUser = 40,
  kPassword = 50,
  kProtocol = 60,
  kPort = 70,
  kKeyFile = 80,
  kKeyType = 90,
  kEnablePassword = 100,
  kDevice = 110,          // also: a DEV that is no known kind
  kConfiguration = 120,   // also: a CFG the kind lists nothing for
  kDebug = 130,
  kDebugFile = 140,
  kRemembered = 150,      // @@CRC
  kCommand = 160,
  // The session (check_run.h).
  kSessionStart = 320,
  kSessionWait = 330,
  // Judging the transcript (judge.h).
  kCheckDone = 360,
  kSessionResult = 370,
  kReceivedSize = 390,
  kReceivedData = 400,
  kListing = 410,
  kListingChecksum = 420,
  kChecksumShown = 430,
  kKeptRead = 440,
  kUnchanged = 450,
  kChanged = 490,         // also where UCF is read
  kChangeReported = 520,
  kInitial = 560,
  kInitialReported = 570,
  kStartupData = 620,
  kRunningData = 640,
  kListings = 650,
  kStartupChecksum = 660,
  kStartupChecksumShown = 670,
  kRunningChecksum = 680,
  kRunningChecksumShown = 690,
  kCompared = 700,
  kDifference = 740,
  kConnectFailed = 790,
};

// The number users see.
constexpr int StepNumber(Step step) { return static_cast<int>(step); }

// A numbered step of a check failed; the host is told
// "ERR: " + description + "(" + step + ")".
class CheckStepError : public std::runtime_error {
 public:
  CheckStepError(Step step, std::string description)
      : std::runtime_error(description), step_(step), description_(std::move(description)) {}
  int step() const { return StepNumber(step_); }
  // UTF-8; complete even when it holds a NUL character.
  const std::string& description() const { return description_; }
  // The text the host is given.
  std::string HostLine() const { return "ERR: " + description_ + "(" + std::to_string(step()) + ")"; }

 private:
  Step step_;
  std::string description_;
};

// Runs `step` of a check: an AutomationError, a lack of memory or a
// resource the system refused (std::system_error: a thread, a descriptor)
// inside it becomes a CheckStepError with the step's number ("Out of memory"
// for a lack of memory, "cannot get a system resource: " + what the system
// said for the last). Anything else passes unchanged.
template <typename F>
auto AtStep(Step step, F&& f) -> decltype(f()) {
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

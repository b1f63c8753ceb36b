// The check: one straight line from a parameter string to a verdict.
//
//   ParseCheckSettings (params/check_settings.h)   steps 40-160
//   refusals without a session                     steps 200, 250
//   RunSwitchSession (session/switch_session.h)    steps 320 (start), 330 (wait)
//   JudgeTranscript (check/judge.h)                steps 360-820
//
// RunCheck never throws: a failing step gives the verdict False with
// "ERR: " + description + "(" + step + ")", a refusal its own text
// ("ERR: can't connect to an SSH server without a USERNAME", "... a
// PASSWORD"), a session that never got going the SSH layer's text as it
// stands. The caller applies the verdict to the parameter string
// (ApplyVerdict). It waits for the session by running the calling thread's
// message queue; it shares nothing with checks on other threads and keeps
// nothing between checks.
#pragma once

#include <cstdint>
#include <string>

#include "automation/text.h"
#include "check/verdict.h"

namespace comvorlix {

struct CheckRequest {
  std::string host;   // UTF-8, as given (the SSH layer drops blanks around it)
  int16_t timeout = 0;  // seconds; 0 or less: 30
  Text parameter;     // the parameter string
};

Verdict RunCheck(const CheckRequest& request);

}  // namespace comvorlix

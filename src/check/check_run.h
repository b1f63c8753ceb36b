// The check: one straight line from a parameter string to a verdict.
//
//   ParseCheckSettings (check/check_settings.h)    steps 40-160
//   refusals without a session                     steps 200, 250, then
//     110 (a DEV that is no known kind) and 120 (a CFG the kind lists
//     nothing for), so that such settings never connect
//   SwitchSession (session/switch_session.h)       steps 320 (start), 330 (wait)
//   JudgeTranscript (check/judge.h)                steps 360-820
//
// RunCheck never throws: a failing step gives the verdict False with
// "ERR: " + description + "(" + step + ")", a refusal its own text
// ("ERR: can't connect to an SSH server without a USERNAME", "... a
// PASSWORD"), a session that never got going the SSH layer's text as it
// stands. Steps 110 and 120 say 'the device type "XYZ" is not one of
// CSCSW, ARUSW, HP1920SW, HP2510SW, so no configuration was listed' and
// 'the configuration kind "" is not one of RUN, START, COMPARE, so no
// configuration was listed'. With a deadline (CheckOptions), a session
// still running at it is ended and the verdict is "check of HOST:PORT did
// not finish within T s (last step: <step>)", or, once the switch has sent
// a line, "... (last step: <step>; the switch's last line: "<line>")"
// (masked, cut to 200 bytes). The caller applies the verdict to the
// parameter string (ApplyVerdict). It waits for the session by running the
// calling thread's message queue; it shares nothing with checks on other
// threads and keeps nothing between checks.
#pragma once

#include <cstdint>
#include <string_view>

#include "check/verdict.h"
#include "comvorlix/comvorlix.h"

namespace comvorlix {

// `host` UTF-8, as given (the SSH layer drops blanks around it);
// `timeout` in seconds, 0 or less: 30; `parameter` the parameter string,
// UTF-8.
Verdict RunCheck(std::string_view host, int16_t timeout, std::string_view parameter, const CheckOptions& options);

}  // namespace comvorlix

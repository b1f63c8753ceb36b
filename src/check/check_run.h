// The check: one straight line from a parameter string to a verdict.
//
//   ParseCheckSettings (check/check_settings.h)   steps 40-160
//   refusals without a session                     steps 200, 250, then
//     110 (a DEV that is no known kind) and 120 (a CFG the kind lists
//     nothing for), so that such settings never connect
//   RunSwitchSession (session/switch_session.h)    steps 320 (start), 330 (wait)
//   JudgeTranscript (check/judge.h)                steps 360-820
//
// RunCheck never throws: a failing step gives the verdict False with
// "ERR: " + description + "(" + step + ")", a refusal its own text
// ("ERR: can't connect to an SSH server without a USERNAME", "... a
// PASSWORD"), a session that never got going the SSH layer's text as it
// stands. Steps 110 and 120 say 'the device type "XYZ" is not one of
// CSCSW, ARUSW, HP1920SW, HP2510SW, so no configuration was listed' and
// 'the configuration kind "" is not one of RUN, START, COMPARE, so no
// configuration was listed'. The caller applies the verdict to the parameter string
// (ApplyVerdict). It waits for the session by running the calling thread's
// message queue; it shares nothing with checks on other threads and keeps
// nothing between checks.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "automation/text.h"
#include "check/judge.h"
#include "check/verdict.h"
#include "session/switch_session.h"

namespace comvorlix {

struct CheckRequest {
  std::string host;   // UTF-8, as given (the SSH layer drops blanks around it)
  int16_t timeout = 0;  // seconds; 0 or less: 30
  Text parameter;     // the parameter string
  // A limit on the whole check (set by hosts that promise one, such as the
  // command-line plugin): at `deadline` the session is ended and the verdict
  // is "check of HOST:PORT did not finish within <deadline_seconds> s (last
  // step: <step>)", or, once the switch has sent a line, "... (last step:
  // <step>; the switch's last line: "<line>")" (masked, cut to 200 bytes).
  std::optional<std::chrono::steady_clock::time_point> deadline;
  int deadline_seconds = 0;
  // Host key checking (ssh/known_hosts.h): the user's known hosts file
  // (empty: ~/.ssh/known_hosts) and the policy for a host not yet known.
  std::string known_hosts_file;  // UTF-8 path
  SshHostKeyPolicy host_key_policy = SshHostKeyPolicy::kAcceptNew;
  // Accepting a change, the kept listing and the size of a diff.
  JudgeOptions judging;
};

Verdict RunCheck(const CheckRequest& request);

// "check of HOST:PORT did not finish within <deadline_seconds> s (last step:
// <step>)", for a check that ran out of its deadline at `step` (a host names
// its own steps, such as waiting for the parameter file).
Text UnfinishedText(const CheckRequest& request, int port, std::string_view step);

}  // namespace comvorlix

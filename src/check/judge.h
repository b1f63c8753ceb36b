// Judging a session: from the transcript to the verdict.
//
// Writes "check done", then:
//   * a session that never got going: False, its connect error as the text;
//   * RUN, START and other kinds: the debug lines "Received data : N bytes"
//     and "Received data : " + the first capture, then the listing
//     (output_adaptation.h) and its checksum ("CRC on data   : X"); without
//     a remembered checksum X is to be remembered ("Setting initial CRC"),
//     an equal one is "configuration unchanged", another one "Configuration
//     changed (X - old:Y)", X to be remembered only with UCF=T;
//   * COMPARE: the debug lines "Received ST data : " + first capture + 46 "#"
//     and "Received RN data : " + second capture, then both statement lists,
//     "CRC on ST data   : ", "CRC on RN data   : ", and whether they agree.
// The checksum covers the listing's bytes as the switch sent them.
//
// Throws CheckStepError (params/check_settings.h) with the step that failed:
// 410 or 650 when no complete listing was found, which also holds a session
// that did not end normally. Reads only what it is given; thread-safe apart
// from the process's debug output, which serialises lines.
#pragma once

#include <string_view>

#include "check/verdict.h"
#include "params/check_settings.h"
#include "session/transcript.h"

namespace comvorlix {

// `host` is UTF-8, the name the check was given.
Verdict JudgeTranscript(const CheckSettings& settings, std::string_view host, const Transcript& transcript);

}  // namespace comvorlix

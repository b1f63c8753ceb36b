#include "check/check_run.h"

#include <chrono>
#include <string>

#include "base/bytes.h"
#include "base/debug_output.h"
#include "check/check_settings.h"
#include "check/judge.h"
#include "check/negotiation_report.h"
#include "devices/device_table.h"
#include "session/switch_session.h"

namespace comvorlix {
namespace {

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

// A device type or configuration kind that lists nothing fails here, before
// any connection: a session would log in, learn a host key and type at the
// switch only to find that there is nothing to compare. (The HP kinds list
// their current configuration for any kind that is not RUN, START or
// COMPARE.)
void RefuseWhatListsNothing(const CheckSettings& s) {
  if (s.known_kind == nullptr) {
    std::string codes;
    for (const DeviceKind& kind : AllDeviceKinds()) codes += (codes.empty() ? "" : ", ") + kind.code;
    throw CheckStepError(Step::kDevice, "the device type " + Quoted(s.device) + " is not one of " + codes +
                                            ", so no configuration was listed" + KindProblemsNote());
  }
  if (s.known_kind->start_listing.empty() && (s.configuration == "START" || s.configuration == "COMPARE")) {
    throw CheckStepError(Step::kConfiguration, "the device type " + Quoted(s.device) +
                                                   " has no startup configuration, so " + Quoted(s.configuration) +
                                                   " lists nothing");
  }
  if (FirstListing(*s.known_kind, s.configuration).empty()) {
    throw CheckStepError(Step::kConfiguration, "the configuration kind " + Quoted(s.configuration) +
                                                   " is not one of RUN, START, COMPARE, so no configuration was listed");
  }
}

SshHostKeyPolicy PolicyOf(HostKeyPolicy policy) {
  switch (policy) {
    case HostKeyPolicy::kStrict:
      return SshHostKeyPolicy::kStrict;
    case HostKeyPolicy::kNoLearning:
      return SshHostKeyPolicy::kNoLearning;
    case HostKeyPolicy::kAcceptNew:
      break;
  }
  return SshHostKeyPolicy::kAcceptNew;
}

SessionRequest SessionFor(std::string_view host, int16_t timeout, const CheckSettings& s, const CheckOptions& o) {
  SessionRequest r;
  r.host = host;
  r.login = s.login;
  // Typed at the switch's prompt, in the switch's code page like every
  // other text of the conversation.
  r.conversation = ConversationSettings{s.known_kind, s.configuration, Cp1252OfUtf8(s.enable_password), timeout};
  r.mask_line = LineMaskFor(s.kind());
  r.debug = s.debug;
  r.debug_file = s.debug_file;
  if (o.deadline) r.deadline = o.deadline->at;
  r.known_hosts_file = o.known_hosts_file;
  r.host_key_policy = PolicyOf(o.host_key_policy);
  return r;
}

// The step, and what the switch said last: a switch of another kind than
// configured shows itself by its prompt.
Verdict UnfinishedVerdict(std::string_view host, const CheckSettings& settings, const CheckOptions& options,
                          const Transcript& transcript) {
  std::string step = transcript.unfinished_step;
  const std::string last = QuotedLastLine(settings.kind(), transcript.captures.output);
  if (!last.empty()) step += "; the switch's last line: " + last;
  return FailedVerdict("check of " + std::string(host) + ":" + std::to_string(settings.login.port != 0 ? settings.login.port : 22) +
                       " did not finish within " + std::to_string(options.deadline ? options.deadline->seconds : 0) +
                       " s (last step: " + step + ")");
}

}  // namespace

Verdict RunCheck(std::string_view host, int16_t timeout, std::string_view parameter, const CheckOptions& options) {
  Verdict verdict;
  size_t captured = 0;  // for the performance data of a check that fails after its session
  try {
    const CheckSettings settings = ParseCheckSettings(parameter);
    if (settings.login.user.empty()) {
      verdict = FailedVerdict("ERR: can't connect to an SSH server without a USERNAME");
    } else if (settings.login.key_file.empty() && settings.login.password.empty()) {
      verdict = FailedVerdict("ERR: can't connect to an SSH server without a PASSWORD");
    } else {
      RefuseWhatListsNothing(settings);
      SwitchSession session(AtStep(Step::kSessionStart, [&] { return SessionFor(host, timeout, settings, options); }));
      AtStep(Step::kSessionStart, [&] { session.Start(); });
      Transcript transcript = AtStep(Step::kSessionWait, [&] { return session.Finish(); });
      captured = transcript.captures.first_size();
      if (!transcript.unfinished_step.empty()) {
        verdict = UnfinishedVerdict(host, settings, options, transcript);
      } else {
        verdict = JudgeTranscriptReleasingOutput(settings, host, transcript, options);
      }
      for (const std::string& line : NegotiationLines(transcript.negotiated)) OutputDebugLine(line);
      if (!transcript.learned_host_key.empty()) OutputDebugLine(transcript.learned_host_key);
      verdict.learned_host_key = transcript.learned_host_key;
      // A key that could not be recorded leaves the switch unjudged, not bad.
      verdict.unknown = transcript.host_key_unrecorded;
      verdict.host_key_refused = transcript.host_key_refused;
    }
  } catch (const CheckStepError& e) {
    verdict = FailedVerdict(e.HostLine());
    verdict.listing_bytes = captured;
  }
  return verdict;
}

}  // namespace comvorlix

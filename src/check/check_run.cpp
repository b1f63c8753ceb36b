#include "check/check_run.h"

#include "automation/debug_output.h"
#include "check/judge.h"
#include "check/negotiation_report.h"
#include "devices/device_table.h"
#include "check/check_settings.h"
#include "session/switch_session.h"

namespace comvorlix {
namespace {

Verdict UnfinishedVerdict(const CheckRequest& request, const CheckSettings& settings, const Transcript& transcript);

std::string Quoted(TextView t) { return "\"" + ToUtf8(t) + "\""; }

// A device type or configuration kind that lists nothing fails here, before
// any connection: a session would log in, learn a host key and type at the
// switch only to find that there is nothing to compare. (The HP kinds list
// their current configuration for any kind that is not RUN, START or
// COMPARE.)
void RefuseWhatListsNothing(const CheckSettings& s) {
  const DeviceKind* device = FindDeviceKind(s.device);
  if (device == nullptr) {
    std::string codes;
    for (const DeviceKind& kind : AllDeviceKinds()) codes += (codes.empty() ? "" : ", ") + ToUtf8(kind.code);
    throw CheckStepError(Step::kDevice, "the device type " + Quoted(s.device) + " is not one of " + codes +
                                  ", so no configuration was listed");
  }
  if (FirstListing(*device, s.configuration).empty()) {
    throw CheckStepError(Step::kConfiguration, "the configuration kind " + Quoted(s.configuration) +
                                  " is not one of RUN, START, COMPARE, so no configuration was listed");
  }
}

SessionRequest SessionFor(const CheckSettings& s, const CheckRequest& request) {
  SessionRequest r;
  r.host = request.host;
  r.timeout = request.timeout;
  r.port = s.port;
  r.login = ToUtf8(s.user);
  r.password = ToUtf8(s.password);
  r.key_file = ToUtf8(s.key_file);
  r.key_type = ToUtf8(s.key_type);
  r.protocol = ToUtf8(s.protocol);
  // Typed at the switch's prompt like every other text of the conversation.
  r.enable_password = ToAnsi(s.enable_password);
  r.device = FindDeviceKind(s.device);
  r.configuration = s.configuration;
  r.mask_line = LineMaskFor(s);
  r.debug = s.debug;
  r.debug_file = ToUtf8(s.debug_file);
  r.deadline = request.deadline;
  r.known_hosts_file = request.known_hosts_file;
  r.host_key_policy = request.host_key_policy;
  return r;
}

// The step, and what the switch said last: a switch of another kind than
// configured shows itself by its prompt.
Verdict UnfinishedVerdict(const CheckRequest& request, const CheckSettings& settings, const Transcript& transcript) {
  std::string step = transcript.unfinished_step;
  const std::string last = QuotedLastLine(settings, transcript.captures.output);
  if (!last.empty()) step += "; the switch's last line: " + last;
  return FailedVerdict(UnfinishedText(request, settings.port, step));
}

}  // namespace

Text UnfinishedText(const CheckRequest& request, int port, std::string_view step) {
  return FromUtf8("check of " + request.host + ":" + std::to_string(port != 0 ? port : 22) + " did not finish within " +
                  std::to_string(request.deadline_seconds) + " s (last step: " + std::string(step) + ")");
}

Verdict RunCheck(const CheckRequest& request) {
  const auto started = std::chrono::steady_clock::now();
  Verdict verdict;
  size_t captured = 0;  // for the performance data of a check that fails after its session
  try {
    const CheckSettings settings = ParseCheckSettings(request.parameter);
    if (settings.user.empty()) {
      verdict = FailedVerdict(u"ERR: can't connect to an SSH server without a USERNAME");
    } else if (settings.key_file.empty() && settings.password.empty()) {
      verdict = FailedVerdict(u"ERR: can't connect to an SSH server without a PASSWORD");
    } else {
      RefuseWhatListsNothing(settings);
      SwitchSession session(AtStep(Step::kSessionStart, [&] { return SessionFor(settings, request); }));
      AtStep(Step::kSessionStart, [&] { session.Start(); });
      Transcript transcript = AtStep(Step::kSessionWait, [&] { return session.Finish(); });
      captured = transcript.captures.first_size();
      if (!transcript.unfinished_step.empty()) {
        verdict = UnfinishedVerdict(request, settings, transcript);
      } else {
        verdict = JudgeTranscriptReleasingOutput(settings, request.host, transcript, request.judging);
      }
      for (const std::string& line : NegotiationLines(transcript.negotiated)) OutputDebugLine(line);
      if (!transcript.negotiated.learned_host_key.empty()) OutputDebugLine(transcript.negotiated.learned_host_key);
      verdict.learned_host_key = transcript.negotiated.learned_host_key;
      // A key that could not be recorded leaves the switch unjudged, not bad.
      verdict.unknown = transcript.host_key_unrecorded;
      verdict.host_key_refused = transcript.host_key_refused;
    }
  } catch (const CheckStepError& e) {
    verdict = FailedVerdict(FromUtf8(e.HostText()));
    verdict.listing_bytes = captured;
  }
  verdict.duration = std::chrono::steady_clock::now() - started;
  return verdict;
}

}  // namespace comvorlix

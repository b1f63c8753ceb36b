// The C++ interface for hosts (include/comvorlix/comvorlix.h) on the check
// pipeline and the configuration form.
#include "comvorlix/comvorlix.h"

#include <new>
#include <stdexcept>

#include "automation/automation_error.h"
#include "automation/debug_output.h"
#include "automation/variant.h"
#include "check/check_run.h"
#include "dialog/config_form.h"
#include "dialog/front_end.h"
#include "dialog/show_dialog.h"
#include "check/step.h"

namespace comvorlix {

CheckVerdict CheckConfiguration(const std::string& host, int timeout_seconds, const std::string& parameter) {
  return CheckConfiguration(host, timeout_seconds, parameter, CheckOptions{});
}

CheckVerdict CheckConfiguration(const std::string& host, int timeout_seconds, const std::string& parameter,
                                const CheckOptions& options) {
  const auto started = std::chrono::steady_clock::now();
  CheckVerdict out;
  try {
    CheckRequest request;
    request.host = host;
    request.parameter = FromUtf8(parameter);
    request.known_hosts_file = options.known_hosts_file;
    request.host_key_policy = options.host_key_policy == HostKeyPolicy::kStrict       ? SshHostKeyPolicy::kStrict
                              : options.host_key_policy == HostKeyPolicy::kNoLearning ? SshHostKeyPolicy::kNoLearning
                                                                                      : SshHostKeyPolicy::kAcceptNew;
    request.deadline = options.deadline;
    request.deadline_seconds = options.deadline_seconds;
    request.judging.accept = options.accept;
    request.judging.keep_listings = options.keep_listings;
    request.judging.read_kept_listing = options.read_kept_listing;
    request.judging.diff_lines = options.diff_lines;
    Verdict verdict;
    try {
      // The automation rule for a time-out that does not fit, as qo_timeout has it.
      request.timeout = AtStep(Step::kTimeout, [&] { return Variant::Int32(timeout_seconds).ToInt16(); });
      // Whatever escapes the check's own steps comes from setting up its session.
      verdict = AtStep(Step::kSessionStart, [&] { return RunCheck(request); });
    } catch (const CheckStepError& e) {
      verdict = FailedVerdict(FromUtf8(e.HostText()));
    }
    out.ok = verdict.ok;
    out.state = verdict.ok ? CheckState::kOk : verdict.unknown ? CheckState::kUnknown : CheckState::kCritical;
    out.learned_host_key = verdict.learned_host_key;
    out.text = ToUtf8(verdict.text);
    out.parameter = ToUtf8(ApplyVerdict(request.parameter, verdict));
    out.listing_bytes = verdict.listing_bytes;
    out.details = std::move(verdict.details);
    out.changed_lines = verdict.changed_lines;
    out.listing_to_keep = std::move(verdict.listing_to_keep);
    out.judged = verdict.judged;
    out.host_key_refused = verdict.host_key_refused;
  } catch (const std::exception& e) {
    // Not even the verdict could be made (memory is gone): the check failed,
    // the parameter string stays as given.
    out.ok = false;
    try {
      out.text = std::string("ERR: ") + (dynamic_cast<const std::bad_alloc*>(&e) ? "Out of memory" : e.what()) + "(" +
                 std::to_string(StepNumber(Step::kSessionStart)) + ")";
      out.parameter = parameter;
    } catch (const std::bad_alloc&) {
      out.text.clear();  // nothing more can be said
    }
  }
  out.duration = std::chrono::steady_clock::now() - started;
  return out;
}

std::optional<std::string> ShowConfigurationForm(const std::string& host, int timeout_seconds,
                                                 const std::string& parameter) {
  try {
    ConfigForm form;
    std::optional<Variant> built = ShowConfigurationDialog(form, Variant::FromText(FromUtf8(host)),
                                                           Variant::Int32(timeout_seconds),
                                                           Variant::FromText(FromUtf8(parameter)));
    if (!built) return std::nullopt;
    return ToUtf8(built->ToText());
  } catch (const AutomationError& e) {
    // The library's own error type stays inside the library.
    throw std::runtime_error(e.description());
  }
}

bool ConfigurationFormAvailable() { return DefaultFrontEndAvailable(); }

void SetDebugOutput(std::function<void(std::string_view line)> listener) {
  SetDebugOutput(std::move(listener), 1);
}

void SetDebugOutput(std::function<void(std::string_view line)> listener, int level) {
  SetDebugOutputLevel(level);
  AttachDebugListener(std::move(listener));
}

}  // namespace comvorlix

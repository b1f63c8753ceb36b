// The C++ interface for hosts (include/comvorlix/comvorlix.h) on the check
// pipeline and the configuration form.
#include "comvorlix/comvorlix.h"

#include <new>
#include <stdexcept>

#include "base/automation_error.h"
#include "base/bytes.h"
#include "base/debug_output.h"
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
  CheckVerdict out;
  try {
    // Malformed bytes of a host's string are read as U+FFFD, as the
    // automation class reads its strings.
    const std::string given = ValidUtf8(parameter);
    Verdict verdict;
    try {
      // The automation rule for a time-out that does not fit, as qo_timeout has it.
      const int16_t timeout = AtStep(Step::kTimeout, [&] { return Variant::Int32(timeout_seconds).ToInt16(); });
      // Whatever escapes the check's own steps comes from setting up its session.
      verdict = AtStep(Step::kSessionStart, [&] { return RunCheck(host, timeout, given, options); });
    } catch (const CheckStepError& e) {
      verdict = FailedVerdict(e.HostLine());
    }
    out.state = verdict.ok ? CheckState::kOk : verdict.unknown ? CheckState::kUnknown : CheckState::kCritical;
    out.learned_host_key = verdict.learned_host_key;
    out.text = ValidUtf8(verdict.text);
    out.parameter = ApplyVerdict(given, verdict);
    out.listing_bytes = verdict.listing_bytes;
    out.details = std::move(verdict.details);
    out.changed_lines = verdict.changed_lines;
    out.listing_to_keep = std::move(verdict.listing_to_keep);
    out.judged = verdict.judged;
    out.host_key_refused = verdict.host_key_refused;
  } catch (const std::exception& e) {
    // Not even the verdict could be made (memory is gone): the check failed,
    // the parameter string stays as given.
    out.state = CheckState::kCritical;
    try {
      out.text = CheckStepError(Step::kSessionStart,
                                dynamic_cast<const std::bad_alloc*>(&e) ? "Out of memory" : e.what())
                     .HostLine();
      out.parameter = parameter;
    } catch (const std::bad_alloc&) {
      out.text.clear();  // nothing more can be said
    }
  }
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

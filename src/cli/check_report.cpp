#include <cstdio>

#include "cli/check_stages.h"
#include "cli/one_line.h"
#include "params/keys.h"
#include "params/parameter_string.h"
#include "params/port_rule.h"

namespace comvorlix::cli {
namespace {

// Monitoring performance data: the check's duration, the size of the
// configuration listing it checksummed and the statements that changed
// ("U" when the check could not tell: no listing was judged, no diff).
std::string PerformanceData(std::chrono::nanoseconds took, std::optional<size_t> listing_bytes,
                            std::optional<size_t> changed) {
  char buffer[160];
  std::snprintf(buffer, sizeof buffer, "time=%.3fs;;;0 listing=%s;;;0 changed_lines=%s;;;0",
                std::chrono::duration<double>(took).count(),
                listing_bytes ? (std::to_string(*listing_bytes) + "B").c_str() : "U",
                changed ? std::to_string(*changed).c_str() : "U");
  return buffer;
}

// The switch's port as the parameter string names it (0 or none: 22).
int PortOf(const std::string& parameter) {
  const double port = LeadingNumber(GetKeyValue(parameter, keys::kPort));
  return port >= 1 && port <= 65535 ? static_cast<int>(port) : kDefaultSshPort;
}

// A changed or differing configuration and a refused host key stay
// CRITICAL; only a check that could not look takes the failure state.
ExitStatus StatusOf(const CheckVerdict& v, std::optional<ExitStatus> failure_state, bool dry_run) {
  if (v.state == CheckState::kOk) return kOk;
  if (v.judged || v.host_key_refused) return kCritical;
  // A dry run's unknown switch was not looked at on purpose.
  if (dry_run && v.state == CheckState::kUnknown) return kUnknown;
  if (failure_state) return *failure_state;
  return v.state == CheckState::kUnknown ? kUnknown : kCritical;
}

}  // namespace

std::string ResultLine(const CheckVerdict& verdict) { return OneLine(verdict.text); }

Outcome CheckReport(const CheckRequest& request, const CheckedSwitch& checked, std::vector<std::string> notes) {
  const CheckVerdict& v = checked.verdict;
  std::vector<std::string> lines = v.details;
  lines.insert(lines.end(), std::make_move_iterator(notes.begin()), std::make_move_iterator(notes.end()));
  return PluginOutcome(StatusOf(v, request.failure_state, request.dry_run), ResultLine(v),
                       PerformanceData(checked.done - request.started,
                                       v.judged ? std::optional<size_t>(v.listing_bytes) : std::nullopt, v.changed_lines),
                       std::move(lines));
}

Outcome Unfinished(const CheckRequest& request, const std::string& parameter, const std::string& step) {
  return PluginOutcome(request.failure_state.value_or(kCritical),
                       "check of " + request.host + ":" + std::to_string(PortOf(parameter)) + " did not finish within " +
                           std::to_string(request.timeout) + " s (last step: " + step + ")",
                       PerformanceData(std::chrono::steady_clock::now() - request.started, std::nullopt, std::nullopt));
}

}  // namespace comvorlix::cli

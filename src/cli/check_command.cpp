#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/component_host.h"
#include "cli/parameter_file.h"
#include "component/check_state.h"
#include "automation/automation_error.h"
#include "automation/debug_output.h"

namespace comvorlix::cli {
namespace {

constexpr char kOkPrefix[] = "CONFIG OK - ";
constexpr char kCriticalPrefix[] = "CONFIG CRITICAL - ";
constexpr char kUnknownPrefix[] = "CONFIG UNKNOWN - ";

Outcome Unknown(const std::string& why) { return Outcome{kUnknown, kUnknownPrefix + why, ""}; }

// Monitoring performance data: the check's duration and the size of the
// configuration listing it checksummed.
std::string PerformanceData(std::chrono::steady_clock::duration took, size_t listing_chars) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, " | time=%.3fs;;;0 listing=%zuB;;;0",
                std::chrono::duration<double>(took).count(), listing_chars);
  return buffer;
}

}  // namespace

Outcome RunCheckCommand(const Args& args) {
  Arguments a(args, {"--host", "--timeout", "--params"}, {"--verbose"});
  if (!a.positional().empty()) throw UsageError("unexpected argument \"" + a.positional()[0] + "\"");
  const std::string host = a.Required("--host");
  const std::string params = a.Required("--params");
  const long timeout = ParseWholeNumber("--timeout", a.Value("--timeout").value_or("30"), 0, 32767);
  if (a.Flag("--verbose")) {
    AttachDebugListener([](std::string_view line) {
      std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
    });
  }

  std::string before;
  try {
    ParameterFile file = ParameterFile::OpenLocked(params);
    if (!file.exists()) {
      return Unknown("parameter file " + params + " does not exist (write it with comvorlix configure)");
    }
    before = file.Read();
    file.CheckWritable();

    ComponentHost component;
    component.Put(u"qo_hostname", Variant::FromText(FromUtf8(host)));
    component.Put(u"qo_timeout", Variant::Int16(static_cast<int16_t>(timeout)));
    component.Put(u"qo_parameter", Variant::FromText(FromUtf8(before)));
    const auto started = std::chrono::steady_clock::now();
    const bool ok = component.Call(u"qo_docheck").ToBool();
    const auto took = std::chrono::steady_clock::now() - started;
    const std::string result = OneLine(component.Get(u"qo_result").ToText());
    const std::string after = ToUtf8(component.Get(u"qo_parameter").ToText());

    if (after != before) {
      try {
        file.Replace(after);
      } catch (const std::exception& e) {
        return Unknown(std::string(e.what()) + "; the parameter file keeps its old content (check said: " + result +
                       ")");
      }
    }
    const size_t listing = ThreadCheckState().gReceived.size();
    return Outcome{ok ? kOk : kCritical, (ok ? kOkPrefix : kCriticalPrefix) + result + PerformanceData(took, listing),
                   ""};
  } catch (const AutomationError& e) {
    return Unknown(e.description());
  } catch (const std::exception& e) {
    return Unknown(e.what());
  }
}

}  // namespace comvorlix::cli

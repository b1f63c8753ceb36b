#include <chrono>
#include <cstdio>
#include <stdexcept>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/one_line.h"
#include "cli/parameter_file.h"
#include "comvorlix/comvorlix.h"

namespace comvorlix::cli {
namespace {

Outcome Unknown(const std::string& why) { return PluginOutcome(kUnknown, why); }

// Monitoring performance data: the check's duration and the size of the
// configuration listing it checksummed.
std::string PerformanceData(std::chrono::nanoseconds took, size_t listing_bytes) {
  char buffer[96];
  std::snprintf(buffer, sizeof buffer, "time=%.3fs;;;0 listing=%zuB;;;0",
                std::chrono::duration<double>(took).count(), listing_bytes);
  return buffer;
}

}  // namespace

Outcome RunCheckCommand(const Args& args) {
  // The letters monitoring plugins use: -H host, -t timeout, -v verbose.
  const Arguments a(args, {
                              {"--host", 'H', kValue},
                              {"--params", 'f', kValue},
                              {"--timeout", 't', kValue},
                              {"--verbose", 'v', kFlag},
                          });
  if (!a.positional().empty()) throw UsageError("unexpected argument \"" + a.positional()[0] + "\"");
  const std::string host = a.Required("--host");
  const std::string params = a.Required("--params");
  const long timeout = ParseWholeNumber("--timeout", a.Value("--timeout").value_or("30"), 0, 32767);
  if (a.Flag("--verbose")) {
    SetDebugOutput([](std::string_view line) {
      std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
    });
  }

  try {
    ParameterFile file = ParameterFile::OpenLocked(params);
    if (!file.exists()) {
      return Unknown("parameter file " + params + " does not exist (write it with comvorlix configure)");
    }
    const std::string before = file.Read();
    file.CheckWritable();

    const CheckVerdict verdict = CheckConfiguration(host, static_cast<int>(timeout), before);
    const std::string result = OneLine(verdict.text);
    if (verdict.parameter != before) {
      try {
        file.Replace(verdict.parameter);
      } catch (const std::exception& e) {
        return Unknown(std::string(e.what()) + "; the parameter file keeps its old content (check said: " + result +
                       ")");
      }
    }
    return PluginOutcome(verdict.ok ? kOk : kCritical, result,
                         PerformanceData(verdict.duration, verdict.listing_bytes));
  } catch (const std::exception& e) {
    // Errors of the parameter file: their text is the whole description.
    return Unknown(e.what());
  }
}

}  // namespace comvorlix::cli

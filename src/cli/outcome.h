// What a command of the command-line host ends with: one exit status and
// the line(s) it prints. main() is the only place that prints them.
#pragma once

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/plugin_output.h"

namespace comvorlix::cli {

// Exit statuses of a monitoring plugin.
enum ExitStatus { kOk = 0, kWarning = 1, kCritical = 2, kUnknown = 3 };

struct Outcome {
  int status = kOk;
  std::string out;  // printed on standard output when not empty
  std::string err;  // printed on standard error when not empty
  // A monitoring plugin's report (the check command): main() prints it
  // through FormatPluginOutput with `status` as its state, cleaned, in
  // place of `out`.
  std::optional<PluginReport> plugin{};
};

// The Outcome of a check: state, text and performance data kept apart, so
// that only main() joins and cleans them.
inline Outcome PluginOutcome(ExitStatus state, std::string text, std::string perfdata = "",
                             std::vector<std::string> long_lines = {}) {
  return Outcome{state, "", "", PluginReport{std::move(text), std::move(perfdata), std::move(long_lines)}};
}

// A wrong invocation: main() prints the message and the usage line on
// standard error and exits with kUnknown.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace comvorlix::cli

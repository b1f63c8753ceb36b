#include <fcntl.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/kept_listing_file.h"
#include "cli/one_line.h"
#include "cli/parameter_file.h"
#include "comvorlix/comvorlix.h"
#include "files/safe_open.h"
#include "params/keys.h"
#include "params/parameter_string.h"
#include "params/port_rule.h"

namespace comvorlix::cli {
namespace {

Outcome Unknown(const std::string& why) { return PluginOutcome(kUnknown, why); }

// Monitoring performance data: the check's duration, the size of the
// configuration listing it checksummed and the statements that changed
// ("U" when the check could not tell).
std::string PerformanceData(std::chrono::nanoseconds took, size_t listing_bytes, std::optional<size_t> changed) {
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "time=%.3fs;;;0 listing=%zuB;;;0 changed_lines=%s;;;0",
                std::chrono::duration<double>(took).count(), listing_bytes,
                changed ? std::to_string(*changed).c_str() : "U");
  return buffer;
}

// --known-hosts FILE --host-key-policy accept-new|strict
CheckOptions HostKeyOptions(const Arguments& a) {
  CheckOptions options;
  options.known_hosts_file = a.Value("--known-hosts").value_or("");
  const std::string policy = a.Value("--host-key-policy").value_or("accept-new");
  if (policy == "strict") {
    options.host_key_policy = HostKeyPolicy::kStrict;
  } else if (policy != "accept-new") {
    throw UsageError("--host-key-policy takes accept-new or strict, not \"" + policy + "\"");
  }
  return options;
}

// The switch's port as the parameter string names it (0 or none: 22).
int PortOf(const std::string& parameter) {
  const double port = LeadingNumber(GetKeyValue(FromUtf8(parameter), keys::kPort));
  return port >= 1 && port <= 65535 ? static_cast<int>(port) : kDefaultSshPort;
}

// A check that ran out of its time-out outside the session, at `step`.
Outcome Unfinished(const std::string& host, int port, long timeout, const std::string& step) {
  return PluginOutcome(kCritical, "check of " + host + ":" + std::to_string(port) + " did not finish within " +
                                      std::to_string(timeout) + " s (last step: " + step + ")");
}

ExitStatus StatusOf(CheckState state) {
  return state == CheckState::kOk ? kOk : state == CheckState::kUnknown ? kUnknown : kCritical;
}

}  // namespace

Outcome RunCheckCommand(const Args& args) {
  // The letters monitoring plugins use: -H host, -t timeout, -v verbose.
  const Arguments a(args, {
                              {"--host", 'H', kValue},
                              {"--params", 'f', kValue},
                              {"--timeout", 't', kValue},
                              {"--verbose", 'v', kFlag},
                              {"--known-hosts", 0, kValue},
                              {"--host-key-policy", 0, kValue},
                              {"--accept", 0, kFlag},
                              {"--no-listing", 0, kFlag},
                              {"--diff-lines", 0, kValue},
                          });
  if (!a.positional().empty()) throw UsageError("unexpected argument \"" + a.positional()[0] + "\"");
  const std::string host = a.Required("--host");
  const std::string params = a.Required("--params");
  // The time-out bounds the whole check: waiting for the parameter file,
  // connecting, logging in, listing, logging out, writing the file.
  const long timeout = ParseWholeNumber("--timeout", a.Value("--timeout").value_or("30"), 1, 32767);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout);
  CheckOptions options = HostKeyOptions(a);
  options.deadline = deadline;
  options.deadline_seconds = static_cast<int>(timeout);
  options.accept = a.Flag("--accept");
  options.keep_listings = !a.Flag("--no-listing");
  options.diff_lines = static_cast<size_t>(ParseWholeNumber("--diff-lines", a.Value("--diff-lines").value_or("40"), 0, 100000));
  if (a.Flag("--verbose")) {
    SetDebugOutput([](std::string_view line) {
      std::fprintf(stderr, "%.*s\n", static_cast<int>(line.size()), line.data());
    });
  }

  try {
    std::optional<ParameterFile> locked;
    try {
      locked.emplace(ParameterFile::OpenLocked(params, deadline));
    } catch (const LockTimeout&) {
      // Read without the lock, for the port only: the file is replaced by
      // renaming, so what is read is one whole version of it. Opened as
      // safely as the locked one (the deadline has passed already); any
      // trouble just leaves the default port.
      std::string unlocked;
      try {
        if (const std::optional<OpenedFile> f = OpenRegularFile(params, O_RDONLY)) {
          unlocked = ReadCapped(*f, ParameterFile::kMaxBytes, params);
        }
      } catch (const std::exception&) {
      }
      return Unfinished(host, PortOf(unlocked), timeout, "waiting for the lock of the parameter file");
    }
    ParameterFile& file = *locked;
    if (!file.exists()) {
      return Unknown("parameter file " + params + " does not exist (write it with comvorlix configure)");
    }
    const std::string before = file.Read();
    if (options.accept && GetKeyValue(FromUtf8(before), keys::kConfiguration) == u"COMPARE") {
      throw UsageError("--accept has nothing to remember when running and startup are compared (CFG=COMPARE)");
    }
    file.CheckWritable();
    if (options.keep_listings) {
      options.read_kept_listing = [&file](size_t max_bytes) { return ReadKeptListing(file, max_bytes); };
    }

    CheckVerdict verdict = CheckConfiguration(host, static_cast<int>(timeout), before, options);
    const std::string result = OneLine(verdict.text);
    std::vector<std::string> details = std::move(verdict.details);
    // Nothing is written after the deadline: the monitoring engine has given
    // up on this check by then.
    const bool late = std::chrono::steady_clock::now() >= deadline;
    if (late && verdict.parameter != before) {
      return Unfinished(host, PortOf(before), timeout, "writing the parameter file");
    }
    const bool keep_listing = !late && !verdict.listing_to_keep.empty();
    // What was read and checked is another file than the one at the name
    // now (someone renamed a file or a link over it): writing either file
    // would pair a checksum with the wrong file, so neither is written.
    if ((keep_listing || verdict.parameter != before) && !file.StillInPlace()) {
      return Unknown("the parameter file was replaced during the check; nothing written (check said: " + result + ")");
    }
    if (keep_listing) {
      // Before the parameter file: a kept listing names its checksum, so one
      // without its parameter file is never used, while a parameter file
      // written without its listing would lose the next diff.
      try {
        WriteKeptListing(file, verdict.listing_to_keep);
      } catch (const std::exception& e) {
        details.push_back(std::string("(") + e.what() + "; the next change will show no diff)");
      }
    }
    if (verdict.parameter != before) {
      try {
        file.Replace(verdict.parameter);
      } catch (const std::exception& e) {
        return Unknown(std::string(e.what()) + "; the parameter file keeps its old content (check said: " + result +
                       ")");
      }
    }
    // A learned host key is told once, on a line of its own after the result.
    if (!verdict.learned_host_key.empty()) details.push_back(verdict.learned_host_key);
    if (std::string warning = file.ReadableByOthersWarning(); !warning.empty()) details.push_back(warning);
    return PluginOutcome(StatusOf(verdict.state), result,
                         PerformanceData(verdict.duration, verdict.listing_bytes, verdict.changed_lines),
                         std::move(details));
  } catch (const UsageError&) {
    throw;
  } catch (const std::exception& e) {
    // Errors of the parameter file: their text is the whole description.
    return Unknown(e.what());
  }
}

}  // namespace comvorlix::cli

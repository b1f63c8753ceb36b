#include <fcntl.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/credentials_file.h"
#include "cli/kept_listing_file.h"
#include "cli/one_line.h"
#include "cli/parameter_file.h"
#include "comvorlix/comvorlix.h"
#include "files/file_lock.h"
#include "files/safe_open.h"
#include "params/keys.h"
#include "params/parameter_string.h"
#include "params/port_rule.h"
#include "params/shared_login.h"

namespace comvorlix::cli {
namespace {

Outcome Unknown(const std::string& why) { return PluginOutcome(kUnknown, why); }

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

// --failure-state critical|unknown|warning: the state of a check that could
// not look at the configuration. Not given: CRITICAL, and UNKNOWN for a
// host key that could not be recorded, as before the option.
std::optional<ExitStatus> FailureState(const Arguments& a) {
  const std::optional<std::string> state = a.Value("--failure-state");
  if (!state) return std::nullopt;
  if (*state == "critical") return kCritical;
  if (*state == "unknown") return kUnknown;
  if (*state == "warning") return kWarning;
  throw UsageError("--failure-state takes critical, unknown or warning, not \"" + *state + "\"");
}

// --known-hosts FILE --host-key-policy accept-new|strict; a dry run learns
// no host key.
CheckOptions HostKeyOptions(const Arguments& a) {
  CheckOptions options;
  options.known_hosts_file = a.Value("--known-hosts").value_or("");
  const std::string policy = a.Value("--host-key-policy").value_or("accept-new");
  if (policy == "strict") {
    options.host_key_policy = HostKeyPolicy::kStrict;
  } else if (policy != "accept-new") {
    throw UsageError("--host-key-policy takes accept-new or strict, not \"" + policy + "\"");
  } else if (a.Flag("--dry-run")) {
    options.host_key_policy = HostKeyPolicy::kNoLearning;
  }
  return options;
}

// The switch's port as the parameter string names it (0 or none: 22).
int PortOf(const std::string& parameter) {
  const double port = LeadingNumber(GetKeyValue(parameter, keys::kPort));
  return port >= 1 && port <= 65535 ? static_cast<int>(port) : kDefaultSshPort;
}

// A check that ran out of its time-out outside the session, at `step`:
// it could not look, so it takes the failure state.
Outcome Unfinished(const std::string& host, int port, long timeout, const std::string& step,
                   std::optional<ExitStatus> failure_state, std::chrono::steady_clock::time_point started) {
  return PluginOutcome(failure_state.value_or(kCritical),
                       "check of " + host + ":" + std::to_string(port) + " did not finish within " +
                           std::to_string(timeout) + " s (last step: " + step + ")",
                       PerformanceData(std::chrono::steady_clock::now() - started, std::nullopt, std::nullopt));
}

// One record on standard error: the seconds since the check started, then
// the line with control bytes written as \xNN, so that a record is one
// line and switch text cannot rewrite the terminal.
void WriteVerboseRecord(std::chrono::steady_clock::time_point started, std::string_view line) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "+%.3f ", seconds);
  std::string record = stamp;
  record.reserve(record.size() + line.size() + 1);
  for (const char c : line) {
    const auto b = static_cast<unsigned char>(c);
    if (b < 0x20 || b == 0x7F) {
      record += "\\x";
      record += kHex[b >> 4];
      record += kHex[b & 0x0F];
    } else {
      record += c;
    }
  }
  record += '\n';
  std::fwrite(record.data(), 1, record.size(), stderr);
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
                              {"--credentials", 0, kValue},
                              {"--failure-state", 0, kValue},
                              {"--dry-run", 0, kFlag},
                          });
  if (!a.positional().empty()) throw UsageError("unexpected argument \"" + a.positional()[0] + "\"");
  const std::string host = a.Required("--host");
  const std::string params = a.Required("--params");
  // The time-out bounds the whole check: waiting for the parameter file,
  // connecting, logging in, listing, logging out, writing the file.
  const long timeout = ParseWholeNumber("--timeout", a.Value("--timeout").value_or("30"), 1, 32767);
  // time= covers the whole run, the wait for another check's lock included.
  const auto started = std::chrono::steady_clock::now();
  const auto deadline = started + std::chrono::seconds(timeout);
  const std::optional<ExitStatus> failure_state = FailureState(a);
  // A dry run looks and reports but writes nothing: no checksum, no kept
  // listing, no learned host key (HostKeyOptions).
  const bool dry_run = a.Flag("--dry-run");
  if (dry_run && a.Flag("--accept")) throw UsageError("--accept remembers a change and --dry-run writes nothing: give one");
  CheckOptions options = HostKeyOptions(a);
  options.deadline = CheckDeadline{deadline, static_cast<int>(timeout)};
  options.accept = a.Flag("--accept");
  options.keep_listings = !a.Flag("--no-listing");
  options.diff_lines = static_cast<size_t>(ParseWholeNumber("--diff-lines", a.Value("--diff-lines").value_or("40"), 0, 100000));
  if (a.Flag("--verbose")) {
    // -v: the records of the check and its session, -vv: also the SSH
    // library's own protocol log.
    SetDebugOutput([started](std::string_view line) { WriteVerboseRecord(started, line); }, a.Count("--verbose"));
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
      std::string step = "waiting for the lock of " + params;
      try {
        if (const std::optional<OpenedFile> f = OpenRegularFile(params, O_RDONLY)) {
          if (const std::optional<long> holder = LockHolder(f->info())) {
            step += ", held by process " + std::to_string(*holder);
          }
          unlocked = ReadCapped(*f, ParameterFile::kMaxBytes, params);
        }
      } catch (const std::exception&) {
      }
      return Unfinished(host, PortOf(unlocked), timeout, step, failure_state, started);
    }
    ParameterFile& file = *locked;
    if (!file.exists()) {
      return Unknown("parameter file " + params + " does not exist (write it with comvorlix configure)");
    }
    const std::string before = file.Read();
    // Shared login settings fill in what the switch's file leaves empty;
    // only the switch's own string is ever written back.
    const std::optional<std::string> credentials = a.Value("--credentials");
    const std::string filled =
        credentials ? FillInLogin(before, ReadCredentialsFile(*credentials)) : before;
    if (options.accept && GetKeyValue(before, keys::kConfiguration) == keys::kCompare) {
      throw UsageError("--accept has nothing to remember when running and startup are compared (CFG=COMPARE)");
    }
    if (!dry_run) file.CheckWritable();
    if (options.keep_listings) {
      options.read_kept_listing = [&file](size_t max_bytes) { return ReadKeptListing(file, max_bytes); };
    }

    CheckVerdict verdict = CheckConfiguration(host, static_cast<int>(timeout), filled, options);
    verdict.parameter = OwnStringAfterCheck(before, filled, verdict.parameter);
    const std::string result = OneLine(verdict.text);
    std::vector<std::string> details = std::move(verdict.details);
    const ExitStatus status = StatusOf(verdict, failure_state, dry_run);
    const std::string perfdata = PerformanceData(
        std::chrono::steady_clock::now() - started, verdict.judged ? std::optional<size_t>(verdict.listing_bytes) : std::nullopt,
        verdict.changed_lines);
    if (dry_run) {
      if (verdict.parameter != before || !verdict.listing_to_keep.empty()) {
        details.push_back("(dry run: the parameter file and the kept listing were left as they were)");
      }
      return PluginOutcome(status, result, perfdata, std::move(details));
    }
    // Nothing is written after the deadline: the monitoring engine has given
    // up on this check by then.
    const bool late = std::chrono::steady_clock::now() >= deadline;
    if (late && verdict.parameter != before) {
      return Unfinished(host, PortOf(before), timeout, "writing the parameter file", failure_state, started);
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
    return PluginOutcome(status, result, perfdata, std::move(details));
  } catch (const UsageError&) {
    throw;
  } catch (const std::exception& e) {
    // Errors of the parameter file: their text is the whole description.
    return Unknown(e.what());
  }
}

}  // namespace comvorlix::cli

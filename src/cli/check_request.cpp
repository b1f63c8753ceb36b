#include "cli/check_request.h"

#include "cli/arguments.h"

namespace comvorlix::cli {
namespace {

// --failure-state critical|unknown|warning.
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

}  // namespace

CheckRequest ParseCheckRequest(const Args& args) {
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
  CheckRequest r;
  r.host = a.Required("--host");
  r.params = a.Required("--params");
  // The time-out bounds the whole check: waiting for the parameter file,
  // connecting, logging in, listing, logging out, writing the file.
  r.timeout = ParseWholeNumber("--timeout", a.Value("--timeout").value_or("30"), 1, 32767);
  r.started = std::chrono::steady_clock::now();
  r.deadline = r.started + std::chrono::seconds(r.timeout);
  r.failure_state = FailureState(a);
  r.dry_run = a.Flag("--dry-run");
  if (r.dry_run && a.Flag("--accept")) throw UsageError("--accept remembers a change and --dry-run writes nothing: give one");
  r.options = HostKeyOptions(a);
  r.options.deadline = CheckDeadline{r.deadline, static_cast<int>(r.timeout)};
  r.options.accept = a.Flag("--accept");
  r.options.keep_listings = !a.Flag("--no-listing");
  r.options.diff_lines =
      static_cast<size_t>(ParseWholeNumber("--diff-lines", a.Value("--diff-lines").value_or("40"), 0, 100000));
  r.credentials = a.Value("--credentials");
  r.verbosity = a.Flag("--verbose") ? a.Count("--verbose") : 0;
  return r;
}

}  // namespace comvorlix::cli

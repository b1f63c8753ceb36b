// comvorlix: the C++ interface for hosts.
//
// Checks the configuration of a switch against the checksum its parameter
// string remembers, and shows the form that writes a parameter string. The
// same checks and form the automation class comvorlix.vorlixCom offers, as
// plain values. Needs nothing but the standard library; every text is UTF-8.
//
// Threads: a check runs on the calling thread and returns when it has ended
// (by the time limits its time-out sets). While it waits it runs the calling
// thread's pending messages of the library. Checks on different threads
// share nothing and may run at the same time.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#define COMVORLIX_API __attribute__((visibility("default")))

namespace comvorlix {

// The monitoring state of a check.
enum class CheckState {
  kOk,        // the configuration is the known one, or was remembered for
              // the first time, or running and startup agree
  kCritical,  // changed, different, the check failed, or the switch's host
              // key is not the known one
  kUnknown,   // the switch was not judged: the host key of a switch seen
              // for the first time could not be recorded
};

struct CheckVerdict {
  CheckState state = CheckState::kCritical;
  // One line of text, exactly what qo_result gets: "configuration unchanged
  // (A85ED33F)", "Configuration changed (40ABF1A9 - old:A85ED33F)", "SSH
  // connection to sw1:22 failed: ...", "ERR: ...(410)".
  std::string text;
  // The parameter string after the check: the one given, with @@CRC set when
  // the check remembers a new checksum.
  std::string parameter;
  // For performance data: bytes of the configuration listing checksummed
  // (when none was found, what the session captured for it).
  std::size_t listing_bytes = 0;
  // Set when the check recorded the host key of a switch seen for the first
  // time: "learned host key SHA256:... of HOST:PORT into FILE". Not part of
  // `text`.
  std::string learned_host_key;
  // Lines to show after `text`: what changed, as a diff of the configuration
  // statements ("- removed", "+ added", "  section"), secrets masked; or a
  // note why there is none. Bytes as the switch sent them otherwise, so a
  // host must make them safe to print.
  std::vector<std::string> details;
  // Removed plus added statements (0: none); nothing when the check could
  // not tell.
  std::optional<std::size_t> changed_lines;
  // With CheckOptions::keep_listings: the text to write to the kept listing
  // before the parameter string is stored; empty: leave it as it is.
  std::string listing_to_keep;
  // Whether the configuration was listed and judged: OK, changed, accepted,
  // same or different. False when the check could not look (connecting,
  // logging in, a host key, a failed step, the deadline): listing_bytes
  // then says only what the session captured, and a host may give such a
  // check a state of its own choosing (the command line's --failure-state).
  bool judged = false;
  // The switch's host key was refused before logging in: changed, revoked,
  // or not known under kStrict. A security finding, not a failure to look:
  // CRITICAL whatever a host makes of failures.
  bool host_key_refused = false;
};

// A limit on a whole check: the moment it ends, and the limit as the host
// gave it in seconds, which its text names.
struct CheckDeadline {
  std::chrono::steady_clock::time_point at;
  int seconds = 0;
};

// How the switch's SSH host key is checked before any password is sent.
// Keys are looked up in the user's known hosts file and the system-wide
// /etc/ssh/ssh_known_hosts (only read), OpenSSH's format, "[host]:port" for
// ports other than 22, hashed names included. A key that matches none of
// the switch's known keys is refused (CRITICAL, "host key of HOST:PORT
// changed: ...", no login), and so is a key listed under @revoked;
// @cert-authority lines are not used. A known hosts file that cannot be
// read (another user's link, no regular file, over 16 MiB) ends UNKNOWN.
enum class HostKeyPolicy {
  // Trust on first use (OpenSSH's accept-new): a switch not yet known is
  // recorded in the user file (created 0600, its folder 0700) and the
  // verdict's learned_host_key says so; when that fails, UNKNOWN, no login.
  kAcceptNew,
  // A switch not yet known is refused (CRITICAL, no login).
  kStrict,
  // A switch not yet known is neither recorded nor logged in to: UNKNOWN,
  // "host key of HOST:PORT is not known (TYPE key SHA256:...) and is not
  // learned in a dry run; not logging in". For a look that writes nothing.
  kNoLearning,
};

struct CheckOptions {
  // The user's known hosts file, UTF-8 path; empty: ~/.ssh/known_hosts of
  // the running user's password database entry (never $HOME).
  std::string known_hosts_file;
  HostKeyPolicy host_key_policy = HostKeyPolicy::kAcceptNew;
  // A limit on the whole check, for hosts that promise one (a monitoring
  // plugin's time-out): at `deadline` the check ends, whatever the switch
  // does, with the verdict CRITICAL "check of HOST:PORT did not finish
  // within <seconds> s (last step: <step>)" (with "; the
  // switch's last line: "<line>"" after the step once the switch sent
  // one, its secrets masked) and the parameter string unchanged. Unset: only the time limits of `timeout_seconds`.
  std::optional<CheckDeadline> deadline;
  // Remember the configuration found even when it changed and the
  // parameter string's UCF says not to: "accepted configuration (NEW -
  // old:OLD)", OK. Ignored when running and startup are compared.
  bool accept = false;
  // Whether the host keeps the last listing beside the parameter string:
  // then a change is shown as a diff against it, and the verdict's
  // listing_to_keep says what to keep next. `read_kept_listing` returns the
  // first `max_bytes` bytes of what the host kept (empty: nothing); it is
  // called on the check's thread for the first line on every check, and
  // for the whole only when a change is to be shown. A kept listing that
  // does not name the remembered checksum in its first line is not used.
  bool keep_listings = false;
  std::function<std::string(std::size_t max_bytes)> read_kept_listing;
  // At most this many removed and added lines in a diff; the rest counted.
  std::size_t diff_lines = 40;
};

// Runs one check of `host` with the settings of `parameter`. `timeout_seconds`
// applies to each phase of the session (0 or less: 30; above 32767 the check
// fails at once). Never throws, whatever fails (memory, descriptors, threads
// included): the verdict says why ("ERR: description(step)").
COMVORLIX_API CheckVerdict CheckConfiguration(const std::string& host, int timeout_seconds,
                                              const std::string& parameter);
// The same with the host key checked as `options` say (the one above uses
// the defaults of CheckOptions).
COMVORLIX_API CheckVerdict CheckConfiguration(const std::string& host, int timeout_seconds,
                                              const std::string& parameter, const CheckOptions& options);

// Shows the configuration form filled from the three values, modally, and
// returns the new parameter string on OK, nothing when the form was closed
// otherwise. Throws std::runtime_error when it cannot be shown (no display,
// a parameter string whose secret fields do not decode, the form already
// open on this thread).
COMVORLIX_API std::optional<std::string> ShowConfigurationForm(const std::string& host, int timeout_seconds,
                                                               const std::string& parameter);

// Whether ShowConfigurationForm can show a window here: a display is named
// and answers, and the form's graphical module is installed. May take up to
// two seconds for a display reached over the network.
COMVORLIX_API bool ConfigurationFormAvailable();

// Receives every debug line of the library (the steps of a check and the
// listings it read), one call per line, from any thread, one at a time.
// Lines are bytes as the library writes them: a listing's bytes are those
// the switch sent. An empty function stops the output.
COMVORLIX_API void SetDebugOutput(std::function<void(std::string_view line)> listener);
// The same with a level: 1 the steps of a check and every line of its
// sessions as they happen (secrets masked), 2 also the SSH library's own
// protocol log.
COMVORLIX_API void SetDebugOutput(std::function<void(std::string_view line)> listener, int level);

}  // namespace comvorlix

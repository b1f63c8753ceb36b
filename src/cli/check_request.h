// The check command's invocation as a value: what ParseCheckRequest makes of
// the arguments before anything is opened or connected.
//
// ParseCheckRequest throws UsageError for a wrong invocation and touches
// nothing else; the time-out starts when it returns. Thread-compatible.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "comvorlix/comvorlix.h"

namespace comvorlix::cli {

struct CheckRequest {
  std::string host;
  std::string params;  // the parameter file's name
  long timeout = 30;   // seconds, bounding the whole check
  // time= covers the whole run, the wait for another check's lock included.
  std::chrono::steady_clock::time_point started;
  std::chrono::steady_clock::time_point deadline;
  // --failure-state: the state of a check that could not look; none given:
  // CRITICAL, or UNKNOWN for a host key that could not be recorded.
  std::optional<ExitStatus> failure_state;
  // A dry run looks and reports but writes nothing: no checksum, no kept
  // listing, no learned host key.
  bool dry_run = false;
  std::optional<std::string> credentials;  // --credentials FILE
  int verbosity = 0;                       // how often -v was given
  // Everything but the reader of the kept listing, which needs the opened
  // parameter file.
  CheckOptions options;
};

CheckRequest ParseCheckRequest(const Args& args);

}  // namespace comvorlix::cli

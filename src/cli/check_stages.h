// The stages of the check command after parsing (check_request.h): load
// the inputs under the parameter file's lock, check the switch, persist
// what the check remembers, report. Each takes what it needs and gives back
// what it made; RunCheckCommand calls them in that order and is the one
// place that returns the command's Outcome.
//
// A stage that ends the check early gives back the Outcome to report
// instead. Loading throws std::exception for the parameter file or the
// credentials file, its text the whole description (reported UNKNOWN), and
// UsageError for a wrong invocation that only the file shows; persisting
// reports its own failures in its result. Runs on the command's thread.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "cli/check_request.h"
#include "cli/outcome.h"
#include "cli/parameter_file.h"
#include "comvorlix/comvorlix.h"

namespace comvorlix::cli {

// What the check reads, the parameter file's lock held for as long as the
// value lives.
struct CheckInputs {
  ParameterFile file;
  std::string own;     // the switch's own parameter string, as read
  std::string filled;  // the same with shared login settings filled in
};

// Waits for the lock until the request's deadline. Gives back the Outcome
// of a check that cannot start: the lock was not had in time, the file does
// not exist.
std::variant<CheckInputs, Outcome> LoadCheckInputs(const CheckRequest& request);

// What the library said, with the parameter string mapped back onto the
// switch's own, and when it was done.
struct CheckedSwitch {
  CheckVerdict verdict;
  std::chrono::steady_clock::time_point done;
};

CheckedSwitch CheckSwitch(const CheckRequest& request, const CheckInputs& inputs);

// What persisting leaves for the report: notes for the long output, or the
// Outcome that replaces the check's own (too late to write, the file was
// replaced, the write failed).
struct Persisted {
  std::vector<std::string> notes;
  std::optional<Outcome> instead;
};

// Writes the kept listing and then the parameter string, only what a judged
// check changed and never in a dry run or after the deadline.
Persisted PersistRemembered(const CheckRequest& request, const CheckInputs& inputs, const CheckVerdict& verdict);

// The check's report: its state, its line, performance data and the long
// output (the verdict's details, then `notes`).
Outcome CheckReport(const CheckRequest& request, const CheckedSwitch& checked, std::vector<std::string> notes);

// A check that ran out of its time-out outside the session, at `step`: it
// could not look, so it takes the failure state. `parameter` gives the port.
Outcome Unfinished(const CheckRequest& request, const std::string& parameter, const std::string& step);

// The result line a host reads, on one line.
std::string ResultLine(const CheckVerdict& verdict);

}  // namespace comvorlix::cli

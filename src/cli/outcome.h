// What a command of the command-line host ends with: one exit status and
// the line(s) it prints. main() is the only place that prints them.
#pragma once

#include <stdexcept>
#include <string>

namespace comvorlix::cli {

// Exit statuses of a monitoring plugin.
enum ExitStatus { kOk = 0, kWarning = 1, kCritical = 2, kUnknown = 3 };

struct Outcome {
  int status = kOk;
  std::string out;  // printed on standard output when not empty
  std::string err;  // printed on standard error when not empty
};

// A wrong invocation: main() prints the message and the usage line on
// standard error and exits with kUnknown.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

}  // namespace comvorlix::cli

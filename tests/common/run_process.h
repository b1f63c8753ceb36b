// Runs a program to completion for a test and captures what it printed.
//
// Every run has a time limit: a program still running at its limit is
// killed, so a hanging program fails its test instead of holding it. Not
// thread-safe; one run at a time per thread.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace comvorlix::testing {

struct ProcessResult {
  int status = -1;  // exit status, or -1 when killed by a signal or at the limit
  std::string out;
  std::string err;
};

struct ProcessOptions {
  std::string stdin_text{};
  // Limit on the size of files the program writes (simulates a full disk).
  std::optional<long> file_size_limit{};
  // The folder the program starts in; empty: the test's own.
  std::string working_dir{};
  int limit_ms = 120000;
};

// argv[0] is a path, or a name looked up in PATH.
ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// Starts a program without waiting; its output goes to /dev/null.
pid_t StartProcess(const std::vector<std::string>& argv);

// Waits for `pid` at most `limit_ms` (sleeping, not polling) and reaps it;
// kills it when the time is over. The exit status, or -1.
int ReapProcess(pid_t pid, int limit_ms);

}  // namespace comvorlix::testing

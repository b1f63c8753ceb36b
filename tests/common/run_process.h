// Runs a program to completion for a test and captures what it printed.
#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace comvorlix::testing {

struct ProcessResult {
  int status = -1;  // exit status, or -1 when killed by a signal
  std::string out;
  std::string err;
};

struct ProcessOptions {
  std::string stdin_text;
  // Limit on the size of files the program writes (simulates a full disk).
  std::optional<long> file_size_limit;
};

ProcessResult RunProcess(const std::vector<std::string>& argv, const ProcessOptions& options = {});

// Starts a program without waiting; its output goes to /dev/null.
pid_t StartProcess(const std::vector<std::string>& argv);

}  // namespace comvorlix::testing

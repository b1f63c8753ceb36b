// Runs the built comvorlix program for a test, as administrators and
// monitoring engines run it: `args` are its arguments after the program
// name; what it printed and its exit status come back as RunProcess gives
// them (with its time limit). Not thread-safe; one run at a time per thread.
#pragma once

#include <string>
#include <vector>

#include "common/run_process.h"

namespace comvorlix::testing {

ProcessResult Cli(std::vector<std::string> args, const ProcessOptions& options = {});

}  // namespace comvorlix::testing

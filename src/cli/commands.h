// The commands of the command-line host. Each returns its Outcome; none
// prints anything itself (apart from the configuration dialog's window).
#pragma once

#include <string>
#include <vector>

#include "cli/outcome.h"

namespace comvorlix::cli {

using Args = std::vector<std::string>;

Outcome RunCheckCommand(const Args& args);
Outcome RunConfigureCommand(const Args& args);
Outcome RunCrcCommand(const Args& args);
Outcome RunSecretCommand(const Args& args);
Outcome RunKindsCommand(const Args& operands);

// The usage of every command; the usage lines of one command (of all, for
// a name that is none); the help of one command (the whole help, for a name
// that is none); the whole help.
std::string UsageLine();
std::string CommandUsage(const std::string& command);
std::string CommandHelp(const std::string& command);
std::string WholeHelp();

}  // namespace comvorlix::cli

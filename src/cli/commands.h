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

std::string UsageLine();
std::string HelpText();

}  // namespace comvorlix::cli

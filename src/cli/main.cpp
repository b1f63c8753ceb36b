// comvorlix: the command-line host of the component.
#include <cstdio>
#include <exception>
#include <string>

#include "cli/commands.h"
#include "cli/outcome.h"

namespace {

using comvorlix::cli::Outcome;

Outcome Dispatch(int argc, char** argv) {
  using namespace comvorlix::cli;
  if (argc < 2) throw UsageError("no command given");
  const std::string command = argv[1];
  const Args rest(argv + 2, argv + argc);
  if (command == "--help" || command == "-h" || command == "help") return Outcome{kOk, HelpText(), ""};
  if (command == "--version") {
    return Outcome{kOk, "comvorlix " + std::to_string(COMVORLIX_VERSION_MAJOR) + "." +
                            std::to_string(COMVORLIX_VERSION_MINOR) + "." + std::to_string(COMVORLIX_VERSION_PATCH),
                   ""};
  }
  if (command == "check") return RunCheckCommand(rest);
  if (command == "configure") return RunConfigureCommand(rest);
  if (command == "crc") return RunCrcCommand(rest);
  if (command == "secret") return RunSecretCommand(rest);
  throw UsageError("unknown command \"" + command + "\"");
}

}  // namespace

// The one exit point: prints what the command produced and returns its
// status. A monitoring report is formatted and cleaned here, the one place
// that prints it.
int main(int argc, char** argv) {
  using namespace comvorlix::cli;
  Outcome outcome;
  try {
    outcome = Dispatch(argc, argv);
  } catch (const UsageError& e) {
    outcome = Outcome{kUnknown, "", std::string("comvorlix: ") + e.what() + "\n" + UsageLine()};
  } catch (const std::exception& e) {
    outcome = Outcome{kUnknown, "", std::string("comvorlix: ") + e.what()};
  }
  if (outcome.plugin) outcome.out = FormatPluginOutput(outcome.status, *outcome.plugin);
  if (!outcome.out.empty()) std::printf("%s\n", outcome.out.c_str());
  if (!outcome.err.empty()) std::fprintf(stderr, "%s\n", outcome.err.c_str());
  std::fflush(stdout);
  return outcome.status;
}

// comvorlix: the command-line host of the component.
//
// Called as check_comvorlix (a link to this program: the name a monitoring
// plugin goes by) it is `comvorlix check`, and every word after the name
// is an argument of the check.
#include <malloc.h>

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/kernel_random.h"
#include "cli/outcome.h"

namespace {

using namespace comvorlix::cli;

// What the program was asked: a command (empty: none) and its arguments.
struct Invocation {
  std::string command;
  Args args;
};

Invocation ReadInvocation(int argc, char** argv) {
  const std::string program = argc > 0 ? argv[0] : "";
  if (program.substr(program.find_last_of('/') + 1) == "check_comvorlix") {
    return Invocation{"check", Args(argv + 1, argv + argc)};
  }
  if (argc < 2) return Invocation{};
  return Invocation{argv[1], Args(argv + 2, argv + argc)};
}

// --kinds-dir DIR (check, configure, kinds) names the folder of kind files
// for this program and the library it calls, which read it from the
// environment at their first lookup (devices/device_table.h); it is taken
// out before the command reads its options. Only options count: the
// operands after "--" are left alone.
void TakeKindsDirectory(Invocation& call) {
  if (call.command != "check" && call.command != "configure" && call.command != "kinds") return;
  Args& args = call.args;
  for (size_t i = 0; i < args.size() && args[i] != "--"; ++i) {
    std::string directory;
    if (args[i] == "--kinds-dir") {
      if (i + 1 >= args.size()) throw UsageError("--kinds-dir needs a value");
      directory = args[i + 1];
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i), args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
    } else if (args[i].rfind("--kinds-dir=", 0) == 0) {
      directory = args[i].substr(12);
      args.erase(args.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      continue;
    }
    if (directory.empty()) throw UsageError("--kinds-dir needs a folder");
    setenv("COMVORLIX_KINDS_DIR", directory.c_str(), 1);
    --i;
  }
}

std::string Version() {
  return "comvorlix " + std::to_string(COMVORLIX_VERSION_MAJOR) + "." + std::to_string(COMVORLIX_VERSION_MINOR) +
         "." + std::to_string(COMVORLIX_VERSION_PATCH);
}

// The operands of a command that has no options: the parser answers
// --help and --version for it and refuses anything else that looks like an
// option ("--" lets a FILE start with "-").
Args Operands(const Args& args) { return Arguments(args, std::vector<Option>{}).positional(); }

Outcome Run(const Invocation& call) {
  const std::string& command = call.command;
  if (command == "check") return RunCheckCommand(call.args);
  if (command == "configure") return RunConfigureCommand(call.args);
  if (command == "crc") return RunCrcCommand(Operands(call.args));
  if (command == "secret") return RunSecretCommand(Operands(call.args));
  if (command == "kinds") return RunKindsCommand(Operands(call.args));
  if (command.empty()) throw UsageError("no command given");
  if (command == "--help" || command == "-h") return Outcome{kOk, WholeHelp(), ""};
  if (command == "help") return Outcome{kOk, call.args.empty() ? WholeHelp() : CommandHelp(call.args[0]), ""};
  if (command == "--version" || command == "-V") return Outcome{kOk, Version(), ""};
  throw UsageError("unknown command \"" + command + "\"");
}

}  // namespace

// The one exit point: prints what the command produced and returns its
// status. A monitoring report is formatted and cleaned here, the one place
// that prints it.
int main(int argc, char** argv) {
  // One heap for every thread. A thread of its own heap grows it a page at
  // a time, each step a system call; the SSH session's thread makes most
  // of a check's allocations (the cryptographic library's set-up), and a
  // check has no contention worth a second heap.
  mallopt(M_ARENA_MAX, 1);
  Invocation call = ReadInvocation(argc, argv);
  // The check answers a monitoring engine, which shows standard output and
  // the exit status: whatever goes wrong is one CONFIG UNKNOWN line there.
  const bool plugin = call.command == "check";
  if (plugin) DrawCryptoRandomFromKernel();
  Outcome outcome;
  try {
    TakeKindsDirectory(call);
    outcome = Run(call);
  } catch (const InfoRequested& request) {
    outcome = Outcome{kOk, request.what == InfoRequested::kHelp ? CommandHelp(call.command) : Version(), ""};
  } catch (const UsageError& e) {
    if (plugin) {
      outcome = PluginOutcome(kUnknown, std::string(e.what()) + "; see 'comvorlix check --help'");
      outcome.err = CommandUsage(call.command);
    } else {
      outcome = Outcome{kUnknown, "", std::string("comvorlix: ") + e.what() + "\n" + CommandUsage(call.command)};
    }
  } catch (const std::exception& e) {
    outcome = plugin ? PluginOutcome(kUnknown, e.what()) : Outcome{kUnknown, "", std::string("comvorlix: ") + e.what()};
  }
  if (outcome.plugin) outcome.out = FormatPluginOutput(outcome.status, *outcome.plugin);
  if (!outcome.out.empty()) std::printf("%s\n", outcome.out.c_str());
  if (!outcome.err.empty()) std::fprintf(stderr, "%s\n", outcome.err.c_str());
  std::fflush(stdout);
  std::fflush(stderr);
  // Everything is written and every file closed by now: what exit() would
  // add is tearing down the libraries' global state (the cryptographic
  // library's tables, compiled patterns, kinds), work a monitoring engine
  // pays on every check for nothing. Sanitizer builds end normally, so
  // that their leak check runs.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
  std::_Exit(outcome.status);
#endif
  return outcome.status;
}

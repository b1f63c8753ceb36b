// The options of one command, parsed the way monitoring plugins and the
// other programs of a Unix system take them (getopt_long):
//   -H HOST, -HHOST, --host HOST, --host=HOST, a unique abbreviation such
//   as --ho HOST; flags -v, --verbose, clustered as -vv; operands anywhere
//   between the options; "--" ends the options.
// A value option given twice keeps the last value.
//
// Every command answers -h/--help and -V/--version without declaring them:
// the parser throws InfoRequested at the first one it meets, so that main()
// prints the command's help or the version and the command runs no code.
// Anything else wrong throws UsageError with one of these texts:
//   unknown option --bogus            unknown option -x
//   option --host needs a value       option -H needs a value
//   option --verbose takes no value   option --h is ambiguous (--host, --help)
//   option --host is required         (Required)
//
// getopt_long keeps its state in globals: parse on one thread at a time
// (the command-line host parses once, on its main thread).
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace comvorlix::cli {

enum OptionArgument { kFlag, kValue };

// One option a command takes. Adding an option to a command is one line of
// its table, e.g. {"--known-hosts", 0, kValue}.
struct Option {
  std::string name;   // the long name with its dashes, "--host"; Value() and Flag() take it
  char letter = 0;    // the short form's letter, 'H' for -H; 0 when there is none
  OptionArgument argument = kFlag;
};

// -h/--help or -V/--version was given.
struct InfoRequested {
  enum What { kHelp, kVersion } what;
};

class Arguments {
 public:
  // Throws UsageError or InfoRequested as described above.
  Arguments(const std::vector<std::string>& args, const std::vector<Option>& options);

  std::optional<std::string> Value(const std::string& name) const;
  std::string Required(const std::string& name) const;
  bool Flag(const std::string& name) const { return flags_.count(name) > 0; }
  // How often a flag was given (-vv: twice).
  int Count(const std::string& name) const {
    const auto it = counts_.find(name);
    return it == counts_.end() ? 0 : it->second;
  }
  // The operands, in their order, without the "--" that may end the options.
  const std::vector<std::string>& positional() const { return positional_; }

 private:
  std::map<std::string, std::string> values_;
  std::set<std::string> flags_;
  std::map<std::string, int> counts_;
  std::vector<std::string> positional_;
};

// Parses a whole decimal number within [min, max]; UsageError otherwise.
long ParseWholeNumber(const std::string& option, const std::string& text, long min, long max);

}  // namespace comvorlix::cli

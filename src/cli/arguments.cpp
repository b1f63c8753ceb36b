#include "cli/arguments.h"

#include <getopt.h>

#include <cerrno>
#include <cstdlib>

#include "cli/outcome.h"

namespace comvorlix::cli {
namespace {

// getopt_long answers an option without a letter with its `val`: these
// start above every letter, so that one number names any option.
constexpr int kFirstCode = 0x100;

// The option getopt_long answered with `code` (a letter or kFirstCode + index).
const Option* Find(const std::vector<Option>& options, int code) {
  if (code >= kFirstCode) {
    const size_t index = static_cast<size_t>(code - kFirstCode);
    return index < options.size() ? &options[index] : nullptr;
  }
  for (const Option& o : options) {
    if (o.letter != 0 && o.letter == code) return &o;
  }
  return nullptr;
}

// How the user wrote the option getopt_long answered with `code`: a letter
// stands for -X, any other code for the long name.
std::string Written(const std::vector<Option>& options, int code) {
  if (code < kFirstCode) return std::string("-") + static_cast<char>(code);
  const Option* o = Find(options, code);
  return o ? o->name : "?";
}

// The words for what getopt_long refused: `word` is the command-line word
// it was reading (a long option, possibly with "=value").
std::string Refusal(const std::vector<Option>& options, int answer, int code, const std::string& word) {
  if (answer == ':') return "option " + Written(options, code) + " needs a value";
  if (code >= kFirstCode) return "option " + Written(options, code) + " takes no value";
  if (code != 0) return "unknown option " + Written(options, code);
  // A long option that is unknown, or an abbreviation of more than one.
  const std::string given = word.substr(0, word.find('='));
  std::string candidates;
  size_t count = 0;
  for (const Option& o : options) {
    if (o.name.rfind(given, 0) == 0) {
      candidates += (count++ ? ", " : "") + o.name;
    }
  }
  if (count > 1) return "option " + given + " is ambiguous (" + candidates + ")";
  return "unknown option " + given;
}

}  // namespace

Arguments::Arguments(const std::vector<std::string>& args, const std::vector<Option>& declared) {
  std::vector<Option> options = declared;
  options.push_back({"--help", 'h', kFlag});
  options.push_back({"--version", 'V', kFlag});

  // A leading ':' makes a missing value answer ':', told apart from '?'.
  std::string letters = ":";
  std::vector<option> long_options;
  for (size_t i = 0; i < options.size(); ++i) {
    const Option& o = options[i];
    long_options.push_back(option{o.name.c_str() + 2, o.argument == kValue ? required_argument : no_argument,
                                  nullptr, kFirstCode + static_cast<int>(i)});
    if (o.letter != 0) letters += std::string(1, o.letter) + (o.argument == kValue ? ":" : "");
  }
  long_options.push_back(option{nullptr, 0, nullptr, 0});

  // getopt_long reorders the pointers (operands move behind the options),
  // never the strings; argv[0] is only a name for it.
  std::vector<std::string> words{"comvorlix"};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  const int argc = static_cast<int>(words.size());

  optind = 0;  // glibc: start a new scan, forgetting any earlier one
  opterr = 0;  // the messages are ours
  for (;;) {
    const int answer = getopt_long(argc, argv.data(), letters.c_str(), long_options.data(), nullptr);
    if (answer == -1) break;
    if (answer == '?' || answer == ':') {
      const std::string word = optind > 0 && optind <= argc ? argv[optind - 1] : "";
      throw UsageError(Refusal(options, answer, optopt, word));
    }
    const Option* o = Find(options, answer);
    if (!o) throw UsageError("unknown option");  // getopt_long answers only what it was given
    if (o->name == "--help") throw InfoRequested{InfoRequested::kHelp};
    if (o->name == "--version") throw InfoRequested{InfoRequested::kVersion};
    if (o->argument == kValue) {
      values_[o->name] = optarg;
    } else {
      flags_.insert(o->name);
      ++counts_[o->name];
    }
  }
  positional_.assign(argv.begin() + optind, argv.begin() + argc);
}

std::optional<std::string> Arguments::Value(const std::string& name) const {
  auto it = values_.find(name);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::string Arguments::Required(const std::string& name) const {
  auto v = Value(name);
  if (!v) throw UsageError("option " + name + " is required");
  return *v;
}

long ParseWholeNumber(const std::string& option, const std::string& text, long min, long max) {
  errno = 0;
  char* end = nullptr;
  long v = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || *end != '\0' || errno != 0 || v < min || v > max) {
    throw UsageError(option + " must be a whole number from " + std::to_string(min) + " to " + std::to_string(max) +
                     ", not \"" + text + "\"");
  }
  return v;
}

}  // namespace comvorlix::cli

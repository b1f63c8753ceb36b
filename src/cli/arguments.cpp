#include "cli/arguments.h"

#include <cerrno>
#include <cstdlib>

#include "cli/outcome.h"

namespace comvorlix::cli {

Arguments::Arguments(const std::vector<std::string>& args, const std::set<std::string>& with_value,
                     const std::set<std::string>& flags) {
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a.rfind("--", 0) != 0 || a == "--") {
      positional_.push_back(a);
      continue;
    }
    std::string name = a, value;
    bool inline_value = false;
    if (size_t eq = a.find('='); eq != std::string::npos) {
      name = a.substr(0, eq);
      value = a.substr(eq + 1);
      inline_value = true;
    }
    if (with_value.count(name)) {
      if (!inline_value) {
        if (i + 1 >= args.size()) throw UsageError("option " + name + " needs a value");
        value = args[++i];
      }
      values_[name] = value;
    } else if (flags.count(name) && !inline_value) {
      flags_.insert(name);
    } else {
      throw UsageError("unknown option " + name);
    }
  }
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

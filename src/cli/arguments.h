// A small parser for "--name value" / "--flag" options of one command.
// Unknown options and missing values raise UsageError naming them.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace comvorlix::cli {

class Arguments {
 public:
  // `with_value`: options that take a value; `flags`: options that do not.
  Arguments(const std::vector<std::string>& args, const std::set<std::string>& with_value,
            const std::set<std::string>& flags);

  std::optional<std::string> Value(const std::string& name) const;
  std::string Required(const std::string& name) const;
  bool Flag(const std::string& name) const { return flags_.count(name) > 0; }
  const std::vector<std::string>& positional() const { return positional_; }

 private:
  std::map<std::string, std::string> values_;
  std::set<std::string> flags_;
  std::vector<std::string> positional_;
};

// Parses a whole decimal number within [min, max]; UsageError otherwise.
long ParseWholeNumber(const std::string& option, const std::string& text, long min, long max);

}  // namespace comvorlix::cli

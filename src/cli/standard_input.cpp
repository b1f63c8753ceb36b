#include "cli/standard_input.h"

#include <cstdio>

#include "cli/outcome.h"

namespace comvorlix::cli {

std::string ReadValueFromStandardInput(size_t max_bytes, const std::string& what) {
  // Room for the value, its line end and one byte more: that byte tells a
  // value that is too long.
  std::string value(max_bytes + 3, '\0');
  // C stdio, not iostreams: a program that never touches std::cin does not
  // pay for setting the standard streams up at every start.
  value.resize(std::fread(value.data(), 1, value.size(), stdin));
  if (!value.empty() && value.back() == '\n') value.pop_back();
  if (!value.empty() && value.back() == '\r') value.pop_back();
  if (value.size() > max_bytes) {
    throw UsageError("the " + what + " on standard input is longer than " + std::to_string(max_bytes / 1024) +
                     " KiB (" + std::to_string(max_bytes) + " bytes); it is refused");
  }
  return value;
}

}  // namespace comvorlix::cli

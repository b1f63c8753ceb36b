// Lines that reach a terminal or a monitoring system whole.
#pragma once

#include <string>

namespace comvorlix::cli {

// `text` with every carriage return, line feed and tab replaced by a blank.
std::string OneLine(std::string text);

}  // namespace comvorlix::cli

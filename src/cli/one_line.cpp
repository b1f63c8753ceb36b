#include "cli/one_line.h"

namespace comvorlix::cli {

std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\r' || c == '\n' || c == '\t') c = ' ';
  }
  return text;
}

}  // namespace comvorlix::cli

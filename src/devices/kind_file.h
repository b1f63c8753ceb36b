// Reading a kind of switch from its kind file.
//
// A kind file is TOML (the format and a complete example are in the
// comvorlix-kinds(5) manual). It states only what differs from a plain SSH
// command-line device (PlainCliDevice): nothing typed at the opening,
// "exit" after the listing, the listing ending at the prompt.
//
// ParseKindFile never throws short of std::bad_alloc: a file that is no
// TOML, holds a key it does not know, a value of the wrong type, a code
// that is not 1 to 16 of A-Z and 0-9, no running listing command, or a
// pattern that does not compile gives a KindFileProblem naming the line,
// printed "FILE:LINE: what". Every pattern is compiled while the file is
// read, so a kind that loads never fails later. Pure;
// thread-safe.
#pragma once

#include <string>
#include <string_view>
#include <variant>

#include "devices/device_table.h"

namespace comvorlix {

struct KindFileProblem {
  std::string file;
  int64_t line = 0;  // 0: the whole file
  std::string what;
  // "FILE:LINE: what", or "FILE: what" for the whole file.
  std::string Message() const;
};

// The kind `text` describes; `file` names it in problems.
std::variant<DeviceKind, KindFileProblem> ParseKindFile(std::string_view text, const std::string& file);

// The device every kind file starts from.
const DeviceKind& PlainCliDevice();

}  // namespace comvorlix

// The kind files shipped with the program (devices/kinds/*.toml), built
// into it so that it works from a build folder. The texts are static and
// immutable; the span may be read from any thread.
#pragma once

#include <span>
#include <string_view>

namespace comvorlix {

struct ShippedKindFile {
  std::string_view name;  // "cisco.toml"
  std::string_view text;
};

std::span<const ShippedKindFile> ShippedKindFiles();

}  // namespace comvorlix

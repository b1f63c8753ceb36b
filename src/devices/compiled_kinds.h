// The shipped kinds, built from their kind files when the program is built
// (tools/kind_compiler), so that a start reads no TOML for them. Each is
// what ParseKindFile makes of its file, which a test checks.
//
// Returns a new list on every call; thread-safe.
#pragma once

#include <vector>

#include "devices/device_table.h"

namespace comvorlix {

std::vector<DeviceKind> CompiledShippedKinds();

}  // namespace comvorlix

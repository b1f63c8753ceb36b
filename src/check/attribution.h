// Who changed a switch's configuration last, where its listing says so
// (IOS "! Last configuration change at ... by admin", Junos "## Last
// commit: ... by admin"): the kind's attribution pattern (device_table.h)
// with two capture groups, when and by whom.
//
// Pure and thread-safe; the pattern is compiled per call, which happens
// only for a check that found a change.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "devices/device_table.h"

namespace comvorlix {

// "last changed <when> by <who>" from the first line of `listing` the
// pattern matches as a whole (without its line end and trailing blanks);
// nothing when the kind has no pattern or no line says so. The parts are
// the switch's bytes as they stand: the host cleans them like every line.
std::optional<std::string> LastChangedBy(const DeviceKind& kind, std::string_view listing);

}  // namespace comvorlix

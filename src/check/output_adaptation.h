// Output adaptation: after a session, turns what was captured into exactly
// the text(s) the checksums cover.
//
// AdaptOutput takes the configuration listing(s) from the whole session
// output (gSessionOutput) and puts them into the receive buffers:
//   * single-configuration check: gReceived := the listing;
//   * comparison: gReceived := the startup listing, gReceivedRunning := the
//     running listing, each reduced to its configuration statements
//     (without empty and separator lines, and without the lines that only
//     say which listing it is, its size, or when it was changed or saved).
// Then, for a kind whose listings begin with a marker line (Aruba), the
// head of the buffer is cut at the listing's marker (CutAtMarker), which
// writes a debug line.
//
// Throws AutomationError when a listing is missing or incomplete, when the
// device type or configuration kind has no listing, or when the session did
// not end normally; the description names the host, what was missing and the
// device's last line. The buffers are then left as they were.
#pragma once

#include "automation/text.h"

namespace comvorlix {

void AdaptOutput(const Text& hostname);

// Drops everything before the first occurrence of `marker` in `buffer` and
// the marker's first character, then writes the debug line
// `debug_prefix` + new length + ") " + buffer. Without the marker nothing
// changes and no line is written.
void CutAtMarker(Text& buffer, TextView marker, TextView debug_prefix);

}  // namespace comvorlix

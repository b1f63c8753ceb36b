// Output adaptation: after a session, turns what it captured into exactly
// the bytes the checksums cover.
//
// AdaptOutput takes the configuration listing(s) from the whole session
// output:
//   * single-configuration check: `first` := the listing, `statements` :=
//     its configuration statements (as for a comparison, below);
//   * comparison: `first` := the startup listing, `running` := the running
//     listing, each reduced to its configuration statements (without empty
//     and separator lines, and without the lines that only say which listing
//     it is, its size, or when it was changed or saved).
// Then, for a kind whose listings begin with a marker line (Aruba), the head
// of each is cut at the listing's marker (CutAtMarker), which writes a
// debug line.
//
// The listings are found by the echoes of the marker command typed around
// them (listing_extraction.h), its token `marker_token` filled in; without a
// token (output recorded before markers were typed) by the prompts alone.
//
// Throws AutomationError (kFail) when the opening failed (`unanswered` not
// empty: its text), when a listing is missing or incomplete,
// when the device type or configuration kind has no listing, or when the
// session did not end normally (`session_fault` not empty); the description
// names the host, what was missing, the session's fault and the device's
// last line. Pure apart from the debug lines; thread-safe.
#pragma once

#include <string>
#include <string_view>

#include "automation/text.h"

namespace comvorlix {

struct AdaptedListings {
  std::string first;    // the listing, or the startup statements of a comparison
  std::string running;  // the running statements of a comparison; empty otherwise
  // The configuration statements of the listing of a single-configuration
  // check, reduced like those of a comparison; empty otherwise.
  std::string statements;
};

// `host` and `session_fault` are UTF-8; `device` and `configuration` the
// DEV and CFG codes; `session_output` the bytes of the whole session.
// `marker_token` and `unanswered` as the conversation left them (Captures).
AdaptedListings AdaptOutput(std::string_view host, TextView device, TextView configuration,
                            std::string_view session_output, std::string_view session_fault,
                            std::string_view marker_token = {}, std::string_view unanswered = {});

// Drops everything before the first occurrence of `marker` in `buffer` and
// the marker's first byte, then writes the debug line
// `debug_prefix` + new length + ") " + buffer. Without the marker nothing
// changes and no line is written.
void CutAtMarker(std::string& buffer, std::string_view marker, std::string_view debug_prefix);

}  // namespace comvorlix

// Output adaptation: after a session, turns what it captured into exactly
// the bytes the checksums cover.
//
// AdaptOutput takes the configuration listing(s) from the whole session
// output:
//   * single-configuration check: `listing` := the listing;
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
// last line (through `show`, before it is trimmed or cut). Pure apart from the debug lines; thread-safe.
#pragma once

#include <functional>
#include <string>
#include <vector>
#include <string_view>

#include "automation/text.h"

namespace comvorlix {

struct AdaptedListings {
  // Single-configuration check: the listing, a piece of the session output
  // (cut at its marker for Aruba). Empty in a comparison.
  std::string_view listing;
  // Comparison: the startup and the running statements. Empty otherwise.
  std::string first;
  std::string running;
};

// How a device's listings reduce to their configuration statements: its
// metadata prefixes and separator lines as bytes (StatementsOnly,
// ForEachStatementRun). Nothing is dropped for an unknown code.
struct StatementRule {
  std::vector<std::string> metadata_prefixes;
  std::vector<std::string> separators;
};
StatementRule StatementRuleOf(TextView device_code);

// Shows switch text in a debug line or an error (masking secrets); given
// pieces of the session output or of listings made from it. Identity when
// empty.
using DebugShow = std::function<std::string(std::string_view text)>;

// `host` and `session_fault` are UTF-8; `device` and `configuration` the
// DEV and CFG codes; `session_output` the bytes of the whole session.
// `marker_token` and `unanswered` as the conversation left them (Captures).
// The listing is valid as long as `session_output`.
AdaptedListings AdaptOutput(std::string_view host, TextView device, TextView configuration,
                            std::string_view session_output, std::string_view session_fault,
                            std::string_view marker_token = {}, std::string_view unanswered = {},
                            const DebugShow& show = {});

// `buffer` from the second byte of the first occurrence of `marker` on,
// after writing the debug line `debug_prefix` + its length + ") " + it
// (through `show`). Without the marker: `buffer`, and no line.
std::string_view CutAtMarker(std::string_view buffer, std::string_view marker, std::string_view debug_prefix,
                             const DebugShow& show = {});

}  // namespace comvorlix

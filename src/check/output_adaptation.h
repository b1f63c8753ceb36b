// Output adaptation: after a session, finds in what it captured the
// listing(s) whose statements the checksums cover.
//
// AdaptOutput takes the configuration listing(s) from the whole session
// output, each a piece of it, header lines included (which statements of
// them count is check/line_rules.h):
//   * single-configuration check: `listing` := the listing;
//   * comparison: `first` := the startup listing, `running` := the running
//     listing.
// For a kind whose listings begin with a marker line (Aruba), a single
// listing is also shown in a debug line from the second byte of that marker
// on (CutAtMarker), the piece earlier versions took for the checksum.
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
#include <string_view>

#include "check/check_settings.h"

namespace comvorlix {

struct AdaptedListings {
  // Pieces of the session output, valid as long as it is.
  // Single-configuration check: the listing. Empty in a comparison.
  std::string_view listing;
  // Comparison: the startup and the running listing. Empty otherwise.
  std::string_view first;
  std::string_view running;
};

// Shows switch text in a debug line or an error (masking secrets); given
// pieces of the session output or of listings made from it. Identity when
// empty.
using DebugShow = std::function<std::string(std::string_view text)>;

// `host` and `session_fault` are UTF-8; `settings` give the kind and the
// CFG code; `session_output` the bytes of the whole session.
// `marker_token` and `unanswered` as the conversation left them (Captures).
AdaptedListings AdaptOutput(std::string_view host, const CheckSettings& settings,
                            std::string_view session_output, std::string_view session_fault,
                            std::string_view marker_token = {}, std::string_view unanswered = {},
                            const DebugShow& show = {});

// The switch's last line in `session_output` that holds more than blanks,
// as LastDeviceLine (listing_extraction.h) gives it, cut to `max_bytes`:
// masked through `show` before it is trimmed and cut, so that no part of a
// secret survives. Empty when the switch sent no such line.
std::string LastLineShown(std::string_view session_output, const DebugShow& show, size_t max_bytes = 120);

// `buffer` from the second byte of the first occurrence of `marker` on,
// after writing the debug line `debug_prefix` + its length + ") " + it
// (through `show`). Without the marker: `buffer`, and no line.
std::string_view CutAtMarker(std::string_view buffer, std::string_view marker, std::string_view debug_prefix,
                             const DebugShow& show = {});

}  // namespace comvorlix

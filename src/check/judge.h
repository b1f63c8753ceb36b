// Judging a session: from the transcript to the verdict.
//
// Writes "check done", then:
//   * a session that never got going: False, its connect error as the text;
//   * RUN, START and other kinds: the debug lines "Received data : N bytes"
//     and "Received data : " + the first capture, then the listing
//     (output_adaptation.h) and the checksum of its configuration
//     statements ("CRC on data   : X"): the listing without the lines the
//     device table says are no configuration (headers, comments, when it was
//     changed or saved, a clock's drift), empty and separator lines
//     (check/line_rules.h). Without
//     a remembered checksum X is to be remembered ("Setting initial CRC"),
//     unless the kept listing was listed with the same DEV and CFG: its
//     checksum is then the remembered one and is written back;
//     an equal one is "configuration unchanged", another one "Configuration
//     changed (X - old:Y)", X to be remembered only with UCF=T or when the
//     host accepts the change ("accepted configuration (X - old:Y)", True).
//     A remembered checksum that an earlier version gave the same listing
//     (check/earlier_rules.h) counts as unchanged, and X is remembered;
//   * COMPARE: the debug lines "Received ST data : " + first capture + 46 "#"
//     and "Received RN data : " + second capture, then both statement lists,
//     "CRC on ST data   : ", "CRC on RN data   : ", and whether they agree.
// A change is shown in `details` as a diff (diff/statement_diff.h) against
// the kept listing (kept_listing.h), and a difference as the startup to
// running diff; every statement line in it and in the debug lines has its
// secrets masked (redact/secret_mask.h), and a line of the diff is then cut
// to 200 bytes, the last three "...". Past the diff's work bound the count
// is every line outside the common head and tail.
//
// Throws CheckStepError (check/step.h) with the step that failed:
// 410 or 650 when no complete listing was found, which also holds a session
// that did not end normally. Reads only what it is given; thread-safe apart
// from the process's debug output, which serialises lines.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "check/verdict.h"
#include "check/check_settings.h"
#include "comvorlix/comvorlix.h"
#include "session/transcript.h"

namespace comvorlix {

// What the judge takes of the host's options (comvorlix.h, CheckOptions):
// `accept`, `keep_listings` with `read_kept_listing` (the first
// `max_bytes` of the listing the host kept, empty: none; asked for its first
// line on every check and for all of it only when a change is to be shown)
// and `diff_lines`.
// `host` is UTF-8, the name the check was given.
Verdict JudgeTranscript(const CheckSettings& settings, std::string_view host, const Transcript& transcript,
                        const CheckOptions& options = {});

// The same, for a caller that has no more use for the session output: a
// change frees `transcript.captures.output` once its statements are taken,
// before the kept listing is read, so that a large listing's diff holds two
// copies of it, not three. The other members are left as they are.
Verdict JudgeTranscriptReleasingOutput(const CheckSettings& settings, std::string_view host, Transcript& transcript,
                                       const CheckOptions& options = {});

// The switch's last line that holds more than blanks in `output` (bytes of
// a session), its secrets masked as `kind` masks them, then
// trimmed and cut to 200 bytes and quoted for an error text
// (QuotedBytes, check/listing_extraction.h). Empty when there is none.
std::string QuotedLastLine(const DeviceKind& kind, std::string_view output);

// Masks one line of switch output with nothing known of the lines above it
// (every section pattern taken to hold), as `kind` masks
// configuration secrets; for records of a session as it runs. Thread-safe.
std::function<std::string(std::string_view)> LineMaskFor(const DeviceKind& kind);

}  // namespace comvorlix

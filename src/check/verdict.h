// The verdict of one check, a plain value, and how it changes the
// parameter string.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace comvorlix {

struct Verdict {
  // True: "Setting initial CRC (X)", "configuration unchanged (X)",
  // "accepted configuration (X - old:Y)", "Running and startup configuration
  // are the same". False: everything else.
  bool ok = false;
  // True when the check could not decide (UNKNOWN rather than CRITICAL):
  // the host key of a new switch could not be recorded. ok is then false.
  bool unknown = false;
  // True when the configuration was listed and judged (the texts of `ok`
  // and a change or a difference); false when the check could not look.
  bool judged = false;
  // The switch's host key was refused (transcript.h): a finding, not a
  // failure to look.
  bool host_key_refused = false;
  // Set when the check recorded the host key of a switch seen for the first
  // time: "learned host key SHA256:... of HOST:PORT into FILE". Not part of
  // `text`, which keeps its fixed forms.
  std::string learned_host_key;
  // The one line the host is given (qo_result), exactly.
  std::string text;  // UTF-8
  // The checksum to store as @@CRC; only ever from a complete listing.
  std::optional<std::string> checksum_to_remember;
  // Lines for the host to show after `text` (a monitoring plugin's long
  // output): the diff of a change or a difference, with secrets masked.
  // Bytes as the switch sent them, otherwise; one entry per line.
  std::vector<std::string> details;
  // Removed plus added configuration statements, when the check could tell
  // (0 when nothing changed); nothing when it could not (a failed check, a
  // change without an earlier listing to compare with).
  std::optional<size_t> changed_lines;
  // The kept listing (kept_listing.h) the host is to write for the checksum
  // this verdict remembers or has found unchanged; empty: leave the kept
  // one as it is.
  std::string listing_to_keep;
  // For performance data: the size of the first listing buffer when the
  // check ended (the listing checksummed; when none was found, what the
  // session captured for it; 0 when no session ran).
  size_t listing_bytes = 0;
};

// A check that failed at a numbered step or was refused before the session.
Verdict FailedVerdict(std::string text);

// The parameter string after the check: `parameter` with @@CRC set to the
// checksum to remember, or unchanged when there is none; UTF-8. Pure.
std::string ApplyVerdict(std::string_view parameter, const Verdict& verdict);

}  // namespace comvorlix

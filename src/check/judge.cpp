#include "check/judge.h"

#include <cstdint>
#include <initializer_list>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <string>
#include <vector>

#include "base/automation_error.h"
#include "base/debug_output.h"
#include "check/attribution.h"
#include "check/checksum.h"
#include "check/earlier_rules.h"
#include "check/kept_listing.h"
#include "check/line_rules.h"
#include "check/listing_extraction.h"
#include "check/output_adaptation.h"
#include "devices/device_table.h"
#include "diff/statement_diff.h"
#include "redact/secret_mask.h"

namespace comvorlix {
namespace {

// prefix + the given pieces, one debug line. A listing is large: the line
// is only put together when someone listens.
void Debug(std::string_view prefix, std::initializer_list<std::string_view> pieces) {
  if (!DebugOutputEnabled()) return;
  size_t size = prefix.size();
  for (std::string_view piece : pieces) size += piece.size();
  std::string line;
  line.reserve(size);
  line.append(prefix);
  for (std::string_view piece : pieces) line.append(piece);
  OutputDebugLine(std::string_view(line));
}

// Shows statements with their secrets masked, for diffs and debug lines:
// the mask of a kind is compiled on its first use and kept (a mask may be
// used by many threads at once; the map only under the lock).
const SecretMask& MaskFor(const DeviceKind& kind) {
  static const SecretMask nothing{std::span<const SecretPattern>()};
  static std::mutex lock;
  static std::map<const DeviceKind*, std::unique_ptr<const SecretMask>> masks;
  if (kind.secret_patterns.empty()) return nothing;
  const std::lock_guard<std::mutex> guard(lock);
  std::unique_ptr<const SecretMask>& mask = masks[&kind];
  if (!mask) {
    std::vector<SecretPattern> patterns;
    for (const SecretRule& r : kind.secret_patterns) patterns.push_back({r.line, r.section});
    mask = std::make_unique<const SecretMask>(patterns);
  }
  return *mask;
}

}  // namespace

std::string QuotedLastLine(const DeviceKind& kind, std::string_view output) {
  const SecretMask& mask = MaskFor(kind);
  const std::string line =
      LastLineShown(output, [&mask, output](std::string_view text) { return mask.MaskPart(output, text); }, 200);
  return line.empty() ? std::string() : QuotedBytes(line);
}

std::function<std::string(std::string_view)> LineMaskFor(const DeviceKind& kind) {
  // Compiled at the first line to mask, not before: a session that never
  // gets a line (a refused connection) compiles nothing. The kind lives for
  // the life of the process.
  const DeviceKind* of = &kind;
  return [of](std::string_view line) { return MaskFor(*of).Mask(line); };
}

namespace {

// Keeps a diff's long output well under the 8 KiB a monitoring engine takes
// from a plugin, with room for the first line and a host key note.
constexpr size_t kMaxDiffBytes = 6000;

// A line of a diff as it is shown, its secrets masked already: cut to
// kShownLineBytes, so that one long line cannot crowd out the others.
constexpr size_t kShownLineBytes = 200;
std::string Shown(std::string shown) {
  if (shown.size() > kShownLineBytes) shown.replace(kShownLineBytes - 3, std::string::npos, "...");
  return shown;
}

// The diff of `before` to `after` into the verdict's details and count.
void ShowDiff(std::string_view before, std::string_view after, const SecretMask& mask, const CheckOptions& o,
              Verdict& v) {
  StatementDiffOptions options;
  options.max_changed_lines = o.diff_lines;
  options.max_output_bytes = kMaxDiffBytes;
  // A line is shown in its section within its own list; the lines the diff
  // hands over are views into the lists.
  options.show = [&](std::string_view line) {
    const bool in_before = !before.empty() && !std::less<const char*>()(line.data(), before.data()) &&
                           std::less<const char*>()(line.data(), before.data() + before.size());
    return Shown(mask.MaskPart(in_before ? before : after, line));
  };
  StatementDiff diff = DiffStatements(before, after, options);
  v.changed_lines = diff.removed + diff.added;
  if (diff.counts_only) {
    v.details.push_back("(" + std::to_string(diff.removed) + " removed and " + std::to_string(diff.added) +
                        " added lines; too many to compare line by line)");
  } else {
    v.details.insert(v.details.end(), diff.lines.begin(), diff.lines.end());
  }
}

// The kept listing of `listing`'s statements, made without a copy of them
// in between: one listing's size beyond the session output.
std::string KeptListingFor(const CheckSettings& s, const std::string& crc, std::string_view listing,
                          const LineRules& rules) {
  std::string text = KeptListingOf(crc, s.device, s.configuration, {});
  text.reserve(text.size() + listing.size());
  rules.ForEachStatementRun(listing, [&text](std::string_view run) { text.append(run); });
  return text;
}

// `release`, when given, holds the session output, which is freed once the
// statements are taken from it and before the kept listing is read.
Verdict Single(const CheckSettings& s, std::string_view host, const Transcript& t, std::string* release,
               const CheckOptions& o, Step& step) {
  Verdict v;
  // Pieces of the session output are masked in their sections there.
  const std::string_view output = t.captures.output;
  // The kind's secret mask is compiled only when something is shown: an
  // unchanged configuration without debug output needs none.
  const DebugShow masked = [&s, output](std::string_view text) { return MaskFor(s.kind()).MaskPart(output, text); };
  step = Step::kReceivedSize;
  OutputDebugLine("Received data : " + std::to_string(t.captures.first_size()) + " bytes");
  step = Step::kReceivedData;
  if (DebugOutputEnabled()) Debug("Received data : ", {masked(t.captures.first())});
  step = Step::kListing;
  const std::string_view listing = AdaptOutput(host, s, t.captures.output, t.fault,
                                               t.captures.marker_token, t.captures.unanswered, masked)
                                       .listing;
  v.listing_bytes = listing.size();
  step = Step::kListingChecksum;
  // The statements are summed where they lie; a copy is made only to keep
  // them or to show a change.
  const LineRules& rules = LineRules::Of(s.kind());
  uint32_t sum = 0;
  rules.ForEachStatementRun(listing, [&sum](std::string_view run) { sum = ChecksumUpdate(sum, run); });
  const std::string crc = ChecksumHex(sum);
  step = Step::kChecksumShown;
  OutputDebugLine("CRC on data   : " + crc);
  step = Step::kKeptRead;
  // The kept listing is read whole only to show a change; otherwise its
  // first line says whether it is the one of the remembered checksum.
  const bool can_read = o.keep_listings && o.read_kept_listing;
  // A parameter string that lost its checksum (a template wrote it anew)
  // remembers the one of its kept listing when that was listed with the
  // same device kind and configuration: a lost baseline is not a new one.
  std::string remembered = s.stored_checksum;
  bool recovered = false;
  if (remembered.empty() && can_read) {
    if (std::optional<std::string> kept = KeptHeadFor(o.read_kept_listing(kMaxKeptHeadBytes), s.device, s.configuration)) {
      remembered = std::move(*kept);
      recovered = true;
      OutputDebugLine("No CRC remembered; the kept listing remembers " + remembered);
    }
  }
  const auto kept_is_current = [&] {
    return can_read && KeptStatements(o.read_kept_listing(kMaxKeptHeadBytes), remembered).has_value();
  };
  const auto keep = [&] {
    if (o.keep_listings) v.listing_to_keep = KeptListingFor(s, crc, listing, rules);
  };
  if (remembered.empty()) {
    step = Step::kInitial;
    v.checksum_to_remember = crc;
    keep();
    v.changed_lines = 0;
    step = Step::kInitialReported;
    v.text = "Setting initial CRC (" + crc + ")";
    v.ok = true;
  } else if (crc == remembered || RememberedByAnEarlierRule(s.device, listing, remembered)) {
    step = Step::kUnchanged;
    if (crc != remembered) {
      // Remembered by an earlier version under an earlier rule: the same
      // configuration, remembered from now on by today's rule.
      OutputDebugLine("CRC by an earlier rule matches " + remembered + ": remembering " + crc);
    }
    if (crc != remembered || recovered) v.checksum_to_remember = crc;
    // A listing is kept from the first check that can keep one on.
    if (o.keep_listings && (v.checksum_to_remember || !kept_is_current())) keep();
    v.changed_lines = 0;
    v.text = "configuration unchanged (" + crc + ")";
    v.ok = true;
  } else {
    step = Step::kChanged;
    // Who changed it, where the listing says so: the first line after the
    // result, read before the listing is let go.
    if (std::optional<std::string> by = LastChangedBy(s.kind(), listing)) v.details.push_back(std::move(*by));
    // The statements found now, in the form of a kept listing: shown in the
    // diff and, when the change is remembered, kept as they are.
    std::string now = KeptListingFor(s, crc, listing, rules);
    if (release != nullptr) std::string().swap(*release);
    {
      const std::string kept_text =
          can_read ? o.read_kept_listing(std::numeric_limits<size_t>::max()) : std::string();
      if (const std::optional<std::string_view> kept = KeptStatements(kept_text, remembered)) {
        ShowDiff(*kept, *KeptStatements(now, crc), MaskFor(s.kind()), o, v);
      } else if (o.keep_listings) {
        v.details.push_back("(no earlier listing kept; the next change will show its diff)");
      }
    }
    if (s.update_changed || o.accept) {
      v.checksum_to_remember = crc;
      if (o.keep_listings) v.listing_to_keep = std::move(now);
    } else if (recovered) {
      // The baseline goes back where it belongs; the change stays reported
      // until it is accepted, as with a checksum that was never lost.
      v.checksum_to_remember = remembered;
    }
    step = Step::kChangeReported;
    const std::string change = "(" + crc + " - old:" + remembered + ")";
    v.ok = o.accept;
    v.text = (o.accept ? "accepted configuration " : "Configuration changed ") + change;
  }
  v.judged = true;
  return v;
}

Verdict Comparison(const CheckSettings& s, std::string_view host, const Transcript& t, const CheckOptions& o,
                   Step& step) {
  Verdict v;
  // Pieces of the session output are masked in their sections there.
  const std::string_view output = t.captures.output;
  // The kind's secret mask is compiled only when something is shown: an
  // unchanged configuration without debug output needs none.
  const DebugShow masked = [&s, output](std::string_view text) { return MaskFor(s.kind()).MaskPart(output, text); };
  step = Step::kStartupData;
  if (DebugOutputEnabled()) Debug("Received ST data : ", {masked(t.captures.first()), std::string(46, '#')});
  step = Step::kRunningData;
  // The second capture is the output around the first.
  if (DebugOutputEnabled()) {
    Debug("Received RN data : ",
          {masked(output.substr(0, t.captures.first_begin)), masked(output.substr(t.captures.first_end))});
  }
  step = Step::kListings;
  const AdaptedListings listings = AdaptOutput(host, s, t.captures.output, t.fault,
                                               t.captures.marker_token, t.captures.unanswered, masked);
  const LineRules& rules = LineRules::Of(s.kind());
  const std::string startup = rules.StatementsOnly(listings.first);
  const std::string running = rules.StatementsOnly(listings.running);
  v.listing_bytes = listings.first.size();
  step = Step::kStartupChecksum;
  const std::string startup_crc = ChecksumHexOf(startup);
  step = Step::kStartupChecksumShown;
  OutputDebugLine("CRC on ST data   : " + startup_crc);
  step = Step::kRunningChecksum;
  const std::string running_crc = ChecksumHexOf(running);
  step = Step::kRunningChecksumShown;
  OutputDebugLine("CRC on RN data   : " + running_crc);
  step = Step::kCompared;
  v.ok = running_crc == startup_crc;
  if (v.ok) {
    v.changed_lines = 0;
  } else {
    step = Step::kDifference;
    ShowDiff(startup, running, MaskFor(s.kind()), o, v);
  }
  v.text = v.ok ? "Running and startup configuration are the same" : "Running and startup configuration are different";
  v.judged = true;
  return v;
}

Verdict Judge(const CheckSettings& settings, std::string_view host, const Transcript& transcript,
              std::string* release, const CheckOptions& options) {
  Step step = Step::kCheckDone;
  try {
    OutputDebugLine("check done");
    step = Step::kSessionResult;
    if (!transcript.connect_error.empty()) {
      step = Step::kConnectFailed;
      Verdict v = FailedVerdict(transcript.connect_error);
      v.listing_bytes = transcript.captures.first_size();
      return v;
    }
    return settings.compare() ? Comparison(settings, host, transcript, options, step)
                              : Single(settings, host, transcript, release, options, step);
  } catch (const AutomationError& e) {
    throw CheckStepError(step, e.description());
  } catch (const std::bad_alloc&) {
    throw CheckStepError(step, "Out of memory");
  }
}

}  // namespace

Verdict JudgeTranscript(const CheckSettings& settings, std::string_view host, const Transcript& transcript,
                        const CheckOptions& options) {
  return Judge(settings, host, transcript, nullptr, options);
}

Verdict JudgeTranscriptReleasingOutput(const CheckSettings& settings, std::string_view host, Transcript& transcript,
                                       const CheckOptions& options) {
  return Judge(settings, host, transcript, &transcript.captures.output, options);
}

}  // namespace comvorlix

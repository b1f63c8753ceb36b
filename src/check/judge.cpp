#include "check/judge.h"

#include <initializer_list>
#include <new>
#include <string>

#include "automation/automation_error.h"
#include "automation/debug_output.h"
#include "check/output_adaptation.h"
#include "crc/crc.h"

namespace comvorlix {
namespace {

Text CrcOf(std::string_view bytes) {
  return CrcToText(Crc32Update(0, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

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

Verdict Single(const CheckSettings& s, std::string_view host, const Transcript& t, int& step) {
  Verdict v;
  step = 390;
  OutputDebugLine("Received data : " + std::to_string(t.captures.first_size()) + " bytes");
  step = 400;
  Debug("Received data : ", {t.captures.first()});
  step = 410;
  v.listing = AdaptOutput(host, s.device, s.configuration, t.captures.output, t.fault, t.captures.marker_token,
                          t.captures.unanswered)
                  .first;
  v.listing_bytes = v.listing.size();
  step = 420;
  const Text crc = CrcOf(v.listing);
  step = 430;
  OutputDebugLine(u"CRC on data   : " + crc);
  step = 440;
  if (s.stored_checksum.empty()) {
    step = 560;
    v.checksum_to_remember = crc;
    step = 570;
    v.text = u"Setting initial CRC (" + crc + u")";
    v.ok = true;
  } else if (crc == s.stored_checksum) {
    step = 450;
    v.text = u"configuration unchanged (" + crc + u")";
    v.ok = true;
  } else {
    step = 490;
    if (s.update_changed) v.checksum_to_remember = crc;
    step = 520;
    v.text = u"Configuration changed (" + crc + u" - old:" + s.stored_checksum + u")";
    v.ok = false;
  }
  return v;
}

Verdict Comparison(const CheckSettings& s, std::string_view host, const Transcript& t, int& step) {
  Verdict v;
  step = 620;
  Debug("Received ST data : ", {t.captures.first(), std::string(46, '#')});
  step = 640;
  // The second capture is the output around the first.
  const std::string_view output = t.captures.output;
  Debug("Received RN data : ",
        {output.substr(0, t.captures.first_begin), output.substr(t.captures.first_end)});
  step = 650;
  AdaptedListings listings = AdaptOutput(host, s.device, s.configuration, t.captures.output, t.fault,
                                         t.captures.marker_token, t.captures.unanswered);
  v.listing = std::move(listings.first);
  v.running_listing = std::move(listings.running);
  v.listing_bytes = v.listing.size();
  step = 660;
  const Text startup_crc = CrcOf(v.listing);
  step = 670;
  OutputDebugLine(u"CRC on ST data   : " + startup_crc);
  step = 680;
  const Text running_crc = CrcOf(v.running_listing);
  step = 690;
  OutputDebugLine(u"CRC on RN data   : " + running_crc);
  step = 700;
  v.ok = running_crc == startup_crc;
  if (!v.ok) step = 740;
  v.text = v.ok ? u"Running and startup configuration are the same"
                : u"Running and startup configuration are different";
  return v;
}

}  // namespace

Verdict JudgeTranscript(const CheckSettings& settings, std::string_view host, const Transcript& transcript) {
  int step = 360;
  try {
    OutputDebugLine("check done");
    step = 370;
    if (!transcript.connect_error.empty()) {
      step = 790;
      Verdict v = FailedVerdict(FromUtf8(transcript.connect_error));
      v.listing_bytes = transcript.captures.first_size();
      return v;
    }
    return settings.compare() ? Comparison(settings, host, transcript, step)
                              : Single(settings, host, transcript, step);
  } catch (const AutomationError& e) {
    throw CheckStepError(step, e.description());
  } catch (const std::bad_alloc&) {
    throw CheckStepError(step, "Out of memory");
  }
}

}  // namespace comvorlix

// Fuzz target: finding the configuration listings in a session's output
// and adapting them for the checksum.
//
// Input: a device code, a configuration kind, a session fault (empty: the
// switch closed the session itself) and a listing shape
// "command|first marker|end line", each on a line of its own, then the
// session output; all UTF-8. The settings go into the thread's CheckState
// and AdaptOutput runs on them. Checked:
//  * AdaptOutput gives listings or throws AutomationError(kFail) naming the
//    switch, and leaves the receive buffers as they were when it throws; it
//    must throw for an unknown device or configuration kind and after a
//    session fault;
//  * a single listing is a piece of the session output, exactly what
//    FindListing finds; the statements of a comparison hold no line that
//    would be dropped again;
//  * FindListing, for the shapes of every device and the shape from the
//    input, from several starting points, returns a non-empty piece of the
//    output that ends at its end offset, or says what is missing;
//  * LastDeviceLine is one line, shortened as promised.
#include <cstddef>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "check/listing_extraction.h"
#include "check/output_adaptation.h"
#include "component/check_state.h"
#include "fuzz_support.h"
#include "automation/automation_error.h"
#include "devices/device_table.h"

using comvorlix::Text;
using comvorlix::TextView;

namespace {

const Text kHostname = u"sw1.example.net";
const Text kReceivedBefore = u"received before";
const Text kRunningBefore = u"running before";

void CheckFound(TextView output, const comvorlix::ListingShape& shape, size_t from) {
  auto result = comvorlix::FindListing(output, shape, from);
  if (auto* error = std::get_if<comvorlix::ListingError>(&result)) {
    FUZZ_CHECK(!error->what.empty());
    return;
  }
  const auto& found = std::get<comvorlix::FoundListing>(result);
  FUZZ_CHECK(!found.text.empty());
  FUZZ_CHECK(found.end_offset <= output.size());
  FUZZ_CHECK(found.end_offset >= from + found.text.size());
  FUZZ_CHECK(output.substr(found.end_offset - found.text.size(), found.text.size()) == found.text);
}

std::vector<Text> SplitShape(TextView line) {
  std::vector<Text> parts;
  size_t begin = 0;
  while (parts.size() < 2) {
    const size_t bar = line.find(u'|', begin);
    if (bar == TextView::npos) break;
    parts.emplace_back(line.substr(begin, bar - begin));
    begin = bar + 1;
  }
  parts.emplace_back(line.substr(std::min(begin, line.size())));
  parts.resize(3);
  return parts;
}

void CheckAdaptation(const Text& output) {
  comvorlix::CheckState& s = comvorlix::ThreadCheckState();
  const comvorlix::DeviceKind* device = comvorlix::FindDeviceKind(s.gDevice);
  const bool compare = s.gConfiguration == u"COMPARE";
  s.gReceived = kReceivedBefore;
  s.gReceivedRunning = kRunningBefore;
  try {
    comvorlix::AdaptOutput(kHostname);
  } catch (const comvorlix::AutomationError& e) {
    FUZZ_CHECK(e.status() == comvorlix::Status::kFail);
    FUZZ_CHECK(e.description().find("(switch " + comvorlix::ToUtf8(kHostname)) != std::string::npos);
    FUZZ_CHECK(s.gReceived == kReceivedBefore);
    FUZZ_CHECK(s.gReceivedRunning == kRunningBefore);
    return;
  }
  FUZZ_CHECK(device != nullptr);
  FUZZ_CHECK(!comvorlix::FirstListing(*device, s.gConfiguration).empty());
  FUZZ_CHECK(s.gSessionFault.empty());
  FUZZ_CHECK(s.gSessionOutput == output);
  if (!compare) {
    FUZZ_CHECK(s.gReceivedRunning == kRunningBefore);
    FUZZ_CHECK(output.find(s.gReceived) != Text::npos);
    if (s.gDevice != u"ARUSW") {
      const Text command = comvorlix::FirstListing(*device, s.gConfiguration);
      const bool running = command == device->run_listing;
      auto found = comvorlix::FindListing(
          output, {command, running ? device->run_marker : device->start_marker, device->end_line});
      FUZZ_CHECK(std::holds_alternative<comvorlix::FoundListing>(found));
      FUZZ_CHECK(std::get<comvorlix::FoundListing>(found).text == s.gReceived);
    }
  } else if (s.gDevice != u"ARUSW") {
    FUZZ_CHECK(comvorlix::StatementsOnly(s.gReceived, device->metadata_prefixes, device->separator_lines) ==
               s.gReceived);
    FUZZ_CHECK(comvorlix::StatementsOnly(s.gReceivedRunning, device->metadata_prefixes,
                                         device->separator_lines) == s.gReceivedRunning);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  comvorlix::fuzz::InputReader in(data, size);
  comvorlix::CheckState& s = comvorlix::ThreadCheckState();
  s.gDevice = comvorlix::FromUtf8(in.Line());
  s.gConfiguration = comvorlix::FromUtf8(in.Line());
  s.gSessionFault = comvorlix::FromUtf8(in.Line());
  const std::vector<Text> shape = SplitShape(comvorlix::FromUtf8(in.Line()));
  const Text output = comvorlix::FromUtf8(in.Rest());
  s.gSessionOutput = output;

  CheckAdaptation(output);

  const size_t starts[] = {0, output.size() / 2, output.size(), output.size() + 1};
  for (size_t from : starts) {
    CheckFound(output, {shape[0], shape[1], shape[2]}, from);
    for (const char16_t* code : {u"CSCSW", u"ARUSW", u"HP1920SW", u"HP2510SW"}) {
      const comvorlix::DeviceKind* d = comvorlix::FindDeviceKind(code);
      CheckFound(output, {d->run_listing, d->run_marker, d->end_line}, from);
      CheckFound(output, {d->start_listing, d->start_marker, d->end_line}, from);
    }
  }

  const Text last = comvorlix::LastDeviceLine(output, 40);
  FUZZ_CHECK(last.size() <= 43);
  FUZZ_CHECK(last.find(u'\n') == Text::npos);

  // Nothing of this input stays allocated: libFuzzer then has no reason to
  // run it again looking for a leak.
  s = comvorlix::CheckState();
  return 0;
}

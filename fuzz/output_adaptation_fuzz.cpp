// Fuzz target: finding the configuration listings in a session's output,
// adapting them for the checksum, and the line rules that pick their
// statements.
//
// Input: a device code, a configuration kind, a session fault (empty: the
// switch closed the session itself) and a listing shape
// "command|first marker|end line", each on a line of its own, then the
// session output. Codes and fault are UTF-8; shape and output are bytes as a
// switch sends them. AdaptOutput runs on them. Checked:
//  * AdaptOutput, without a marker token and with kToken, gives listings or throws AutomationError(kFail) naming the
//    switch; it must throw for an unknown device or configuration kind and
//    after a session fault;
//  * a single listing and both listings of a comparison are pieces of the
//    session output, exactly what FindListing finds;
//  * the line rules of every kind, run on the output and on the listings,
//    hand on whole lines of it in order, without overlap, and are
//    idempotent: the statements of the statements are the statements;
//  * FindListing, for the shapes of every device and the shape from the
//    input, with and without the marker, from several starting points,
//    returns a non-empty piece of the output that ends at or before its end
//    offset, or says what is missing;
//  * LastDeviceLine is one line, shortened as promised.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "check/line_rules.h"
#include "check/listing_extraction.h"
#include "check/output_adaptation.h"
#include "fuzz_support.h"
#include "base/automation_error.h"
#include "devices/device_table.h"


namespace {

const std::string kHostname = "sw1.example.net";
// The token the corpus's marked sessions carry.
const std::string kToken = "0123456789abcdef";

void CheckFound(std::string_view output, const comvorlix::ListingShape& shape, size_t from) {
  auto result = comvorlix::FindListing(output, shape, from);
  if (auto* error = std::get_if<comvorlix::ListingError>(&result)) {
    FUZZ_CHECK(!error->what.empty());
    return;
  }
  const auto& found = std::get<comvorlix::FoundListing>(result);
  FUZZ_CHECK(!found.text.empty());
  FUZZ_CHECK(found.end_offset <= output.size());
  const size_t at = static_cast<size_t>(found.text.data() - output.data());
  FUZZ_CHECK(at >= from && at + found.text.size() <= found.end_offset);
}

std::vector<std::string> SplitShape(std::string_view line) {
  std::vector<std::string> parts;
  size_t begin = 0;
  while (parts.size() < 3) {
    const size_t bar = line.find('|', begin);
    if (bar == std::string_view::npos) break;
    parts.emplace_back(line.substr(begin, bar - begin));
    begin = bar + 1;
  }
  parts.emplace_back(line.substr(std::min(begin, line.size())));
  parts.resize(4);
  return parts;
}

// The shape AdaptOutput uses for `device`, with the marker of `token`
// (none when empty).
comvorlix::ListingShape ShapeOf(const comvorlix::DeviceKind& device, const std::string& command,
                                const std::string& first_marker, const std::string& token) {
  std::string marker;
  if (!token.empty()) {
    marker = device.marker;
    const std::string_view slot = comvorlix::kMarkerTokenSlot;
    if (const size_t at = marker.find(slot); at != std::string::npos) marker.replace(at, slot.size(), token);
  }
  return {command, first_marker, device.end_line, device.endless_markers, marker};
}

// The statements are whole lines of `listing`, in order, and stay as they
// are when their own statements are taken.
void CheckStatements(const comvorlix::LineRules& rules, std::string_view listing) {
  size_t at = 0;
  std::string statements;
  rules.ForEachStatementRun(listing, [&](std::string_view run) {
    FUZZ_CHECK(!run.empty());
    const size_t begin = static_cast<size_t>(run.data() - listing.data());
    FUZZ_CHECK(begin >= at && begin + run.size() <= listing.size());
    FUZZ_CHECK(begin == 0 || listing[begin - 1] == '\n');
    FUZZ_CHECK(run.back() == '\n' || begin + run.size() == listing.size());
    at = begin + run.size();
    statements.append(run);
  });
  FUZZ_CHECK(rules.StatementsOnly(listing) == statements);
  FUZZ_CHECK(rules.StatementsOnly(statements) == statements);
}

void CheckAdaptation(const std::string& device_code, const std::string& configuration, std::string_view fault,
                     std::string_view output, const std::string& token) {
  comvorlix::CheckSettings settings;
  settings.SetDevice(device_code);
  settings.configuration = configuration;
  const comvorlix::DeviceKind* device = settings.known_kind;
  const bool compare = configuration == "COMPARE";
  comvorlix::AdaptedListings listings;
  try {
    listings = comvorlix::AdaptOutput(kHostname, settings, output, fault, token);
  } catch (const comvorlix::AutomationError& e) {
    FUZZ_CHECK(e.status() == comvorlix::Status::kFail);
    FUZZ_CHECK(e.description().find("(switch " + kHostname) != std::string::npos);
    return;
  }
  FUZZ_CHECK(device != nullptr);
  FUZZ_CHECK(!comvorlix::FirstListing(*device, configuration).empty());
  FUZZ_CHECK(fault.empty());
  const std::string& command = comvorlix::FirstListing(*device, configuration);
  const bool running = command == device->run_listing;
  auto found = comvorlix::FindListing(
      output, ShapeOf(*device, command, running ? device->run_marker : device->start_marker, token));
  FUZZ_CHECK(std::holds_alternative<comvorlix::FoundListing>(found));
  const std::string_view first = std::get<comvorlix::FoundListing>(found).text;
  if (!compare) {
    FUZZ_CHECK(listings.running.empty() && listings.first.empty());
    FUZZ_CHECK(listings.listing == first && listings.listing.data() == first.data());
  } else {
    FUZZ_CHECK(listings.listing.empty());
    FUZZ_CHECK(listings.first == first && listings.first.data() == first.data());
    FUZZ_CHECK(output.find(listings.running) != std::string_view::npos);
  }
  for (std::string_view listing : {listings.listing, listings.first, listings.running}) {
    CheckStatements(comvorlix::LineRules::Of(settings.kind()), listing);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  comvorlix::fuzz::InputReader in(data, size);
  const std::string device(in.Line());
  const std::string configuration(in.Line());
  const std::string_view fault = in.Line();
  const std::vector<std::string> shape = SplitShape(in.Line());
  const std::string_view output = in.Rest();

  for (const std::string& token : {std::string(), kToken}) CheckAdaptation(device, configuration, fault, output, token);

  const size_t starts[] = {0, output.size() / 2, output.size(), output.size() + 1};
  for (size_t from : starts) {
    CheckFound(output, {shape[0], shape[1], shape[2], {}, shape[3]}, from);
    for (const char* code : {"CSCSW", "ARUSW", "HP1920SW", "HP2510SW"}) {
      const comvorlix::DeviceKind* d = comvorlix::FindDeviceKind(code);
      for (const std::string& token : {std::string(), kToken}) {
        CheckFound(output, ShapeOf(*d, d->run_listing, d->run_marker, token), from);
        CheckFound(output, ShapeOf(*d, d->start_listing, d->start_marker, token), from);
      }
    }
  }

  for (const char* code : {"CSCSW", "ARUSW", "HP1920SW", "HP2510SW"}) {
    CheckStatements(comvorlix::LineRules::Of(*comvorlix::FindDeviceKind(code)), output);
  }

  const std::string last = comvorlix::LastDeviceLine(output, 40);
  FUZZ_CHECK(last.size() <= 43);
  FUZZ_CHECK(last.find('\n') == std::string::npos);
  return 0;
}

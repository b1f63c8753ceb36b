#include "check/output_adaptation.h"

#include <variant>

#include "check/listing_extraction.h"
#include "component/check_state.h"
#include "automation/automation_error.h"
#include "automation/debug_output.h"
#include "devices/device_table.h"

namespace comvorlix {
namespace {

std::string Quoted(TextView t) { return "\"" + ToUtf8(t) + "\""; }

[[noreturn]] void Fail(const CheckState& s, const Text& hostname, const std::string& what) {
  std::string description = what + " (switch " + ToUtf8(hostname);
  if (!s.gSessionFault.empty()) description += "; session ended: " + ToUtf8(s.gSessionFault);
  description += "; last line from the switch: " + Quoted(LastDeviceLine(s.gSessionOutput)) + ")";
  throw AutomationError(Status::kFail, description);
}

FoundListing Find(const CheckState& s, const Text& hostname, const ListingShape& shape, size_t from) {
  auto result = FindListing(s.gSessionOutput, shape, from);
  if (auto* error = std::get_if<ListingError>(&result)) Fail(s, hostname, "no complete configuration listing: " + error->what);
  return std::get<FoundListing>(std::move(result));
}

}  // namespace

void CutAtMarker(Text& buffer, TextView marker, TextView debug_prefix) {
  size_t at = buffer.find(marker);
  if (at == Text::npos) return;
  buffer.erase(0, at + 1);
  OutputDebugLine(Text(debug_prefix) + FromUtf8(std::to_string(buffer.size())) + u") " + buffer);
}

void AdaptOutput(const Text& hostname) {
  CheckState& s = ThreadCheckState();
  const DeviceKind* device = FindDeviceKind(s.gDevice);
  if (!device) {
    Fail(s, hostname, "the device type " + Quoted(s.gDevice) +
                          " is not one of CSCSW, ARUSW, HP1920SW, HP2510SW, so no configuration was listed");
  }
  const bool compare = s.gConfiguration == u"COMPARE";
  const Text first_command = FirstListing(*device, s.gConfiguration);
  if (first_command.empty()) {
    Fail(s, hostname, "the configuration kind " + Quoted(s.gConfiguration) +
                          " is not one of RUN, START, COMPARE, so no configuration was listed");
  }
  const bool first_is_running = first_command == device->run_listing;
  const ListingShape first_shape{first_command, first_is_running ? device->run_marker : device->start_marker,
                                 device->end_line};
  FoundListing first = Find(s, hostname, first_shape, 0);
  FoundListing second;
  if (compare) {
    second = Find(s, hostname, ListingShape{device->run_listing, device->run_marker, device->end_line},
                  first.end_offset);
  }
  // A listing followed by a session that the switch did not close itself
  // (it ran into a time-out or a limit) is not trusted either.
  if (!s.gSessionFault.empty()) Fail(s, hostname, "the session did not end normally");

  if (!compare) {
    s.gReceived = std::move(first.text);
  } else {
    s.gReceived = StatementsOnly(first.text, device->metadata_prefixes, device->separator_lines);
    s.gReceivedRunning = StatementsOnly(second.text, device->metadata_prefixes, device->separator_lines);
  }

  // Kinds whose listings begin with a marker line (Aruba) have the buffer
  // cut at that marker; the others have no marker and keep their listing.
  auto cut = [](Text& buffer, const Text& marker, TextView debug_prefix) {
    if (!marker.empty()) CutAtMarker(buffer, marker, debug_prefix);
  };
  if (!compare) {
    cut(s.gReceived, first_shape.first_marker, u"Output adapted to: (");
  } else {
    cut(s.gReceived, device->start_marker, u"Output ST adapted to: (");
    cut(s.gReceivedRunning, device->run_marker, u"Output RN adapted to: (");
  }
}

}  // namespace comvorlix

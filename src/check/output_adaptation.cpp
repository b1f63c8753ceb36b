#include "check/output_adaptation.h"

#include <variant>
#include <vector>

#include "base/automation_error.h"
#include "base/debug_output.h"
#include "check/listing_extraction.h"
#include "devices/device_table.h"

namespace comvorlix {
namespace {

std::string Quoted(std::string_view s) { return "\"" + std::string(s) + "\""; }

// "CSCSW, ARUSW, ..." in the order the device table lists the kinds.
std::string KnownDeviceCodes() {
  std::string codes;
  for (const DeviceKind& kind : AllDeviceKinds()) {
    if (!codes.empty()) codes += ", ";
    codes += kind.code;
  }
  return codes;
}

// What a failure needs to name: the switch, how the session ended and
// what it said last (through `show`, which masks secrets).
struct FailureContext {
  std::string_view host;
  std::string_view session_output;
  std::string_view session_fault;
  const DebugShow& show;
};

[[noreturn]] void Fail(const FailureContext& c, const std::string& what) {
  std::string description = what + " (switch " + std::string(c.host);
  if (!c.session_fault.empty()) description += "; session ended: " + std::string(c.session_fault);
  description += "; last line from the switch: " + QuotedBytes(LastLineShown(c.session_output, c.show)) + ")";
  throw AutomationError(Status::kFail, description);
}

FoundListing Find(const FailureContext& c, const ListingShape& shape, size_t from) {
  auto result = FindListing(c.session_output, shape, from);
  if (auto* error = std::get_if<ListingError>(&result)) Fail(c, "no complete configuration listing: " + error->what);
  return std::get<FoundListing>(result);
}

}  // namespace

// The output's last lines are masked (in their sections), as many more as
// it takes to find a line that is not empty.
std::string LastLineShown(std::string_view out, const DebugShow& show, size_t max_bytes) {
  if (!show) return LastDeviceLine(out, max_bytes);
  size_t begin = out.size();
  for (size_t take = 4;; take *= 4) {
    for (size_t n = 0; n < take && begin > 0; ++n) {
      const size_t nl = begin >= 2 ? out.rfind('\n', begin - 2) : std::string_view::npos;
      begin = nl == std::string_view::npos ? 0 : nl + 1;
    }
    std::string line = LastDeviceLine(show(out.substr(begin)), max_bytes);
    if (!line.empty() || begin == 0) return line;
  }
}

std::string_view CutAtMarker(std::string_view buffer, std::string_view marker, std::string_view debug_prefix,
                             const DebugShow& show) {
  const size_t at = buffer.find(marker);
  if (at == std::string_view::npos) return buffer;
  buffer.remove_prefix(at + 1);
  if (DebugOutputEnabled()) {
    OutputDebugLine(std::string(debug_prefix) + std::to_string(buffer.size()) + ") " +
                    (show ? show(buffer) : std::string(buffer)));
  }
  return buffer;
}

AdaptedListings AdaptOutput(std::string_view host, const CheckSettings& settings, std::string_view session_output,
                            std::string_view session_fault, std::string_view marker_token, std::string_view unanswered,
                            const DebugShow& show) {
  const FailureContext context{host, session_output, session_fault, show};
  const std::string_view configuration = settings.configuration;
  if (!settings.known_kind) {
    Fail(context, "the device type " + Quoted(settings.device) + " is not one of " + KnownDeviceCodes() +
                      ", so no configuration was listed");
  }
  const DeviceKind& device = *settings.known_kind;
  if (!unanswered.empty()) Fail(context, std::string(unanswered));
  const bool compare = settings.compare();
  const std::string& first_command = FirstListing(device, configuration);
  if (first_command.empty()) {
    Fail(context, "the configuration kind " + Quoted(configuration) +
                      " is not one of RUN, START, COMPARE, so no configuration was listed");
  }
  const bool first_is_running = first_command == device.run_listing;
  std::string marker;
  if (!marker_token.empty()) {
    marker = device.marker;
    if (const size_t at = marker.find(kMarkerTokenSlot); at != std::string::npos) {
      marker.replace(at, kMarkerTokenSlot.size(), marker_token);
    }
  }
  const ListingShape first_shape{first_command, first_is_running ? device.run_marker : device.start_marker,
                                 device.end_line, device.endless_markers, marker};
  const FoundListing first = Find(context, first_shape, 0);
  FoundListing second;
  if (compare) {
    second = Find(context, ListingShape{device.run_listing, device.run_marker, device.end_line, device.endless_markers, marker},
                  first.end_offset);
  }
  // A listing followed by a session that the switch did not close itself
  // (it ran into a time-out or a limit) is not trusted either.
  if (!session_fault.empty()) Fail(context, "the session did not end normally");

  AdaptedListings out;
  if (!compare) {
    out.listing = first.text;
    // Kinds whose listings begin with a marker line (Aruba): the debug line
    // of earlier versions, which took the listing from there.
    if (!first_shape.first_marker.empty()) {
      CutAtMarker(first.text, first_shape.first_marker, "Output adapted to: (", show);
    }
  } else {
    out.first = first.text;
    out.running = second.text;
  }
  return out;
}

}  // namespace comvorlix

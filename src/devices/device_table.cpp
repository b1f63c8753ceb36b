#include "devices/device_table.h"

#include <algorithm>
#include <vector>

#include "devices/kind_registry.h"

namespace comvorlix {
namespace {

// Every registered kind, kept in sort_key order. Filled only during static
// initialisation (kind_registry.h), so the span and pointers handed out
// afterwards never move.
std::vector<DeviceKind>& Registry() {
  static std::vector<DeviceKind> kinds;
  return kinds;
}

}  // namespace

DeviceKindRegistrar::DeviceKindRegistrar(DeviceKind kind) {
  std::vector<DeviceKind>& kinds = Registry();
  const auto at = std::upper_bound(kinds.begin(), kinds.end(), kind.sort_key,
                                   [](int key, const DeviceKind& k) { return key < k.sort_key; });
  kinds.insert(at, std::move(kind));
}

std::span<const DeviceKind> AllDeviceKinds() { return Registry(); }

const DeviceKind* FindDeviceKind(TextView code) {
  for (const DeviceKind& d : Registry()) {
    if (d.code == code) return &d;
  }
  return nullptr;
}

const DeviceKind& OtherDeviceKind() {
  static const DeviceKind other{
      .code = u"",
      .sort_key = 0,
      .form_name = u"",
      .short_name = u"",
      .opening = {},
      .marker = u"",
      .run_listing = u"",
      .start_listing = u"",
      .other_listing = u"",
      .line_end = u"\r",
      .opening_threshold_offset = std::nullopt,
      .follow_up = {u"exit\r"},
      .follow_up_threshold = 30,
      .logout = kExitAndDecline,
      .run_marker = u"",
      .start_marker = u"",
      .end_line = u"",
      .endless_markers = {},
      .head_lines = {},
      .drifting_lines = {},
      .free_text_openers = {},
      .separator_lines = {},
      .secret_patterns = {},
  };
  return other;
}

Text FirstListing(const DeviceKind& device, TextView configuration) {
  if (configuration == u"RUN") return device.run_listing;
  // A comparison lists the startup configuration first, the running one in
  // the follow-up.
  if (configuration == u"START" || configuration == u"COMPARE") return device.start_listing;
  return device.other_listing;
}

}  // namespace comvorlix

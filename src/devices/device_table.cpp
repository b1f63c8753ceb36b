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

const DeviceKind* FindDeviceKind(std::string_view code) {
  for (const DeviceKind& d : Registry()) {
    if (d.code == code) return &d;
  }
  return nullptr;
}

const DeviceKind& OtherDeviceKind() {
  static const DeviceKind other{};
  return other;
}

const std::string& FirstListing(const DeviceKind& device, std::string_view configuration) {
  if (configuration == "RUN") return device.run_listing;
  // A comparison lists the startup configuration first, the running one in
  // the follow-up.
  if (configuration == "START" || configuration == "COMPARE") return device.start_listing;
  return device.other_listing;
}

}  // namespace comvorlix

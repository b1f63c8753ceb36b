#include "devices/device_table.h"

#include <array>

namespace comvorlix {
namespace {

// Declines the question whether to save the running configuration that an
// Aruba/ProCurve switch asks after "Do you want to log out [y/n]?" when the
// configuration is unsaved.
constexpr char16_t kExitAndDecline[] = u"exit\rexit\ry\rn\r";

const std::array<DeviceKind, 4>& Devices() {
  static const std::array<DeviceKind, 4> devices = {
      DeviceKind{
          .code = u"CSCSW",
          .opening = {u"en\r", Text(kEnablePasswordSlot) + u"\r", u"terminal length 0 \r"},
          .run_listing = u"show running-config",
          .start_listing = u"show startup-config",
          .other_listing = u"",
          .line_end = u"\r",
          .opening_threshold_offset = std::nullopt,
          .follow_up = {u"exit\r"},
          .follow_up_threshold = 30,
          .logout = kExitAndDecline,
          .run_marker = u"",
          .start_marker = u"",
          .end_line = u"end",
          .metadata_prefixes = {u"Building configuration...", u"Current configuration :", u"Using ",
                                u"! Last configuration change at", u"! NVRAM config last updated at",
                                u"! No configuration change since last restart"},
          .separator_lines = {u"!"},
      },
      DeviceKind{
          .code = u"ARUSW",
          .opening = {u"\r", u"terminal length 1000 \r"},
          .run_listing = u"show running",
          .start_listing = u"show config",
          .other_listing = u"",
          .line_end = u"\r",
          .opening_threshold_offset = std::nullopt,
          .follow_up = {kExitAndDecline},
          .follow_up_threshold = 30,
          .logout = kExitAndDecline,
          .run_marker = u"Running configuration:",
          .start_marker = u"Startup configuration:",
          .end_line = u"",
          .metadata_prefixes = {u"Running configuration:", u"Startup configuration:"},
          .separator_lines = {},
      },
      DeviceKind{
          .code = u"HP1920SW",
          // The lines after "_cmdline-mode on" answer its confirmation and
          // password questions ahead of time.
          .opening = {u"_cmdline-mode on\r\n", u"Y\r\n", Text(kEnablePasswordSlot) + u"\r\n\r\n",
                      u"screen-length disable \r"},
          .run_listing = u"display current-configuration ",
          .start_listing = u"display saved-configuration ",
          .other_listing = u"display current-configuration ",
          .line_end = u"\r",
          .opening_threshold_offset = 30,
          .follow_up = {},
          .follow_up_threshold = 30,
          .logout = u"quit\r",
          .run_marker = u"",
          .start_marker = u"",
          .end_line = u"return",
          .metadata_prefixes = {},
          .separator_lines = {u"#"},
      },
      DeviceKind{
          .code = u"HP2510SW",
          .opening = {u"\r", u"screen-length 1000 \r"},
          .run_listing = u"display current-configuration ",
          .start_listing = u"display saved-configuration ",
          .other_listing = u"display current-configuration ",
          .line_end = u"\r",
          .opening_threshold_offset = 30,
          .follow_up = {},
          .follow_up_threshold = std::nullopt,
          .logout = u"quit\r",
          .run_marker = u"",
          .start_marker = u"",
          .end_line = u"return",
          .metadata_prefixes = {},
          .separator_lines = {u"#"},
      },
  };
  return devices;
}

}  // namespace

std::span<const DeviceKind> AllDeviceKinds() { return Devices(); }

const DeviceKind* FindDeviceKind(TextView code) {
  for (const DeviceKind& d : Devices()) {
    if (d.code == code) return &d;
  }
  return nullptr;
}

const DeviceKind& OtherDeviceKind() {
  static const DeviceKind other{
      .code = u"",
      .opening = {},
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
      .metadata_prefixes = {},
      .separator_lines = {},
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

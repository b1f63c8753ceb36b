// Cisco IOS switches: privileged mode with "en" and the enable password,
// paging off with "terminal length 0", listings end with "end".
#include "devices/kind_registry.h"

namespace comvorlix {
namespace {

const DeviceKindRegistrar registrar(DeviceKind{
    .code = u"CSCSW",
    .sort_key = 10,
    .form_name = u"Cisco switch",
    .short_name = u"Cisco",
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
});

}  // namespace
}  // namespace comvorlix

// Cisco IOS switches: privileged mode with "en" and, only when the switch
// asks for it, the enable password (a user with privilege 15 is privileged
// already and is asked nothing); paging off with "terminal length 0",
// listings end with "end". The marker is a read-only command whose output
// the filter drops: IOS takes an unknown word for a host to connect to.
#include "devices/kind_registry.h"

namespace comvorlix {
namespace {

const DeviceKindRegistrar registrar(DeviceKind{
    .code = u"CSCSW",
    .sort_key = 10,
    .form_name = u"Cisco switch",
    .short_name = u"Cisco",
    .opening = {{.send = u"en\r", .questions = {u"password:"}, .asks_for = u"the enable password"},
                {.send = Text(kEnablePasswordSlot) + u"\r",
                 .questions = {u"password:"},
                 .asks_for = u"the enable password",
                 .answers_question = true},
                TypedAhead(u"terminal length 0 \r")},
    .marker = Text(u"show clock | include ") + kMarkerTokenSlot,
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
    .endless_markers = {},
    // The listing's size and when it was changed or saved, as IOS writes
    // them ("Using 741 out of 524288 bytes, uncompressed size = 1131 bytes",
    // "! Last configuration change at 09:37:40 CEST Tue Aug 20 2024 by admin").
    .head_lines = {uR"(Building configuration\.\.\.)", uR"(Current configuration : \d+ bytes)",
                   uR"(Using \d+ out of \d+ bytes(, uncompressed size = \d+ bytes)?)",
                   uR"(! Last configuration change at \*?[0-9:.]+ \S+ \S+ \S+ +\d+ \d+( by \S+)?)",
                   uR"(! NVRAM config last updated at \*?[0-9:.]+ \S+ \S+ \S+ +\d+ \d+( by \S+)?)",
                   uR"(! No configuration change since last restart)"},
    // Old IOS rewrites the clock's drift on its own.
    .drifting_lines = {uR"(ntp clock-period \d+)"},
    // "banner motd ^C" ... "^C": IOS shows every banner's delimiter as ^C.
    .free_text_openers = {uR"(banner [a-z-]+ (\^C)(.*))"},
    .separator_lines = {u"!"},
    .secret_patterns = {u"enable secret|password", u"username ... secret|password", u"snmp-server community",
                        u"key-string", u"tacacs-server key", u"radius-server key", u"crypto isakmp key",
                        u"pre-shared-key"},
});

}  // namespace
}  // namespace comvorlix

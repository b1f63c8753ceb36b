// HP 2530 switches (like J9777A), spoken to with "display" commands.
// Listings come in two forms: the switch's own ("Running configuration:" or
// "Startup configuration:", an empty line, ";" comments, ProCurve-style
// statements, ending at the prompt) and the Comware one, ending with
// "return". Stored strings know the kind by its older code HP2510SW.
#include "devices/kind_registry.h"

namespace comvorlix {
namespace {

const DeviceKindRegistrar registrar(DeviceKind{
    .code = u"HP2510SW",
    .sort_key = 40,
    .form_name = u"HP 2530 switch (like J9777A)",
    .short_name = u"HP 2530",
    .opening = {TypedAhead(u"\r"), TypedAhead(u"screen-length 1000 \r")},
    .marker = Text(u"mark-") + kMarkerTokenSlot,
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
    .endless_markers = {u"Running configuration:", u"Startup configuration:"},
    // The native form's name and comment lines (the model, the editor's
    // release); the Comware form has none.
    .head_lines = {uR"(Running configuration:)", uR"(Startup configuration:( \d+)?)",
                   uR"(; \S+ Configuration Editor; Created on release #\S+)", uR"(; Ver #[0-9A-Fa-f:.]+)"},
    .drifting_lines = {},
    // Banners of both forms: ProCurve "banner motd "...", Comware " header motd %...".
    .free_text_openers = {uR"(banner [a-z-]+ (")(.*))", uR"( ?header [a-z-]+ (\S)(.*))"},
    .separator_lines = {u"#"},
    // Both forms: ProCurve statements and Comware ones.
    .secret_patterns = {u"password manager|operator", u"snmp-server community", u"radius-server key",
                        u"tacacs-server key", u"password cipher|simple|hash", u"snmp-agent community",
                        u"key cipher|simple", u"local-user ... password"},
});

}  // namespace
}  // namespace comvorlix

// Aruba/ProCurve switches (like J9019A): a key press past the banner, paging
// set long, listings start with a line naming them and end at the prompt;
// logging out may ask whether to save, which is declined.
#include "devices/kind_registry.h"

namespace comvorlix {
namespace {

const DeviceKindRegistrar registrar(DeviceKind{
    .code = u"ARUSW",
    .sort_key = 20,
    .form_name = u"Aruba switch (like J9019A)",
    .short_name = u"Aruba/ProCurve",
    .opening = {TypedAhead(u"\r"), TypedAhead(u"terminal length 1000 \r")},
    .marker = Text(u"mark-") + kMarkerTokenSlot,
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
    .endless_markers = {},
    // The listing's name and the editor's comments: the model and release,
    // "; Ver #..." (not on older firmware).
    .head_lines = {uR"(Running configuration:)", uR"(Startup configuration:( \d+)?)",
                   uR"(; \S+ Configuration Editor; Created on release #\S+)", uR"(; Ver #[0-9A-Fa-f:.]+)"},
    .drifting_lines = {},
    .free_text_openers = {uR"(banner [a-z-]+ (")(.*))"},
    .separator_lines = {},
    .secret_patterns = {u"password manager|operator", u"snmp-server community", u"radius-server key",
                        u"tacacs-server key"},
});

}  // namespace
}  // namespace comvorlix

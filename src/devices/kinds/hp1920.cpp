// HP 1920 switches (like JG920A): the hidden command set is unlocked with
// "_cmdline-mode on" and the enable password, listings end with "return".
#include "devices/kind_registry.h"

namespace comvorlix {
namespace {

const DeviceKindRegistrar registrar(DeviceKind{
    .code = u"HP1920SW",
    .sort_key = 30,
    .form_name = u"HP 1920 switch (like JG920A)",
    .short_name = u"HP 1920",
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
});

}  // namespace
}  // namespace comvorlix

// Aruba/ProCurve switches (like J9019A): a key press past the banner, paging
// set long, listings start with a line naming them and end at the prompt;
// logging out may ask whether to save, which is declined.
#include "devices/kind_registry.h"

namespace comvorlix {
namespace {

// What is masked of a listing (redact/secret_mask.h).
const std::vector<SecretRule> kSecrets = {
    // Manager, operator and port-access passwords (plaintext, sha1 or
    // encrypted), and a password or secret after the first word (local
    // users, 802.1X supplicants ...).
    {R"(^ *(?:encrypted-)?password (?:manager|operator|port-access|all) (.*))"},
    {R"(^ *\S+(?: \S+)*? (?:encrypted-)?(?:password|secret) (.*))"},
    // SNMP communities, also those of trap hosts, and SNMPv3 keys.
    {R"(^ *snmp-server community (.*))"},
    {R"(^ *snmp-server host \S+ (?:community )?(.*))"},
    {R"(^ *snmpv3 (?:\S+ )*?auth (?:(?:md5|sha) )?(.*))"},
    {R"(^ *snmpv3 community (.*))"},
    // RADIUS and TACACS+ keys, global and per host; 802.1X keys.
    {R"(^ *(?:radius|tacacs)-server (?:\S+ )*?(?:encrypted-)?key (.*))"},
    {R"(^ *aaa port-access (?:\S+ )*?(?:encrypted-)?(?:secret|key) (.*))"},
    // NTP/SNTP keys, key chains, OSPF and RIP keys.
    {R"(^ *s?ntp authentication (?:\S+ )*?(?:encrypted-)?key-value (.*))"},
    {R"((?:^| )(?:encrypted-)?(?:key-string|authentication-key) (.*))"},
};

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
    .secret_patterns = kSecrets,
});

}  // namespace
}  // namespace comvorlix

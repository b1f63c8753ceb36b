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
    .code = "ARUSW",
    .sort_key = 20,
    .form_name = "Aruba switch (like J9019A)",
    .short_name = "Aruba/ProCurve",
    .opening = {TypedAhead("\r"), TypedAhead("terminal length 1000 \r")},
    .marker = "mark-" + std::string(kMarkerTokenSlot),
    .run_listing = "show running",
    .start_listing = "show config",
    .follow_up = {std::string(kExitAndDecline)},
    .run_marker = "Running configuration:",
    .start_marker = "Startup configuration:",
    // The listing's name and the editor's comments: the model and release,
    // "; Ver #..." (not on older firmware).
    .head_lines = {R"(Running configuration:)", R"(Startup configuration:( \d+)?)",
                   R"(; \S+ Configuration Editor; Created on release #\S+)", R"(; Ver #[0-9A-Fa-f:.]+)"},
    .free_text_openers = {R"(banner [a-z-]+ (")(.*))"},
    .secret_patterns = kSecrets,
});

}  // namespace
}  // namespace comvorlix

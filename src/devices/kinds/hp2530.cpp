// HP 2530 switches (like J9777A), spoken to with "display" commands.
// Listings come in two forms: the switch's own ("Running configuration:" or
// "Startup configuration:", an empty line, ";" comments, ProCurve-style
// statements, ending at the prompt) and the Comware one, ending with
// "return". Stored strings know the kind by its older code HP2510SW.
#include "devices/kind_registry.h"

namespace comvorlix {
namespace {

// What is masked of a listing (redact/secret_mask.h).
const std::vector<SecretRule> kSecrets = {
    // The switch's own form: ProCurve statements.
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
    // The Comware form.
    // Every password or key given with the form it is kept in: super
    // passwords, local users, user interfaces, RADIUS/HWTACACS keys, SNMP,
    // NTP, OSPF, RIP, IS-IS, VRRP, BGP, IKE ...
    {R"((?:^| )(?:cipher|simple|hash|plain) (.*))"},
    {R"((?:^| )password (?:(?:manager|operator|port-access|all) )?(.*))"},
    {R"(^ *snmp-agent community (?:(?:read|write) )?(?:(?:simple|cipher) )?(.*))"},
    {R"(^ *snmp-agent usm-user (?:\S+ )*?authentication-mode (?:(?:md5|sha) )?(.*))"},
    // A trap host's security name is the community of SNMPv1 and v2c.
    {R"(^ *snmp-agent target-host (?:\S+ )*?securityname (.*))"},
    {.line = R"(^ +key (?:(?:authentication|accounting|authorization) )?(.*))",
     .section = R"(^(?:radius|hwtacacs) scheme )"},
    {R"(^ *s?ntp(?:-service)? authentication-keyid \S+ authentication-mode (?:\S+ )?(.*))"},
    {R"((?:^| )(?:ospf |rip |isis |vrrp vrid \S+ |area-|domain-)authentication-mode (.*))"},
    {R"((?:^| )pre-?shared-key (.*))"},
};

const DeviceKindRegistrar registrar(DeviceKind{
    .code = "HP2510SW",
    .sort_key = 40,
    .form_name = "HP 2530 switch (like J9777A)",
    .short_name = "HP 2530",
    .opening = {TypedAhead("\r"), TypedAhead("screen-length 1000 \r")},
    .marker = "mark-" + std::string(kMarkerTokenSlot),
    .run_listing = "display current-configuration ",
    .start_listing = "display saved-configuration ",
    .other_listing = "display current-configuration ",
    .opening_threshold_offset = 30,
    .follow_up = {},
    .follow_up_threshold = std::nullopt,
    .logout = "quit\r",
    .end_line = "return",
    .endless_markers = {"Running configuration:", "Startup configuration:"},
    // The native form's name and comment lines (the model, the editor's
    // release); the Comware form has none.
    .head_lines = {R"(Running configuration:)", R"(Startup configuration:( \d+)?)",
                   R"(; \S+ Configuration Editor; Created on release #\S+)", R"(; Ver #[0-9A-Fa-f:.]+)"},
    // Banners of both forms: ProCurve "banner motd "...", Comware " header motd %...".
    .free_text_openers = {R"(banner [a-z-]+ (")(.*))", R"( ?header [a-z-]+ (\S)(.*))"},
    .separator_lines = {"#"},
    // Both forms: ProCurve statements and Comware ones.
    .secret_patterns = kSecrets,
});

}  // namespace
}  // namespace comvorlix

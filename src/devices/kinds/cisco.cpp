// Cisco IOS switches: privileged mode with "en" and, only when the switch
// asks for it, the enable password (a user with privilege 15 is privileged
// already and is asked nothing); paging off with "terminal length 0",
// listings end with "end". The marker is a read-only command whose output
// the filter drops: IOS takes an unknown word for a host to connect to.
#include "devices/kind_registry.h"

namespace comvorlix {
namespace {

// What is masked of a listing (redact/secret_mask.h).
const std::vector<SecretRule> kSecrets = {
    // Every password and secret, of any type (0, 5, 7, 8, 9, sha256,
    // scrypt ...): enable, username, line and console, PPP CHAP/PAP, FTP and
    // HTTP clients, BGP and LDP neighbours, IS-IS, LDAP binds, VPDN ...
    {R"((?:^| )(?:password|secret) (.*))"},
    {R"((?:^| )(?:area|domain)-password (.*))"},
    // SNMP communities, also those of trap and inform hosts, and SNMPv3 keys.
    {R"(^ *snmp-server community (.*))"},
    {R"(^ *snmp-server host \S+(?: vrf \S+)?(?: informs| traps)?(?: version (?:1|2c|3 (?:auth|noauth|priv)))? (.*))"},
    {R"(^ *snmp-server user (?:\S+ )*?auth (.*))"},
    {R"(^ *snmp mib community-map (.*))"},
    // RADIUS and TACACS+ keys: global, per host, in server blocks and groups.
    {R"(^ *(?:radius|tacacs)-server (?:\S+ )*?key (.*))"},
    {.line = R"(^ +(?:pac )?key (.*))", .section = R"(^(?:radius|tacacs) server )"},
    {R"(^ *server-private (?:\S+ )*?key (.*))"},
    {R"((?:^| )server-key (.*))"},
    // NTP keys, key chains, HSRP/VRRP/GLBP, OSPF (also OSPFv3 IPsec), NHRP.
    {R"(^ *ntp authentication-key \S+ (?:\S+ )?(.*))"},
    {R"((?:^| )key-string (.*))"},
    {R"(^ *(?:standby|vrrp|glbp)(?: \S+)? authentication (.*))"},
    {R"((?:^| )authentication-key (.*))"},
    {R"((?:^| )message-digest-key \S+ (.*))"},
    {R"((?:^| )(?:authentication|encryption) ipsec spi \S+ (.*))"},
    {R"((?:^| )nhrp authentication (.*))"},
    // IKE/IPsec pre-shared keys, Easy VPN group keys.
    {R"(^ *crypto isakmp key (.*))"},
    {R"((?:^| )pre-shared-key (.*))"},
    {R"((?:^| )pre-share key (.*))"},
    {.line = R"(^ +key (.*))", .section = R"(^crypto isakmp client configuration group )"},
    // WPA pre-shared keys and WEP keys.
    {R"((?:^| )wpa-psk (.*))"},
    {R"((?:^| )encryption (?:\S+ )*?key (.*))"},
    // The password of a URL (archive paths, call-home, trustpoint enrolment).
    {R"(://[^/@: ]*:([^@ ]*)@)"},
};

const DeviceKindRegistrar registrar(DeviceKind{
    .code = "CSCSW",
    .sort_key = 10,
    .form_name = "Cisco switch",
    .short_name = "Cisco",
    .opening = {{.send = "en\r", .questions = {"password:"}, .asks_for = "the enable password"},
                {.send = std::string(kEnablePasswordSlot) + "\r",
                 .questions = {"password:"},
                 .asks_for = "the enable password",
                 .answers_question = true},
                TypedAhead("terminal length 0 \r")},
    .marker = "show clock | include " + std::string(kMarkerTokenSlot),
    .run_listing = "show running-config",
    .start_listing = "show startup-config",
    .end_line = "end",
    // The listing's size and when it was changed or saved, as IOS writes
    // them ("Using 741 out of 524288 bytes, uncompressed size = 1131 bytes",
    // "! Last configuration change at 09:37:40 CEST Tue Aug 20 2024 by admin").
    .head_lines = {R"(Building configuration\.\.\.)", R"(Current configuration : \d+ bytes)",
                   R"(Using \d+ out of \d+ bytes(, uncompressed size = \d+ bytes)?)",
                   R"(! Last configuration change at \*?[0-9:.]+ \S+ \S+ \S+ +\d+ \d+( by \S+)?)",
                   R"(! NVRAM config last updated at \*?[0-9:.]+ \S+ \S+ \S+ +\d+ \d+( by \S+)?)",
                   R"(! No configuration change since last restart)"},
    // Old IOS rewrites the clock's drift on its own.
    .drifting_lines = {R"(ntp clock-period \d+)"},
    // "banner motd ^C" ... "^C": IOS shows every banner's delimiter as ^C.
    .free_text_openers = {R"(banner [a-z-]+ (\^C)(.*))"},
    .separator_lines = {"!"},
    .secret_patterns = kSecrets,
});

}  // namespace
}  // namespace comvorlix

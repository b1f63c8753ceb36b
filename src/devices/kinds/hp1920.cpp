// HP 1920 switches (like JG920A): the hidden command set is unlocked with
// "_cmdline-mode on", "Y" to its confirmation and the enable password to its
// password question, each typed only when asked; listings end with
// "return". An unknown word as marker is answered with an error.
#include "devices/kind_registry.h"

namespace comvorlix {
namespace {

// What is masked of a listing (redact/secret_mask.h).
const std::vector<SecretRule> kSecrets = {
    // Every password or key given with the form it is kept in: super
    // passwords, local users, user interfaces, RADIUS/HWTACACS keys, SNMP,
    // NTP, OSPF, RIP, IS-IS, VRRP, BGP, IKE ...
    {R"((?:^| )(?:cipher|simple|hash|plain) (.*))"},
    {R"((?:^| )password (.*))"},
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
    .code = "HP1920SW",
    .sort_key = 30,
    .form_name = "HP 1920 switch (like JG920A)",
    .short_name = "HP 1920",
    .opening = {{.send = "_cmdline-mode on\r\n", .questions = {"[y/n]"}, .asks_for = "a confirmation"},
                {.send = "Y\r\n",
                 .questions = {"password:"},
                 .asks_for = "the _cmdline-mode password",
                 .answers_question = true},
                {.send = std::string(kEnablePasswordSlot) + "\r\n\r\n",
                 .questions = {"password:"},
                 .asks_for = "the _cmdline-mode password",
                 .answers_question = true},
                TypedAhead("screen-length disable \r")},
    .marker = "mark-" + std::string(kMarkerTokenSlot),
    .run_listing = "display current-configuration ",
    .start_listing = "display saved-configuration ",
    .other_listing = "display current-configuration ",
    .opening_threshold_offset = 30,
    .follow_up = {},
    .logout = "quit\r",
    .end_line = "return",
    .free_text_openers = {R"( ?header [a-z-]+ (\S)(.*))"},
    .separator_lines = {"#"},
    .secret_patterns = kSecrets,
});

}  // namespace
}  // namespace comvorlix

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
    .code = u"HP1920SW",
    .sort_key = 30,
    .form_name = u"HP 1920 switch (like JG920A)",
    .short_name = u"HP 1920",
    .opening = {{.send = u"_cmdline-mode on\r\n", .questions = {u"[y/n]"}, .asks_for = u"a confirmation"},
                {.send = u"Y\r\n",
                 .questions = {u"password:"},
                 .asks_for = u"the _cmdline-mode password",
                 .answers_question = true},
                {.send = Text(kEnablePasswordSlot) + u"\r\n\r\n",
                 .questions = {u"password:"},
                 .asks_for = u"the _cmdline-mode password",
                 .answers_question = true},
                TypedAhead(u"screen-length disable \r")},
    .marker = Text(u"mark-") + kMarkerTokenSlot,
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
    .endless_markers = {},
    .head_lines = {},
    .drifting_lines = {},
    .free_text_openers = {uR"( ?header [a-z-]+ (\S)(.*))"},
    .separator_lines = {u"#"},
    .secret_patterns = kSecrets,
});

}  // namespace
}  // namespace comvorlix

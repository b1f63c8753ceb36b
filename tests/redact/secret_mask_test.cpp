#include "redact/secret_mask.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace comvorlix {
namespace {

SecretMask Make(std::vector<SecretPattern> patterns) { return SecretMask(patterns); }

// --- One line ------------------------------------------------------------------

TEST(SecretMask, EveryCaptureBecomesASecretAndTheRestStaysByteForByte) {
  const SecretMask mask = Make({{R"(^ *enable (?:\S+ )*?(?:secret|password) (.*))"},
                                {R"(^ *snmp-server community (.*))"},
                                {R"(^ *snmpv3 user \S+ auth (?:md5|sha) (\S+) priv (?:des|aes) (\S+))"},
                                {R"(://[^/@: ]*:([^@ ]*)@)"}});
  EXPECT_EQ(mask.Mask("enable secret 5 $1$abc"), "enable secret <secret>");
  EXPECT_EQ(mask.Mask("enable algorithm-type scrypt secret 9 $9$x"), "enable algorithm-type scrypt secret <secret>");
  // A quoted secret with blanks in it, and whatever follows it, go as well.
  EXPECT_EQ(mask.Mask("  snmp-server community \"my secret\" ro 10"), "  snmp-server community <secret>");
  // Captures in the middle: the text between and after them stays.
  EXPECT_EQ(mask.Mask("snmpv3 user ops auth sha Ab1 priv aes Cd2 x"),
            "snmpv3 user ops auth sha <secret> priv aes <secret> x");
  EXPECT_EQ(mask.Mask(" path ftp://backup:Pw@1.2.3.4/$h ftp://x:y@z"), " path ftp://backup:<secret>@1.2.3.4/$h ftp://x:<secret>@z");
  EXPECT_EQ(mask.Mask("hostname core-1"), "hostname core-1");
  EXPECT_EQ(mask.Mask("snmp-server community-list 5 x"), "snmp-server community-list 5 x");
  // Nothing after the keyword: nothing to hide.
  EXPECT_EQ(mask.Mask("enable secret   \r\n"), "enable secret   \r\n");
  EXPECT_EQ(mask.Mask(""), "");
}

TEST(SecretMask, CapturesOfSeveralPatternsAreUnitedAndEmptyOnesIgnored) {
  const SecretMask mask = Make({{R"((?:^| )password (.*))"},
                                {R"(^ *username \S+ (?:\S+ )*?(?:secret|password) (.*))"},
                                {R"(^ *key(?: (\d+))?(x?))"}});
  // The earlier capture swallows the later one: one secret.
  EXPECT_EQ(mask.Mask("username admin password 0 pw secret 5 s"), "username admin password <secret>");
  // An optional group that takes no part, and an empty capture, hide nothing.
  EXPECT_EQ(mask.Mask("key"), "key");
  EXPECT_EQ(mask.Mask("key 12"), "key <secret>");
}

TEST(SecretMask, SeesBytesInLatin1AndCaseOnlyWhenAsked) {
  const SecretMask mask = Make({{R"((?i)^ *ENABLE SECRET (.*))"}, {R"(^ *key-string (.*))"}, {R"(^ *k\xE9y (.))"}});
  EXPECT_EQ(mask.Mask("Enable Secret 0 Hunter2"), "Enable Secret <secret>");
  EXPECT_EQ(mask.Mask("KEY-STRING 0 x"), "KEY-STRING 0 x");
  // Any bytes in a secret: NUL, bytes over 0x7F, no valid UTF-8.
  const std::string bytes("key-string \xff\x00\xc3(\x80 z", 18);
  EXPECT_EQ(mask.Mask(bytes), "key-string <secret>");
  EXPECT_EQ(mask.Mask("k\xe9y \xe9"), "k\xe9y <secret>");
}

// --- Lines of a text -------------------------------------------------------------

TEST(SecretMask, KeepsLineEndsAndTakesACarriageReturnForOne) {
  const SecretMask mask = Make({{R"(^ *(?:tacacs|radius)-server key (.*))"}});
  EXPECT_EQ(mask.Mask("tacacs-server key 7 abc \t\r\n"), "tacacs-server key <secret> \t\r\n");
  EXPECT_EQ(mask.Mask("tacacs-server key abc\r"), "tacacs-server key <secret>\r");
  // A carriage return in the middle of a line starts a line the pattern sees.
  EXPECT_EQ(mask.MaskLines("!\ntacacs-server key aaa\r\nx\rradius-server key bbb\rradius-server key ccc"),
            "!\ntacacs-server key <secret>\r\nx\rradius-server key <secret>\rradius-server key <secret>");
  EXPECT_EQ(mask.MaskLines("junk\rtacacs-server key aaa\n"), "junk\rtacacs-server key <secret>\n");
  EXPECT_EQ(mask.MaskLines(""), "");
}

// --- Sections --------------------------------------------------------------------

const std::vector<SecretPattern> kSections = {
    {.line = R"(^ +key (.*))", .section = R"(^radius server )"},
    {.line = R"(^ +key (?:authentication|accounting) (.*))", .section = R"(^(?:radius|hwtacacs) scheme )"}};

TEST(SecretMask, ASectionSecretIsMaskedOnEveryLineOfItsShapeInThatSectionOnly) {
  const SecretMask mask(kSections);
  EXPECT_EQ(mask.MaskLines("radius server RAD1\n address ipv4 10.0.0.1\n key 7 0822455D\n\n key 0 two\n"
                           "key chain KC1\n key 1\n  key-string 7 x\n key 2\n"),
            "radius server RAD1\n address ipv4 10.0.0.1\n key <secret>\n\n key <secret>\n"
            "key chain KC1\n key 1\n  key-string 7 x\n key 2\n");
  // Deeper lines belong to the nearest line above indented less than they.
  EXPECT_EQ(mask.MaskLines("radius server R\n pac\n  key x\n key y\n"), "radius server R\n pac\n  key x\n key <secret>\n");
  // Comware: "#" at the left margin ends the section.
  EXPECT_EQ(mask.MaskLines("#\nradius scheme system\n key authentication cipher $c$3$a\n#\n key accounting b\n"),
            "#\nradius scheme system\n key authentication <secret>\n#\n key accounting b\n");
  // A line with no section above it is in none.
  EXPECT_EQ(mask.MaskLines(" key 7 x\n"), " key 7 x\n");
}

TEST(SecretMask, APartIsMaskedInItsSectionOrAsIfInAnyWhenTheTextAboveIsUnknown) {
  const SecretMask mask(kSections);
  const std::string text = "radius server R\n key 7 a\n address ipv4 1.2.3.4\r\n key b\nhostname x\n key c\n";
  const std::string whole = mask.MaskLines(text);
  for (size_t at = 0; at < text.size(); at = text.find('\n', at) + 1) {
    const std::string part = mask.MaskPart(text, std::string_view(text).substr(at));
    EXPECT_EQ(part, whole.substr(whole.size() - part.size())) << "from " << at;
    if (text.find('\n', at) == std::string::npos) break;
  }
  EXPECT_EQ(mask.MaskPart(text, std::string_view(text).substr(0, 0)), "");
  // Outside the text: each line without a section in the part may be in any.
  EXPECT_EQ(mask.MaskPart(text, std::string(" key 7 a\nkey chain K\n key 1\n")), " key <secret>\nkey chain K\n key 1\n");
  EXPECT_EQ(mask.Mask(" key 7 a"), " key <secret>");
}

// --- Hostile input -----------------------------------------------------------------

TEST(SecretMask, LongLinesAndPatternsThatOutgrowTheAutomatonBudget) {
  // An automaton with far more states than its memory budget holds, on a
  // long line of random "a" and "b": slower, but the same result.
  const SecretMask mask = Make({{R"([ab]*a[ab]{18}(c+))"}, {R"(^ *snmp-server community (.*))"}});
  std::string line;
  uint32_t x = 12345;
  for (int i = 0; i < 50000; ++i) line += ((x = x * 1103515245u + 12345u) >> 16 & 1) ? 'a' : 'b';
  EXPECT_EQ(mask.Mask(line + "ccc"), line + "<secret>");
  EXPECT_EQ(mask.Mask("snmp-server community " + line), "snmp-server community <secret>");
  EXPECT_EQ(mask.Mask(line), line);
}

TEST(SecretMask, RefusesInvalidPatternsNamingThem) {
  const std::vector<std::vector<SecretPattern>> bad = {
      {{""}}, {{"(unclosed (.*)"}}, {{"no capture"}}, {{"caf\xc3\xa9 (.*)"}}, {{"ok (.*)", "bad("}}};
  for (const auto& patterns : bad) {
    const std::string& named = patterns[0].section.empty() ? patterns[0].line : patterns[0].section;
    try {
      Make(patterns);
      ADD_FAILURE() << "accepted '" << named << "'";
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find("'" + named + "'"), std::string::npos) << e.what();
    }
  }
}

}  // namespace
}  // namespace comvorlix

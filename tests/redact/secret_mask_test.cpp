#include "redact/secret_mask.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace comvorlix {
namespace {

SecretMask Make(std::vector<std::string> patterns) { return SecretMask(patterns); }

// --- Statements of each family of switches -----------------------------------

TEST(SecretMask, HidesEverythingAfterTheKeyword) {
  const SecretMask mask = Make({"enable secret|password", "username ... secret|password",
                                "snmp-server community", "key-string", "crypto isakmp key"});
  EXPECT_EQ(mask.Mask("enable secret 5 $1$abc"), "enable secret <secret>");
  EXPECT_EQ(mask.Mask("enable password level 15 7 0822455D"), "enable password <secret>");
  EXPECT_EQ(mask.Mask(" username admin privilege 15 secret 9 $9$x"),
            " username admin privilege 15 secret <secret>");
  EXPECT_EQ(mask.Mask("snmp-server community \"my secret\" ro"), "snmp-server community <secret>");
  EXPECT_EQ(mask.Mask("  key-string 7 0822455D0A16"), "  key-string <secret>");
  // Indentation and the blanks between the keywords stay byte for byte.
  EXPECT_EQ(mask.Mask("\t crypto  isakmp\tkey s3cr3t address 0.0.0.0"),
            "\t crypto  isakmp\tkey <secret>");

  const SecretMask procurve = Make({"password manager|operator", "snmp-server community"});
  EXPECT_EQ(procurve.Mask("password manager user-name \"admin\" sha1 \"ab12\""),
            "password manager <secret>");
  EXPECT_EQ(procurve.Mask("snmp-server community \"public\" unrestricted"),
            "snmp-server community <secret>");

  const SecretMask comware =
      Make({"password cipher|simple|hash", "local-user ... password", "snmp-agent community"});
  EXPECT_EQ(comware.Mask(" password hash $h$6$Qx=="), " password hash <secret>");
  EXPECT_EQ(comware.Mask("local-user admin class manage password simple admin123"),
            "local-user admin class manage password <secret>");
  EXPECT_EQ(comware.Mask("snmp-agent community read private mib-view all"),
            "snmp-agent community <secret>");
}

TEST(SecretMask, MatchesWholeTokensWithoutRegardToCase) {
  const SecretMask mask = Make({"enable secret|password", "snmp-server community"});
  EXPECT_EQ(mask.Mask("ENABLE Secret 0 Hunter2"), "ENABLE Secret <secret>");
  EXPECT_EQ(mask.Mask("hostname core-1"), "hostname core-1");
  EXPECT_EQ(mask.Mask("snmp-server community-list 5 x"), "snmp-server community-list 5 x");
  EXPECT_EQ(mask.Mask("enable"), "enable");
  // A keyword with nothing after it has nothing to hide.
  EXPECT_EQ(mask.Mask("no enable password  \r\n"), "no enable password  \r\n");
  EXPECT_EQ(mask.Mask(""), "");
}

TEST(SecretMask, FirstMatchFromTheLeftWins) {
  const SecretMask mask = Make({"username ... secret|password", "privilege"});
  EXPECT_EQ(mask.Mask("username admin password 0 pw secret 5 s"),
            "username admin password <secret>");
  // The shorter match ends first, whatever the order of the patterns.
  EXPECT_EQ(mask.Mask("username admin privilege 15 secret 5 s"),
            "username admin privilege <secret>");
  // "..." takes no token as well as many.
  EXPECT_EQ(mask.Mask("username secret x"), "username secret <secret>");
  EXPECT_EQ(mask.Mask("secret username x"), "secret username x");
}

// --- Line ends and texts -------------------------------------------------------

TEST(SecretMask, KeepsLineEndsAndMasksEveryLineOfAText) {
  const SecretMask mask = Make({"tacacs-server key", "radius-server key"});
  EXPECT_EQ(mask.Mask("tacacs-server key 7 abc\r\n"), "tacacs-server key <secret>\r\n");
  EXPECT_EQ(mask.Mask("tacacs-server key abc\r"), "tacacs-server key <secret>\r");
  EXPECT_EQ(
      mask.MaskLines("!\ntacacs-server key aaa\r\nx\rradius-server key bbb\rradius-server key ccc"),
      "!\ntacacs-server key <secret>\r\nx\rradius-server key <secret>\rradius-server key <secret>");
  EXPECT_EQ(mask.MaskLines(""), "");
}

TEST(SecretMask, NoSecretIsLeftInAnyPlace) {
  const SecretMask mask = Make({"pre-shared-key", "key cipher|simple"});
  const std::string secret = "Zq9-secret";
  for (const std::string& line :
       {"pre-shared-key " + secret, " pre-shared-key address 10.0.0.1 key " + secret + " ",
        "key simple \"" + secret + " " + secret + "\"", "KEY CIPHER " + secret + "\r\n"}) {
    const std::string masked = mask.MaskLines(line + "\n" + line);
    EXPECT_EQ(masked.find(secret), std::string::npos) << masked;
    EXPECT_NE(masked.find("<secret>"), std::string::npos) << masked;
  }
}

// --- Patterns ------------------------------------------------------------------

TEST(SecretMask, RefusesInvalidPatternsNamingThem) {
  for (const char* pattern : {"", "   ", "|", "a||b", "a|", "... key", "key ...", "a ...|b c"}) {
    try {
      Make({"snmp-server community", pattern});
      ADD_FAILURE() << "accepted \"" << pattern << "\"";
    } catch (const std::invalid_argument& e) {
      EXPECT_NE(std::string(e.what()).find("\"" + std::string(pattern) + "\""), std::string::npos)
          << e.what();
    }
  }
  // Two gaps in a row are one.
  EXPECT_EQ(Make({"a ... ... b"}).Mask("a x b c"), "a x b <secret>");
}

}  // namespace
}  // namespace comvorlix

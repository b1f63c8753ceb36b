// Judging recorded sessions: transcripts replayed as data, without SSH.
#include "check/judge.h"

#include <gtest/gtest.h>

#include <fstream>
#include <optional>
#include <sstream>

#include "base/debug_output.h"
#include "check/kept_listing.h"
#include "crc/crc.h"

namespace comvorlix {
namespace {

std::string ReadData(const std::string& name) {
  std::ifstream in(std::string(TEST_DATA_DIR) + "/" + name, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Crc(const std::string& bytes) {
  return CrcToHex(Crc32Update(0, reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
}

// Who changed the recorded switch's configuration, as a change names it first.
const std::string kChangedBy = "last changed 09:37:40 CEST Tue Aug 20 2024 by admin";

class JudgeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    AttachDebugListener([this](std::string_view line) { debug.emplace_back(line); });
    settings.SetDevice("CSCSW");
    settings.configuration = "RUN";
  }
  void TearDown() override { AttachDebugListener(nullptr); }

  // A transcript whose output is `first` (the first capture), a line end
  // and the recorded session `name`.
  static Transcript Recorded(const std::string& name, const std::string& first = "captured") {
    Transcript t;
    t.captures.output = first + "\r\n" + ReadData(name + ".session");
    t.captures.first_end = first.size();
    return t;
  }

  // Options of a host that keeps listings.
  static CheckOptions Keeping(std::string kept = {}, bool accept = false) {
    CheckOptions o;
    o.keep_listings = true;
    o.read_kept_listing = [kept](size_t max_bytes) { return kept.substr(0, max_bytes); };
    o.accept = accept;
    return o;
  }

  CheckSettings settings;
  std::vector<std::string> debug;
};

TEST_F(JudgeTest, FirstCheckRemembersTheChecksumOfTheStatementBytes) {
  const std::string listing = ReadData("cisco-run.listing");
  const std::string statements = ReadData("cisco-run.statements");
  const Verdict v = JudgeTranscript(settings, "sw1", Recorded("cisco-run", "raw\xE9"), Keeping());
  EXPECT_TRUE(v.ok);
  EXPECT_EQ(v.text, "Setting initial CRC (" + Crc(statements) + ")");
  EXPECT_EQ(v.checksum_to_remember, Crc(statements));
  EXPECT_EQ(v.listing_to_keep, KeptListingOf(Crc(statements), "CSCSW", "RUN", statements));
  EXPECT_EQ(v.listing_bytes, listing.size());
  EXPECT_EQ(debug, (std::vector<std::string>{"check done", "Received data : 4 bytes", "Received data : raw\xE9",
                                             "CRC on data   : " + Crc(statements)}));
}

TEST_F(JudgeTest, AChecksumOverTheWholeListingIsUnchangedAndRememberedAnew) {
  const std::string statements = ReadData("cisco-run.statements");
  settings.stored_checksum = Crc(ReadData("cisco-run.listing"));
  const Verdict v = JudgeTranscript(settings, "sw1", Recorded("cisco-run"), Keeping());
  EXPECT_TRUE(v.ok);
  EXPECT_EQ(v.text, "configuration unchanged (" + Crc(statements) + ")");
  EXPECT_EQ(v.checksum_to_remember, Crc(statements));
  EXPECT_EQ(v.listing_to_keep, KeptListingOf(Crc(statements), "CSCSW", "RUN", statements));
  EXPECT_EQ(v.changed_lines, 0u);
}

TEST_F(JudgeTest, AChangeIsShownAgainstTheKeptListingThatNamesTheRememberedChecksum) {
  const std::string statements = ReadData("cisco-run.statements");
  std::string earlier = statements;
  earlier.replace(earlier.find("hostname Switch"), 15, "hostname Old");
  earlier.replace(earlier.find(" description uplink"), 19, " description down");
  settings.stored_checksum = "0BADF00D";
  const std::string kept = KeptListingOf("0BADF00D", earlier);
  const Verdict v =
      JudgeTranscript(settings, "sw1", Recorded("cisco-run"), Keeping(kept));
  EXPECT_FALSE(v.ok);
  EXPECT_EQ(v.details, (std::vector<std::string>{kChangedBy, "- hostname Old", "+ hostname Switch",
                                                 "  interface GigabitEthernet1/0/1", "-  description down",
                                                 "+  description uplink"}));
  EXPECT_EQ(v.changed_lines, 4u);
  EXPECT_TRUE(v.listing_to_keep.empty()) << "UCF=F: the change is not remembered, the kept listing stays";

  // A kept listing of another checksum is stale: no diff from it.
  settings.stored_checksum = "12345678";
  const Verdict stale =
      JudgeTranscript(settings, "sw1", Recorded("cisco-run"), Keeping(kept));
  EXPECT_EQ(stale.details,
            (std::vector<std::string>{kChangedBy, "(no earlier listing kept; the next change will show its diff)"}));
  EXPECT_FALSE(stale.changed_lines);

  const Verdict accepted = JudgeTranscript(settings, "sw1", Recorded("cisco-run"),
                                           Keeping(kept, true));
  EXPECT_TRUE(accepted.ok);
  EXPECT_EQ(accepted.text, "accepted configuration (" + Crc(statements) + " - old:12345678)");
  EXPECT_EQ(accepted.listing_to_keep, KeptListingOf(Crc(statements), "CSCSW", "RUN", statements));

  // Unchanged: a current kept listing stays, a stale one is replaced.
  settings.stored_checksum = Crc(statements);
  const std::string current = KeptListingOf(Crc(statements), "CSCSW", "RUN", statements);
  EXPECT_TRUE(JudgeTranscript(settings, "sw1", Recorded("cisco-run"), Keeping(current)).listing_to_keep.empty());
  EXPECT_EQ(JudgeTranscript(settings, "sw1", Recorded("cisco-run"), Keeping(kept)).listing_to_keep, current);
}

// A parameter string that lost its checksum takes the one of a kept listing
// of the same device kind and configuration; a listing of another kind or
// configuration, or one whose head names neither, is a new baseline.
TEST_F(JudgeTest, AKeptListingOfTheSameSwitchStandsInForALostChecksum) {
  const std::string statements = ReadData("cisco-run.statements");
  std::string earlier = statements;
  earlier.replace(earlier.find("hostname Switch"), 15, "hostname Old");
  const Verdict changed = JudgeTranscript(settings, "sw1", Recorded("cisco-run"),
                                          Keeping(KeptListingOf("0BADF00D", "CSCSW", "RUN", earlier)));
  EXPECT_FALSE(changed.ok);
  EXPECT_EQ(changed.text, "Configuration changed (" + Crc(statements) + " - old:0BADF00D)");
  EXPECT_EQ(changed.details, (std::vector<std::string>{kChangedBy, "- hostname Old", "+ hostname Switch"}));
  EXPECT_EQ(changed.checksum_to_remember, "0BADF00D");

  const Verdict same = JudgeTranscript(
      settings, "sw1", Recorded("cisco-run"),
      Keeping(KeptListingOf(Crc(statements), "CSCSW", "RUN", statements)));
  EXPECT_TRUE(same.ok);
  EXPECT_EQ(same.text, "configuration unchanged (" + Crc(statements) + ")");
  EXPECT_EQ(same.checksum_to_remember, Crc(statements));

  for (const std::string& other : {KeptListingOf("0BADF00D", "CSCSW", "START", earlier),
                                   KeptListingOf("0BADF00D", "ARUSW", "RUN", earlier),
                                   KeptListingOf("0BADF00D", earlier)}) {
    const Verdict fresh = JudgeTranscript(settings, "sw1", Recorded("cisco-run"), Keeping(other));
    EXPECT_EQ(fresh.text, "Setting initial CRC (" + Crc(statements) + ")") << other.substr(0, 50);
  }
}

// The checksums the earlier statement rule gave recorded sessions (taken
// from that version): each counts as unchanged and gives way to today's
// without a word to the host.
TEST_F(JudgeTest, AChecksumOfTheEarlierRuleIsUnchangedAndReplacedQuietly) {
  std::istringstream table(ReadData("earlier-rule.checksums"));
  int rows = 0;
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    std::istringstream fields(line);
    std::string session, device, configuration, earlier;
    fields >> session >> device >> configuration >> earlier;
    settings.SetDevice(device);
    settings.configuration = configuration;
    settings.stored_checksum.clear();
    const std::string today = *JudgeTranscript(settings, "sw1", Recorded(session)).checksum_to_remember;
    settings.stored_checksum = earlier;
    const Verdict v = JudgeTranscript(settings, "sw1", Recorded(session), Keeping());
    EXPECT_TRUE(v.ok) << session;
    EXPECT_EQ(v.text, "configuration unchanged (" + today + ")") << session;
    EXPECT_EQ(v.checksum_to_remember, today == earlier ? std::nullopt : std::optional<std::string>(today)) << session;
    EXPECT_TRUE(v.details.empty());
    // The earlier rule forgives no change.
    Transcript changed = Recorded(session);
    std::string& out = changed.captures.output;
    const size_t name = std::min(out.rfind("hostname"), out.rfind("sysname"));
    ASSERT_NE(name, std::string::npos) << session;
    out[name + 1] = 'X';
    EXPECT_FALSE(JudgeTranscript(settings, "sw1", changed).ok) << session;
    ++rows;
  }
  EXPECT_EQ(rows, 7);
}

TEST_F(JudgeTest, ArubaRunningAndStartupListingsOfOneConfigurationGiveOneChecksum) {
  settings.SetDevice("ARUSW");
  const Verdict running = JudgeTranscript(settings, "sw1", Recorded("aruba-run"));
  settings.configuration = "START";
  const Verdict startup = JudgeTranscript(settings, "sw1", Recorded("aruba-start"));
  ASSERT_TRUE(running.checksum_to_remember);
  EXPECT_EQ(startup.checksum_to_remember, running.checksum_to_remember);
}

TEST_F(JudgeTest, CiscoHeadLinesAndTheClockPeriodAreNoChangeButABannerLineIs) {
  settings.stored_checksum = *JudgeTranscript(settings, "sw1", Recorded("cisco-banner-run")).checksum_to_remember;
  const auto with = [&](std::string from, std::string to) {
    Transcript t = Recorded("cisco-banner-run");
    const size_t at = t.captures.output.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    t.captures.output.replace(at, from.size(), to);
    return JudgeTranscript(settings, "sw1", t);
  };
  EXPECT_TRUE(with("Current configuration : 402", "Current configuration : 9402").ok);
  EXPECT_TRUE(with("at 09:37:40 CEST Tue Aug 20 2024", "at 10:01:02 CEST Wed Aug 21 2024").ok);
  EXPECT_TRUE(with("ntp clock-period 17179865", "ntp clock-period 17179882").ok);
  EXPECT_FALSE(with("Using this switch is logged.", "Using this switch is not logged.").ok);
  EXPECT_FALSE(with("ntp clock-period 17179738", "ntp clock-period 1").ok) << "inside the banner";
  EXPECT_FALSE(with("!\r\nCurrent configuration : 42", "Current configuration : 42").ok) << "inside the banner";
}

TEST_F(JudgeTest, ALongChangedLineIsCutAfterMaskingAndHidesNoOtherLine) {
  const std::string statements = ReadData("cisco-run.statements");
  std::string earlier = statements;
  earlier.replace(earlier.find("hostname Switch"), 15,
                  "snmp-server community " + std::string(300, 's') + " RO\r\ndescription " + std::string(5000, 'x') +
                      "\r\nhostname Old");
  earlier.replace(earlier.find(" description uplink"), 19, " description down");
  settings.stored_checksum = "0BADF00D";
  const Verdict v =
      JudgeTranscript(settings, "sw1", Recorded("cisco-run"), Keeping(KeptListingOf("0BADF00D", earlier)));
  EXPECT_EQ(v.details, (std::vector<std::string>{kChangedBy, "- snmp-server community <secret>",
                                                 "- description " + std::string(200 - 15, 'x') + "...",
                                                 "- hostname Old", "+ hostname Switch",
                                                 "  interface GigabitEthernet1/0/1", "-  description down",
                                                 "+  description uplink"}));
  EXPECT_EQ(v.changed_lines, 6u);
}

TEST_F(JudgeTest, DebugLinesMaskSecrets) {
  JudgeTranscript(settings, "sw1", Recorded("cisco-run", "enable secret 5 $1$mERr$hx5rVt7rPNoS4wqbXKX7m0\r\n"));
  EXPECT_EQ(debug.at(2), "Received data : enable secret <secret>\r\n");
}

TEST_F(JudgeTest, TheDiffMasksASecretOfASectionInThatSectionOnly) {
  const std::string old = "radius server R\n key 7 0822455D\nkey chain K\n key 1\n" + ReadData("cisco-run.statements");
  settings.stored_checksum = Crc(old);
  const Verdict v =
      JudgeTranscript(settings, "sw1", Recorded("cisco-run"), Keeping(KeptListingOf(Crc(old), old)));
  EXPECT_EQ(v.details,
            (std::vector<std::string>{kChangedBy, "- radius server R", "-  key <secret>", "- key chain K", "-  key 1"}));
}

TEST_F(JudgeTest, TheVerdictIsTheSameWithoutADebugListener) {
  const Verdict heard = JudgeTranscript(settings, "sw1", Recorded("cisco-run"));
  AttachDebugListener(nullptr);
  EXPECT_FALSE(DebugOutputEnabled());
  const Verdict unheard = JudgeTranscript(settings, "sw1", Recorded("cisco-run"));
  EXPECT_EQ(unheard.text, heard.text);
  EXPECT_EQ(unheard.checksum_to_remember, heard.checksum_to_remember);
  EXPECT_EQ(debug.size(), 4u) << "lines only while someone listens";
}

TEST_F(JudgeTest, AKnownChecksumIsUnchangedAnotherOneChangedAndRememberedOnlyWithUcf) {
  const std::string crc = Crc(ReadData("cisco-run.statements"));
  settings.stored_checksum = crc;
  Verdict same = JudgeTranscript(settings, "sw1", Recorded("cisco-run"));
  EXPECT_TRUE(same.ok);
  EXPECT_EQ(same.text, "configuration unchanged (" + crc + ")");
  EXPECT_FALSE(same.checksum_to_remember);

  settings.stored_checksum = "ABC";
  Verdict changed = JudgeTranscript(settings, "sw1", Recorded("cisco-run"));
  EXPECT_FALSE(changed.ok);
  EXPECT_EQ(changed.text, "Configuration changed (" + crc + " - old:ABC)");
  EXPECT_FALSE(changed.checksum_to_remember);
  settings.update_changed = true;
  EXPECT_EQ(JudgeTranscript(settings, "sw1", Recorded("cisco-run")).checksum_to_remember, crc);

  EXPECT_EQ(ApplyVerdict("#USR=a#@@CRC=ABC#", changed), "#USR=a#@@CRC=ABC#");
  EXPECT_EQ(ApplyVerdict("#USR=a#@@CRC=ABC#", JudgeTranscript(settings, "sw1", Recorded("cisco-run"))),
            "#USR=a#@@CRC=" + crc + "#");
}

TEST_F(JudgeTest, AConnectErrorIsTheTextAsItStands) {
  Transcript t;
  t.connect_error = "SSH connection to sw1:22 failed: connection refused";
  t.captures.output = "xy";
  t.captures.first_end = 2;
  const Verdict v = JudgeTranscript(settings, "sw1", t);
  EXPECT_FALSE(v.ok);
  EXPECT_EQ(v.text, t.connect_error);
  EXPECT_EQ(v.listing_bytes, 2u);
  EXPECT_EQ(debug, std::vector<std::string>{"check done"});
}

TEST_F(JudgeTest, AMissingListingOrAFaultFailsAtTheAdaptationStep) {
  try {
    JudgeTranscript(settings, "sw1", Recorded("cisco-dropped"));
    ADD_FAILURE() << "no listing, no verdict";
  } catch (const CheckStepError& e) {
    EXPECT_EQ(e.step(), 410);
    EXPECT_EQ(e.HostLine().rfind("ERR: no complete configuration listing: ", 0), 0u) << e.HostLine();
  }
  Transcript faulty = Recorded("cisco-run");
  faulty.fault = "timed out";
  settings.configuration = "COMPARE";
  try {
    JudgeTranscript(settings, "sw1", faulty);
    ADD_FAILURE() << "no listing, no verdict";
  } catch (const CheckStepError& e) {
    EXPECT_EQ(e.step(), 650);
  }
}

TEST_F(JudgeTest, ComparisonWritesBothCapturesAndNeverRemembers) {
  settings.configuration = "COMPARE";
  Transcript t;
  const std::string echo = "S#show startup-config\r\n";
  const std::string startup = "Using 7 out of 64 bytes\r\nhostname A\r\nend\r\n";
  const std::string rest = "S#show running-config\r\nhostname A\r\nend\r\nS#exit\r\n";
  t.captures.output = echo + startup + rest;
  t.captures.first_begin = echo.size();
  t.captures.first_end = echo.size() + startup.size();
  const Verdict v = JudgeTranscript(settings, "sw1", t);
  EXPECT_TRUE(v.ok);
  EXPECT_EQ(v.text, "Running and startup configuration are the same");
  EXPECT_FALSE(v.checksum_to_remember);
  const std::string crc = Crc("hostname A\r\nend\r\n");
  EXPECT_EQ(debug, (std::vector<std::string>{"check done", "Received ST data : " + startup + std::string(46, '#'),
                                             "Received RN data : " + echo + rest, "CRC on ST data   : " + crc,
                                             "CRC on RN data   : " + crc}));
}

}  // namespace
}  // namespace comvorlix

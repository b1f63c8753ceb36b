// What a check reports to an administrator: no alarm for lines a switch
// rewrites on its own, the diff of a real change with its secrets masked,
// and a baseline that survives configure runs and can be accepted.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "common/isolated_home.h"
#include "common/run_cli.h"
#include "common/ssh_client.h"
#include "common/ssh_workspace.h"
#include "common/switchsim_process.h"

namespace comvorlix {
namespace {

using testing::Cli;
using testing::ProcessResult;
using testing::ReadWholeFile;
using testing::SwitchSimProcess;
using testing::WriteWholeFile;

// "ABCD1234" from "... (ABCD1234)" or "... (ABCD1234 - old:...)" on the first line.
std::string CrcIn(const std::string& out) {
  const size_t open = out.find('(');
  return open == std::string::npos ? "" : out.substr(open + 1, out.find_first_of(" )", open) - open - 1);
}

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const size_t at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

class ChangeReport : public ::testing::Test {
 protected:
  void SetUp() override {
    running_ = ws_.Write("running.cfg", ReadWholeFile(std::string(SWITCHSIM_CONFIGS) + "/cisco-running.cfg"));
    pw_ = ws_.Write("pw", "s3cret\n");
    Start({});
  }

  void Start(std::vector<std::string> extra, int port = 0) {
    sim_.reset();
    std::vector<std::string> options = {"--device", "cisco", "--start-privileged", "--password-file", pw_,
                                        "--authorized-keys", ws_.Path("authorized_keys"), "--running", running_};
    options.insert(options.end(), extra.begin(), extra.end());
    sim_ = port ? std::make_unique<SwitchSimProcess>(options, port) : std::make_unique<SwitchSimProcess>(options);
  }

  ProcessResult Configure(std::vector<std::string> extra) {
    std::vector<std::string> args = {"configure", "--params", params_, "--no-gui", "--user", "admin",
                                     "--password-file", pw_, "--port", std::to_string(sim_->port()),
                                     "--device", "CSCSW"};
    args.insert(args.end(), extra.begin(), extra.end());
    return Cli(args);
  }

  ProcessResult Check(std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"check", "-H", "127.0.0.1", "-f", params_, "-t", "20",
                                     "--known-hosts", testing::KnownHostsFile()};
    args.insert(args.end(), extra.begin(), extra.end());
    return Cli(args);
  }

  void Edit(const std::string& from, const std::string& to) {
    const std::string before = ReadWholeFile(running_);
    ASSERT_NE(before.find(from), std::string::npos) << from;
    WriteWholeFile(running_, Replaced(before, from, to));
  }

  switchsim_test::Workspace ws_;
  std::string running_, pw_;
  std::string params_ = ws_.Path("sw1.params");
  std::unique_ptr<SwitchSimProcess> sim_;
};

TEST_F(ChangeReport, SavesAndClockDriftRaiseNoAlarmAndTheListingIsKept) {
  Start({"--ntp-drift"});
  ASSERT_EQ(Configure({}).status, 0);
  const ProcessResult first = Check();
  ASSERT_EQ(first.status, 0) << first.out;
  EXPECT_NE(first.out.find(" changed_lines=0;;;0\n"), std::string::npos) << first.out;
  const std::string listing = params_ + ".listing";
  struct stat st {};
  ASSERT_EQ(stat(listing.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  const std::string kept = ReadWholeFile(listing);
  EXPECT_EQ(kept.rfind("# comvorlix listing CRC=" + CrcIn(first.out) + " DEV=CSCSW CFG=RUN\n", 0), 0u)
      << kept.substr(0, 80);
  EXPECT_EQ(kept.find("ntp clock-period"), std::string::npos);
  EXPECT_NE(kept.find("enable secret 9 $9$yTq0"), std::string::npos) << "the kept listing holds the real text";

  // A save rewrites the NVRAM comment; every listing shows a new clock drift.
  const ProcessResult save = switchsim_test::TypeAhead(ws_, sim_->port(), "write memory\rexit\r");
  ASSERT_NE(save.out.find("[OK]"), std::string::npos) << save.out;
  const ProcessResult second = Check();
  EXPECT_EQ(second.status, 0) << second.out;
  EXPECT_EQ(second.out.rfind("CONFIG OK - configuration unchanged (" + CrcIn(first.out) + ") | ", 0), 0u)
      << second.out;
}

TEST_F(ChangeReport, AChangeIsShownWithSecretsMaskedUntilItIsAccepted) {
  ASSERT_EQ(Configure({}).status, 0);
  const std::string known = CrcIn(Check().out);
  Edit("hostname Switch\n", "hostname core-sw02\n");
  Edit("enable secret 9 $9$yTq0bV3Rk1XwPe", "enable secret 9 $9$NEWSECRETNEWSECR");
  const ProcessResult changed = Check();
  EXPECT_EQ(changed.status, 2);
  const std::string now = CrcIn(changed.out);
  EXPECT_EQ(changed.out.rfind("CONFIG CRITICAL - Configuration changed (" + now + " - old:" + known + ") | ", 0), 0u)
      << changed.out;
  EXPECT_NE(changed.out.find(" changed_lines=4;;;0\nlast changed 09:37:40 CEST Tue Aug 20 2024 by admin\n- hostname Switch\n+ hostname core-sw02\n"), std::string::npos)
      << changed.out;
  EXPECT_NE(changed.out.find("\n- enable secret <secret>\n+ enable secret <secret>\n"), std::string::npos)
      << changed.out;
  EXPECT_EQ(changed.out.find("NEWSECRET"), std::string::npos);
  EXPECT_EQ(changed.out.find("yTq0"), std::string::npos);
  const ProcessResult verbose = Check({"--verbose"});
  EXPECT_NE(verbose.err.find("CRC on data"), std::string::npos) << verbose.err;
  EXPECT_EQ(verbose.err.find("NEWSECRET"), std::string::npos) << "--verbose masks secrets too";

  // UCF=F: reported again, the same diff, until it is accepted.
  const ProcessResult again = Check();
  EXPECT_EQ(again.out.substr(0, again.out.find(" | ")), changed.out.substr(0, changed.out.find(" | ")));
  EXPECT_EQ(again.out.substr(again.out.find('\n')), changed.out.substr(changed.out.find('\n')));
  const ProcessResult accepted = Check({"--accept"});
  EXPECT_EQ(accepted.status, 0);
  EXPECT_EQ(accepted.out.rfind("CONFIG OK - accepted configuration (" + now + " - old:" + known + ") | ", 0), 0u)
      << accepted.out;
  EXPECT_NE(accepted.out.find("\n+ hostname core-sw02\n"), std::string::npos) << accepted.out;
  EXPECT_EQ(Check().out.rfind("CONFIG OK - configuration unchanged (" + now + ")", 0), 0u);

  Edit("hostname core-sw02\n", "hostname core-sw03\n");
  EXPECT_NE(Check({"--diff-lines", "1"}).out.find("\n- hostname core-sw02\n... and 1 more changed lines"),
            std::string::npos);
}

TEST_F(ChangeReport, RunningAndStartupAreComparedLineByLine) {
  const std::string startup = ws_.Write("startup.cfg", Replaced(ReadWholeFile(running_), "hostname Switch\n",
                                                                "hostname Saved\n"));
  Start({"--startup", startup});
  ASSERT_EQ(Configure({"--configuration", "COMPARE"}).status, 0);
  const ProcessResult r = Check();
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out.rfind("CONFIG CRITICAL - Running and startup configuration are different | ", 0), 0u) << r.out;
  EXPECT_NE(r.out.find(" changed_lines=2;;;0\n- hostname Saved\n+ hostname Switch\n"), std::string::npos) << r.out;

  const ProcessResult accept = Check({"--accept"});
  EXPECT_EQ(accept.status, 3);
  EXPECT_EQ(accept.out,
            "CONFIG UNKNOWN - --accept has nothing to remember when running and startup are compared "
            "(CFG=COMPARE); see 'comvorlix check --help'\n");
}

TEST_F(ChangeReport, ConfigureKeepsTheBaselineUnlessTheListingChanges) {
  ASSERT_EQ(Configure({}).status, 0);
  const std::string known = CrcIn(Check().out);

  // A password rotation: the switch and the file get the new password.
  pw_ = ws_.Write("pw", "n3w-s3cret\n");
  Start({}, sim_->port());
  const ProcessResult rotated = Configure({});
  ASSERT_EQ(rotated.status, 0) << rotated.err;
  EXPECT_EQ(rotated.out, "parameter file " + params_ + " written\n");
  EXPECT_NE(ReadWholeFile(params_).find("#@@CRC=" + known + "#"), std::string::npos);
  Edit("hostname Switch\n", "hostname core-sw02\n");
  const ProcessResult changed = Check();
  EXPECT_EQ(changed.status, 2) << "reported, not learned: " << changed.out;
  EXPECT_NE(changed.out.find("\n+ hostname core-sw02\n"), std::string::npos) << changed.out;

  const ProcessResult other_kind = Configure({"--configuration", "START"});
  EXPECT_EQ(other_kind.out, "parameter file " + params_ + " written; the remembered checksum " + known +
                                " was dropped (the device or configuration kind changed): the next check "
                                "remembers what it finds\n");
  EXPECT_EQ(ReadWholeFile(params_).find("@@CRC"), std::string::npos);
}

// A template that writes the parameter file anew loses @@CRC; the kept
// listing of the same device kind and configuration still holds the
// baseline, and gives it back.
TEST_F(ChangeReport, AChecksumLostToARewriteIsTakenFromTheKeptListing) {
  ASSERT_EQ(Configure({}).status, 0);
  const std::string known = CrcIn(Check().out);
  const auto rewrite = [&] {
    ASSERT_EQ(::unlink(params_.c_str()), 0);
    ASSERT_EQ(Configure({}).status, 0);
    ASSERT_EQ(ReadWholeFile(params_).find("@@CRC"), std::string::npos);
  };
  rewrite();
  const ProcessResult same = Check();
  EXPECT_EQ(same.status, 0);
  EXPECT_EQ(same.out.rfind("CONFIG OK - configuration unchanged (" + known + ") | ", 0), 0u) << same.out;
  EXPECT_NE(ReadWholeFile(params_).find("#@@CRC=" + known + "#"), std::string::npos);

  rewrite();
  Edit("hostname Switch\n", "hostname core-sw02\n");
  const ProcessResult changed = Check();
  EXPECT_EQ(changed.status, 2);
  EXPECT_EQ(changed.out.rfind("CONFIG CRITICAL - Configuration changed (" + CrcIn(changed.out) + " - old:" + known +
                                  ") | ",
                              0),
            0u)
      << changed.out;
  EXPECT_NE(changed.out.find("\n- hostname Switch\n+ hostname core-sw02\n"), std::string::npos) << changed.out;
  EXPECT_NE(ReadWholeFile(params_).find("#@@CRC=" + known + "#"), std::string::npos);
  EXPECT_EQ(Check().status, 2) << "still reported until accepted";
}

// A look before an engine's UCF=T check changes nothing: the engine still
// sees the change; a first look stores no baseline and keeps no listing.
TEST_F(ChangeReport, ADryRunReportsAsUsualAndWritesNothing) {
  ASSERT_EQ(Configure({"--update-known"}).status, 0);
  // The switch's host key is known already (learned through another file).
  const std::string other = ws_.Write("other.params", ReadWholeFile(params_));
  ASSERT_EQ(Cli({"check", "-H", "127.0.0.1", "-f", other, "--known-hosts", testing::KnownHostsFile()}).status, 0);
  const ProcessResult first = Check({"--dry-run"});
  EXPECT_EQ(first.status, 0);
  EXPECT_EQ(first.out.rfind("CONFIG OK - Setting initial CRC (", 0), 0u) << first.out;
  EXPECT_NE(first.out.find("\n(dry run: the parameter file and the kept listing were left as they were)"),
            std::string::npos)
      << first.out;
  EXPECT_EQ(ReadWholeFile(params_).find("@@CRC"), std::string::npos);
  struct stat st;
  EXPECT_NE(::stat((params_ + ".listing").c_str(), &st), 0);

  ASSERT_EQ(Check().status, 0);
  const std::string params = ReadWholeFile(params_), listing = ReadWholeFile(params_ + ".listing");
  Edit("hostname Switch\n", "hostname core-sw02\n");
  const ProcessResult look = Check({"--dry-run"});
  EXPECT_EQ(look.status, 2);
  EXPECT_NE(look.out.find("\n- hostname Switch\n+ hostname core-sw02\n"), std::string::npos) << look.out;
  EXPECT_EQ(ReadWholeFile(params_), params);
  EXPECT_EQ(ReadWholeFile(params_ + ".listing"), listing);
  const ProcessResult engine = Check();
  EXPECT_EQ(engine.status, 2);
  EXPECT_EQ(engine.out.substr(0, engine.out.find(" | ")), look.out.substr(0, look.out.find(" | ")));
  EXPECT_NE(ReadWholeFile(params_), params) << "UCF=T: the engine's check remembers the change";

  EXPECT_EQ(Check({"--dry-run", "--accept"}).status, 3);
}

// An unknown switch under --dry-run is not logged in to and not learned.
TEST_F(ChangeReport, ADryRunLearnsNoHostKey) {
  ASSERT_EQ(Configure({}).status, 0);
  const std::string known_hosts = ws_.Path("dry_known_hosts");
  const ProcessResult r = Cli({"check", "-H", "127.0.0.1", "-f", params_, "-t", "20", "--known-hosts", known_hosts,
                               "--dry-run", "--failure-state", "critical"});
  EXPECT_EQ(r.status, 3) << r.out;
  const std::string where = "127.0.0.1:" + std::to_string(sim_->port());
  EXPECT_EQ(r.out.rfind("CONFIG UNKNOWN - host key of " + where + " is not known (", 0), 0u) << r.out;
  EXPECT_NE(r.out.find(" key SHA256:"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(") and is not learned in a dry run; not logging in | "), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(" listing=U;;;0"), std::string::npos) << r.out;
  struct stat st;
  EXPECT_NE(::stat(known_hosts.c_str(), &st), 0) << "no known hosts file was written";
  EXPECT_EQ(ReadWholeFile(params_).find("@@CRC"), std::string::npos);
}

}  // namespace
}  // namespace comvorlix

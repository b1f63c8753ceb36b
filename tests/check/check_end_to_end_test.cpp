// Whole checks over real SSH on loopback against the switch emulator.
#include <gtest/gtest.h>

#include <sstream>


#include "common/switchsim_process.h"
#include "common/temp_dir.h"
#include "component/vorlix_com.h"
#include "params/parameter_string.h"
#include "params/secret_field.h"
#include "common/utf16_params.h"

namespace comvorlix {
namespace {

using testing::ReadWholeFile;
using testing::WriteWholeFile;
using testing::SwitchSimProcess;
using testing::TempDir;
using Property = VorlixCom::Property;

struct Kind {
  const char* sim;   // switchsim --device
  const char* code;  // DEV
  const char* configs = nullptr;  // the sample files' stem; nullptr: `sim`
  const char* listing_form = nullptr;  // hp2530: --listing-form
  bool startup = true;  // the device has a startup configuration
  std::string name() const { return configs ? configs : sim; }
};

const Kind kKinds[] = {{"cisco", "CSCSW"},
                       {"aruba", "ARUSW"},
                       {"hp1920", "HP1920SW"},
                       {"hp2530", "HP2510SW", "hp2530", "comware"},
                       {"hp2530", "HP2510SW", "hp2530-native", "native"},
                       {"nxos", "NXOSSW"},
                       {"eos", "EOSSW"},
                       {"junos", "JUNOSSW", nullptr, nullptr, false},
                       {"aoscx", "AOSCXSW"},
                       {"comware7", "CW7SW"},
                       {"routeros", "ROSSW", nullptr, nullptr, false}};

struct Outcome {
  bool ok;
  std::string text;
  Text parameter;
};

class EndToEnd : public ::testing::Test {
 protected:
  // Starts the emulator for `kind` with copies of the shipped sample
  // configurations, which the test may then edit.
  void StartSwitch(const Kind& kind, std::vector<std::string> extra = {}) {
    kind_ = kind;
    running_ = dir_.Write("running.cfg",
                          ReadWholeFile(std::string(SWITCHSIM_CONFIGS) + "/" + kind.name() + "-running.cfg"));
    startup_ = kind.startup ? dir_.Write("startup.cfg", ReadWholeFile(running_)) : "";
    std::vector<std::string> options = {"--device",       kind.sim,
                                        "--user",         "admin",
                                        "--password-file", dir_.Write("pw", "s3cret\n"),
                                        "--enable-password-file", dir_.Write("epw", "en4ble\n"),
                                        "--cmdline-password-file", dir_.Write("cpw", "en4ble\n"),
                                        "--running",      running_,
                                        "--save-log",     dir_.Path("saves.log"),
                                        "--command-log",  dir_.Path("commands.log")};
    if (kind.startup) options.insert(options.end(), {"--startup", startup_});
    if (kind.listing_form) options.insert(options.end(), {"--listing-form", kind.listing_form});
    options.insert(options.end(), extra.begin(), extra.end());
    sim_ = std::make_unique<SwitchSimProcess>(options);
  }

  Text Params(const char* configuration, const char* ucf = "F", const char* password = "s3cret") const {
    return T(std::string("#ENC=T#USR=admin#PWD=") + ToUtf8(EncodeSecretField(T(password), true)) +
             "#PROTO=A#PORT=" + std::to_string(sim_->port()) + "#KEYF=#KEYT=RSA#EPW=" +
             ToUtf8(EncodeSecretField(u"en4ble", true)) + "#CFG=" + configuration + "#DEV=" + kind_.code +
             "#UCF=" + ucf + "#DBG=F#DBF=#");
  }

  Outcome Check(const Text& params, int timeout = 5) {
    VorlixCom c;
    c.Put(Property::kHostname, Variant::FromText(u"127.0.0.1"));
    c.Put(Property::kTimeout, Variant::Int16(static_cast<int16_t>(timeout)));
    c.Put(Property::kParameter, Variant::FromText(params));
    const bool ok = c.qo_docheck() == kVariantTrue;
    return Outcome{ok, ToUtf8(c.Get(Property::kResult).ToText()), c.Get(Property::kParameter).ToText()};
  }

  // Replaces the first line that contains `from` in a configuration file.
  static void EditLine(const std::string& file, size_t line_index, const std::string& suffix) {
    std::string content = ReadWholeFile(file);
    size_t begin = 0;
    for (size_t i = 0; i < line_index; ++i) begin = content.find('\n', begin) + 1;
    size_t end = content.find('\n', begin);
    content.insert(end, suffix);
    WriteWholeFile(file, content);
  }

  // The first line that is configuration: not a comment (";", "!"), not a
  // separator ("#") and not empty.
  static size_t FirstStatement(const std::string& file, size_t from = 0) {
    std::istringstream in(ReadWholeFile(file));
    size_t index = 0;
    for (std::string line; std::getline(in, line); ++index) {
      if (index < from) continue;
      const size_t b = line.find_first_not_of(' ');
      if (b != std::string::npos && line[b] != ';' && line[b] != '!' && line[b] != '#') return index;
    }
    return 0;
  }

  static size_t LineCount(const std::string& file) {
    std::string c = ReadWholeFile(file);
    return static_cast<size_t>(std::count(c.begin(), c.end(), '\n'));
  }

  static std::string Crc(const Text& params) { return ToUtf8(GetKeyValue(params, u"@@CRC")); }

  TempDir dir_;
  Kind kind_{};
  std::string running_, startup_;
  std::unique_ptr<SwitchSimProcess> sim_;
};

class EveryKind : public EndToEnd, public ::testing::WithParamInterface<Kind> {};

TEST_P(EveryKind, RunningConfigurationInitialUnchangedChangedAndRemembered) {
  StartSwitch(GetParam());
  const Outcome first = Check(Params("RUN"));
  ASSERT_TRUE(first.ok) << first.text;
  const std::string crc = Crc(first.parameter);
  ASSERT_FALSE(crc.empty());
  EXPECT_EQ(first.text, "Setting initial CRC (" + crc + ")");
  EXPECT_EQ(ToUtf8(first.parameter), ToUtf8(Params("RUN")) + "@@CRC=" + crc + "#");

  const Outcome second = Check(first.parameter);
  EXPECT_TRUE(second.ok);
  EXPECT_EQ(second.text, "configuration unchanged (" + crc + ")");
  EXPECT_EQ(second.parameter, first.parameter);

  EditLine(running_, FirstStatement(running_, LineCount(running_) / 2), " ");
  const Outcome changed = Check(first.parameter);
  EXPECT_FALSE(changed.ok);
  const std::string new_crc = changed.text.substr(23, changed.text.find(' ', 23) - 23);
  EXPECT_NE(new_crc, crc);
  EXPECT_EQ(changed.text, "Configuration changed (" + new_crc + " - old:" + crc + ")");
  EXPECT_EQ(changed.parameter, first.parameter) << "UCF F keeps the remembered checksum";
  EXPECT_FALSE(Check(first.parameter).ok) << "and reports the change again";

  const Text with_update = SetKeyValue(first.parameter, u"UCF", u"T");
  const Outcome updated = Check(with_update);
  EXPECT_FALSE(updated.ok);
  EXPECT_EQ(Crc(updated.parameter), new_crc);
  const Outcome after = Check(updated.parameter);
  EXPECT_TRUE(after.ok) << after.text;
  EXPECT_EQ(after.text, "configuration unchanged (" + new_crc + ")");
}

TEST_P(EveryKind, StartupConfigurationIsListedForStart) {
  if (!GetParam().startup) GTEST_SKIP() << "no startup configuration";
  StartSwitch(GetParam());
  const Outcome first = Check(Params("START"));
  ASSERT_TRUE(first.ok) << first.text;
  EditLine(running_, FirstStatement(running_), " changed");
  EXPECT_TRUE(Check(first.parameter).ok) << "a change of the running configuration only";
  EditLine(startup_, FirstStatement(startup_), " changed");
  EXPECT_FALSE(Check(first.parameter).ok);
}

TEST_P(EveryKind, CompareRunningWithStartup) {
  if (!GetParam().startup) GTEST_SKIP() << "no startup configuration";
  StartSwitch(GetParam());
  const Text params = SetKeyValue(Params("COMPARE"), u"@@CRC", u"1234");
  const Outcome same = Check(params);
  EXPECT_TRUE(same.ok) << same.text;
  EXPECT_EQ(same.text, "Running and startup configuration are the same");
  EXPECT_EQ(same.parameter, params) << "a comparison neither reads nor writes the checksum";
  EditLine(running_, LineCount(running_) - 2, " x");
  const Outcome different = Check(params);
  EXPECT_FALSE(different.ok);
  EXPECT_EQ(different.text, "Running and startup configuration are different");
  EXPECT_EQ(different.parameter, params);
}

TEST_P(EveryKind, SameChecksumWhateverTheChunkingDelaysAndBanner) {
  StartSwitch(GetParam());
  const std::string reference = Crc(Check(Params("RUN")).parameter);
  ASSERT_FALSE(reference.empty());
  sim_.reset();
  for (int seed = 1; seed <= 20; ++seed) {
    const std::string banner = dir_.Write("banner", "Welcome " + std::string(seed * 7, '*') + "\nseed " +
                                                        std::to_string(seed) + "\n");
    sim_.reset();
    StartSwitch(GetParam(), {"--chunk", "1:" + std::to_string(seed * 97), "--delay", "0:2", "--seed",
                             std::to_string(seed), "--banner", banner});
    // Slow emulated links under a sanitizer on a busy machine: time enough.
    const Outcome o = Check(Params("RUN"), 20);
    EXPECT_EQ(Crc(o.parameter), reference) << "seed " << seed << ": " << o.text;
  }
}

TEST_P(EveryKind, OneCharacterInTheFirstMiddleOrLastLineIsAChange) {
  StartSwitch(GetParam());
  const Outcome first = Check(Params("RUN"));
  ASSERT_TRUE(first.ok) << first.text;
  const std::string original = ReadWholeFile(running_);
  const size_t lines = LineCount(running_);
  // The last line that is a statement: "end" and "return" close a listing.
  const bool closed = original.ends_with("\nend\n") || original.ends_with("\nreturn\n");
  for (size_t line : {FirstStatement(running_), lines / 2, lines - (closed ? 2 : 1)}) {
    WriteWholeFile(running_, original);
    EditLine(running_, line, "x");
    const Outcome o = Check(first.parameter);
    EXPECT_FALSE(o.ok) << "line " << line << ": " << o.text;
    EXPECT_EQ(o.text.rfind("Configuration changed (", 0), 0u) << o.text;
  }
}

TEST_P(EveryKind, ACheckNeverSavesTheConfiguration) {
  if (!GetParam().startup) GTEST_SKIP() << "no startup configuration";
  StartSwitch(GetParam());
  EditLine(running_, LineCount(running_) / 2, " unsaved");
  for (const char* mode : {"RUN", "START", "COMPARE"}) Check(Params(mode));
  EXPECT_EQ(ReadWholeFile(dir_.Path("saves.log")), "");
  EXPECT_FALSE(Check(Params("COMPARE")).ok) << "the unsaved difference is still there";
}

INSTANTIATE_TEST_SUITE_P(Switches, EveryKind, ::testing::ValuesIn(kKinds),
                         [](const auto& param_info) {
                           std::string n = param_info.param.name();
                           for (char& ch : n) ch = ch == '-' ? '_' : ch;
                           return n;
                         });

TEST_F(EndToEnd, KeyLoginWithoutPassword) {
  const std::string key = dir_.Path("id_ed25519");
  ASSERT_EQ(std::system(("ssh-keygen -q -t ed25519 -N '' -f " + key).c_str()), 0);
  StartSwitch(kKinds[0], {"--authorized-keys", key + ".pub"});
  Text params = SetKeyValue(SetKeyValue(Params("RUN"), u"PWD", u""), u"KEYF", T(key));
  const Outcome o = Check(params);
  EXPECT_TRUE(o.ok) << o.text;
  EXPECT_EQ(o.text.rfind("Setting initial CRC (", 0), 0u);
}

TEST_F(EndToEnd, AKeyFileThatCannotBeLoadedFailsTheSessionStartStep) {
  StartSwitch(kKinds[0]);
  const Outcome o = Check(SetKeyValue(Params("RUN"), u"KEYF", T(dir_.Path("missing_key"))));
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.text.rfind("ERR: ", 0), 0u) << o.text;
  EXPECT_EQ(o.text.substr(o.text.size() - 5), "(320)") << o.text;
  EXPECT_NE(o.text.find("missing_key"), std::string::npos) << "names the file: " << o.text;
}

TEST_F(EndToEnd, AConnectThatCannotStartIsReportedAsItsDescription) {
  StartSwitch(kKinds[0]);
  VorlixCom c;
  c.Put(Property::kTimeout, Variant::Int16(5));
  c.Put(Property::kParameter, Variant::FromText(Params("RUN")));
  EXPECT_EQ(c.qo_docheck(), kVariantFalse);
  EXPECT_EQ(c.Get(Property::kResult).ToText(), u"cannot connect: no host name is set");
}

TEST_F(EndToEnd, RefusedPortIsTheSshLayersText) {
  StartSwitch(kKinds[0]);
  const Text params = Params("RUN");
  const int port = sim_->port();
  sim_->Stop();
  const Outcome o = Check(params);
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.text, "SSH connection to 127.0.0.1:" + std::to_string(port) + " failed: connection refused");
  EXPECT_EQ(o.parameter, params);
}

TEST_F(EndToEnd, WrongPassword) {
  StartSwitch(kKinds[0]);
  const Text params = Params("RUN", "T", "wrong");
  const Outcome o = Check(params);
  EXPECT_FALSE(o.ok);
  EXPECT_NE(o.text.find("authentication failed for user admin"), std::string::npos) << o.text;
  EXPECT_EQ(o.parameter, params);
}

TEST_F(EndToEnd, ACiscoThatNeverAsksForTheEnablePasswordNeverGetsIt) {
  for (const char* option : {"--start-privileged", "--no-enable-password-prompt"}) {
    StartSwitch(kKinds[0], {option});
    const Outcome o = Check(Params("RUN"));
    EXPECT_TRUE(o.ok) << option << ": " << o.text;
    EXPECT_EQ(o.text.rfind("Setting initial CRC (", 0), 0u) << o.text;
    const std::string commands = ReadWholeFile(dir_.Path("commands.log"));
    EXPECT_NE(commands.find("show running-config"), std::string::npos) << commands;
    EXPECT_EQ(commands.find("en4ble"), std::string::npos) << option << ": " << commands;
    sim_.reset();
  }
}

// The running and the startup listing of one configuration differ only in
// their headers ("Running configuration:", "Startup configuration: 7"),
// which no checksum covers.
TEST_F(EndToEnd, RunningAndStartupOfOneProCurveConfigurationGiveOneChecksum) {
  for (const Kind& kind : {kKinds[1], kKinds[4]}) {  // Aruba, the HP 2530's own form
    StartSwitch(kind);
    const std::string running = Crc(Check(Params("RUN")).parameter);
    EXPECT_FALSE(running.empty()) << kind.name();
    EXPECT_EQ(Crc(Check(Params("START")).parameter), running) << kind.name();
    sim_.reset();
  }
}

// A privileged switch whose banner imitates the enable dialog, dripped one
// byte at a time so that the check has typed "en" long before the banner's
// "Switch>en" and "Password:" arrive: the password is never typed. (A short
// configuration keeps the dripping listing short.)
TEST_F(EndToEnd, ABannerImitatingTheEnableDialogNeverGetsTheEnablePassword) {
  const std::string banner = "Welcome\r\nSwitch>en\r\nPassword: \r\nSwitch>enable\r\nPassword:";
  StartSwitch(kKinds[0], {"--start-privileged", "--banner", dir_.Write("banner", banner), "--fault", "one-byte",
                          "--delay", "10:10"});
  WriteWholeFile(running_, "hostname sw\n!\nend\n");
  const Outcome o = Check(Params("RUN"), 20);
  EXPECT_TRUE(o.ok) << o.text;
  EXPECT_EQ(o.text.rfind("Setting initial CRC (", 0), 0u) << o.text;
  const std::string commands = ReadWholeFile(dir_.Path("commands.log"));
  EXPECT_NE(commands.find("show running-config"), std::string::npos) << commands;
  EXPECT_EQ(commands.find("en4ble"), std::string::npos) << commands;
}

// A banner that holds a prompt, the listing command and a listing, then the
// configuration changes: only the listing that answered the check counts.
TEST_F(EndToEnd, ABannerHoldingAStaleListingCannotHideAChange) {
  const std::string stale = "Switch#show running-config\r\nBuilding configuration...\r\n\r\n" +
                            ReadWholeFile(std::string(SWITCHSIM_CONFIGS) + "/cisco-running.cfg") + "\r\nSwitch#";
  StartSwitch(kKinds[0], {"--banner", dir_.Write("banner", stale)});
  const Outcome first = Check(Params("RUN"));
  ASSERT_TRUE(first.ok) << first.text;
  EditLine(running_, FirstStatement(running_, LineCount(running_) / 2), " ");
  const Outcome changed = Check(first.parameter);
  EXPECT_FALSE(changed.ok);
  EXPECT_EQ(changed.text.rfind("Configuration changed (", 0), 0u) << changed.text;
}

// The banner motd block in the configuration holds "end" and prompts: a
// change after it is still covered.
TEST_F(EndToEnd, AChangeAfterABannerHoldingEndAndAPromptIsReported) {
  StartSwitch(kKinds[0]);
  WriteWholeFile(running_, ReadWholeFile(std::string(SWITCHSIM_CONFIGS) + "/cisco-banner-motd.cfg"));
  const Outcome first = Check(Params("RUN"));
  ASSERT_TRUE(first.ok) << first.text;
  EditLine(running_, LineCount(running_) - 8, " changed");  // "ntp server 10.99.0.6"
  const Outcome changed = Check(first.parameter);
  EXPECT_FALSE(changed.ok);
  EXPECT_EQ(changed.text.rfind("Configuration changed (", 0), 0u) << changed.text;
}

TEST_F(EndToEnd, WrongEnablePasswordIsNoChecksum) {
  StartSwitch(kKinds[0]);
  const Text params = SetKeyValue(Params("RUN"), u"EPW", EncodeSecretField(u"nope", true));
  const auto started = std::chrono::steady_clock::now();
  const Outcome o = Check(params);
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5)) << "without waiting for a time-out";
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.text.rfind("ERR: the switch did not accept the enable password after \"en\" (switch 127.0.0.1; ", 0), 0u)
      << o.text;
  EXPECT_EQ(o.text.substr(o.text.size() - 5), "(410)");
  EXPECT_EQ(o.text.find("nope"), std::string::npos) << o.text;
  EXPECT_EQ(o.parameter, params);
}

TEST_F(EndToEnd, WrongCmdlinePasswordIsNamed) {
  StartSwitch(kKinds[2]);
  const Text params = SetKeyValue(Params("RUN"), u"EPW", EncodeSecretField(u"nope", true));
  const Outcome o = Check(params);
  EXPECT_EQ(o.text.rfind("ERR: the switch did not accept the _cmdline-mode password after \"_cmdline-mode on\" "
                         "(switch 127.0.0.1; ", 0), 0u)
      << o.text;
  EXPECT_EQ(o.parameter, params);
}

struct Fault {
  const char* mode;
  const char* expected;  // start of the result text
};

class Faults : public EndToEnd, public ::testing::WithParamInterface<Fault> {};

TEST_P(Faults, EndWithinTheTimeLimitsAndRememberNothing) {
  StartSwitch(kKinds[0], {"--fault", GetParam().mode});
  const Text params = SetKeyValue(Params("RUN", "T"), u"@@CRC", u"ABC");
  const auto started = std::chrono::steady_clock::now();
  const Outcome o = Check(params, 2);
  const auto took = std::chrono::steady_clock::now() - started;
  EXPECT_FALSE(o.ok);
  EXPECT_EQ(o.text.rfind(GetParam().expected, 0), 0u) << o.text;
  EXPECT_EQ(o.parameter, params);
  EXPECT_LT(took, std::chrono::seconds(30));
}

INSTANTIATE_TEST_SUITE_P(
    Switches, Faults,
    ::testing::Values(Fault{"reject-login", "SSH connection to 127.0.0.1:"},
                      Fault{"silent-after-login", "ERR: no complete configuration listing"},
                      Fault{"drop-mid-listing", "ERR: no complete configuration listing"},
                      Fault{"endless-output", "ERR: no complete configuration listing"}),
    [](const auto& param_info) {
      std::string n = param_info.param.mode;
      for (char& ch : n) ch = ch == '-' ? '_' : ch;
      return n;
    });

}  // namespace
}  // namespace comvorlix

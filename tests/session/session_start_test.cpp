// Session start and session events, through whole checks against the
// emulator: how the settings of a parameter string reach the SSH layer.
#include <gtest/gtest.h>

#include <filesystem>

#include "common/switchsim_process.h"
#include "common/temp_dir.h"
#include "component/check_state.h"
#include "component/vorlix_com.h"
#include "params/parameter_string.h"
#include "params/secret_field.h"

namespace comvorlix {
namespace {

using testing::ReadWholeFile;
using testing::SwitchSimProcess;
using testing::TempDir;
using Property = VorlixCom::Property;

class SessionStart : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_ = std::make_unique<SwitchSimProcess>(std::vector<std::string>{
        "--device", "cisco", "--user", "admin", "--password-file", dir_.Write("pw", "s3cret\n"),
        "--enable-password-file", dir_.Write("epw", "en4ble\n"), "--authorized-keys", Key() + ".pub"});
    params_ = T("#USR=admin#PWD=" + ToUtf8(EncodeSecretField(u"s3cret", true)) + "#PORT=" +
                std::to_string(sim_->port()) + "#EPW=" + ToUtf8(EncodeSecretField(u"en4ble", true)) +
                "#DEV=CSCSW#CFG=RUN#");
  }

  std::string Key() {
    const std::string key = dir_.Path("id_ed25519");
    if (!std::filesystem::exists(key)) {
      EXPECT_EQ(std::system(("ssh-keygen -q -t ed25519 -N '' -f " + key).c_str()), 0);
    }
    return key;
  }

  std::pair<bool, std::string> Check(const Text& params, const char* host = "127.0.0.1") {
    VorlixCom c;
    c.Put(Property::kHostname, Variant::FromText(T(host)));
    c.Put(Property::kTimeout, Variant::Int16(5));
    c.Put(Property::kParameter, Variant::FromText(params));
    const bool ok = c.qo_docheck() == kVariantTrue;
    return {ok, ToUtf8(c.Get(Property::kResult).ToText())};
  }

  TempDir dir_;
  std::unique_ptr<SwitchSimProcess> sim_;
  Text params_;
};

TEST_F(SessionStart, ProtocolCodesAutomaticAndSsh2WorkSsh1IsRefused) {
  for (const char16_t* protocol : {u"A", u"2", u"", u"X"}) {
    auto [ok, text] = Check(SetKeyValue(params_, u"PROTO", protocol));
    EXPECT_TRUE(ok) << ToUtf8(protocol) << ": " << text;
  }
  auto [ok, text] = Check(SetKeyValue(params_, u"PROTO", u"1"));
  EXPECT_FALSE(ok);
  EXPECT_EQ(text, "SSH connection to 127.0.0.1:" + std::to_string(sim_->port()) +
                      " failed: SSH1 is not supported, only SSH2");
}

TEST_F(SessionStart, AKeyFileAloneIsEnoughAndItsTypeCodeDoesNotRefuseModernKeys) {
  const Text with_key = SetKeyValue(SetKeyValue(params_, u"PWD", u""), u"KEYF", T(Key()));
  for (const char16_t* type : {u"RSA", u"rsa", u"DSA", u""}) {
    auto [ok, text] = Check(SetKeyValue(with_key, u"KEYT", type));
    EXPECT_TRUE(ok) << ToUtf8(type) << ": " << text;
  }
}

TEST_F(SessionStart, AKeyFileThatCannotBeLoadedFailsTheSessionStartStep) {
  auto [ok, text] = Check(SetKeyValue(params_, u"KEYF", T(dir_.Path("missing_key"))));
  EXPECT_FALSE(ok);
  EXPECT_EQ(text.rfind("ERR: ", 0), 0u) << text;
  EXPECT_EQ(text.substr(text.size() - 5), "(320)") << text;
  EXPECT_NE(text.find("missing_key"), std::string::npos) << "names the file: " << text;
}

TEST_F(SessionStart, AConnectThatCannotStartIsReportedAsItsDescription) {
  ThreadCheckState().gErrorText = u"from an earlier check";
  auto [ok, text] = Check(params_, "");
  EXPECT_FALSE(ok);
  EXPECT_FALSE(text.empty());
  EXPECT_EQ(text.rfind("ERR: ", 0), std::string::npos) << "no prefix: " << text;
  EXPECT_EQ(ThreadCheckState().gDone, kVariantTrue);
  EXPECT_EQ(ToUtf8(ThreadCheckState().gErrorText), text);
}

TEST_F(SessionStart, AFailedAttemptKeepsItsTextUntilTheNextSessionStarts) {
  auto [ok, text] = Check(SetKeyValue(params_, u"PWD", EncodeSecretField(u"wrong", true)));
  EXPECT_FALSE(ok);
  EXPECT_EQ(ToUtf8(ThreadCheckState().gErrorText), text);
  EXPECT_TRUE(Check(params_).first);
  EXPECT_EQ(ThreadCheckState().gErrorText, u"");
}

TEST_F(SessionStart, DebugFileOnlyWithDbgTAndAPathAndNeverWithSecrets) {
  const std::string log = dir_.Path("ssh-debug.log");
  EXPECT_TRUE(Check(SetKeyValue(SetKeyValue(params_, u"DBG", u"t"), u"DBF", T(log))).first);
  EXPECT_FALSE(std::filesystem::exists(log)) << "only a capital T switches it on";
  EXPECT_TRUE(Check(SetKeyValue(SetKeyValue(params_, u"DBG", u"T"), u"DBF", u"  ")).first);
  EXPECT_TRUE(Check(SetKeyValue(SetKeyValue(params_, u"DBG", u"T"), u"DBF", T("  " + log + "  "))).first);
  ASSERT_TRUE(std::filesystem::exists(log)) << "the path is used without its blanks";
  const std::string content = ReadWholeFile(log);
  EXPECT_FALSE(content.empty());
  EXPECT_EQ(content.find("s3cret"), std::string::npos);
  EXPECT_EQ(content.find("en4ble"), std::string::npos);
}

TEST_F(SessionStart, ASecondCheckOnTheThreadStartsWithEmptyBuffers) {
  EXPECT_TRUE(Check(SetKeyValue(params_, u"CFG", u"COMPARE")).first);
  const Text first_running = ThreadCheckState().gReceivedRunning;
  EXPECT_FALSE(first_running.empty());
  EXPECT_TRUE(Check(params_).first);
  EXPECT_EQ(ThreadCheckState().gSessionOutput.find(u"show startup-config"), Text::npos)
      << "nothing of the comparison is left in the next check's output";
}

}  // namespace
}  // namespace comvorlix

// Session start against the emulator over real SSH on the loopback: how
// the login data of a request reach the SSH layer, and what a session
// hands back.
#include "session/switch_session.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "base/automation_error.h"
#include "common/switchsim_process.h"
#include "common/temp_dir.h"
#include "devices/device_table.h"

namespace comvorlix {
namespace {

using testing::ReadWholeFile;
using testing::SwitchSimProcess;
using testing::TempDir;

Transcript RunSwitchSession(SessionRequest request) {
  SwitchSession session(std::move(request));
  session.Start();
  return session.Finish();
}

class SessionStart : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_ = std::make_unique<SwitchSimProcess>(std::vector<std::string>{
        "--device", "cisco", "--user", "admin", "--password-file", dir_.Write("pw", "s3cret\n"),
        "--enable-password-file", dir_.Write("epw", "en4ble\n"), "--authorized-keys", Key() + ".pub"});
    request_.host = "127.0.0.1";
    request_.login.port = static_cast<int16_t>(sim_->port());
    request_.login.user = "admin";
    request_.login.password = "s3cret";
    request_.conversation = ConversationSettings{FindDeviceKind("CSCSW"), "RUN", "en4ble", 5};
  }

  std::string Key() {
    const std::string key = dir_.Path("id_ed25519");
    if (!std::filesystem::exists(key)) {
      EXPECT_EQ(std::system(("ssh-keygen -q -t ed25519 -N '' -f " + key).c_str()), 0);
    }
    return key;
  }

  // A session that listed the running configuration and was closed by the
  // switch.
  static void ExpectListed(const Transcript& t, const std::string& what) {
    EXPECT_EQ(t.connect_error, "") << what;
    EXPECT_EQ(t.fault, "") << what;
    EXPECT_NE(t.captures.output.find("Switch#show running-config"), std::string::npos) << what;
  }

  TempDir dir_;
  std::unique_ptr<SwitchSimProcess> sim_;
  SessionRequest request_;
};

TEST_F(SessionStart, ProtocolCodesAutomaticAndSsh2WorkSsh1IsRefused) {
  for (const char* protocol : {"A", "2", "", "X"}) {
    request_.login.protocol = protocol;
    ExpectListed(RunSwitchSession(request_), protocol);
  }
  request_.login.protocol = "1";
  const Transcript t = RunSwitchSession(request_);
  EXPECT_EQ(t.connect_error, "SSH connection to 127.0.0.1:" + std::to_string(sim_->port()) +
                                 " failed: SSH1 is not supported, only SSH2");
  EXPECT_EQ(t.captures.output, "");
}

TEST_F(SessionStart, AKeyFileAloneIsEnoughAndItsTypeCodeDoesNotRefuseModernKeys) {
  request_.login.password.clear();
  request_.login.key_file = Key();
  for (const char* type : {"RSA", "rsa", "DSA", ""}) {
    request_.login.key_type = type;
    ExpectListed(RunSwitchSession(request_), type);
  }
}

TEST_F(SessionStart, AKeyFileThatCannotBeLoadedFailsTheStartNamingTheFile) {
  request_.login.key_file = dir_.Path("missing_key");
  SwitchSession session(request_);
  try {
    session.Start();
    ADD_FAILURE() << "the start must fail";
  } catch (const AutomationError& e) {
    EXPECT_NE(e.description().find("missing_key"), std::string::npos) << e.description();
    EXPECT_EQ(e.description().find("s3cret"), std::string::npos) << "the pass phrase stays secret";
  }
}

TEST_F(SessionStart, AConnectThatCannotStartEndsTheSessionWithItsDescription) {
  request_.host = "  ";
  const Transcript t = RunSwitchSession(request_);
  EXPECT_EQ(t.connect_error, "cannot connect: no host name is set");
  EXPECT_EQ(t.fault, "");
}

TEST_F(SessionStart, AFailedLoginIsTheConnectErrorAndNoFault) {
  request_.login.password = "wrong";
  const Transcript t = RunSwitchSession(request_);
  EXPECT_NE(t.connect_error.find("authentication failed for user admin"), std::string::npos) << t.connect_error;
  EXPECT_EQ(t.fault, "");
}

TEST_F(SessionStart, DebugFileOnlyWhenSwitchedOnAndNamedAndNeverWithSecrets) {
  const std::string log = dir_.Path("ssh-debug.log");
  request_.debug_file = log;
  ExpectListed(RunSwitchSession(request_), "debug off");
  EXPECT_FALSE(std::filesystem::exists(log));
  request_.debug = true;
  request_.debug_file = "";
  ExpectListed(RunSwitchSession(request_), "no file");
  request_.debug_file = log;
  ExpectListed(RunSwitchSession(request_), "debug on");
  ASSERT_TRUE(std::filesystem::exists(log));
  const std::string content = ReadWholeFile(log);
  EXPECT_FALSE(content.empty());
  EXPECT_EQ(content.find("s3cret"), std::string::npos);
  EXPECT_EQ(content.find("en4ble"), std::string::npos);
}

TEST_F(SessionStart, TheTranscriptHoldsBothCapturesAndTheNegotiatedFacts) {
  request_.conversation.configuration = "COMPARE";
  const Transcript t = RunSwitchSession(request_);
  EXPECT_EQ(t.connect_error, "");
  // Where the first capture ends depends on how the data arrived; it holds
  // at least the start of the session's answer.
  EXPECT_FALSE(t.captures.first().empty());
  EXPECT_NE(t.captures.second().find("show running-config"), std::string::npos);
  EXPECT_EQ(t.captures.output.find("show startup-config") < t.captures.output.find("show running-config"), true);
  EXPECT_EQ(t.negotiated.protocol, "SSH-2.0");
  EXPECT_FALSE(t.negotiated.key_exchange.empty());
  EXPECT_FALSE(t.negotiated.host_key_type.empty());
  EXPECT_NE(t.negotiated.server_to_client.find('/'), std::string::npos);
  EXPECT_EQ(t.negotiated.fingerprint.rfind("SHA256:", 0), 0u);
}

}  // namespace
}  // namespace comvorlix

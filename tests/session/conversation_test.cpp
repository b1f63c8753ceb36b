// The device dialog driven by scripted Received events, without SSH.
#include "session/conversation.h"

#include <gtest/gtest.h>

#include <deque>

#include "component/check_state.h"

namespace comvorlix {
namespace {

// Hands out scripted chunks and records what the dialog types.
class ScriptedChannel : public ConversationChannel {
 public:
  void Send(const Text& text) override { sent.push_back(ToUtf8(text)); }
  Text Receive(int16_t byte_count) override {
    Text chunk = pending.substr(0, byte_count);
    pending.erase(0, byte_count);
    return chunk;
  }
  std::vector<std::string> sent;
  Text pending;
};

class DialogEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CheckState& s = ThreadCheckState();
    s = CheckState();
    s.gEnablePassword = u"en-secret";
    engine.StartSession();
  }

  void Start(const char* device, const char* configuration) {
    CheckState& s = ThreadCheckState();
    s.gDevice = T(device);
    s.gConfiguration = T(configuration);
  }

  // One Received event carrying `data`.
  void Receive(const std::string& data, std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now()) {
    channel.pending += T(data);
    engine.OnReceived(channel, static_cast<int16_t>(data.size()), now);
  }

  std::vector<std::string> TakeSent() { return std::exchange(channel.sent, {}); }

  Conversation engine;
  ScriptedChannel channel;
};

using Sent = std::vector<std::string>;

TEST_F(DialogEngineTest, FirstEventInEstablishedStateTypesTheCiscoOpeningAndCapturesIntoFirstBuffer) {
  Start("CSCSW", "RUN");
  engine.OnStateChange(3);
  Receive("123456789012");
  EXPECT_EQ(TakeSent(), (Sent{"en\r", "en-secret\r", "terminal length 0 \r", "show running-config\r"}));
  EXPECT_EQ(engine.state().DialogStep, 1);
  EXPECT_TRUE(engine.state().CommandsSent);
  EXPECT_EQ(ThreadCheckState().gReceived, u"123456789012");
  EXPECT_EQ(ThreadCheckState().gReceivedRunning, u"");
  EXPECT_EQ(ThreadCheckState().gSessionOutput, u"123456789012");
}

TEST_F(DialogEngineTest, ThirtyCharactersDoNotMoveOnButThirtyOneDo) {
  Start("CSCSW", "START");
  engine.OnStateChange(3);
  Receive(std::string(30, 'x'));
  EXPECT_EQ(TakeSent().back(), "show startup-config\r");
  EXPECT_EQ(engine.state().DialogStep, 1);
  Receive("y");
  EXPECT_EQ(TakeSent(), (Sent{"exit\r"}));
  EXPECT_EQ(engine.state().DialogStep, 2);
  EXPECT_EQ(engine.state().LogoutThreshold, 30);
}

TEST_F(DialogEngineTest, DataBeforeTheShellIsOpenOnlyCaptures) {
  Start("ARUSW", "RUN");
  engine.OnStateChange(2);
  Receive("banner text");
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_EQ(engine.state().DialogStep, 0);
  EXPECT_EQ(ThreadCheckState().gReceivedRunning, u"banner text");
  EXPECT_EQ(ThreadCheckState().gReceived, u"");
}

TEST_F(DialogEngineTest, ArubaCompareListsStartupFirstThenRunningAndLogsOutDecliningToSave) {
  Start("ARUSW", "COMPARE");
  engine.OnStateChange(3);
  Receive(std::string(20, 'a'));
  EXPECT_EQ(TakeSent(), (Sent{"\r", "terminal length 1000 \r", "show config\r"}));
  Receive(std::string(500, 'b'));
  EXPECT_EQ(TakeSent(), (Sent{"show running\r"}));
  EXPECT_EQ(ThreadCheckState().gReceived.size(), 520u);
  Receive(std::string(400, 'c'));
  EXPECT_EQ(TakeSent(), (Sent{"exit\rexit\ry\rn\r"}));
  Receive(std::string(100, 'd'));
  EXPECT_EQ(TakeSent(), (Sent{"exit\rexit\ry\rn\r"}));
  EXPECT_EQ(ThreadCheckState().gReceivedRunning.size(), 500u);
  EXPECT_EQ(ThreadCheckState().gSessionOutput.size(), 1020u);
}

TEST_F(DialogEngineTest, CiscoCompareListsBothConfigurations) {
  Start("CSCSW", "COMPARE");
  engine.OnStateChange(3);
  Receive(std::string(40, 'a'));
  EXPECT_EQ(TakeSent(), (Sent{"en\r", "en-secret\r", "terminal length 0 \r", "show startup-config\r",
                              "show running-config\r"}));
}

TEST_F(DialogEngineTest, HpKindsListTheSavedConfigurationForStart) {
  for (const char* device : {"HP1920SW", "HP2510SW"}) {
    SetUp();
    Start(device, "START");
    engine.OnStateChange(3);
    Receive("x");
    Sent sent = TakeSent();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), "display saved-configuration \r") << device;
    EXPECT_EQ(engine.state().LogoutThreshold, 30) << device;
  }
}

TEST_F(DialogEngineTest, Hp1920OpeningAnswersTheCommandLineModeQuestionsAhead) {
  Start("HP1920SW", "RUN");
  engine.OnStateChange(3);
  Receive("<HP 1920G Switch>");
  EXPECT_EQ(TakeSent(), (Sent{"_cmdline-mode on\r\n", "Y\r\n", "en-secret\r\n\r\n", "screen-length disable \r",
                              "display current-configuration \r"}));
  Receive(std::string(40, 'x'));
  EXPECT_TRUE(TakeSent().empty()) << "the HP 1920 has no follow-up";
  Receive(std::string(31, 'z'));
  EXPECT_EQ(TakeSent(), (Sent{"quit\r"}));
}

TEST_F(DialogEngineTest, UnknownDeviceSendsNothingAtOpeningExitAfterThirtyAndNeverLogsOut) {
  Start("SOMETHING", "RUN");
  engine.OnStateChange(3);
  Receive("hello");
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_EQ(engine.state().DialogStep, 1);
  EXPECT_FALSE(engine.state().CommandsSent);
  Receive(std::string(30, 'x'));
  EXPECT_EQ(TakeSent(), (Sent{"exit\r"}));
  Receive(std::string(100, 'y'));
  Receive(std::string(100, 'y'));
  EXPECT_TRUE(TakeSent().empty());
}

TEST_F(DialogEngineTest, DeviceCodesAreCaseSensitive) {
  Start("cscsw", "RUN");
  engine.OnStateChange(3);
  Receive("x");
  EXPECT_TRUE(TakeSent().empty());
}

TEST_F(DialogEngineTest, LogoutRepeatsOnEveryEventAndStopsAfterTheTimeOut) {
  Start("CSCSW", "RUN");
  ThreadCheckState().gTimeout = 5;
  engine.OnStateChange(3);
  auto t0 = std::chrono::steady_clock::now();
  Receive(std::string(31, 'a'), t0);
  TakeSent();
  Receive(std::string(31, 'b'), t0);
  for (int i = 1; i <= 3; ++i) Receive("c", t0 + std::chrono::seconds(i));
  EXPECT_EQ(TakeSent(), Sent(4, "exit\rexit\ry\rn\r"));
  Receive("d", t0 + std::chrono::seconds(6));
  EXPECT_TRUE(TakeSent().empty()) << "a switch that never closes must fall silent";
}

TEST_F(DialogEngineTest, NoLogoutWhileTheSecondBufferIsAtTheThreshold) {
  Start("CSCSW", "RUN");
  engine.OnStateChange(3);
  Receive(std::string(31, 'a'));
  TakeSent();
  Receive(std::string(30, 'b'));
  EXPECT_TRUE(TakeSent().empty());
  Receive("b");
  EXPECT_EQ(TakeSent().size(), 1u);
}

TEST_F(DialogEngineTest, ANewSessionStartsAtStepZero) {
  Start("CSCSW", "RUN");
  engine.OnStateChange(3);
  Receive(std::string(40, 'a'));
  engine.StartSession();
  EXPECT_EQ(engine.state().DialogStep, 0);
  EXPECT_FALSE(engine.state().CommandsSent);
  EXPECT_EQ(engine.state().LogoutThreshold, 30) << "the threshold carries over";
}

}  // namespace
}  // namespace comvorlix

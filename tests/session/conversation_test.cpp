// The device dialog driven by scripted Received events, without SSH.
#include "session/conversation.h"

#include <gtest/gtest.h>

#include <memory>

#include "devices/device_table.h"

namespace comvorlix {
namespace {

// Hands out scripted chunks and records what the conversation types.
class ScriptedChannel : public ConversationChannel {
 public:
  void Send(std::string_view bytes) override { sent.emplace_back(bytes); }
  std::string Receive(size_t max) override {
    std::string chunk = pending.substr(0, max);
    pending.erase(0, max);
    return chunk;
  }
  std::vector<std::string> sent;
  std::string pending;
};

class DialogEngineTest : public ::testing::Test {
 protected:
  // A new conversation for `device` (a DEV code) and `configuration`.
  void Start(const char* device, const char* configuration, int16_t timeout = 0) {
    engine = std::make_unique<Conversation>(
        ConversationSettings{FindDeviceKind(T(device)), T(configuration), "en-secret", timeout});
    engine->StartSession();
    captures = Captures();
    channel.sent.clear();
  }

  // One Received event carrying `data`.
  void Receive(const std::string& data, std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now()) {
    channel.pending += data;
    engine->OnReceived(channel, data.size(), captures, now);
  }

  std::vector<std::string> TakeSent() { return std::exchange(channel.sent, {}); }
  const ConversationState& state() const { return engine->state(); }

  std::unique_ptr<Conversation> engine;
  ScriptedChannel channel;
  Captures captures;
};

using Sent = std::vector<std::string>;

TEST_F(DialogEngineTest, FirstEventInEstablishedStateTypesTheCiscoOpeningAndCapturesIntoFirstBuffer) {
  Start("CSCSW", "RUN");
  engine->OnStateChange(3);
  Receive("123456789012");
  EXPECT_EQ(TakeSent(), (Sent{"en\r", "en-secret\r", "terminal length 0 \r", "show running-config\r"}));
  EXPECT_EQ(state().DialogStep, 1);
  EXPECT_TRUE(state().CommandsSent);
  EXPECT_EQ(captures.first, "123456789012");
  EXPECT_EQ(captures.second, "");
  EXPECT_EQ(captures.output, "123456789012");
}

TEST_F(DialogEngineTest, ThirtyCharactersDoNotMoveOnButThirtyOneDo) {
  Start("CSCSW", "START");
  engine->OnStateChange(3);
  Receive(std::string(30, 'x'));
  EXPECT_EQ(TakeSent().back(), "show startup-config\r");
  EXPECT_EQ(state().DialogStep, 1);
  Receive("y");
  EXPECT_EQ(TakeSent(), (Sent{"exit\r"}));
  EXPECT_EQ(state().DialogStep, 2);
  EXPECT_EQ(state().LogoutThreshold, 30);
}

TEST_F(DialogEngineTest, DataBeforeTheShellIsOpenOnlyCaptures) {
  Start("ARUSW", "RUN");
  engine->OnStateChange(2);
  Receive("banner text");
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_EQ(state().DialogStep, 0);
  EXPECT_EQ(captures.second, "banner text");
  EXPECT_EQ(captures.first, "");
}

TEST_F(DialogEngineTest, ArubaCompareListsStartupFirstThenRunningAndLogsOutDecliningToSave) {
  Start("ARUSW", "COMPARE");
  engine->OnStateChange(3);
  Receive(std::string(20, 'a'));
  EXPECT_EQ(TakeSent(), (Sent{"\r", "terminal length 1000 \r", "show config\r"}));
  Receive(std::string(500, 'b'));
  EXPECT_EQ(TakeSent(), (Sent{"show running\r"}));
  EXPECT_EQ(captures.first.size(), 520u);
  Receive(std::string(400, 'c'));
  EXPECT_EQ(TakeSent(), (Sent{"exit\rexit\ry\rn\r"}));
  Receive(std::string(100, 'd'));
  EXPECT_EQ(TakeSent(), (Sent{"exit\rexit\ry\rn\r"}));
  EXPECT_EQ(captures.second.size(), 500u);
  EXPECT_EQ(captures.output.size(), 1020u);
}

TEST_F(DialogEngineTest, CiscoCompareListsBothConfigurations) {
  Start("CSCSW", "COMPARE");
  engine->OnStateChange(3);
  Receive(std::string(40, 'a'));
  EXPECT_EQ(TakeSent(), (Sent{"en\r", "en-secret\r", "terminal length 0 \r", "show startup-config\r",
                              "show running-config\r"}));
}

TEST_F(DialogEngineTest, HpKindsListTheSavedConfigurationForStart) {
  for (const char* device : {"HP1920SW", "HP2510SW"}) {
    Start(device, "START");
    engine->OnStateChange(3);
    Receive("x");
    Sent sent = TakeSent();
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent.back(), "display saved-configuration \r") << device;
    EXPECT_EQ(state().LogoutThreshold, 30) << device;
  }
}

TEST_F(DialogEngineTest, Hp1920OpeningAnswersTheCommandLineModeQuestionsAhead) {
  Start("HP1920SW", "RUN");
  engine->OnStateChange(3);
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
  engine->OnStateChange(3);
  Receive("hello");
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_EQ(state().DialogStep, 1);
  EXPECT_FALSE(state().CommandsSent);
  Receive(std::string(30, 'x'));
  EXPECT_EQ(TakeSent(), (Sent{"exit\r"}));
  Receive(std::string(100, 'y'));
  Receive(std::string(100, 'y'));
  EXPECT_TRUE(TakeSent().empty());
}

TEST_F(DialogEngineTest, DeviceCodesAreCaseSensitive) {
  Start("cscsw", "RUN");
  engine->OnStateChange(3);
  Receive("x");
  EXPECT_TRUE(TakeSent().empty());
}

TEST_F(DialogEngineTest, LogoutRepeatsOnEveryEventAndStopsAfterTheTimeOut) {
  Start("CSCSW", "RUN", 5);
  engine->OnStateChange(3);
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
  engine->OnStateChange(3);
  Receive(std::string(31, 'a'));
  TakeSent();
  Receive(std::string(30, 'b'));
  EXPECT_TRUE(TakeSent().empty());
  Receive("b");
  EXPECT_EQ(TakeSent().size(), 1u);
}

TEST_F(DialogEngineTest, ANewSessionStartsAtStepZero) {
  Start("CSCSW", "RUN");
  engine->OnStateChange(3);
  Receive(std::string(40, 'a'));
  engine->StartSession();
  EXPECT_EQ(state().DialogStep, 0);
  EXPECT_FALSE(state().CommandsSent);
  EXPECT_EQ(state().LogoutThreshold, 30) << "the threshold carries over";
}

TEST_F(DialogEngineTest, EveryByteIsCapturedAsSentAndTheEnablePasswordTypedAsGiven) {
  engine = std::make_unique<Conversation>(
      ConversationSettings{FindDeviceKind(u"CSCSW"), u"RUN", std::string("\xE9t\xE9\x00", 4), 0});
  engine->OnStateChange(3);
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  Receive(all);
  EXPECT_EQ(captures.first, all);
  EXPECT_EQ(captures.output, all);
  EXPECT_EQ(TakeSent().at(1), std::string("\xE9t\xE9\x00\r", 5));
}

}  // namespace
}  // namespace comvorlix

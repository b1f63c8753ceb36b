// The device dialog driven by scripted Received events, without SSH: what
// each kind is sent in an ordinary exchange as data (data/*.exchange), then
// the edges as code.
#include "session/conversation.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <cctype>
#include <fstream>
#include <memory>
#include <sstream>

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

// Each data/*.exchange file holds conversations of one kind, a row per
// Received event and per send it must cause:
//
//   kind CODE CFG         a new conversation (enable password "en-secret",
//                         the shell open); CODE may be no known kind
//   < "TEXT" ["TEXT"...]  Received events, one a string
//   > "TEXT" ["TEXT"...]  the sends those events caused, in order, one
//                         string a send; no ">" row after a "<": none
//   unanswered "TEXT"     what Captures::unanswered holds at this point
//   # ...                 a comment; blank lines are skipped
//
// TEXT is escaped with \r, \n, \" , \\ and \xNN; {TOKEN} stands for the
// session's marker token.
std::vector<std::string> Strings(std::string_view row, const std::string& token) {
  std::vector<std::string> out;
  for (size_t i = row.find('"'); i != std::string_view::npos; i = row.find('"', i + 1)) {
    std::string& text = out.emplace_back();
    for (++i; i < row.size() && row[i] != '"'; ++i) {
      char c = row[i];
      if (c == '\\' && ++i < row.size()) {
        c = row[i] == 'r' ? '\r' : row[i] == 'n' ? '\n' : row[i];
        if (c == 'x') {
          c = static_cast<char>(std::stoi(std::string(row.substr(i + 1, 2)), nullptr, 16));
          i += 2;
        }
      }
      text += c;
    }
    for (size_t at = 0; (at = text.find("{TOKEN}", at)) != std::string::npos; at += token.size()) {
      text.replace(at, 7, token);
    }
  }
  return out;
}

std::vector<std::string> ExchangeFiles() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(TEST_DATA_DIR)) {
    if (entry.path().extension() == ".exchange") names.push_back(entry.path().stem().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

class ExchangeFile : public ::testing::TestWithParam<std::string> {};

TEST_P(ExchangeFile, TheConversationTypesWhatEachRowSays) {
  std::ifstream in(std::string(TEST_DATA_DIR) + "/" + GetParam() + ".exchange");
  ASSERT_TRUE(in) << GetParam();
  std::unique_ptr<Conversation> engine;
  ScriptedChannel channel;
  Captures captures;
  std::optional<std::vector<std::string>> expected;  // the sends of the last "<" row
  std::string where;
  const auto settle = [&] {
    if (!expected) return;
    EXPECT_EQ(std::exchange(channel.sent, {}), *expected) << "after the events of " << where;
    expected.reset();
    // The token typed around the listing is the session's, 16 hexadecimal
    // digits, and told to the captures.
    const std::string& token = engine->state().marker_token;
    EXPECT_EQ(token.size(), 16u);
    EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos) << token;
    EXPECT_TRUE(captures.marker_token.empty() || captures.marker_token == token) << where;
    EXPECT_EQ(captures.first_size() + captures.second_size(), captures.output.size()) << where;
  };
  std::string row;
  for (int number = 1; std::getline(in, row); ++number) {
    if (row.empty() || row[0] == '#') continue;
    const std::string at = GetParam() + ".exchange:" + std::to_string(number);
    const std::string word = row.substr(0, row.find(' '));
    if (word == "kind") {
      settle();
      std::string code, configuration;
      std::istringstream(row.substr(5)) >> code >> configuration;
      engine = std::make_unique<Conversation>(
          ConversationSettings{FindDeviceKind(code), configuration, "en-secret", 0});
      engine->StartSession();
      engine->OnStateChange(kSessionEstablished);
      captures = Captures();
      continue;
    }
    ASSERT_TRUE(engine) << at << ": no \"kind\" row before";
    const std::vector<std::string> texts = Strings(row, engine->state().marker_token);
    if (word == "<") {
      settle();
      for (const std::string& data : texts) {
        channel.pending += data;
        engine->OnReceived(channel, data.size(), captures);
      }
      expected.emplace();
      where = at;
    } else if (word == ">") {
      ASSERT_TRUE(expected) << at << ": a send before anything was received";
      expected->insert(expected->end(), texts.begin(), texts.end());
    } else {
      ASSERT_EQ(word, "unanswered") << at;
      settle();
      EXPECT_EQ(captures.unanswered, texts.at(0)) << at;
    }
  }
  settle();
}

INSTANTIATE_TEST_SUITE_P(Kinds, ExchangeFile, ::testing::ValuesIn(ExchangeFiles()),
                         [](const ::testing::TestParamInfo<std::string>& file) { return file.param; });

class DialogEngineTest : public ::testing::Test {
 protected:
  // A new conversation for `device` (a DEV code) and `configuration`.
  void Start(const char* device, const char* configuration, int16_t timeout = 0) {
    engine = std::make_unique<Conversation>(
        ConversationSettings{FindDeviceKind(device), configuration, "en-secret", timeout});
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

  // The marker command as typed in this session.
  std::string Marker(const char* command = "mark-") const {
    return std::string(command) + state().marker_token + "\r";
  }
  std::string CiscoMarker() const { return Marker("show clock | include "); }
  // The switch's echo of the marker typed at the opening, after `prompt`.
  std::string MarkerEcho(const std::string& prompt, const char* command = "show clock | include ") const {
    const std::string typed = Marker(command);
    return prompt + typed.substr(0, typed.size() - 1) + "\r\n";
  }

  // Plays a Cisco switch that asks for the enable password, up to the
  // listing commands.
  void OpenCisco(std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now()) {
    engine->OnStateChange(3);
    Receive("Switch>", now);
    Receive(MarkerEcho("") + "Switch>en\r\nPassword: ", now);
    Receive("\r\nSwitch#", now);
  }
  const ConversationState& state() const { return engine->state(); }

  std::unique_ptr<Conversation> engine;
  ScriptedChannel channel;
  Captures captures;
};

using Sent = std::vector<std::string>;

// Switch text that imitates the dialog or echoes the secret, and bytes of
// every value: the hostile cases.

// The banner arrives byte by byte after "en" was typed: its "Switch>en" and
// "Password:" came before the switch read anything, which only the marker's
// echo can tell.
TEST_F(DialogEngineTest, ABannerImitatingTheDialogAfterEnWasTypedIsNoAnswer) {
  Start("CSCSW", "RUN");
  engine->OnStateChange(3);
  Receive("\r");
  EXPECT_EQ(TakeSent(), (Sent{CiscoMarker(), "en\r"}));
  for (const char c : std::string("\nSwitch>en\r\nPassword: \r\nSwitch#en\r\nPassword:")) Receive(std::string(1, c));
  EXPECT_TRUE(TakeSent().empty());
  Receive("\r\nSwitch#" + MarkerEcho("Switch#") + "Switch#en\r\nSwitch#");
  EXPECT_EQ(TakeSent(), (Sent{"terminal length 0 \r", CiscoMarker(), "show running-config\r", CiscoMarker()}));
}

// An echo of the secret is masked wherever it arrives before the switch
// echoes the marker typed after it, split or not; the listing after that
// is left as sent.
TEST_F(DialogEngineTest, TheSecretsEchoIsMaskedUntilTheNextMarkersEcho) {
  Start("CSCSW", "RUN");
  OpenCisco();
  Receive("en-se");
  Receive("cret\r\n% Unknown\r\nSwitch#en-sec");
  Receive("ret\r\n" + MarkerEcho("Switch#") + "Switch#show running-config\r\nenable password en-secret\r\n");
  Receive("en-secret");
  EXPECT_EQ(captures.output.find("en-secret"), captures.output.find("enable password en-secret") + 16);
  EXPECT_NE(captures.output.find("*********\r\n% Unknown\r\nSwitch#*********\r\n"), std::string::npos);

  Start("CSCSW", "RUN");
  OpenCisco();
  Receive("Switch#en-secr");
  Receive("et");
  engine->EndSession(captures);
  EXPECT_EQ(captures.output.substr(captures.output.size() - 16), "Switch#*********") << "the unfinished line at the end";
}

TEST_F(DialogEngineTest, ARefusedEnablePasswordEndsTheDialogAndNamesTheStep) {
  Start("CSCSW", "RUN");
  engine->OnStateChange(3);
  Receive("Switch>");
  Receive(MarkerEcho("") + "Switch>en\r\nPassword: ");
  TakeSent();
  Receive("en-secret\r\nPassword: ");
  EXPECT_EQ(TakeSent(), (Sent{"exit\rexit\ry\rn\r"}));
  EXPECT_EQ(state().phase, Phase::kClosing);
  EXPECT_EQ(captures.unanswered, "the switch did not accept the enable password after \"en\"");
  EXPECT_EQ(captures.output.find("en-secret"), std::string::npos) << "an echoed secret is masked";
  EXPECT_NE(captures.output.find("*********\r\nPassword"), std::string::npos);
  EXPECT_EQ(captures.second().find("en-secret"), std::string::npos);
}

TEST_F(DialogEngineTest, EveryByteIsCapturedAsSentAndTheEnablePasswordTypedAsGiven) {
  engine = std::make_unique<Conversation>(
      ConversationSettings{FindDeviceKind("CSCSW"), "RUN", std::string("\xE9t\xE9\x00", 4), 0});
  engine->StartSession();
  OpenCisco();
  const std::string before = captures.output;
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  Receive(all);
  EXPECT_EQ(captures.first(), all);
  EXPECT_EQ(captures.output, before + all);
  EXPECT_EQ(TakeSent().at(2), std::string("\xE9t\xE9\x00\r", 5));
}

// Time: the wait for an answer, the end of the listing and the logout's
// repetition, all against the time-out.

TEST_F(DialogEngineTest, NoQuestionAndNoPromptWithinTheTimeOutEndsTheDialog) {
  Start("CSCSW", "RUN", 5);
  engine->OnStateChange(3);
  const auto t0 = std::chrono::steady_clock::now();
  Receive("Switch>", t0);
  TakeSent();
  EXPECT_EQ(captures.unanswered, "the switch neither asked for the enable password nor showed a prompt after \"en\"")
      << "a session that ends now says why";
  Receive("en\r\nnoise", t0 + std::chrono::seconds(5));
  EXPECT_TRUE(TakeSent().empty());
  Receive("more noise", t0 + std::chrono::seconds(6));
  EXPECT_EQ(TakeSent(), (Sent{"exit\rexit\ry\rn\r"}));
  EXPECT_NE(captures.unanswered, "");
}

TEST_F(DialogEngineTest, TheLogoutFollowsTheMarkerAfterTheLastListingWhenNothingMoreArrives) {
  Start("HP2510SW", "RUN");
  engine->OnStateChange(3);
  Receive("HP-2530-24G# ");
  TakeSent();
  const std::string echo = "HP-2530-24G# " + Marker().substr(0, 21) + "\r\n";
  Receive(echo + "Invalid input\r\nHP-2530-24G# display current-configuration\r\nRunning configuration:\r\n\r\n" +
          "hostname \"x\"\r\n" + echo.substr(0, 13));
  EXPECT_EQ(state().phase, Phase::kClosing);
  EXPECT_TRUE(TakeSent().empty()) << "the listing has not ended yet";
  EXPECT_FALSE(state().close_by);
  const auto t0 = std::chrono::steady_clock::now();
  Receive(echo.substr(13), t0);
  EXPECT_EQ(TakeSent(), (Sent{"quit\r"}));
  EXPECT_EQ(state().close_by, t0 + std::chrono::seconds(2));
}

// Terminals redraw: an echo may come in capitals, broken by carriage
// returns, with blanks after it.
TEST_F(DialogEngineTest, AnEchoIsKnownThroughCapitalsCarriageReturnsAndTrailingBlanks) {
  Start("HP2510SW", "RUN");
  engine->OnStateChange(3);
  Receive("HP-2530-24G# ");
  TakeSent();
  std::string typed = Marker().substr(0, 21);
  for (char& c : typed) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  const std::string echo = "HP-2530-24G# " + typed.substr(0, 7) + "\r" + typed.substr(7) + " \r \r\n";
  Receive(echo + "HP-2530-24G# DISPLAY current-\rconfiguration\r\nhostname \"x\"\r\n");
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_FALSE(state().close_by);
  Receive(echo);
  EXPECT_EQ(TakeSent(), (Sent{"quit\r"}));
  EXPECT_TRUE(state().close_by) << "the listing's end was not seen";
}

TEST_F(DialogEngineTest, LogoutRepeatsAtMostOnceASecondAndStopsAfterTheTimeOut) {
  Start("CSCSW", "RUN", 5);
  auto t0 = std::chrono::steady_clock::now();
  OpenCisco(t0);
  Receive(std::string(31, 'a'), t0);
  TakeSent();
  Receive(std::string(31, 'b'), t0);
  for (int i = 1; i <= 3; ++i) {
    // The switch's echo of the logout comes at once: no logout for it.
    Receive("c", t0 + std::chrono::seconds(i) - std::chrono::milliseconds(1));
    Receive("c", t0 + std::chrono::seconds(i));
  }
  EXPECT_EQ(TakeSent(), Sent(4, "exit\rexit\ry\rn\r"));
  EXPECT_FALSE(state().close_by) << "no listing end was seen";
  // A switch gone quiet gets the logout from the timer, on time.
  EXPECT_EQ(engine->LogoutDue(), t0 + std::chrono::seconds(4));
  engine->OnTimer(channel, t0 + std::chrono::milliseconds(3900));
  EXPECT_TRUE(TakeSent().empty());
  engine->OnTimer(channel, t0 + std::chrono::seconds(4));
  EXPECT_EQ(TakeSent(), Sent(1, "exit\rexit\ry\rn\r"));
  EXPECT_EQ(engine->LogoutDue(), t0 + std::chrono::seconds(5));
  engine->OnTimer(channel, t0 + std::chrono::seconds(5));
  TakeSent();
  EXPECT_FALSE(engine->LogoutDue()) << "the repetition ends after the time-out";
  Receive("d", t0 + std::chrono::seconds(6));
  EXPECT_TRUE(TakeSent().empty()) << "a switch that never closes must fall silent";
}

// Sizes: the thresholds at their edges, the two captures and their limit.

TEST_F(DialogEngineTest, ThirtyCharactersDoNotMoveOnButThirtyOneDo) {
  Start("CSCSW", "START");
  OpenCisco();
  Receive(std::string(30, 'x'));
  EXPECT_EQ(TakeSent().back(), CiscoMarker());
  EXPECT_EQ(state().phase, Phase::kListing);
  Receive("y");
  EXPECT_EQ(TakeSent(), (Sent{"exit\r"}));
  EXPECT_EQ(state().phase, Phase::kClosing);
}

TEST_F(DialogEngineTest, NoLogoutWhileTheSecondBufferIsAtTheThreshold) {
  Start("ARUSW", "RUN");
  engine->OnStateChange(3);
  Receive(std::string(31, 'a'));
  TakeSent();
  Receive(std::string(30, 'b'));
  EXPECT_TRUE(TakeSent().empty());
  Receive("b");
  EXPECT_EQ(TakeSent().size(), 1u);
}

TEST_F(DialogEngineTest, DataBeforeTheShellIsOpenOnlyCaptures) {
  Start("ARUSW", "RUN");
  engine->OnStateChange(2);
  Receive("banner text");
  EXPECT_TRUE(TakeSent().empty());
  EXPECT_EQ(state().phase, Phase::kOpening);
  EXPECT_EQ(captures.second(), "banner text");
  EXPECT_EQ(captures.first(), "");
}

// The two captures are the output split at step 1: the first is the
// stretch taken then, the second everything before and after it.
TEST_F(DialogEngineTest, TheCapturesSplitTheOutputAroundStepOne) {
  Start("ARUSW", "RUN");
  engine->OnStateChange(2);
  Receive("banner\r\n");
  engine->OnStateChange(3);
  Receive(std::string(20, 'a'));
  Receive(std::string(20, 'b'));
  EXPECT_EQ(state().phase, Phase::kClosing);
  Receive("tail");
  EXPECT_EQ(captures.first(), std::string(20, 'a') + std::string(20, 'b'));
  EXPECT_EQ(captures.second(), "banner\r\ntail");
  EXPECT_EQ(captures.output, "banner\r\n" + std::string(captures.first()) + "tail");
}

TEST_F(DialogEngineTest, OutputStopsAtThirtyTwoMebibytesAndIsFlagged) {
  Start("ARUSW", "RUN");
  engine->OnStateChange(3);
  const std::string mebibyte(size_t{1} << 20, 'z');
  for (int i = 0; i < 32; ++i) Receive(mebibyte);
  EXPECT_FALSE(state().output_truncated) << "exactly the limit is kept whole";
  Receive("+1");
  EXPECT_TRUE(state().output_truncated);
  EXPECT_EQ(captures.output.size(), size_t{32} << 20);
  EXPECT_EQ(captures.first_size() + captures.second_size(), captures.output.size());
  EXPECT_EQ(captures.output.back(), 'z');
}

TEST_F(DialogEngineTest, ANewSessionStartsAtStepZeroWithANewToken) {
  Start("CSCSW", "RUN");
  OpenCisco();
  Receive(std::string(40, 'a'));
  const std::string token = state().marker_token;
  engine->StartSession();
  EXPECT_NE(state().marker_token, token);
  EXPECT_EQ(state().phase, Phase::kOpening);
}

}  // namespace
}  // namespace comvorlix

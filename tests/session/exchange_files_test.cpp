// What every kind of switch is sent, as data: each tests/session/data/
// *.exchange file holds conversations of one kind, a row per Received
// event and per send it must cause. The grammar:
//
//   kind CODE CFG         a new conversation (enable password "en-secret",
//                         the shell open); CODE may be no known kind
//   < "TEXT" ["TEXT"...]  Received events, one a string
//   > "TEXT" ["TEXT"...]  the sends those events caused, in order, one string
//                         a send; no ">" row after a "<": nothing was typed
//   unanswered "TEXT"     what Captures::unanswered holds at this point
//   # ...                 a comment; blank lines are skipped
//
// TEXT is C-escaped (\r \n \t \" \\ \xNN) and {TOKEN} in it stands for the
// session's marker token.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "devices/device_table.h"
#include "session/conversation.h"

namespace comvorlix {
namespace {

class RecordingChannel : public ConversationChannel {
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

// The quoted strings of `rest`, unescaped; a malformed one fails the test.
std::vector<std::string> Quoted(std::string_view rest, const std::string& where) {
  std::vector<std::string> out;
  size_t i = 0;
  while (true) {
    while (i < rest.size() && rest[i] == ' ') ++i;
    if (i == rest.size()) return out;
    if (rest[i] != '"') {
      ADD_FAILURE() << where << ": a string must be quoted";
      return out;
    }
    std::string text;
    for (++i; i < rest.size() && rest[i] != '"'; ++i) {
      if (rest[i] != '\\' || i + 1 == rest.size()) {
        text += rest[i];
        continue;
      }
      const char e = rest[++i];
      if (e == 'x' && i + 2 < rest.size()) {
        text += static_cast<char>(std::stoi(std::string(rest.substr(i + 1, 2)), nullptr, 16));
        i += 2;
      } else {
        text += e == 'r' ? '\r' : e == 'n' ? '\n' : e == 't' ? '\t' : e;
      }
    }
    if (i == rest.size()) ADD_FAILURE() << where << ": unterminated string";
    out.push_back(text);
    ++i;
  }
}

std::string WithToken(std::string text, const std::string& token) {
  for (size_t at = 0; (at = text.find("{TOKEN}", at)) != std::string::npos; at += token.size()) {
    text.replace(at, 7, token);
  }
  return text;
}

// Walks the rows of one file.
class ExchangeRunner {
 public:
  void Row(const std::string& line, const std::string& where) {
    const size_t blank = line.find(' ');
    const std::string word = line.substr(0, blank);
    const std::string rest = blank == std::string::npos ? "" : line.substr(blank + 1);
    if (word == "kind") {
      Settle();
      std::istringstream in(rest);
      std::string code, configuration;
      in >> code >> configuration;
      engine_ = std::make_unique<Conversation>(ConversationSettings{FindDeviceKind(code), configuration, "en-secret", 0});
      engine_->StartSession();
      engine_->OnStateChange(kSessionEstablished);
      captures_ = Captures();
      channel_.sent.clear();
      name_ = where + " (" + rest + ")";
      return;
    }
    ASSERT_TRUE(engine_) << where << ": a row before the first \"kind\"";
    const std::string token = engine_->state().marker_token;
    if (word == "<") {
      Settle();
      for (const std::string& text : Quoted(rest, where)) {
        const std::string data = WithToken(text, token);
        channel_.pending += data;
        engine_->OnReceived(channel_, data.size(), captures_);
      }
      row_ = where;
      expected_.emplace();
    } else if (word == ">") {
      ASSERT_TRUE(expected_) << where << ": a send expected before anything was received";
      for (const std::string& text : Quoted(rest, where)) expected_->push_back(WithToken(text, token));
    } else if (word == "unanswered") {
      Settle();
      const std::vector<std::string> text = Quoted(rest, where);
      ASSERT_EQ(text.size(), 1u) << where;
      EXPECT_EQ(captures_.unanswered, text[0]) << where;
    } else {
      ADD_FAILURE() << where << ": unknown row \"" << word << "\"";
    }
  }

  // Compares what the last event typed with its ">" rows.
  void Settle() {
    if (!expected_) return;
    EXPECT_EQ(std::exchange(channel_.sent, {}), *expected_) << "after the event of " << row_ << " in " << name_;
    expected_.reset();
    // The token typed around the listing is the session's, 16 hexadecimal
    // digits, and told to the captures.
    const std::string& token = engine_->state().marker_token;
    EXPECT_EQ(token.find_first_not_of("0123456789abcdef"), std::string::npos) << name_;
    EXPECT_EQ(token.size(), 16u) << name_;
    if (!captures_.marker_token.empty()) {
      EXPECT_EQ(captures_.marker_token, token) << name_;
    }
    EXPECT_EQ(captures_.first_size() + captures_.second_size(), captures_.output.size()) << name_;
  }

 private:
  std::unique_ptr<Conversation> engine_;
  RecordingChannel channel_;
  Captures captures_;
  std::optional<std::vector<std::string>> expected_;
  std::string row_, name_;
};

std::vector<std::string> ExchangeFiles() {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::directory_iterator(TEST_DATA_DIR)) {
    if (entry.path().extension() == ".exchange") files.push_back(entry.path().stem().string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

class ExchangeFile : public ::testing::TestWithParam<std::string> {};

TEST_P(ExchangeFile, TheConversationTypesWhatEachRowSays) {
  std::ifstream in(std::string(TEST_DATA_DIR) + "/" + GetParam() + ".exchange");
  ASSERT_TRUE(in) << GetParam();
  ExchangeRunner runner;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.empty() || line[0] == '#') continue;
    runner.Row(line, GetParam() + ".exchange:" + std::to_string(number));
    if (HasFatalFailure()) return;
  }
  runner.Settle();
}

INSTANTIATE_TEST_SUITE_P(Kinds, ExchangeFile, ::testing::ValuesIn(ExchangeFiles()),
                         [](const ::testing::TestParamInfo<std::string>& file) {
                           std::string name = file.param;
                           for (char& c : name) {
                             if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

}  // namespace
}  // namespace comvorlix

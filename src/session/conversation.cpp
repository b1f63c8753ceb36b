#include "session/conversation.h"

#include <sys/random.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <system_error>

#include "base/bytes.h"
#include "base/pages.h"
#include "devices/device_table.h"

namespace comvorlix {
namespace {

bool HasSlot(std::string_view send) { return send.find(kEnablePasswordSlot) != std::string_view::npos; }

// The bytes typed for an opening step: the first enable password slot holds
// the enable password.
std::string OpeningBytes(std::string bytes, const std::string& enable_password) {
  const size_t at = bytes.find(kEnablePasswordSlot);
  if (at != std::string::npos) bytes.replace(at, kEnablePasswordSlot.size(), enable_password);
  return bytes;
}

// Without line ends and blanks at either end.
std::string Stripped(std::string_view s) {
  const size_t first = s.find_first_not_of(" \r\n");
  if (first == std::string_view::npos) return {};
  return std::string(s.substr(first, s.find_last_not_of(" \r\n") + 1 - first));
}

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

// The end of a line as compared: without carriage returns and trailing
// blanks. Echoes, questions and prompts are short and sit at a line's end,
// so only the last kLineTail bytes are looked at, however long the line.
constexpr size_t kLineTail = 1024;

std::string Clean(std::string_view line) {
  if (line.size() > kLineTail) line = line.substr(line.size() - kLineTail);
  std::string c;
  c.reserve(line.size());
  for (char ch : line) {
    if (ch != '\r' && ch != '\n') c += ch;
  }
  while (!c.empty() && c.back() == ' ') c.pop_back();
  return c;
}

bool EndsWith(std::string_view s, std::string_view end) {
  return s.size() >= end.size() && s.substr(s.size() - end.size()) == end;
}

bool EndsLikePrompt(std::string_view s) {
  return !s.empty() && (s.back() == '#' || s.back() == '>' || s.back() == ']');
}

// A prompt or a question the typed text was echoed after.
bool EndsLikePromptOrQuestion(std::string_view s) {
  return EndsLikePrompt(s) || (!s.empty() && (s.back() == ':' || s.back() == '?'));
}

// Whether the line `line` (cleaned, lower case) is the echo of `echo` after
// a prompt or a question.
bool IsEchoLine(const std::string& line, std::string_view echo) {
  if (echo.empty() || !EndsWith(line, echo)) return false;
  std::string head = line.substr(0, line.size() - echo.size());
  while (!head.empty() && head.back() == ' ') head.pop_back();
  return EndsLikePromptOrQuestion(head);
}

// Whether the raw line `raw` can be the echo of `echo` (lower case): whether
// Lower(Clean(raw)) ends in `echo`. Asked of every line of a listing before
// any copy of it is made, so it allocates nothing; IsEchoLine decides.
bool MayEndInEcho(std::string_view raw, std::string_view echo) {
  if (echo.empty()) return false;
  if (raw.size() > kLineTail) raw = raw.substr(raw.size() - kLineTail);
  const auto is_break = [](char c) { return c == '\r' || c == '\n'; };
  size_t i = raw.size();
  while (i > 0 && (is_break(raw[i - 1]) || raw[i - 1] == ' ')) --i;
  for (size_t e = echo.size(); e > 0; --e) {
    while (i > 0 && is_break(raw[i - 1])) --i;
    if (i == 0) return false;
    const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(raw[--i])));
    if (c != echo[e - 1]) return false;
  }
  return true;
}

// Where the line holding `at` starts.
// Looks back no further than kLineTail: only a line's end is compared.
size_t LineStart(std::string_view output, size_t at) {
  const size_t floor = at > kLineTail ? at - kLineTail : 0;
  for (size_t i = at; i > floor; --i) {
    if (output[i - 1] == '\n') return i;
  }
  return floor;
}

std::string RandomToken() {
  unsigned char bytes[8];
  size_t got = 0;
  while (got < sizeof bytes) {
    const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
    if (n > 0) got += static_cast<size_t>(n);
    else if (errno != EINTR) throw std::system_error(errno, std::generic_category(), "getrandom");
  }
  static const char kHex[] = "0123456789abcdef";
  std::string token;
  for (unsigned char b : bytes) {
    token += kHex[b >> 4];
    token += kHex[b & 15];
  }
  return token;
}

// Overwrites with '*' every whole occurrence of `secret` in
// buffer[from, to).
void MaskRange(std::string& buffer, size_t from, size_t to, const std::string& secret) {
  if (secret.empty() || to > buffer.size() || from >= to || to - from < secret.size()) return;
  for (size_t at = buffer.find(secret, from); at != std::string::npos && at + secret.size() <= to;
       at = buffer.find(secret, at + secret.size())) {
    std::fill_n(buffer.begin() + static_cast<std::ptrdiff_t>(at), secret.size(), '*');
  }
}

constexpr size_t kMaxAnswerBytes = 64 * 1024;

std::chrono::seconds SessionTimeout(int16_t timeout) { return std::chrono::seconds(timeout > 0 ? timeout : 30); }

// A command as typed, shown in a text for people.
std::string Quoted(std::string_view command) { return "\"" + Utf8OfCp1252(command) + "\""; }

}  // namespace

Conversation::Conversation(ConversationSettings settings)
    : settings_(std::move(settings)),
      known_(settings_.device != nullptr),
      compare_(settings_.configuration == "COMPARE") {
  const DeviceKind& device = known_ ? *settings_.device : OtherDeviceKind();
  std::string command;
  for (const OpeningStep& o : device.opening) {
    Step step;
    step.bytes = OpeningBytes(o.send, settings_.enable_password);
    for (const std::string& q : o.questions) step.questions.push_back(Lower(q));
    step.secret = HasSlot(o.send);
    step.echo = step.secret ? std::string() : Lower(Stripped(o.send));
    step.answers_question = o.answers_question;
    step.asks_for = o.asks_for;
    if (!o.answers_question) command = Stripped(o.send);
    step.command = command;
    opening_.push_back(std::move(step));
  }
  if (!device.marker.empty()) marker_ = device.marker + device.line_end;
  const std::string& listing = FirstListing(device, settings_.configuration);
  if (!listing.empty()) first_listing_ = listing + device.line_end;
  run_listing_ = device.run_listing + device.line_end;
  follow_up_ = device.follow_up;
  logout_ = device.logout;
}

void Conversation::StartSession() {
  state_.phase = Phase::kOpening;
  commands_sent_ = false;
  state_.logout_since.reset();
  logout_last_.reset();
  listing_ended_ = false;
  state_.close_by.reset();
  state_.output_truncated = false;
  state_.marker_token = RandomToken();
  next_opening_ = 0;
  answer_wait_.reset();
  listing_end_ = ListingEnd();
  secret_echo_ = SecretEcho();
  opening_marked_ = false;
}

std::string Conversation::Marker() const {
  std::string bytes = marker_;
  const size_t at = bytes.find(kMarkerTokenSlot);
  if (at != std::string::npos) bytes.replace(at, kMarkerTokenSlot.size(), state_.marker_token);
  return bytes;
}

void Conversation::Capture(std::string_view data, Captures& captures) {
  std::string& output = captures.output;
  // The whole allowance is reserved at once: address space only, of which
  // the pages written are all the memory it takes. The output never moves
  // while it grows, and none of it is ever held twice.
  if (output.capacity() < kMaxCapturedBytes && !data.empty()) output.reserve(kMaxCapturedBytes);
  const size_t room = kMaxCapturedBytes - std::min(output.size(), kMaxCapturedBytes);
  if (data.size() > room) state_.output_truncated = true;
  data = data.substr(0, room);
  if (state_.phase == Phase::kListing) {
    // A stretch at step 1 that does not continue the first capture starts
    // it anew.
    if (captures.first_end != output.size() || captures.first_begin == captures.first_end) {
      captures.first_begin = output.size();
    }
    captures.first_end = output.size() + data.size();
  }
  // Written page after page, the output is made writable a stretch at a
  // time rather than trapping at every page.
  PrepareToWrite(output.data() + output.size(), data.size());
  output.append(data);
}

void Conversation::MaskSecret(Captures& captures, bool ended) {
  SecretEcho& echo = secret_echo_;
  if (!echo.from || echo.until) return;
  std::string& output = captures.output;
  // Complete lines are looked at before they are masked: the marker's echo
  // is found as the switch sent it, whatever the secret is.
  size_t limit = echo.scan;
  for (size_t nl; (nl = output.find('\n', echo.scan)) != std::string::npos;) {
    const std::string_view raw = std::string_view(output).substr(echo.scan, nl - echo.scan);
    if (MayEndInEcho(raw, echo.marker) && IsEchoLine(Lower(Clean(raw)), echo.marker)) {
      echo.until = echo.scan;
      break;
    }
    echo.scan = limit = nl + 1;
  }
  if (echo.until) limit = *echo.until;
  // The unfinished last line is masked once it is complete, or as the
  // session ends.
  else if (ended) limit = output.size();
  const std::string& secret = settings_.enable_password;
  // An echo may straddle what was masked before and what came since.
  const size_t overlap = secret.empty() ? 0 : secret.size() - 1;
  const size_t from = std::max(*echo.from, echo.masked > overlap ? echo.masked - overlap : 0);
  MaskRange(output, from, limit, secret);
  echo.masked = std::max(echo.masked, limit);
}

void Conversation::EndSession(Captures& captures) { MaskSecret(captures, true); }

std::optional<std::pair<size_t, size_t>> Conversation::MaskedSecretEcho() const {
  if (!secret_echo_.from) return std::nullopt;
  return std::pair{*secret_echo_.from, secret_echo_.until.value_or(secret_echo_.masked)};
}

void Conversation::SetUnanswered(Captures& captures, std::string text) {
  captures.unanswered = std::move(text);
}

void Conversation::TypeOpening(ConversationChannel& channel, Captures& captures, Clock::time_point now,
                               bool captured) {
  while (next_opening_ < opening_.size()) {
    // Counted once typed: a send that fails is tried again on the next event.
    const Step& step = opening_[next_opening_];
    // What the switch sent before it read what is typed now (a banner that
    // holds "Switch>en" and "Password:", arriving byte by byte long after the
    // step was typed) looks just like the answer. The first step that waits
    // is therefore preceded by the marker: its echo, which no banner can
    // hold, says that the switch has begun to read what the check typed.
    std::string marker;
    if (!step.questions.empty() && !opening_marked_) {
      marker = Marker();
      opening_marked_ = true;
      if (!marker.empty()) channel.Send(marker);
    }
    channel.Send(step.bytes);
    ++next_opening_;
    commands_sent_ = true;
    if (step.secret && !secret_echo_.from) {
      // Whatever the switch sends from now on may echo the secret, until it
      // echoes the next marker: it reads what is typed in order.
      SecretEcho& echo = secret_echo_;
      echo.from = captures.output.size();
      echo.scan = LineStart(captures.output, *echo.from);
      echo.masked = *echo.from;
      echo.marker = Lower(Stripped(Marker()));
    }
    if (step.questions.empty()) continue;
    // The answer starts after what has been received so far; data of this
    // event not yet captured was sent before the step was typed.
    AnswerWait wait;
    wait.awaited = next_opening_ - 1;
    wait.output_from = captured ? captures.output.size() : SIZE_MAX;
    wait.scan = captured ? LineStart(captures.output, wait.output_from) : 0;
    wait.marker = Lower(Stripped(marker));
    wait.since = now;
    answer_wait_ = wait;
    SetUnanswered(captures, step.secret ? "the switch showed no prompt after " + step.asks_for + " for " +
                                              Quoted(step.command)
                                        : "the switch neither asked for " + step.asks_for +
                                              " nor showed a prompt after " + Quoted(step.command));
    return;
  }
  TypeListing(channel, captures);
}

void Conversation::TypeListing(ConversationChannel& channel, Captures& captures) {
  const DeviceKind& device = known_ ? *settings_.device : OtherDeviceKind();
  if (!first_listing_.empty()) {
    const std::string marker = Marker();
    if (!marker.empty()) {
      captures.marker_token = state_.marker_token;
      channel.Send(marker);
    }
    channel.Send(first_listing_);
    if (!marker.empty()) {
      channel.Send(marker);
      AwaitListingEnd(first_listing_, captures);
    }
  }
  commands_sent_ = true;
  if (device.opening_threshold_offset) {
    logout_threshold_ = static_cast<int>(captures.first_size()) + *device.opening_threshold_offset;
  }
  state_.phase = Phase::kListing;
}

// What the switch answered to `step`, typed where the wait's answer starts:
// when the marker was typed before the step, nothing counts before the
// marker's echo (a complete line, after a prompt); then, for a command, the
// first complete line that ends in the command's echo after a prompt or
// question is the echo;
// for the secret, which is not echoed, the end of the line it was typed on.
// Then any later line that ends in a question is a question, and after a
// secret a line that starts with "Error:" or "% " a refusal; otherwise a
// last, unfinished line that ends like a prompt is a prompt (the switch
// waits there). Each complete line is looked at once.
Conversation::Answer Conversation::AnswerIn(std::string_view output, const Step& step, AnswerWait& wait) const {
  const auto asks = [&](const std::string& line) {
    return std::any_of(step.questions.begin(), step.questions.end(),
                       [&](const std::string& q) { return EndsWith(line, q); });
  };
  for (;;) {
    const size_t nl = output.find('\n', wait.scan);
    if (nl == std::string_view::npos) {
      if (!wait.echoed) return Answer::kNone;
      const std::string line = Lower(Clean(output.substr(wait.scan)));
      if (asks(line)) return Answer::kQuestion;
      return EndsLikePrompt(line) ? Answer::kPrompt : Answer::kNone;
    }
    const std::string line = Lower(Clean(output.substr(wait.scan, nl - wait.scan)));
    wait.scan = nl + 1;
    if (!wait.marker.empty()) {
      if (nl >= wait.output_from && IsEchoLine(line, wait.marker)) wait.marker.clear();
    } else if (!wait.echoed) {
      wait.echoed = nl >= wait.output_from && (step.echo.empty() || IsEchoLine(line, step.echo));
    } else if (asks(line)) {
      return Answer::kQuestion;
    } else if (step.secret && (line.rfind("error:", 0) == 0 || line.rfind("% ", 0) == 0)) {
      // A switch that refuses a secret without asking again says so and
      // shows its prompt ("Error: Invalid password." on Comware).
      return Answer::kRefused;
    }
  }
}

// Follows the complete lines received since the last call: the echo of the
// last listing command, then that of the marker after it.
bool Conversation::LastListingEnded(std::string_view output) {
  ListingEnd& end = listing_end_;
  if (end.awaited.empty()) return false;
  while (end.echoes < 2) {
    const size_t nl = output.find('\n', end.scan);
    if (nl == std::string_view::npos) return false;
    const std::string_view raw = output.substr(end.scan, nl - end.scan);
    end.scan = nl + 1;
    const std::string& echo = end.echoes == 0 ? end.awaited : end.marker;
    if (MayEndInEcho(raw, echo) && IsEchoLine(Lower(Clean(raw)), echo)) ++end.echoes;
  }
  return true;
}

void Conversation::AwaitListingEnd(std::string_view listing, const Captures& captures) {
  listing_end_ = ListingEnd{Lower(Stripped(listing)), Lower(Stripped(Marker())), captures.output.size(), 0};
}

void Conversation::GiveUp(ConversationChannel& channel, Clock::time_point now) {
  answer_wait_.reset();
  state_.phase = Phase::kClosing;
  logout_threshold_ = 0;
  state_.logout_since = now;
  logout_last_ = now;
  channel.Send(logout_);
}

std::optional<Conversation::Clock::time_point> Conversation::LogoutDue() const {
  if (state_.ssh_state != kSessionEstablished || state_.phase != Phase::kClosing || !state_.logout_since ||
      !logout_last_) {
    return std::nullopt;
  }
  const Clock::time_point due = *logout_last_ + kLogoutRepeat;
  if (due - *state_.logout_since > SessionTimeout(settings_.timeout)) return std::nullopt;
  return due;
}

void Conversation::OnTimer(ConversationChannel& channel, Clock::time_point now) {
  const std::optional<Clock::time_point> due = LogoutDue();
  if (due && now >= *due) TypeLogout(channel, now);
}

void Conversation::TypeLogout(ConversationChannel& channel, Clock::time_point now) {
  if (!state_.logout_since) state_.logout_since = now;
  if (now - *state_.logout_since > SessionTimeout(settings_.timeout)) return;
  if (logout_last_ && now - *logout_last_ < kLogoutRepeat) return;
  logout_last_ = now;
  channel.Send(logout_);
}

void Conversation::AwaitAnswer(ConversationChannel& channel, Captures& captures, Clock::time_point now) {
  AnswerWait& wait = *answer_wait_;
  if (wait.output_from == SIZE_MAX) {
    // Typed during this event: its data came before.
    wait.output_from = captures.output.size();
    wait.scan = LineStart(captures.output, wait.output_from);
    return;
  }
  const Step& step = opening_[wait.awaited];
  const Answer answer = AnswerIn(captures.output, step, wait);
  if (answer == Answer::kNone) {
    // An answer is a line or two: a switch that talks on and on instead is
    // not answering (and is not searched again and again).
    if (now - wait.since > SessionTimeout(settings_.timeout) ||
        captures.output.size() - wait.output_from > kMaxAnswerBytes) {
      GiveUp(channel, now);
    }
    return;
  }
  if ((answer == Answer::kQuestion && step.secret) || answer == Answer::kRefused) {
    SetUnanswered(captures, "the switch did not accept " + step.asks_for + " after " + Quoted(step.command));
    GiveUp(channel, now);
    return;
  }
  answer_wait_.reset();
  SetUnanswered(captures, std::string());
  if (answer == Answer::kPrompt) {
    while (next_opening_ < opening_.size() && opening_[next_opening_].answers_question) {
      ++next_opening_;
    }
  }
  TypeOpening(channel, captures, now, true);
}

void Conversation::OnReceived(ConversationChannel& channel, size_t byte_count, Captures& captures,
                              Clock::time_point now) {
  const bool established = state_.ssh_state == kSessionEstablished;

  // 1. Opening.
  if (established && state_.phase == Phase::kOpening && !answer_wait_) {
    if (known_) {
      TypeOpening(channel, captures, now, false);
    } else {
      state_.phase = Phase::kListing;
    }
  }

  // 2. Capture.
  Capture(channel.Receive(byte_count), captures);
  MaskSecret(captures, false);

  // 3. Answer.
  if (established && state_.phase == Phase::kOpening && answer_wait_) {
    AwaitAnswer(channel, captures, now);
    return;
  }

  // 4. Going on.
  bool moved_on = false;
  const DeviceKind& device = known_ ? *settings_.device : OtherDeviceKind();
  if (established && state_.phase == Phase::kListing && captures.first_size() > 30) {
    if (compare_ && known_) {
      channel.Send(run_listing_);
      const std::string marker = Marker();
      if (!marker.empty()) {
        channel.Send(marker);
        AwaitListingEnd(run_listing_, captures);
      }
      logout_threshold_ = 30;
    } else {
      for (const std::string& bytes : follow_up_) channel.Send(bytes);
      if (device.follow_up_threshold) logout_threshold_ = *device.follow_up_threshold;
    }
    state_.phase = Phase::kClosing;
    moved_on = true;
  }

  // 5. Logout.
  if (established && state_.phase == Phase::kClosing && commands_sent_) {
    // Followed on every event, so that the end is seen however the logout
    // came to be typed.
    if (!listing_ended_) listing_ended_ = LastListingEnded(captures.output);
    if ((!moved_on && captures.second_size() > static_cast<size_t>(std::max(logout_threshold_, 0))) ||
        listing_ended_) {
      TypeLogout(channel, now);
    }
    if (listing_ended_ && state_.logout_since && !state_.close_by) state_.close_by = now + kCloseGrace;
  }
}

}  // namespace comvorlix

// The device conversation: one turn per Received event of the SSH client.
//
// Every event runs these stages in this order:
//   1. Opening: in state 3 in Phase::kOpening, type the device's opening steps
//      (devices/device_table.h, OpeningStep) up to the first one that waits
//      for the switch's answer; when none waits, type the listing (below)
//      and move to Phase::kListing.
//   2. Capture: take the announced bytes and append them to the session
//      output (the whole session in arrival order, from which the check
//      takes the listings); bytes taken in Phase::kListing belong to the first
//      capture, the others to the second (see Captures).
//   3. Answer: in state 3 in Phase::kOpening while a step waits, look at what the
//      switch sent since it was typed: a question types the step that answers
//      it, a prompt skips the answering steps; the opening then goes on as in
//      stage 1. The first step that waits is typed after the marker (below),
//      and nothing the switch sent before the marker's echo counts as its
//      answer: a banner that holds "Switch>en" and "Password:" arrives after
//      the check typed "en" when the switch sends slowly, but it was sent
//      before the switch read it. An enable password typed only ever follows
//      a question. A
//      refused password, or no question and no prompt within the session's
//      time-out, ends the dialog: `Captures::unanswered` says what happened, the logout
//      is typed at once and on later events as in stage 5.
//   4. Going on: in state 3 in Phase::kListing, once the first buffer holds more than
//      30 bytes, type the follow-up (the second listing in a comparison, else
//      the device's follow-up) and move to Phase::kClosing; stage 5 then only looks
//      for the end of the last listing.
//   5. Logout: in state 3 in Phase::kClosing, once the second buffer is longer than
//      the threshold, or the marker's echo after the last listing has
//      arrived (nothing more is to come before the logout), and the opening
//      was sent, type the logout text, again on later events until the
//      switch closes the session, but at most once every kLogoutRepeat (a
//      switch echoes what is typed: typing on every event would feed
//      itself). The repetition stops once the logout has been typed for
//      longer than the session's time-out, so that a switch that echoes but
//      never closes falls silent and the SSH layer's idle time-out ends the
//      session; the owner calls OnTimer when a repetition is due and the
//      switch has sent nothing. Once the last listing has ended (the marker's echo after
//      it) and the logout was typed, `close_by` says when the owner ends
//      the session itself: kCloseGrace later; the listing is whole by then.
//
// The listing: the device's marker command (its token slot filled with
// `marker_token`, 16 hexadecimal digits from the system's random source,
// fresh for every session), the listing command, the marker again; in a
// comparison the second listing command and the marker once more. All of it
// is typed ahead, as are the steps after the last wait.
//
// The conversation is handed its settings when it is made and the capture
// buffers with every event; it keeps nothing else of a check. What it types
// are the bytes of the device table, the enable password put in where a
// step holds its slot. Should
// the switch echo the password, the echo is overwritten with '*' in the
// captures before anything else sees it: every occurrence from where it was
// typed up to the echo of the marker typed after it (the switch reads in
// order, so no echo of it can come later). The unfinished last line is
// masked when it is complete or at EndSession. Captured output beyond
// kMaxCapturedBytes is dropped and flagged (a switch that never stops talking
// must not exhaust memory). Errors of send or receive propagate to the
// caller. Not thread-safe; runs on the check's thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace comvorlix {

struct DeviceKind;

// The most output one session keeps: 32 MiB.
inline constexpr size_t kMaxCapturedBytes = size_t{32} << 20;
inline constexpr int32_t kSessionEstablished = 3;
// The logout is typed again at most this often.
inline constexpr std::chrono::seconds kLogoutRepeat{1};
// How long a switch is given to close the session once the listing is whole
// and the logout was typed.
inline constexpr std::chrono::seconds kCloseGrace{2};

// What the conversation needs of the SSH client.
class ConversationChannel {
 public:
  virtual ~ConversationChannel() = default;
  virtual void Send(std::string_view bytes) = 0;
  virtual std::string Receive(size_t max) = 0;
};

struct ConversationSettings {
  // The kind of switch; nullptr for a code that is none of the known kinds
  // (nothing is typed at the opening, "exit" CR ends the first step, no
  // logout).
  const DeviceKind* device = nullptr;
  std::string configuration;    // the CFG code: RUN, START, COMPARE or other
  std::string enable_password;  // the bytes typed where the opening asks for it
  int16_t timeout = 0;          // seconds; 0 or less counts as 30
};

// The bytes a session captured, and what it takes to read them.
//
// The two capture buffers are no copies: the first is the bytes taken at
// Phase::kListing (the first listing's answer), one stretch of the output; the second
// is everything else, before that stretch and after it (banner, second
// listing, logout). Only their sizes are needed while the session runs; the
// bytes of the second are put together on request. One Captures value
// belongs to one session.
struct Captures {
  std::string output;      // everything, in arrival order; at most kMaxCapturedBytes
  size_t first_begin = 0;  // the first capture is output[first_begin, first_end)
  size_t first_end = 0;

  std::string_view first() const {
    return std::string_view(output).substr(first_begin, first_end - first_begin);
  }
  size_t first_size() const { return first_end - first_begin; }
  size_t second_size() const { return output.size() - first_size(); }
  // A copy of the second capture's bytes (for debug lines and tests).
  std::string second() const {
    std::string out;
    out.reserve(second_size());
    out.append(output, 0, first_begin).append(output, first_end);
    return out;
  }
  // The token of the marker command typed around the listing commands;
  // empty when none was typed.
  std::string marker_token;
  // Not empty while the dialog waits for an answer and after it failed: what
  // the switch did not do in the opening, UTF-8 ("the switch neither asked
  // for the enable password nor showed a prompt after \"en\""); empty when
  // the opening went through. Never holds a secret.
  std::string unanswered;
};

// Where a session's dialog stands.
enum class Phase {
  kOpening,  // typing the opening steps and waiting for their answers
  kListing,  // the first listing command is typed; its answer is captured
  kClosing,  // the follow-up (or second listing) is typed; the logout follows
};

// What the owner of a session reads of its conversation. The conversation
// alone changes it; the bookkeeping of the dialog behind it is its own.
struct ConversationState {
  // The SSH client's state as last reported (OnStateChange): SshState's
  // number; kSessionEstablished once the shell is open.
  int32_t ssh_state = 0;
  Phase phase = Phase::kOpening;
  // The token of this session's marker command.
  std::string marker_token;
  // When the logout text was first typed in this session.
  std::optional<std::chrono::steady_clock::time_point> logout_since;
  // Set once the listing has ended and the logout was typed: when the
  // owner ends a session the switch has not closed by then.
  std::optional<std::chrono::steady_clock::time_point> close_by;
  bool output_truncated = false;
};

class Conversation {
 public:
  using Clock = std::chrono::steady_clock;

  explicit Conversation(ConversationSettings settings);

  // Resets the per-session state (the phase, the opening and logout
  // bookkeeping) and draws a new marker token; the SSH client's state and
  // the logout threshold carry over.
  void StartSession();
  void OnStateChange(int32_t state) { state_.ssh_state = state; }
  void OnReceived(ConversationChannel& channel, size_t byte_count, Captures& captures,
                  Clock::time_point now = Clock::now());
  // Types the logout again when it is due (LogoutDue) though the switch
  // sent nothing since: a switch that took the logout as an answer to a
  // question waits silently at its prompt.
  void OnTimer(ConversationChannel& channel, Clock::time_point now);
  // When the logout is to be typed again; nullopt when it is not being
  // typed or its repetition is over.
  std::optional<Clock::time_point> LogoutDue() const;
  // The session is over: what is left of the enable password's echo in the
  // unfinished last line is masked.
  void EndSession(Captures& captures);

  const ConversationState& state() const { return state_; }
  // The logout was typed and no listing is still arriving: the last one has
  // ended, or its end is not being watched for.
  bool LoggingOut() const { return state_.logout_since && (listing_ended_ || listing_end_.awaited.empty()); }
  // An opening step waits for the switch's answer.
  bool AwaitingAnswer() const { return answer_wait_.has_value(); }
  // Where the enable password's echo is masked in the session output:
  // [first, second); nullopt while it has not been typed.
  std::optional<std::pair<size_t, size_t>> MaskedSecretEcho() const;

 private:
  struct Step {
    std::string bytes;  // as typed, the secret put in
    std::vector<std::string> questions;  // lower case
    std::string echo;   // the command as echoed (blanks and line ends dropped)
    bool secret = false;
    bool answers_question = false;
    std::string asks_for;  // UTF-8
    std::string command;   // the command that began the exchange, as typed, for errors
  };
  enum class Answer { kNone, kQuestion, kPrompt, kRefused };

  // Where the dialog stands, besides what ConversationState shows.
  struct AnswerWait {
    size_t awaited = 0;      // the opening step whose answer is awaited
    size_t output_from = 0;  // where its answer starts in the session output
    size_t scan = 0;      // the first line of the output not yet looked at
    std::string marker;   // the marker's echo awaited first (lower case); empty: none or seen
    bool echoed = false;  // the echo has been seen
    std::chrono::steady_clock::time_point since;
  };
  // Watching for the end of the last listing: its command's echo (lower
  // case; empty: not watching), where the scan of complete lines goes on,
  // and how many of the two echoes it has seen (2: ended).
  struct ListingEnd {
    std::string awaited;
    std::string marker;  // the marker's echo, lower case
    size_t scan = 0;
    int echoes = 0;
  };
  // Masking the enable password's echo: from where it was typed (unset:
  // not typed) up to `until`, the start of the marker's echo after it
  // (unset: not seen yet); complete lines are looked at from `scan`, and
  // the output is masked up to `masked`.
  struct SecretEcho {
    std::optional<size_t> from;
    std::optional<size_t> until;
    size_t scan = 0;
    size_t masked = 0;
    std::string marker;  // lower case
  };

  void Capture(std::string_view data, Captures& captures);
  // Masks the enable password's echo in what has arrived (ended: all of it).
  void MaskSecret(Captures& captures, bool ended);
  // Types opening steps from state_.next_opening until one waits for an
  // answer or, after the last, the listing.
  void TypeOpening(ConversationChannel& channel, Captures& captures, Clock::time_point now, bool captured);
  void TypeListing(ConversationChannel& channel, Captures& captures);
  void SetUnanswered(Captures& captures, std::string text);
  void AwaitAnswer(ConversationChannel& channel, Captures& captures, Clock::time_point now);
  void GiveUp(ConversationChannel& channel, Clock::time_point now);
  void TypeLogout(ConversationChannel& channel, Clock::time_point now);
  Answer AnswerIn(std::string_view output, const Step& step, AnswerWait& wait) const;
  void AwaitListingEnd(std::string_view listing, const Captures& captures);
  bool LastListingEnded(std::string_view output);
  std::string Marker() const;

  const ConversationSettings settings_;
  const bool known_;
  const bool compare_;
  // The device table's texts as the bytes typed, worked out once.
  std::vector<Step> opening_;
  std::string marker_;  // with its line end; empty: no marker
  std::string first_listing_;  // with its line end; empty: nothing is listed
  std::string run_listing_;    // with its line end
  std::vector<std::string> follow_up_;
  std::string logout_;
  ConversationState state_;
  // Something has been typed in this session (an opening step or the
  // listing): the logout may follow.
  bool commands_sent_ = false;
  // The logout is typed once the second capture is longer than this.
  int logout_threshold_ = 0;
  // When the logout text was last typed.
  std::optional<std::chrono::steady_clock::time_point> logout_last_;
  // The last listing has ended: its command's echo and the marker's after
  // it have arrived.
  bool listing_ended_ = false;
  // The opening step typed next, and the wait for the answer to the one
  // typed before it.
  size_t next_opening_ = 0;
  std::optional<AnswerWait> answer_wait_;
  // The marker has been typed at the opening.
  bool opening_marked_ = false;
  ListingEnd listing_end_;
  SecretEcho secret_echo_;
};

}  // namespace comvorlix

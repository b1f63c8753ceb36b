// The device conversation: one turn per Received event of the SSH client.
//
// Every event runs four stages in this order:
//   1. Opening: in state 3 at step 0, type the device's opening commands and
//      the first listing command ahead, and move to step 1.
//   2. Capture: take the announced bytes and append them to the first
//      capture buffer at step 1, to the second one otherwise, and always to
//      the session output (the whole session in arrival order, from which the
//      check takes the listings).
//   3. Going on: in state 3 at step 1, once the first buffer holds more than
//      30 bytes, type the follow-up (the second listing in a comparison, else
//      the device's follow-up) and move to step 2; stage 4 is skipped.
//   4. Logout: in state 3 at step 2, once the second buffer is longer than
//      the threshold and the opening was sent, type the logout text, again
//      on every later event until the switch closes the session. The
//      repetition stops once the logout has been typed for longer than the
//      session's time-out, so that a switch that echoes but never closes
//      falls silent and the SSH layer's idle time-out ends the session.
//
// The conversation is handed its settings when it is made and the capture
// buffers with every event; it keeps nothing else of a check. What it types
// are the bytes of the device table's texts (one byte per character, the
// ANSI form), the enable password put into the opening as given. Captured
// output beyond kMaxCapturedBytes is dropped and flagged (a switch that never
// stops talking must not exhaust memory). Errors of send or receive
// propagate to the caller. Not thread-safe; runs on the check's thread.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "automation/text.h"

namespace comvorlix {

struct DeviceKind;

inline constexpr size_t kMaxCapturedBytes = size_t{64} << 20;
inline constexpr int32_t kSessionEstablished = 3;

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
  Text configuration;           // the CFG code: RUN, START, COMPARE or other
  std::string enable_password;  // the bytes typed where the opening asks for it
  int16_t timeout = 0;          // seconds; 0 or less counts as 30
};

// The bytes a session captured.
struct Captures {
  std::string first;   // at step 1: the first listing's answer
  std::string second;  // before step 1 and after it: banner, second listing, logout
  std::string output;  // everything, in arrival order
};

struct ConversationState {
  int32_t SessionState = 0;
  int DialogStep = 0;
  bool CommandsSent = false;
  int LogoutThreshold = 0;
  // When the logout text was first typed in this session.
  std::optional<std::chrono::steady_clock::time_point> logout_since;
  bool output_truncated = false;
};

class Conversation {
 public:
  using Clock = std::chrono::steady_clock;

  explicit Conversation(ConversationSettings settings);

  // Resets the per-session state (DialogStep, CommandsSent and the logout
  // bookkeeping); SessionState and LogoutThreshold carry over.
  void StartSession();
  void OnStateChange(int32_t state) { state_.SessionState = state; }
  void OnReceived(ConversationChannel& channel, size_t byte_count, Captures& captures,
                  Clock::time_point now = Clock::now());

  const ConversationState& state() const { return state_; }

 private:
  void Capture(const std::string& data, Captures& captures);

  const ConversationSettings settings_;
  const bool known_;
  const bool compare_;
  // The device table's texts as the bytes typed, worked out once.
  std::vector<std::string> opening_;
  std::string first_listing_;  // with its line end; empty: nothing is listed
  std::string run_listing_;    // with its line end
  std::vector<std::string> follow_up_;
  std::string logout_;
  ConversationState state_;
};

}  // namespace comvorlix

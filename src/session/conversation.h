// The device dialog: one turn per Received event of the SSH client.
//
// Every event runs four stages in this order:
//   1. Opening: in state 3 at step 0, type the device's opening commands and
//      the first listing command ahead, and move to step 1.
//   2. Capture: take the announced data and append it to gReceived at step
//      1, to gReceivedRunning otherwise, and always to gSessionOutput (the
//      whole session in arrival order, from which the check takes the
//      listings).
//   3. Going on: in state 3 at step 1, once gReceived holds more than 30
//      characters, type the follow-up (the second listing in a comparison,
//      else the device's follow-up) and move to step 2; stage 4 is skipped.
//   4. Logout: in state 3 at step 2, once gReceivedRunning is longer than
//      the threshold and the opening was sent, type the logout text, again
//      on every later event until the switch closes the session. The
//      repetition stops once the logout has been typed for longer than the
//      session's time-out, so that a switch that echoes but never closes
//      falls silent and the SSH layer's idle time-out ends the session.
//
// The engine reads the settings of the calling thread's CheckState and
// writes its receive buffers. Captured output beyond kMaxCapturedChars is
// dropped and flagged (a switch that never stops talking must not exhaust
// memory). Errors of send or receive propagate to the caller.
// Not thread-safe; runs on the check's thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>

#include "automation/text.h"

namespace comvorlix {

inline constexpr size_t kMaxCapturedChars = size_t{64} << 20;
inline constexpr int32_t kSessionEstablished = 3;

// What the engine needs of the SSH client.
class ConversationChannel {
 public:
  virtual ~ConversationChannel() = default;
  virtual void Send(const Text& text) = 0;
  virtual Text Receive(int16_t byte_count) = 0;
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

  // Resets the per-session state (DialogStep, CommandsSent and the logout
  // bookkeeping); SessionState and LogoutThreshold carry over.
  void StartSession();
  void OnStateChange(int32_t state) { state_.SessionState = state; }
  void OnReceived(ConversationChannel& channel, int16_t byte_count, Clock::time_point now = Clock::now());

  const ConversationState& state() const { return state_; }
  ConversationState& mutable_state() { return state_; }

 private:
  void Capture(const Text& data);
  ConversationState state_;
};

}  // namespace comvorlix

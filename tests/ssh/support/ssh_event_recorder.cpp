#include "ssh/support/ssh_event_recorder.h"

#include <algorithm>
#include <variant>

#include "base/message_queue.h"

namespace comvorlix::testing_support {

// Notes a handler that starts while another one is still running.
struct SshEventRecorder::Guard {
  explicit Guard(SshEventRecorder& r) : r_(r) {
    if (r_.in_handler_) r_.reentered = true;
    r_.in_handler_ = true;
  }
  ~Guard() { r_.in_handler_ = false; }
  SshEventRecorder& r_;
};

void SshEventRecorder::OnEvent(const SshEvent& event) {
  Guard guard(*this);
  std::visit([this](const auto& e) { On(e); }, event);
  if (after_event) after_event(events.back());
}

void SshEventRecorder::On(const SshStateChanged& changed) {
  const SshState state = client->State();
  if (changed.from != last_state_ || changed.to != state) states_consistent = false;
  last_state_ = changed.to;
  states.push_back(state);
  events.push_back("State " + std::to_string(static_cast<int>(state)));
}

void SshEventRecorder::On(const SshNegotiated& n) {
  negotiated = n;
  events.push_back("Negotiated");
}

void SshEventRecorder::On(const SshHostKeyLearned&) { events.push_back("HostKeyLearned"); }

void SshEventRecorder::On(const SshConnected&) {
  ++connected_count;
  events.push_back("Connected");
}

void SshEventRecorder::On(const SshConnectFailed& failed) {
  ++failed_count;
  failure = failed;
  events.push_back("ConnectFailed");
}

void SshEventRecorder::On(const SshReceived& received) {
  ++received_count;
  max_announced = std::max(max_announced, received.byte_count);
  const size_t count = take ? take(received.byte_count) : received.byte_count;
  if (count > 0) data += client->Receive(count);
  events.push_back("Received");
}

void SshEventRecorder::On(const SshDisconnected&) {
  ++disconnected_count;
  events.push_back("Disconnected");
}

bool SshEventRecorder::RunUntilDisconnected(std::chrono::milliseconds limit) {
  auto& queue = CurrentThreadQueue();
  auto deadline = std::chrono::steady_clock::now() + limit;
  while (disconnected_count == 0) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    queue.WaitForMessage(left);
    queue.ProcessPendingMessages();
  }
  return true;
}

void SshEventRecorder::RunFor(std::chrono::milliseconds duration) {
  auto& queue = CurrentThreadQueue();
  auto deadline = std::chrono::steady_clock::now() + duration;
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return;
    queue.WaitForMessage(left);
    queue.ProcessPendingMessages();
  }
}

}  // namespace comvorlix::testing_support

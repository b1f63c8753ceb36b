#include "ssh/support/ssh_event_recorder.h"

#include <algorithm>

#include "automation/message_queue.h"

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

void SshEventRecorder::Record(const std::string& event) {
  events.push_back(event);
  if (after_event) after_event(event);
}

void SshEventRecorder::Connected(int16_t error_code, const std::string& error_text) {
  Guard guard(*this);
  ++connected_count;
  connected_code = error_code;
  connected_text = error_text;
  Record("Connected " + std::to_string(error_code));
}

void SshEventRecorder::CryptoInformation(const std::string& protocol, const std::string& remote_name,
                                         const std::string& sc_cipher, const std::string& cs_cipher,
                                         const std::string& keys, bool& accept) {
  Guard guard(*this);
  crypto[0] = protocol;
  crypto[1] = remote_name;
  crypto[2] = sc_cipher;
  crypto[3] = cs_cipher;
  crypto[4] = keys;
  accept = false;  // the session must go on whatever the handler says
  Record("CryptoInformation");
}

void SshEventRecorder::HostFingerprint(const std::string& print, bool& accept) {
  Guard guard(*this);
  fingerprint = print;
  accept = false;
  Record("HostFingerprint");
}

void SshEventRecorder::StateChange(int32_t) {
  Guard guard(*this);
  int32_t state = client->State();
  states.push_back(state);
  Record("State " + std::to_string(state));
}

void SshEventRecorder::Received(int16_t byte_count) {
  Guard guard(*this);
  ++received_count;
  max_announced = std::max<int>(max_announced, byte_count);
  int16_t count = take ? take(byte_count) : byte_count;
  if (count > 0) data += client->Receive(static_cast<size_t>(count));
  Record("Received");
}

void SshEventRecorder::Disconnected() {
  Guard guard(*this);
  ++disconnected_count;
  Record("Disconnected");
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

// Records the events of an SshClient for the tests and runs the message
// loop of the test's thread the way the check run does.
#pragma once

#include <chrono>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "ssh/client.h"

namespace comvorlix::testing_support {

class SshEventRecorder {
 public:
  // The handler to give the client; the recorder must outlive the client.
  SshEventHandler Handler() {
    return [this](const SshEvent& event) { OnEvent(event); };
  }

  // The client whose State() and Receive the handler uses; set before
  // Connect.
  SshClient* client = nullptr;
  // SshReceived: take the announced bytes (default) or, when set, this many.
  std::function<size_t(size_t announced)> take;
  // Called after each event has been recorded.
  std::function<void(const std::string& event)> after_event;

  // "State 1", "Negotiated", "HostKeyLearned", "Connected", "ConnectFailed",
  // "Received", "Disconnected", the state by its number.
  std::vector<std::string> events;
  std::vector<SshState> states;  // State() as read in each SshStateChanged
  // Every SshStateChanged went on from the state before, and State() was
  // its new state while the handler ran.
  bool states_consistent = true;
  int connected_count = 0;
  int failed_count = 0;
  SshConnectFailed failure;
  int disconnected_count = 0;
  std::string data;  // bytes taken with Receive
  int received_count = 0;
  size_t max_announced = 0;
  bool reentered = false;  // an event arrived while a handler ran
  SshNegotiated negotiated;

  // Waits for messages and processes them until SshDisconnected has arrived
  // or `limit` has passed; true when it arrived.
  bool RunUntilDisconnected(std::chrono::milliseconds limit);
  // Processes messages for `duration`.
  void RunFor(std::chrono::milliseconds duration);

 private:
  struct Guard;
  void OnEvent(const SshEvent& event);
  void On(const SshStateChanged& changed);
  void On(const SshNegotiated& negotiated);
  void On(const SshHostKeyLearned& learned);
  void On(const SshConnected& connected);
  void On(const SshConnectFailed& failed);
  void On(const SshReceived& received);
  void On(const SshDisconnected& disconnected);
  bool in_handler_ = false;
  SshState last_state_ = SshState::kDisconnected;
};

}  // namespace comvorlix::testing_support

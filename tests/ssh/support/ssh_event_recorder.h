// Records the events of an SshClient for the tests and runs the message
// loop of the test's thread the way the check run does.
#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "ssh/client.h"

namespace comvorlix::testing_support {

class SshEventRecorder : public SshClientEvents {
 public:
  // The client whose State() and Receive the handlers use; set before
  // Connect.
  SshClient* client = nullptr;
  // Received: take the announced bytes (default) or, when set, this many.
  std::function<int16_t(int16_t announced)> take;
  // Called after each event has been recorded.
  std::function<void(const std::string& event)> after_event;

  std::vector<std::string> events;  // "Connected 0", "State 1", "Received", "Disconnected" ...
  std::vector<int32_t> states;      // State() as read in each StateChange
  int connected_count = 0;
  int16_t connected_code = -1;
  std::string connected_text;
  int disconnected_count = 0;
  std::string data;                 // bytes taken with Receive
  int received_count = 0;
  int max_announced = 0;
  bool reentered = false;           // an event arrived while a handler ran
  std::string crypto[5];
  std::string fingerprint;

  void Connected(int16_t error_code, const std::string& error_text) override;
  void CryptoInformation(const std::string& protocol, const std::string& remote_name, const std::string& sc_cipher,
                         const std::string& cs_cipher, const std::string& keys, bool& accept) override;
  void HostFingerprint(const std::string& fingerprint, bool& accept) override;
  void StateChange(int32_t old_state) override;
  void Received(int16_t byte_count) override;
  void Disconnected() override;

  // Waits for messages and processes them until Disconnected has arrived or
  // `limit` has passed; true when it arrived.
  bool RunUntilDisconnected(std::chrono::milliseconds limit);
  // Processes messages for `duration`.
  void RunFor(std::chrono::milliseconds duration);

 private:
  struct Guard;
  void Record(const std::string& event);
  bool in_handler_ = false;
};

}  // namespace comvorlix::testing_support

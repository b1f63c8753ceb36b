// Regressions found by the AddressSanitizer run of the end-to-end checks.
//
// A client destroyed while its session is open and the server is sending
// (a check that runs into its time limit against a switch that never stops
// talking): the session ends with its channel still open, and closing the
// channel lets the SSH library process the packets that have arrived,
// handing their data to the channel's data callback. The session's receive
// buffer, which the callback appends to, was destroyed before the channel
// (it was declared after it), so the callback wrote into freed memory: a
// heap-use-after-free, or a leak when the buffer was empty, under
// AddressSanitizer; heap corruption in a normal build. The fault shows
// under AddressSanitizer (scripts/sanitizers.sh) in a few rounds of a
// hundred: it needs data to arrive just as the channel closes.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string>

#include "ssh/client.h"
#include "ssh/support/ssh_event_recorder.h"
#include "ssh/support/test_ssh_server.h"

namespace comvorlix {
namespace {

using std::chrono::milliseconds;
using testing_support::AfterGreeting;
using testing_support::SshEventRecorder;
using testing_support::TestServerOptions;
using testing_support::TestSshServer;

TEST(SshSessionWorkerRegression, ClientDestroyedWhileTheServerIsSendingClosesCleanly) {
  TestServerOptions options;
  // More than any round takes in: the server is still sending when the
  // client goes.
  options.greeting = std::string(size_t{1} << 20, 'x');
  options.greeting_repeat = 1000;
  options.after_greeting = AfterGreeting::kStayOpen;
  for (int round = 0; round < 200; ++round) {
    // A server per round: one serves a connection at a time.
    TestSshServer server(options);
    SshEventRecorder recorder;
    auto client = std::make_unique<SshClient>(recorder.Handler());
    recorder.client = client.get();
    SshSettings settings;
    settings.host = "127.0.0.1";
    settings.port = server.port();
    settings.login = "admin";
    settings.password = "s3cret-Pa55";
    settings.timeout_seconds = 10;
    // The filter makes the client slower than the server, so data is
    // waiting when the session ends.
    settings.strip_control_sequences = true;
    client->Connect(settings);
    const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (recorder.data.size() < (size_t{64} << 10) && recorder.disconnected_count == 0 &&
           std::chrono::steady_clock::now() < limit) {
      recorder.RunFor(milliseconds(10));
    }
    ASSERT_EQ(recorder.failed_count, 0) << recorder.failure.text;
    ASSERT_EQ(recorder.disconnected_count, 0) << client->LastError();
    ASSERT_GE(recorder.data.size(), size_t{64} << 10) << "the data did not flow";
    // Stops the worker and waits for it: the channel is closed now, with
    // data arriving.
    client.reset();
  }
}

}  // namespace
}  // namespace comvorlix

// A small SSH server for the client tests, on the SSH library's server API.
//
// Listens on 127.0.0.1 at a free port and serves one connection at a time
// on a thread of its own. It logs a user in by password, keyboard-
// interactive (one hidden "Password: " prompt) and/or public key, accepts a
// session channel with a pseudo-terminal and a shell, and then plays a
// simple script:
//   * sends `greeting` `greeting_repeat` times once the shell has started,
//     in pieces of `chunk` bytes (0: in one piece);
//   * records everything the client types (Input());
//   * with `echo`, sends every received byte back;
//   * when the input contains `quit_command`, sends `farewell` and closes;
//   * `after_greeting` decides what happens once the greeting is out:
//     keep the session open (silent from then on unless echoing), close it
//     properly (EOF and channel close), or drop the TCP connection.
// With `legacy_only` it offers nothing but diffie-hellman-group14-sha1 and
// group1-sha1, an ssh-rsa host key, aes128-cbc and 3des-cbc, hmac-sha1 and
// ssh-rsa user keys.
//
// Every wait is an event poll that includes a stop descriptor, so the
// destructor ends the server at once.
#pragma once

#include <libssh/libssh.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ssh/handles.h"

namespace comvorlix::testing_support {

enum class AfterGreeting { kStayOpen, kClose, kDropConnection };

struct TestServerOptions {
  std::string user = "admin";
  std::string password = "s3cret-Pa55";
  bool allow_password = true;
  bool allow_keyboard_interactive = false;
  bool allow_public_key = false;
  std::vector<ssh_internal::SharedKey> authorized_keys;
  bool legacy_only = false;
  std::string greeting;
  int greeting_repeat = 1;
  size_t chunk = 0;
  AfterGreeting after_greeting = AfterGreeting::kClose;
  bool echo = false;
  std::string quit_command;
  std::string farewell;
};

class TestSshServer {
 public:
  explicit TestSshServer(TestServerOptions options);
  ~TestSshServer();
  TestSshServer(const TestSshServer&) = delete;
  TestSshServer& operator=(const TestSshServer&) = delete;

  int port() const { return port_; }
  std::string Input() const;
  std::string PtyTerminal() const;
  int PtyColumns() const;
  int Connections() const { return connections_.load(); }

  // Host keys shared by all test servers (generated once per process).
  static ssh_internal::SharedKey Ed25519HostKey();
  static ssh_internal::SharedKey RsaHostKey();

  // The fingerprint a client should see for `key`: "SHA256:...".
  static std::string Fingerprint(ssh_key key);

 private:
  struct Connection;
  void Serve();
  void ServeConnection(int fd);

  TestServerOptions options_;
  ssh_internal::UniqueFd listener_;
  ssh_internal::UniqueFd stop_;
  int port_ = 0;
  std::atomic<bool> stopping_{false};
  std::atomic<int> connections_{0};

  mutable std::mutex mutex_;
  std::string input_;
  std::string pty_terminal_;
  int pty_columns_ = 0;

  std::thread thread_;
};

}  // namespace comvorlix::testing_support

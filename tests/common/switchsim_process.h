// Runs the switch emulator as a child process for a test and stops it.
//
// The constructor launches SWITCHSIM_PATH with the given options plus
// "--port N" for a random N from 20000 to 31999 (trying other ports when
// one is taken) or for the port given, waits (at most 20 s) for its
// "switchsim listening on" line and throws when it never comes. Unless the options name a "--host-key", the
// emulator gets the fixed test host keys of tools/switchsim/keys (Ed25519
// and RSA): every run offers the same keys, and tests pin them in known
// hosts files of their own. The destructor sends SIGTERM and reaps the
// process. The emulator also gets SIGTERM when the thread that created the
// object ends, so create it on the test's own thread.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace comvorlix::testing {

class SwitchSimProcess {
 public:
  explicit SwitchSimProcess(std::vector<std::string> options);
  // On exactly `port`; throws when it does not start there.
  SwitchSimProcess(std::vector<std::string> options, int port);
  ~SwitchSimProcess();
  SwitchSimProcess(const SwitchSimProcess&) = delete;
  SwitchSimProcess& operator=(const SwitchSimProcess&) = delete;

  int port() const { return port_; }
  // The line it printed when it began listening.
  const std::string& listening_line() const { return listening_line_; }
  // Stops the emulator now: SIGTERM, then waits at most `limit_ms` (and
  // kills it after that). Its exit status, or -1.
  int Stop(int limit_ms = 5000);

  // The path of a fixed test host key: "ed25519" or "rsa" (the public half
  // is the path + ".pub").
  static std::string FixedHostKey(const std::string& type);

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::string listening_line_;
};

}  // namespace comvorlix::testing

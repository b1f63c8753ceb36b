// Child processes for the switch emulator's own tests: the emulator
// itself, and OpenSSH's client typing a prepared input ahead.
//
// Every wait has a time limit; a child still running at its limit is
// killed. Not thread-safe; one test at a time.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace switchsim_test {

struct Finished {
  int exit_code = -1;     // -1 when killed by a signal or at the time limit
  std::string out;        // everything written to stdout
  std::string err;        // everything written to stderr
};

// Runs argv[0] with `input` on stdin, at most `limit_ms`.
Finished RunToEnd(const std::vector<std::string>& argv, const std::string& input, int limit_ms);

// The emulator started with "--port 0" and the given options.
class SwitchSim {
 public:
  explicit SwitchSim(std::vector<std::string> options);
  ~SwitchSim();
  SwitchSim(const SwitchSim&) = delete;
  SwitchSim& operator=(const SwitchSim&) = delete;

  int port() const { return port_; }
  // The line it printed when it began listening.
  const std::string& listening_line() const { return listening_line_; }
  // SIGTERM, then waits at most `limit_ms`; the exit code, or -1.
  int Stop(int limit_ms = 5000);

 private:
  pid_t pid_ = -1;
  int port_ = 0;
  std::string listening_line_;
};

// A fresh folder removed with the object, holding a client key pair
// (client_key, authorized_keys) and a host key (host_key).
class Workspace {
 public:
  Workspace();
  ~Workspace();
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  std::string Write(const std::string& name, const std::string& content) const;

 private:
  std::string dir_;
};

std::string ReadFile(const std::string& path);

// "ssh -tt" to 127.0.0.1:`port` as admin with the workspace's client key,
// typing `input` ahead; returns what arrived on stdout.
Finished TypeAhead(const Workspace& ws, int port, const std::string& input, int limit_ms = 15000);

}  // namespace switchsim_test

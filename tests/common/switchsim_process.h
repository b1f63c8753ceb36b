// Runs the switch emulator as a child process for a test and stops it.
//
// Start() launches SWITCHSIM_PATH with the given options plus "--port 0",
// waits (at most 10 s) for its "switchsim listening on ADDR:PORT" line and
// remembers the port. The destructor sends SIGTERM and reaps the process.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace comvorlix::testing {

class SwitchSimProcess {
 public:
  explicit SwitchSimProcess(std::vector<std::string> options);
  ~SwitchSimProcess();
  SwitchSimProcess(const SwitchSimProcess&) = delete;
  SwitchSimProcess& operator=(const SwitchSimProcess&) = delete;

  int port() const { return port_; }
  // Stops the emulator now (SIGTERM, then reaps it).
  void Stop();

 private:
  pid_t pid_ = -1;
  int port_ = 0;
};

// A file in a fresh temporary folder that is removed with the object.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  std::string Path(const std::string& name) const { return dir_ + "/" + name; }
  // Writes `content` to the named file and returns its path.
  std::string Write(const std::string& name, const std::string& content, unsigned mode = 0600) const;

 private:
  std::string dir_;
};

std::string ReadWholeFile(const std::string& path);

}  // namespace comvorlix::testing

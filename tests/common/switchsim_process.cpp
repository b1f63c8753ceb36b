#include "common/switchsim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <stdexcept>

#include "common/run_process.h"

namespace comvorlix::testing {

namespace {

// Starts switchsim on `port`; returns its pid once it listens, or -1.
// `line` receives the first line it printed.
pid_t Launch(std::vector<std::string> options, int port, std::string& line) {
  bool has_key = false;
  for (const std::string& o : options) has_key = has_key || o == "--host-key";
  if (!has_key) {
    for (const char* type : {"ed25519", "rsa"}) {
      options.push_back("--host-key");
      options.push_back(SwitchSimProcess::FixedHostKey(type));
    }
  }
  options.insert(options.begin(), SWITCHSIM_PATH);
  options.push_back("--port");
  options.push_back(std::to_string(port));
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  const pid_t parent = getpid();
  pid_t pid = fork();
  if (pid == 0) {
    // A test that crashes must not leave its emulator running: it would
    // keep the test's stderr open and ctest would wait for its time-out.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    dup2(out[1], STDOUT_FILENO);
    std::vector<char*> argv;
    for (std::string& o : options) argv.push_back(o.data());
    argv.push_back(nullptr);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  // Read the "listening" line without blocking forever.
  std::string seen;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (seen.find('\n') == std::string::npos) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    pollfd p{out[0], POLLIN, 0};
    if (left.count() <= 0 || poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buf[256];
    ssize_t n = read(out[0], buf, sizeof buf);
    if (n <= 0) break;
    seen.append(buf, n);
  }
  close(out[0]);
  line = seen.substr(0, seen.find('\n'));
  if (line.rfind("switchsim listening on ", 0) == 0) return pid;
  kill(pid, SIGTERM);
  ReapProcess(pid, 5000);
  return -1;
}

}  // namespace

SwitchSimProcess::SwitchSimProcess(std::vector<std::string> options) {
  // A port at random below the kernel's own range (where it would collide
  // with outgoing connections); another one when it is taken.
  std::srand(static_cast<unsigned>(getpid() ^ std::chrono::steady_clock::now().time_since_epoch().count()));
  for (int attempt = 0; attempt < 20 && pid_ < 0; ++attempt) {
    const int port = 20000 + std::rand() % 12000;
    pid_ = Launch(options, port, listening_line_);
    if (pid_ > 0) port_ = port;
  }
  if (pid_ < 0) throw std::runtime_error("switchsim did not start: \"" + listening_line_ + "\"");
}

SwitchSimProcess::SwitchSimProcess(std::vector<std::string> options, int port) {
  pid_ = Launch(std::move(options), port, listening_line_);
  if (pid_ < 0) throw std::runtime_error("switchsim did not start on port " + std::to_string(port));
  port_ = port;
}

SwitchSimProcess::~SwitchSimProcess() { Stop(); }

std::string SwitchSimProcess::FixedHostKey(const std::string& type) {
  return std::string(SWITCHSIM_CONFIGS) + "/../keys/test_host_" + type;
}

int SwitchSimProcess::Stop(int limit_ms) {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  const int status = ReapProcess(pid_, limit_ms);
  pid_ = -1;
  return status;
}

}  // namespace comvorlix::testing

#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace switchsim_test {
namespace {

using Clock = std::chrono::steady_clock;

int MillisecondsLeft(Clock::time_point deadline) {
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left < 0 ? 0 : static_cast<int>(left);
}

pid_t Spawn(const std::vector<std::string>& args, int in_fd, int out_fd, int err_fd) {
  pid_t pid = fork();
  if (pid < 0) throw std::runtime_error("fork failed");
  if (pid == 0) {
    dup2(in_fd, STDIN_FILENO);
    dup2(out_fd, STDOUT_FILENO);
    dup2(err_fd, STDERR_FILENO);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execvp(argv[0], argv.data());
    _exit(127);
  }
  return pid;
}

// Waits for `pid` until `deadline` (sleeping on a pidfd, not spinning);
// kills it when the time is over.
int Reap(pid_t pid, Clock::time_point deadline) {
  int status = 0;
  int pidfd = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));
  if (pidfd >= 0) {
    pollfd p{pidfd, POLLIN, 0};
    poll(&p, 1, MillisecondsLeft(deadline));
    close(pidfd);
  }
  if (waitpid(pid, &status, WNOHANG) != pid) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    return -1;
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

Finished RunToEnd(const std::vector<std::string>& argv, const std::string& input, int limit_ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(limit_ms);
  int in[2], out[2], err[2];
  if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
    throw std::runtime_error("pipe failed");
  }
  pid_t pid = Spawn(argv, in[0], out[1], err[1]);
  close(in[0]);
  close(out[1]);
  close(err[1]);
  // The input is small; it fits into the pipe at once.
  if (!input.empty() && write(in[1], input.data(), input.size()) != static_cast<ssize_t>(input.size())) {
    throw std::runtime_error("cannot write the input");
  }
  close(in[1]);
  Finished result;
  bool out_open = true, err_open = true;
  while ((out_open || err_open) && MillisecondsLeft(deadline) > 0) {
    pollfd fds[2] = {{out_open ? out[0] : -1, POLLIN, 0}, {err_open ? err[0] : -1, POLLIN, 0}};
    if (poll(fds, 2, MillisecondsLeft(deadline)) <= 0) break;
    char buffer[65536];
    for (int i = 0; i < 2; ++i) {
      if (fds[i].revents == 0) continue;
      ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n <= 0) {
        (i == 0 ? out_open : err_open) = false;
      } else {
        (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
      }
    }
  }
  close(out[0]);
  close(err[0]);
  result.exit_code = Reap(pid, deadline);
  return result;
}

SwitchSim::SwitchSim(std::vector<std::string> options) {
  options.insert(options.begin(), SWITCHSIM_PATH);
  options.push_back("--port");
  options.push_back("0");
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  int null_in = open("/dev/null", O_RDONLY | O_CLOEXEC);
  pid_ = Spawn(options, null_in, out[1], STDERR_FILENO);
  close(null_in);
  close(out[1]);
  const auto deadline = Clock::now() + std::chrono::seconds(20);
  std::string seen;
  while (seen.find('\n') == std::string::npos && MillisecondsLeft(deadline) > 0) {
    pollfd p{out[0], POLLIN, 0};
    if (poll(&p, 1, MillisecondsLeft(deadline)) <= 0) break;
    char buffer[256];
    ssize_t n = read(out[0], buffer, sizeof buffer);
    if (n <= 0) break;
    seen.append(buffer, static_cast<size_t>(n));
  }
  close(out[0]);
  listening_line_ = seen.substr(0, seen.find('\n'));
  auto colon = listening_line_.rfind(':');
  if (listening_line_.rfind("switchsim listening on ", 0) != 0 || colon == std::string::npos) {
    Stop();
    throw std::runtime_error("switchsim did not start: \"" + seen + "\"");
  }
  port_ = std::stoi(listening_line_.substr(colon + 1));
}

SwitchSim::~SwitchSim() { Stop(); }

int SwitchSim::Stop(int limit_ms) {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  int code = Reap(pid_, Clock::now() + std::chrono::milliseconds(limit_ms));
  pid_ = -1;
  return code;
}

Workspace::Workspace() {
  std::string pattern = (std::filesystem::temp_directory_path() / "switchsim-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
  for (const char* key : {"client_key", "host_key"}) {
    Finished made = RunToEnd({"ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", Path(key)}, "", 10000);
    if (made.exit_code != 0) throw std::runtime_error("ssh-keygen failed: " + made.err);
  }
  std::filesystem::copy_file(Path("client_key.pub"), Path("authorized_keys"));
}

Workspace::~Workspace() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::string Workspace::Write(const std::string& name, const std::string& content) const {
  std::ofstream(Path(name), std::ios::binary | std::ios::trunc) << content;
  return Path(name);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

Finished TypeAhead(const Workspace& ws, int port, const std::string& input, int limit_ms) {
  return RunToEnd({"ssh", "-tt", "-p", std::to_string(port), "-i", ws.Path("client_key"), "-o",
                   "StrictHostKeyChecking=no", "-o", "UserKnownHostsFile=/dev/null", "-o", "LogLevel=ERROR",
                   "-o", "BatchMode=yes", "admin@127.0.0.1"},
                  input, limit_ms);
}

}  // namespace switchsim_test

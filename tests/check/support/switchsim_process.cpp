#include "check/support/switchsim_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace comvorlix::testing {

SwitchSimProcess::SwitchSimProcess(std::vector<std::string> options) {
  options.insert(options.begin(), SWITCHSIM_PATH);
  options.push_back("--port");
  options.push_back("0");
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  pid_ = fork();
  if (pid_ == 0) {
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
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
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
  size_t colon = seen.rfind(':', seen.find('\n'));
  if (seen.find("listening on") == std::string::npos || colon == std::string::npos) {
    Stop();
    throw std::runtime_error("switchsim did not start: " + seen);
  }
  port_ = std::atoi(seen.c_str() + colon + 1);
}

SwitchSimProcess::~SwitchSimProcess() { Stop(); }

void SwitchSimProcess::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  int status;
  waitpid(pid_, &status, 0);
  pid_ = -1;
}

TempDir::TempDir() {
  std::string pattern = (std::filesystem::temp_directory_path() / "comvorlix-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
  dir_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::string TempDir::Write(const std::string& name, const std::string& content, unsigned mode) const {
  std::string path = Path(name);
  std::ofstream(path, std::ios::binary) << content;
  chmod(path.c_str(), mode);
  return path;
}

std::string ReadWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace comvorlix::testing

#include "common/ssh_client.h"

#include <sstream>

namespace switchsim_test {

using comvorlix::testing::ProcessResult;
using comvorlix::testing::ReadWholeFile;
using comvorlix::testing::RunProcess;

ProcessResult Ssh(const Workspace& ws, int port, const std::string& input, const std::vector<std::string>& options,
                  int limit_ms) {
  std::vector<std::string> argv = {"ssh", "-tt", "-p", std::to_string(port), "-i", ws.Path("client_key")};
  // For options given twice OpenSSH keeps the first value.
  for (const std::string& option : options) argv.insert(argv.end(), {"-o", option});
  for (const char* option : {"StrictHostKeyChecking=no", "UserKnownHostsFile=/dev/null", "LogLevel=ERROR",
                             "BatchMode=yes"}) {
    argv.insert(argv.end(), {"-o", option});
  }
  argv.push_back("admin@127.0.0.1");
  return RunProcess(argv, {.stdin_text = input, .limit_ms = limit_ms});
}

std::string KnownHosts(const Workspace& ws, int port, const std::string& pub_file) {
  std::istringstream pub(ReadWholeFile(pub_file));
  std::string type, key;
  pub >> type >> key;
  return ws.Write("known_hosts", "[127.0.0.1]:" + std::to_string(port) + " " + type + " " + key + "\n");
}

}  // namespace switchsim_test

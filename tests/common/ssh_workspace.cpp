#include "common/ssh_workspace.h"

#include <filesystem>
#include <stdexcept>

namespace switchsim_test {

using comvorlix::testing::ProcessResult;
using comvorlix::testing::RunProcess;

Workspace::Workspace() {
  for (const char* key : {"client_key", "host_key"}) {
    ProcessResult made =
        RunProcess({"ssh-keygen", "-q", "-t", "ed25519", "-N", "", "-f", Path(key)}, {.limit_ms = 10000});
    if (made.status != 0) throw std::runtime_error("ssh-keygen failed: " + made.err);
  }
  std::filesystem::copy_file(Path("client_key.pub"), Path("authorized_keys"));
}

ProcessResult TypeAhead(const Workspace& ws, int port, const std::string& input, int limit_ms,
                        const std::string& user) {
  return RunProcess({"ssh", "-tt", "-p", std::to_string(port), "-i", ws.Path("client_key"), "-o",
                     "StrictHostKeyChecking=no", "-o", "UserKnownHostsFile=/dev/null", "-o", "LogLevel=ERROR",
                     "-o", "BatchMode=yes", user + "@127.0.0.1"},
                    {.stdin_text = input, .limit_ms = limit_ms});
}

}  // namespace switchsim_test

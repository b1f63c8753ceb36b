// OpenSSH's client against the switch emulator with options of the test's
// choosing (known hosts, log level, host key algorithms).
#pragma once

#include <string>
#include <vector>

#include "common/run_process.h"
#include "common/ssh_workspace.h"

namespace switchsim_test {

// "ssh -tt" to 127.0.0.1:`port` as admin with the workspace's client key,
// typing `input` ahead. `options` ("Key=Value") come first and so win over
// the defaults that follow them: no host key checking, LogLevel=ERROR,
// BatchMode=yes.
comvorlix::testing::ProcessResult Ssh(const Workspace& ws, int port, const std::string& input,
                                      const std::vector<std::string>& options, int limit_ms = 15000);

// Writes a known_hosts file naming 127.0.0.1:`port` with the public key in
// `pub_file` and returns its path.
std::string KnownHosts(const Workspace& ws, int port, const std::string& pub_file);

}  // namespace switchsim_test

// A workspace for the switch emulator's own tests, and OpenSSH's client
// typing a prepared input ahead into the emulator.
#pragma once

#include <string>

#include "common/run_process.h"
#include "common/temp_dir.h"

namespace switchsim_test {

// A fresh folder removed with the object, holding a client key pair
// (client_key, authorized_keys) and a host key (host_key). Throws
// std::runtime_error when ssh-keygen fails.
class Workspace : public comvorlix::testing::TempDir {
 public:
  Workspace();
};

// "ssh -tt" to 127.0.0.1:`port` as `user` with the workspace's client key,
// typing `input` ahead; returns what arrived on stdout.
comvorlix::testing::ProcessResult TypeAhead(const Workspace& ws, int port, const std::string& input,
                                            int limit_ms = 15000, const std::string& user = "admin");

}  // namespace switchsim_test

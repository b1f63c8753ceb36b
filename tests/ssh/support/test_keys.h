// Key files for the SSH tests, generated at test time in a private
// temporary folder that is removed afterwards.
#pragma once

#include <libssh/libssh.h>

#include <optional>
#include <string>

#include "common/temp_dir.h"
#include "ssh/handles.h"

namespace comvorlix::testing_support {

struct GeneratedKey {
  ssh_internal::SharedKey key;  // the private key
  std::string path;             // the file it was written to
};

// Generates a key of `type` (bits for RSA and DSA, 0 otherwise) and writes
// it to `dir`/`name`, encrypted with `pass_phrase` when one is given.
// Ed25519 keys are written in the OpenSSH format, the others as PEM (the SSH
// library's choice). Returns a key without path when the type is not
// supported.
GeneratedKey GenerateKeyFile(const testing::TempDir& dir, const std::string& name, ssh_keytypes_e type, int bits,
                             const std::optional<std::string>& pass_phrase);

}  // namespace comvorlix::testing_support

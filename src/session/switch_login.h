// How to log in to a switch: the login settings of the parameter string as
// the check reads them, carried unchanged to the session that uses them.
//
// A plain value; the password is a secret (clear text, UTF-8): it goes to
// the SSH client (ssh/settings.h) and as the key file's pass phrase, never
// to a log, the debug output or an error text.
#pragma once

#include <cstdint>
#include <string>

namespace comvorlix {

struct SwitchLogin {
  std::string user;      // UTF-8
  std::string password;  // UTF-8, clear text
  std::string protocol;  // PROTO code: "1" SSH1 (refused), "2" SSH2, else automatic
  int32_t port = 0;      // 0: 22; else 1-65535
  std::string key_file;  // UTF-8 path; empty: password login
  std::string key_type;  // KEYT code: "DSA" asks for a DSA key, else RSA
};

}  // namespace comvorlix

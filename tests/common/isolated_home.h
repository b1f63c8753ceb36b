// Every test process keeps away from the accounts' own SSH files. The
// check takes its default known hosts file from the password database,
// not from $HOME, so pointing HOME elsewhere no longer isolates it: each
// test process has a known hosts file of its own instead, in a temporary
// folder made before main() and removed at exit. It is the process's
// default (ssh_internal::SetDefaultKnownHostsFile), so checks run inside
// the test process use it; a test passes it to every check program it
// starts (--known-hosts KnownHostsFile()). HOME is that folder too, for
// whatever else still reads it.
#pragma once

#include <string>

namespace comvorlix::testing {

// The path of this process's known hosts file (which may not exist yet).
const std::string& KnownHostsFile();

}  // namespace comvorlix::testing

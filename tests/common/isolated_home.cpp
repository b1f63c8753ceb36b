// Every test process runs with HOME set to a fresh temporary folder, made
// before main() and removed at exit, and so does every program a test
// starts (they inherit it). Whatever a test forgets to point elsewhere, the
// defaults that come from HOME (the SSH known hosts file ~/.ssh/known_hosts
// above all) never reach the developer's or the build machine's own files.
// Tests that need the default file use it there.
#include <cstdlib>
#include <memory>

#include "common/temp_dir.h"

namespace comvorlix::testing {
namespace {

struct IsolatedHome {
  IsolatedHome() { setenv("HOME", home.path().c_str(), 1); }
  TempDir home;
};

const IsolatedHome g_isolated_home;

}  // namespace
}  // namespace comvorlix::testing

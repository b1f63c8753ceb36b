#include "common/isolated_home.h"

#include <cstdlib>

#include "common/temp_dir.h"
#include "ssh/known_hosts.h"

namespace comvorlix::testing {
namespace {

struct IsolatedHome {
  IsolatedHome() : known_hosts(home.Path("known_hosts")) {
    setenv("HOME", home.path().c_str(), 1);
    ssh_internal::SetDefaultKnownHostsFile(known_hosts);
  }
  TempDir home;
  std::string known_hosts;
};

const IsolatedHome& Isolated() {
  static const IsolatedHome isolated;
  return isolated;
}

// Made before main(), so that no test runs with the accounts' files.
const IsolatedHome& g_made_early = Isolated();

}  // namespace

const std::string& KnownHostsFile() { return Isolated().known_hosts; }

}  // namespace comvorlix::testing

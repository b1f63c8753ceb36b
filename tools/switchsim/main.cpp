// switchsim: an SSH server that behaves like the command line of a network
// switch (Cisco IOS, Aruba/ProCurve, HP 1920 Comware, HP 2530), for testing
// configuration checkers. See README.md for the options and the behaviour
// of each kind.

#include <cstdio>

#include "options.h"
#include "server.h"

#ifndef SWITCHSIM_DEFAULT_CONFIGS
#define SWITCHSIM_DEFAULT_CONFIGS "configs"
#endif

int main(int argc, char** argv) {
  switchsim::Options options;
  try {
    options = switchsim::ParseOptions(argc, argv, SWITCHSIM_DEFAULT_CONFIGS);
  } catch (const switchsim::UsageError& error) {
    std::fprintf(stderr, "switchsim: %s\n\n%s", error.what(), switchsim::UsageText().c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(switchsim::UsageText().c_str(), stdout);
    return 0;
  }
  return switchsim::RunServer(options);
}

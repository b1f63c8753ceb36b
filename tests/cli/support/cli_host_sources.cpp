// The command-line host is a program, not a library: the parts of it that
// the tests call directly are compiled into the test program here.
#include "cli/parameter_file.cpp"  // NOLINT(bugprone-suspicious-include)
#include "cli/plugin_output.cpp"   // NOLINT(bugprone-suspicious-include)

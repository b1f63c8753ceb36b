// Diagnostic lines on stderr, one write per line so lines of concurrent
// sessions never interleave. Callers must not pass secrets.
#pragma once

#include <string>

namespace switchsim {

// Writes "switchsim: " + `line` + "\n" to stderr.
void LogLine(const std::string& line);

// Switches the lines written by LogVerbose on or off (off at start). Set
// once before sessions start.
void SetVerbose(bool on);
void LogVerbose(const std::string& line);

}  // namespace switchsim

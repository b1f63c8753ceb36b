// The process's debug output: the stand-in for the system debug channel.
//
// Each OutputDebugLine call hands one line (the text converted to the ANSI
// code page, no line end added) to the listener attached to the process.
// With no listener attached the line goes nowhere. Hosts attach a listener;
// the command-line host attaches standard error with --verbose.
// Thread-safe: calls from any thread are serialised.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "automation/text.h"

namespace comvorlix {

// Receives the ANSI bytes of one line.
using DebugListener = std::function<void(std::string_view ansi_line)>;

// Attaches `listener` (replacing any earlier one); an empty function detaches.
void AttachDebugListener(DebugListener listener);

// The stand-in for OutputDebugStringA.
void OutputDebugLine(TextView line);
void OutputDebugLine(std::string_view ascii_line);

}  // namespace comvorlix

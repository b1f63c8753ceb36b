// The process's debug output: the stand-in for the system debug channel.
//
// Each OutputDebugLine call hands one line (its bytes in the ANSI code
// page, no line end added) to the listener attached to the process.
// With no listener attached the line goes nowhere. Hosts attach a listener;
// the command-line host attaches standard error with --verbose.
// Thread-safe: calls from any thread are serialised.
//
// Lines that are expensive to build (a whole listing) are built only when
// DebugOutputEnabled() says a listener is attached: the answer is a hint
// (a listener may come or go right after), so a line built for nobody is
// merely wasted and a line skipped was one nobody would have seen then.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace comvorlix {

// Receives the ANSI bytes of one line.
using DebugListener = std::function<void(std::string_view ansi_line)>;

// Attaches `listener` (replacing any earlier one); an empty function detaches.
void AttachDebugListener(DebugListener listener);

// True while a listener is attached; one relaxed atomic load.
bool DebugOutputEnabled();

// How much a listener wants: 1 (the default) the records of the check and
// its sessions, 2 also the SSH library's own protocol log. Meaningful only
// while a listener is attached; one relaxed atomic each.
void SetDebugOutputLevel(int level);
int DebugOutputLevel();

// The stand-in for OutputDebugStringA. The bytes of `ansi_line` go to the
// listener as they are (they already are the ANSI form).
void OutputDebugLine(std::string_view ansi_line);

}  // namespace comvorlix

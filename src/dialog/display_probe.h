// Whether a display server answers, asked without speaking its protocol:
// a connection to its socket is opened and closed again at once.
//
// A window toolkit that cannot reach the display named in the environment
// ends the process, so the dialog asks first. Both functions are
// thread-safe and keep nothing open; a TCP connection attempt waits at most
// `timeout`.
#pragma once

#include <chrono>
#include <string_view>

namespace comvorlix {

// DISPLAY as X11 clients read it: "[protocol/][host]:number[.screen]".
// Without a host, or with the host "unix", it is the local socket of that
// display number (the abstract socket, then /tmp/.X11-unix/X<number>); with
// another host, TCP port 6000 + number on that host. A value that starts
// with "/" is a socket path. A value that names no display gives false.
bool X11DisplayAnswers(std::string_view display, std::chrono::milliseconds timeout = std::chrono::seconds(2));

// WAYLAND_DISPLAY: an absolute socket path, or a socket name inside
// `runtime_dir` (XDG_RUNTIME_DIR; nullptr or empty gives false).
bool WaylandDisplayAnswers(std::string_view name, const char* runtime_dir);

}  // namespace comvorlix

// The listening side of switchsim: host keys, the listening socket, one
// thread per accepted connection, and a clean stop on SIGTERM or SIGINT.
//
// RunServer blocks on the main thread until a stop signal arrives. It
// prints "switchsim listening on ADDR:PORT" on stdout (flushed) once
// connections can be accepted, so a test that started it with --port 0 can
// read the port. On a stop it closes the listening socket, shuts down the
// sockets of all open connections (which ends their waits at once), joins
// their threads and returns 0. Setup failures (bad address, port in use,
// unreadable key, a record file that cannot be opened) are reported on
// stderr and give 1. Waiting never spins:
// the main thread sleeps in poll(2) on the listening socket and a
// self-pipe written by the signal handler.
#pragma once

#include "options.h"

namespace switchsim {

int RunServer(const Options& options);

}  // namespace switchsim

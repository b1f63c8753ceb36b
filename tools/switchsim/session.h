// One SSH connection to the emulated switch, from key exchange to close.
//
// ServeConnection runs on the connection's own thread: it completes the key
// exchange, authenticates the user (password, keyboard-interactive or public
// key, as configured), waits for a session channel with a shell, and then
// hands the channel to the device's command line. When the command line
// logs out it sends exit status 0, EOF and close, and disconnects (with a
// disconnect message: exit status 0, EOF, then the disconnect carrying the
// message, so the client meets it with the channel still open). It owns
// `session` and frees it before returning. Every authentication request is
// recorded in the auth log (session, method, user, result); nothing it
// logs or records contains a secret.
//
// Every wait is bounded: the login grace time covers key exchange and
// login, the idle time covers waiting for typed input. A shutdown of the
// connection's socket (from the server, on SIGTERM) ends any wait at once.
#pragma once

#include <libssh/libssh.h>

#include <vector>

#include "cisco_clock_lines.h"
#include "config_store.h"
#include "listing_clock.h"
#include "options.h"
#include "record_file.h"

namespace switchsim {

// What all connections of one server share; read-only apart from the
// thread-safe ConfigStore and clocks.
struct ServerShared {
  const Options& options;
  ConfigStore& configs;
  const std::vector<ssh_key>& authorized_keys;
  RecordFile& auth_log;
  RecordFile& command_log;
  CiscoClockLines& cisco_clock_lines;
  ListingClock& listing_clock;
};

void ServeConnection(ssh_session session, const ServerShared& shared, int session_id);

}  // namespace switchsim

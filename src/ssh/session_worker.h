// The session worker: runs one SSH session on a thread of its own.
//
// RunSession resolves the host, connects, negotiates, logs in, opens a shell
// channel with a pseudo-terminal and then moves data both ways until the
// session ends; SshClient (ssh/client.h) documents the events it raises,
// their order, the time limits and the error texts. It talks to the owner
// only through the SessionLink. Every wait is a poll() with a time limit
// that includes the link's wake-up descriptor, so a waiting session uses no
// CPU and a stop request (the client being destroyed) ends it at once,
// without further events.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "ssh/debug_log.h"
#include "ssh/handles.h"
#include "ssh/known_hosts.h"
#include "ssh/session_link.h"
#include "ssh/settings.h"

namespace comvorlix::ssh_internal {

struct SessionSettings {
  std::string host;  // UTF-8
  int port = 22;
  std::string login;
  SecretString password;
  bool key_login = false;
  SharedKey key;  // set when key_login
  SshProtocol protocol = SshProtocol::kAutomatic;
  int timeout_seconds = 30;  // already defaulted: > 0
  // The session's records (debug file and debug output), shared with the
  // owner; null: a log that writes nothing.
  std::shared_ptr<DebugLog> log;
  bool strip_control_sequences = false;
  int columns = 80;
  KnownHostsSettings known_hosts;
};

void RunSession(std::shared_ptr<SessionLink> link, SessionSettings settings);

// The longest a session may last, counted from Connect: max(600 s, 20 × the
// time-out), enough for a listing of 20 000 lines from a slow switch.
std::chrono::seconds SessionTimeLimit(int timeout_seconds);

// The algorithm lists offered: current algorithms first, then the old ones.
extern const char* const kKeyExchangeAlgorithms;
extern const char* const kHostKeyAlgorithms;
extern const char* const kCiphers;
extern const char* const kMacs;
extern const char* const kPublicKeyTypes;

}  // namespace comvorlix::ssh_internal

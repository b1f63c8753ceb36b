// What an SshClient reports about its session: typed values, one struct
// per event, delivered as an SshEvent to the handler given to the client.
//
// ssh/client.h says on which thread they arrive and in which order. Every
// text is UTF-8 and holds no secret; texts that carry what the server sent
// (its identification, a disconnect reason) are quoted where they can hold
// anything, as the client's error texts say.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <variant>

namespace comvorlix {

// The states of one session, numbered for callers that keep the state as a
// plain number.
enum class SshState {
  kDisconnected = 0,
  kConnecting = 1,      // name resolution, TCP, key exchange, host key check
  kAuthenticating = 2,  // login, opening the shell channel with a pseudo-terminal
  kConnected = 3,       // authenticated with the shell open
  kClosing = 4,
};

// Why an attempt failed.
enum class SshError {
  kHostNotFound,
  kConnectionRefused,
  kTimedOut,
  kNetwork,       // other socket errors, connection lost
  kNegotiation,   // protocol or key exchange failure
  kAuthentication,
  kShell,         // channel, pseudo-terminal or shell refused
  kProtocolNotSupported,
  kInternal,
  kHostKeyRefused,       // changed, revoked, or unknown under the strict policy
  kHostKeyNotRecorded,   // a new host's key could not be recorded (or the files read)
};

// The session moved from one state to the next; SshClient::State() is
// `to` while the handler runs.
struct SshStateChanged {
  SshState from = SshState::kDisconnected;
  SshState to = SshState::kDisconnected;
};

// The key exchange is done; the host key has not been checked yet.
struct SshNegotiated {
  std::string protocol;          // "SSH-2.0"
  std::string remote_name;       // the server's identification string
  std::string server_to_client;  // "cipher/mac"
  std::string client_to_server;  // "cipher/mac"
  std::string key_exchange;      // e.g. "curve25519-sha256"
  std::string host_key_type;     // e.g. "ssh-ed25519"
  // "SHA256:" followed by the unpadded Base64 of the host key's SHA-256.
  std::string fingerprint;
};

// A host seen for the first time was recorded in the known hosts file:
// "learned host key SHA256:... of HOST:PORT into FILE".
struct SshHostKeyLearned {
  std::string text;
};

// Logged in, with the shell open: Send reaches the switch from now on.
struct SshConnected {};

// The attempt failed before the shell opened; `text` names the host (see
// the examples in ssh/client.h). The session ends right after.
struct SshConnectFailed {
  SshError error = SshError::kInternal;
  std::string text;
};

// `byte_count` bytes (1 to SshClient::kMaxReceivedEvent) wait to be taken
// with SshClient::Receive.
struct SshReceived {
  size_t byte_count = 0;
};

// The session is over; the last event of a client.
struct SshDisconnected {};

using SshEvent = std::variant<SshStateChanged, SshNegotiated, SshHostKeyLearned, SshConnected, SshConnectFailed,
                              SshReceived, SshDisconnected>;

using SshEventHandler = std::function<void(const SshEvent&)>;

}  // namespace comvorlix

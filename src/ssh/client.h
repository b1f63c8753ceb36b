// The SSH client: one interactive shell session with a switch.
//
// Ownership and threads. An SshClient belongs to the thread that creates it
// (the owner thread); every member is called on that thread, Record
// excepted. The network work runs on a worker thread of the client's own.
// Events (ssh/events.h) reach the handler given to the constructor on the
// owner thread, as messages of its ThreadMessageQueue (message_queue.h):
// they run only while that thread processes its pending messages, one at a
// time, in the order they happened. A handler is never re-entered: the
// next event is raised only after the previous handler has returned, even
// when a handler processes messages itself. Handlers may call every member
// of the client; what the handler refers to must outlive the client.
//
// Destroying the client stops the worker (closing an open session), and
// raises no further events; the destructor returns promptly (it waits for no
// network operation). It is not to be destroyed inside its own handler.
//
// One session per client: Connect starts it, and it ends with exactly one
// SshDisconnected, whatever happens (a failed attempt included).
//
// Events of one session, in order:
//   SshStateChanged  disconnected -> connecting
//   SshNegotiated                          after the key exchange
//   SshHostKeyLearned                      only when a new host's key was recorded
//   SshStateChanged  connecting -> authenticating
//   SshStateChanged  authenticating -> connected
//   SshConnected
//   SshReceived ...                        data from the shell
//   SshStateChanged  connected -> closing
//   SshStateChanged  closing -> disconnected
//   SshDisconnected
// A failed attempt raises SshConnectFailed, then SshStateChanged to
// disconnected and SshDisconnected. State() is the state as of the last
// event raised, so a handler sees the state the event belongs to.
//
// Algorithms. The current algorithms are offered first, then the old ones
// that switches in service still use (diffie-hellman-group14-sha1 and
// group1-sha1, ssh-rsa host keys, aes-cbc and 3des-cbc, hmac-sha1, RSA
// signatures with SHA-1 for key login), so old switches are reached without
// any setting.
//
// Host keys. After the key exchange and before any authentication the
// server's host key is checked against the known hosts files
// (ssh/known_hosts.h), which are read before connecting: the key types
// known for the host are asked for first. A key that matches none of the
// host's known keys, a revoked key, or (strict policy) an unknown host
// fails the attempt with kHostKeyRefused; a known hosts file that cannot
// be read, or a new host whose key cannot be recorded (or any unknown host
// under kNoLearning), fails with kHostKeyNotRecorded. None sends a login
// name or password.
//
// Time limits, with T the time-out:
//   * resolving, connecting, key exchange, login and opening the shell take
//     at most T together;
//   * an open session that receives no data for T ends;
//   * a session ends at the latest max(600 s, 20 × T) after Connect, so a
//     switch that never stops talking cannot hold a check forever (a listing
//     of 20 000 lines at a slow 1 kB/s still fits).
//
// Received data is handed out in events of at most kMaxReceivedEvent
// bytes. Data that arrived but was not yet taken with Receive is bounded by
// about kMaxBufferedBytes (plus what one read of the socket brings): while
// that much waits, the session reads nothing more, so TCP holds the server
// back; an owner that takes nothing for the time-out T meanwhile ends the
// session with an error ("received data were not taken for T s").
//
// Errors. Connect raises AutomationError when the session cannot start,
// with one of these descriptions (status kFail unless said otherwise):
//   "this SSH client has already been connected; use a new one"
//   "terminal width N is outside 1 to 10000" (kInvalidArgument)
//   "the private key text is not an unencrypted private key" (kInvalidArgument)
//   "cannot connect: no host name is set"
//   "cannot connect to HOST: port N is outside 1 to 65535"
//   "cannot connect to HOST: no login name is set"
//   "cannot connect to HOST: key login is set but no private key"
//   "cannot start the SSH session: <system reason>"
// Failures of the attempt are reported by SshConnectFailed, with an
// SshError and a text that names the host and port, for example
//   "SSH connection to 10.1.1.1:22 failed: connection refused"
//   "SSH connection to sw1:22 failed: host name not found"
//   "SSH connection to sw1:22 failed: authentication failed for user admin"
//   "SSH connection to sw1:22 failed: timed out after 5 s while negotiating"
//   "SSH connection to sw1:22 failed: SSH1 is not supported, only SSH2"
// except the host key failures, whose text names the host itself:
//   "host key of sw1:22 changed: known ssh-ed25519 key SHA256:... in FILE,
//    offered ssh-rsa key SHA256:...; not logging in. If the switch was
//    replaced, forget the old key with: ssh-keygen -R sw1 (the next check
//    learns the new one)"
//   "host key of sw1:22 is not known (...) and host keys are checked
//    strictly; not logging in. Add it with: ssh-keyscan ..."
//   "host key of sw1:22 is revoked (ssh-ed25519 key SHA256:... in FILE);
//    not logging in"
//   "cannot read the known hosts files for sw1:22: FILE is not a regular
//    file (a FIFO); not logging in"
//   "cannot record the host key SHA256:... of sw1:22 in FILE: ...; not
//    logging in"
// Failures after the shell has opened end the session with SshDisconnected
// only; LastError() then tells why, for example
//   "SSH session with sw1:22 ended: timed out after 5 s with no data".
// A session the server closes normally leaves LastError() empty.
// An exception thrown by the event handler is caught by the client (it goes
// to the debug output) and the session goes on.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "ssh/events.h"
#include "ssh/settings.h"

namespace comvorlix {

class SshClient {
 public:
  static constexpr size_t kMaxReceivedEvent = 32767;
  static constexpr size_t kMaxBufferedBytes = size_t{1} << 20;

  explicit SshClient(SshEventHandler handler);
  ~SshClient();
  SshClient(const SshClient&) = delete;
  SshClient& operator=(const SshClient&) = delete;

  // Checks the settings and starts the session; returns at once.
  void Connect(SshSettings settings);
  // Queues the bytes for the remote shell, unchanged; they reach it in call
  // order (those sent before the shell opens, once it has). Raises when no
  // session was started or the session is over.
  void Send(std::string_view bytes);
  // Hands out up to `max` bytes of the received data waiting to be taken
  // (what SshReceived announced, and data declined earlier), oldest first,
  // as the server sent them (after the control sequence filter, when set).
  // Gives nothing when nothing is waiting. Data a handler leaves untaken is
  // announced again together with the next data that arrives; it can also
  // be taken at any time, the SshDisconnected handler included.
  std::string Receive(size_t max);
  // Adds a record of the caller's (a line the session received or typed,
  // already masked) to the session's debug file and the debug output, as
  // the session's own records go; nothing before Connect. Any thread.
  void Record(std::string_view text) const;
  SshState State() const;
  // Why the session ended, or why the attempt failed (UTF-8); empty when
  // the session is running or the server closed it normally.
  std::string LastError() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace comvorlix

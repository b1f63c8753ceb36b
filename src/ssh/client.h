// The SSH client control: one interactive shell session with a switch.
//
// Ownership and threads. An SshClient belongs to the thread that creates it
// (the owner thread); every member is called on that thread. The network
// work runs on a worker thread of the client's own. Events reach the
// SshClientEvents object on the owner thread, as messages of its
// ThreadMessageQueue (message_queue.h): they run only while that thread
// processes its pending messages, one at a time, in the order they
// happened. A handler is never re-entered: the next event is raised only
// after the previous handler has returned, even when a handler processes
// messages itself. Handlers may call every member of the client.
//
// Destroying the client stops the worker (closing an open session), and
// raises no further events; the destructor returns promptly (it waits for no
// network operation). The events object must outlive the client.
//
// One session per client: Connect starts it, and it ends with exactly one
// Disconnected event, whatever happens (a failed attempt included).
//
// Events of one session, in order:
//   StateChange(0)                              state 1, connecting
//   CryptoInformation(...), HostFingerprint(...)  after the key exchange
//   HostKeyLearned(text)                        only when a new host's key was recorded
//   StateChange(1)                              state 2, authenticating
//   StateChange(2)                              state 3, shell open
//   Connected(0, "")
//   Received(n) ...                             data from the shell
//   StateChange(3)                              state 4, closing
//   StateChange(4)                              state 0, disconnected
//   Disconnected()
// A failed attempt raises Connected(code, text) with a non-zero code and
// then StateChange(..) to state 0 and Disconnected. StateChange passes the
// old state; State() gives the new one.
//
// States (State()): 0 disconnected, 1 connecting (name resolution, TCP,
// key exchange), 2 authenticating (login, opening the shell channel with a
// pseudo-terminal), 3 connected: authenticated with the shell open, 4
// closing. State() is the state as of the last event raised, so a handler
// sees the state the event belongs to.
//
// Settings (each read when Connect is called):
//   host name, port (1-65535; default 22), login name, password;
//   authentication method: 0 or 1 = password (keyboard-interactive with the
//     password where the server asks for that), 2 = private key (the key
//     set with SetPrivateKey; the password is not sent);
//   private key: the text of an unencrypted private key file, as
//     SshKey::PrivateKey hands it out (an empty text clears it);
//   protocol: 2 = SSH1 (not supported: the attempt fails), 3 = SSH2,
//     4 = automatic (SSH2); default 4;
//   time-out in seconds; 0 or less means 30 s;
//   debug file: when set, the session's protocol log is appended to it
//     (the SSH library's log at protocol level and the control's own lines;
//     passwords, pass phrases, key material and the data of the session
//     never appear in it);
//   strip control sequences (default False): when True, terminal control
//     sequences are removed from the received data as TerminalFilter
//     (ssh_terminal_filter.h) describes: ESC E and CSI E become "\r\n",
//     all others vanish, a sequence split across reads is still recognised;
//   terminal width: columns of the pseudo-terminal (default 80; 1-10000),
//     24 rows, terminal type "vt100";
//   known hosts file (default: ~/.ssh/known_hosts of the running user's
//     password database entry, never $HOME), read and appended to; system
//     known hosts file (default /etc/ssh/ssh_known_hosts; empty: none), only
//     read; host key policy (default accept-new). known_hosts.h has the
//     rules.
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
// be read, or a new host whose key cannot be recorded, fails with
// kHostKeyNotRecorded. None sends a login name or password. `accept` of CryptoInformation and
// HostFingerprint is not consulted.
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
// Errors. Connect raises AutomationError when the session cannot start
// (no host name, no login name, port out of range, private key login
// without a key, a second Connect). Failures of the attempt are reported by
// Connected with a non-zero code (SshError) and a text that names the host
// and port, for example
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
// Failures after the shell has opened end the session with Disconnected
// only; LastError() then tells why, for example
//   "SSH session with sw1:22 ended: timed out after 5 s with no data".
// A session the server closes normally leaves LastError() empty.
// An exception thrown by an event handler is caught by the client (it goes
// to the debug output) and the session goes on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "ssh/known_hosts.h"

namespace comvorlix {

// Codes of Connected for a failed attempt.
enum class SshError : int16_t {
  kNone = 0,
  kHostNotFound = 1,
  kConnectionRefused = 2,
  kTimedOut = 3,
  kNetwork = 4,           // other socket errors, connection lost
  kNegotiation = 5,       // protocol or key exchange failure
  kAuthentication = 6,
  kShell = 7,             // channel, pseudo-terminal or shell refused
  kProtocolNotSupported = 8,
  kInternal = 9,
  kHostKeyRefused = 10,      // changed, or unknown under the strict policy
  kHostKeyNotRecorded = 11,  // a new host's key could not be recorded (or the files read)
};

// Called on the owner thread; see the order above. Every text is UTF-8.
class SshClientEvents {
 public:
  virtual ~SshClientEvents() = default;
  virtual void Connected(int16_t error_code, const std::string& error_text) = 0;
  // protocol "SSH-2.0"; remote_name: the server's identification string;
  // sc_cipher, cs_cipher: "cipher/mac" of each direction (server to client,
  // client to server); keys: "kex/host key type".
  virtual void CryptoInformation(const std::string& protocol, const std::string& remote_name,
                                 const std::string& sc_cipher, const std::string& cs_cipher, const std::string& keys,
                                 bool& accept) = 0;
  // "SHA256:" followed by the unpadded Base64 of the host key's SHA-256.
  virtual void HostFingerprint(const std::string& fingerprint, bool& accept) = 0;
  // A host seen for the first time was recorded in the known hosts file:
  // "learned host key SHA256:... of HOST:PORT into FILE".
  virtual void HostKeyLearned(const std::string& /*text*/) {}
  virtual void StateChange(int32_t old_state) = 0;
  virtual void Received(int16_t byte_count) = 0;
  virtual void Disconnected() = 0;
};

class SshClient {
 public:
  static constexpr int kMaxReceivedEvent = 32767;
  static constexpr size_t kMaxBufferedBytes = size_t{1} << 20;
  static constexpr int32_t kStateDisconnected = 0;
  static constexpr int32_t kStateConnecting = 1;
  static constexpr int32_t kStateAuthenticating = 2;
  static constexpr int32_t kStateConnected = 3;
  static constexpr int32_t kStateClosing = 4;

  explicit SshClient(SshClientEvents* events);
  ~SshClient();
  SshClient(const SshClient&) = delete;
  SshClient& operator=(const SshClient&) = delete;

  // Names, login, password and paths are UTF-8.
  void SetHostname(std::string_view host);     // blanks around it and the brackets of "[::1]" are dropped
  void SetLogin(std::string_view login);
  void SetPassword(std::string_view password);
  void SetPort(int32_t port);                  // checked by Connect
  void SetAuthentication(int32_t method);      // 0, 1, 2; others raise kInvalidArgument
  void SetPrivateKey(std::string key_text);    // raises when the text is no private key
  void SetProtocol(int32_t code);              // 2, 3, 4; others raise kInvalidArgument
  void SetTimeout(int16_t seconds);
  void SetDebugFile(std::string_view path);
  void SetStripControlSequences(bool strip);
  void SetTerminalWidth(int32_t columns);      // outside 1-10000 raises kInvalidArgument
  void SetKnownHostsFile(std::string_view path);        // empty: the default
  void SetSystemKnownHostsFile(std::string_view path);  // empty: none
  void SetHostKeyPolicy(SshHostKeyPolicy policy);

  // Starts the session and returns at once.
  void Connect();
  // Queues the bytes for the remote shell, unchanged; they reach it in call
  // order (those sent before the shell opens, once it has). Raises when no
  // session was started or the session is over.
  void Send(std::string_view bytes);
  // Hands out up to `max` bytes of the received data waiting to be taken
  // (what Received announced, and data declined earlier), oldest first, as
  // the server sent them (after the control sequence filter, when set).
  // Gives nothing when nothing is waiting. Data a handler leaves untaken is
  // announced again together with the next data that arrives; it can also
  // be taken at any time, the Disconnected handler included.
  std::string Receive(size_t max);
  // Adds a record of the caller's (a line the session received or typed,
  // already masked) to the session's debug file and the debug output, as
  // the session's own records go; nothing before Connect. Any thread.
  void Record(std::string_view text) const;
  int32_t State() const;
  // Why the session ended, or why the attempt failed (UTF-8); empty when
  // the session is running or the server closed it normally.
  std::string LastError() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace comvorlix

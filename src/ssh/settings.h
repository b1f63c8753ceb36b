// What one SSH session is to do: the settings SshClient::Connect takes.
//
// Plain values, copied by Connect; the caller's copy may go at once. The
// client checks them when it connects (ssh/client.h lists its errors).
// Names, login, password and paths are UTF-8; the password and the key text
// are secrets: the client keeps them in memory it wipes, sends the password
// only to a server whose host key it trusts, and never writes either to its
// debug file, the debug output or an error text.
#pragma once

#include <memory>
#include <string>

namespace comvorlix {

class SshKey;  // ssh/key.h

inline constexpr char kSshSystemKnownHostsFile[] = "/etc/ssh/ssh_known_hosts";

enum class SshProtocol {
  kSsh1,       // not supported: the attempt fails before any connection
  kSsh2,
  kAutomatic,  // SSH2
};

enum class SshAuthentication {
  // "password", or "keyboard-interactive" with the password where the
  // server asks for that (a prompt shown with echo gets the login name).
  kPassword,
  // The private key of SshSettings::private_key; the password is not sent.
  kPrivateKey,
};

// What a host with no known key gets (ssh/known_hosts.h has the rules).
enum class SshHostKeyPolicy {
  kAcceptNew,   // trust on first use: its key is recorded, then logged in to
  kStrict,      // refused
  kNoLearning,  // refused and not recorded: a look that writes nothing
};

struct SshSettings {
  // Blanks around it and the brackets of "[::1]" are dropped.
  std::string host;
  int port = 22;  // 1-65535
  std::string login;
  std::string password;
  SshAuthentication authentication = SshAuthentication::kPassword;
  // The text of an unencrypted private key file, as SshKey::PrivateKey
  // hands it out (ssh/key.h); empty: none. For kPrivateKey, this or `key`.
  std::string private_key;
  // A loaded key, handed over as it is (taken before private_key); the
  // client keeps it alive for the session and never changes it.
  std::shared_ptr<const SshKey> key;
  SshProtocol protocol = SshProtocol::kAutomatic;
  // Seconds; 0 or less means 30. The client's time limits derive from it.
  int timeout_seconds = 30;
  // When set, the session's protocol log is appended to this file (the SSH
  // library's log at protocol level and the client's own records).
  std::string debug_file;
  // Terminal control sequences are removed from the received data as
  // TerminalFilter (ssh/terminal_filter.h) describes: ESC E and CSI E
  // become "\r\n", all others vanish, also when split across reads.
  bool strip_control_sequences = false;
  // Columns of the pseudo-terminal (1-10000); 24 rows, terminal "vt100".
  int terminal_columns = 80;
  // Read and appended to; empty: ~/.ssh/known_hosts of the running user's
  // password database entry (never $HOME).
  std::string known_hosts_file;
  // Only read; empty: none.
  std::string system_known_hosts_file = kSshSystemKnownHostsFile;
  SshHostKeyPolicy host_key_policy = SshHostKeyPolicy::kAcceptNew;
};

}  // namespace comvorlix

// Checking a server's host key against OpenSSH known_hosts files, before
// anything secret is sent to it.
//
// Two files are consulted, both in OpenSSH's format and both read through
// the SSH library: the user file (read, and written when a new host is
// learned) and the system-wide file (only ever read). A host on a port
// other than 22 is looked up and recorded as "[host]:port", as OpenSSH
// does.
//
// Policies:
//   kAcceptNew (default): trust on first use, like OpenSSH's
//     StrictHostKeyChecking=accept-new. A host found in neither file is
//     appended to the user file (its folder is created with mode 0700 and
//     the file with 0600 when missing); a host whose key is not the known
//     one is refused.
//   kStrict: a host found in neither file is refused too.
//
// VerifyHostKey runs on the session worker's thread, after the key
// exchange and before any authentication; it blocks only on local file
// access. It never throws for a refused or unrecordable key: the outcome
// says what happened and carries the text for the user (naming the host,
// the files and fingerprints, never a secret).
#pragma once

#include <libssh/libssh.h>

#include <string>

namespace comvorlix {

enum class SshHostKeyPolicy { kAcceptNew, kStrict };

namespace ssh_internal {

inline constexpr char kSystemKnownHostsFile[] = "/etc/ssh/ssh_known_hosts";

// "$HOME/.ssh/known_hosts"; without HOME the home folder of the user's
// passwd entry. Empty when neither gives a home folder.
std::string DefaultKnownHostsFile();

struct KnownHostsSettings {
  std::string user_file;    // empty: DefaultKnownHostsFile()
  std::string system_file = kSystemKnownHostsFile;  // empty: none
  SshHostKeyPolicy policy = SshHostKeyPolicy::kAcceptNew;
};

struct HostKeyOutcome {
  enum class Result {
    kKnown,         // the key is the known one: go on
    kLearned,       // a new host, recorded in the user file: go on
    kRefused,       // changed, other type, or unknown under kStrict: no login
    kNotRecorded,   // a new host whose key could not be recorded: no login
  };
  Result result = Result::kRefused;
  // kLearned: "learned host key SHA256:... of HOST:PORT into FILE";
  // kRefused, kNotRecorded: why, with what to do about it.
  std::string text;
};

// `session` has completed the key exchange with `host` (as set on the
// session) on `port`; `where` is "HOST:PORT" as the session's texts name
// it. Sets the files on the session (SSH_OPTIONS_KNOWNHOSTS,
// SSH_OPTIONS_GLOBAL_KNOWNHOSTS).
HostKeyOutcome VerifyHostKey(ssh_session session, const KnownHostsSettings& settings, const std::string& host,
                             int port, const std::string& where);

}  // namespace ssh_internal
}  // namespace comvorlix

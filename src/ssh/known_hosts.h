// Checking a server's host key against OpenSSH known_hosts files, before
// anything secret is sent to it.
//
// Two files are consulted, both in OpenSSH's format: the user file (read,
// and appended to when a new host is learned) and the system-wide file
// (only ever read). The default user file is ~/.ssh/known_hosts of the
// running user's password database entry (getpwuid(getuid())), as OpenSSH
// takes it: never $HOME, which a daemon that dropped its privileges may
// still have set to root's. A host on a port other than 22 is looked up
// and recorded as "[host]:port", as OpenSSH does.
//
// The files are read here, not by the SSH library (whose own known hosts
// options stay at /dev/null): each is opened as files/safe_open.h opens a
// file another user may have planted (a symbolic link is followed only
// when root or the running user owns it, a FIFO never stalls, only a
// regular file is read) and read up to kMaxKnownHostsBytes. Each line is
// parsed by the SSH library (hashed names, patterns and "[host]:port"
// included), keys are compared by it. Lines marked "@revoked" list keys
// never to be trusted; "@cert-authority" lines are skipped (host
// certificates are not used, so a host known only through one is unknown);
// lines that cannot be parsed are skipped, as OpenSSH does.
//
// Policies:
//   kAcceptNew (default): trust on first use, like OpenSSH's
//     StrictHostKeyChecking=accept-new. A host with no key in either file
//     is appended to the user file (through a trusted link, O_APPEND; its
//     folder is created with mode 0700 and the file with 0600 when
//     missing); a host whose offered key matches none of its known keys
//     is refused.
//   kStrict: a host with no known key is refused too.
//   kNoLearning: a host with no known key is neither recorded nor logged
//     in to (kNotRecorded, its fingerprint in the text): a look that
//     writes nothing.
// A revoked key is refused under either policy.
//
// ReadKnownHosts runs on the session worker's thread before connecting,
// VerifyHostKey on the same thread after the key exchange and before any
// authentication; both block only on local file access. Neither throws for
// an unreadable file or a refused or unrecordable key: the outcome says
// what happened and carries the text for the user (naming the host, the
// files and fingerprints, never a secret).
#pragma once

#include <libssh/libssh.h>

#include <cstddef>
#include <string>
#include <vector>

#include "ssh/handles.h"
#include "ssh/settings.h"

namespace comvorlix {
namespace ssh_internal {

inline constexpr size_t kMaxKnownHostsBytes = size_t{16} << 20;

// "~/.ssh/known_hosts" of the running user's password database entry;
// empty when there is no entry or it names no home folder. A process may
// put another file in its place with SetDefaultKnownHostsFile.
std::string DefaultKnownHostsFile();

// Makes `path` the default user file of this process (empty: the
// account's again). For programs that cannot name a file with every
// session, test programs above all. Call it before any session starts.
void SetDefaultKnownHostsFile(std::string path);

struct KnownHostsSettings {
  std::string user_file;    // empty: DefaultKnownHostsFile()
  std::string system_file = kSshSystemKnownHostsFile;  // empty: none
  SshHostKeyPolicy policy = SshHostKeyPolicy::kAcceptNew;
};

struct HostKeyOutcome {
  enum class Result {
    kKnown,         // the key is a known one: go on
    kLearned,       // a new host, recorded in the user file: go on
    kRefused,       // changed, revoked, or unknown under kStrict: no login
    kNotRecorded,   // a file could not be read, or a new host's key not recorded: no login
  };
  Result result = Result::kRefused;
  // kLearned: "learned host key SHA256:... of HOST:PORT into FILE";
  // the others but kKnown: why, with what to do about it.
  std::string text;
};

// What the files say about one host, read before connecting.
struct KnownHostKeys {
  struct Entry {
    std::string file;  // as given
    bool revoked = false;
    UniqueKey key;
  };
  std::string user_file;  // the file to learn into; empty: no home folder
  std::string host_port;  // "host", or "[host]:port" off port 22
  std::vector<Entry> entries;  // the host's keys, in file order
  // Set when a file could not be read: then nothing else is.
  HostKeyOutcome failure{HostKeyOutcome::Result::kKnown, {}};
  bool failed() const { return failure.result != HostKeyOutcome::Result::kKnown; }
};

// `where` is "HOST:PORT" as the session's texts name it.
KnownHostKeys ReadKnownHosts(const KnownHostsSettings& settings, const std::string& host, int port,
                             const std::string& where);

// `algorithms` (a comma-separated list of host key algorithms) with those
// whose key type has a trusted key for the host first, each part in its
// own order, as OpenSSH orders them: a switch that also has a key of
// another type shows the one already known.
std::string PreferKnownHostKeyTypes(const KnownHostKeys& known, const std::string& algorithms);

// `session` has completed the key exchange with the host `known` was read
// for; `where` as for ReadKnownHosts.
HostKeyOutcome VerifyHostKey(ssh_session session, const KnownHostKeys& known, const KnownHostsSettings& settings,
                             const std::string& host, int port, const std::string& where);

}  // namespace ssh_internal
}  // namespace comvorlix

#include "ssh/known_hosts.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "base/automation_error.h"
#include "files/files.h"
#include "files/safe_open.h"

namespace comvorlix::ssh_internal {
namespace {

using Result = HostKeyOutcome::Result;
using Entry = KnownHostKeys::Entry;

struct EntryDeleter {
  void operator()(ssh_knownhosts_entry* e) const { ssh_knownhosts_entry_free(e); }
};
using UniqueEntry = std::unique_ptr<ssh_knownhosts_entry, EntryDeleter>;

// The file SetDefaultKnownHostsFile set; made on first use, so that a
// setting made while static objects are made is not lost.
struct DefaultOverride {
  std::mutex mutex;
  std::string file;
};
DefaultOverride& Override() {
  static DefaultOverride override_file;
  return override_file;
}

std::string Fingerprint(ssh_key key) {
  unsigned char* hash = nullptr;
  size_t hash_len = 0;
  if (ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &hash_len) != SSH_OK) return "(no fingerprint)";
  char* text = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, hash_len);
  std::string out = text != nullptr ? text : "(no fingerprint)";
  ssh_string_free_char(text);
  ssh_clean_pubkey_hash(&hash);
  return out;
}

std::string KeyType(ssh_key key) {
  const char* name = ssh_key_type_to_char(ssh_key_type(key));
  return name != nullptr ? name : "unknown";
}

// The type names ssh-keyscan -t takes.
std::string KeyscanType(const std::string& type) {
  if (type == "ssh-ed25519") return "ed25519";
  if (type == "ssh-rsa") return "rsa";
  if (type == "ssh-dss") return "dsa";
  if (type.rfind("ecdsa", 0) == 0) return "ecdsa";
  return type;
}

// A word as a POSIX shell reads it back unchanged.
std::string ShellWord(const std::string& word) {
  const bool plain = !word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                                             "0123456789_./:@%+=,-") == std::string::npos;
  if (plain) return word;
  std::string out = "'";
  for (char c : word) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return out + "'";
}

// The name the files use: "host" on port 22, "[host]:port" otherwise, in
// lower case as the SSH library keeps host names.
std::string HostPort(std::string host, int port) {
  for (char& c : host) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return port == 22 ? host : "[" + host + "]:" + std::to_string(port);
}

// The command that forgets `host_port` in `file`, run as the file's owner
// when that is another user than the one reading this (root reading the
// monitoring user's file, or the other way round).
std::string ForgetCommand(const std::string& host_port, const std::string& file) {
  std::string as;
  struct stat st {};
  if (::stat(file.c_str(), &st) == 0 && st.st_uid != ::geteuid()) {
    // getpwuid_r: checks of other switches may run on other threads.
    passwd entry{};
    passwd* pw = nullptr;
    std::vector<char> buffer(16384);
    const bool named = ::getpwuid_r(st.st_uid, &entry, buffer.data(), buffer.size(), &pw) == 0 && pw != nullptr;
    as = "sudo -u " + (named ? ShellWord(pw->pw_name) : "'#" + std::to_string(st.st_uid) + "'") + " ";
  }
  return as + "ssh-keygen -R " + ShellWord(host_port) + " -f " + ShellWord(file);
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
}

bool SameKey(const UniqueKey& a, ssh_key b) { return ssh_key_cmp(a.get(), b, SSH_KEY_CMP_PUBLIC) == 0; }

// The key type an algorithm name signs with: RSA for its SHA-2 variants.
ssh_keytypes_e KeyTypeOfAlgorithm(const std::string& algorithm) {
  return ssh_key_type_from_name(algorithm.rfind("rsa-sha2-", 0) == 0 ? "ssh-rsa" : algorithm.c_str());
}

// Adds the keys that the lines of `text` list for `known.host_port`.
void ParseLines(const std::string& text, const std::string& file, KnownHostKeys& known) {
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    start = end + 1;
    // OpenSSH separates fields by any blanks; the library's parser by
    // spaces only.
    for (char& c : line) {
      if (c == '\t' || c == '\r') c = ' ';
    }
    const size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos || line[first] == '#') continue;
    line.erase(0, first);
    bool revoked = false;
    if (line[0] == '@') {
      // Host certificates are not used: a certificate authority's line
      // trusts no key here. Unknown markers are skipped, as OpenSSH does.
      const size_t blank = line.find(' ');
      if (blank == std::string::npos || line.compare(0, blank, "@revoked") != 0) continue;
      revoked = true;
      line.erase(0, line.find_first_not_of(' ', blank));
    }
    ssh_knownhosts_entry* raw = nullptr;
    const int rc = ssh_known_hosts_parse_line(known.host_port.c_str(), line.c_str(), &raw);
    UniqueEntry entry(raw);
    // Another host's line (SSH_AGAIN), or one the library cannot read (a key
    // type it does not know): neither says anything about this host.
    if (rc != SSH_OK || entry == nullptr || entry->publickey == nullptr) continue;
    known.entries.push_back(Entry{file, revoked, UniqueKey(std::exchange(entry->publickey, nullptr))});
  }
}

// The user file's folder (0700) when it is missing: OpenSSH makes ~/.ssh
// the same way.
std::optional<std::string> MakeFolder(const std::string& folder) {
  struct stat st{};
  if (::stat(folder.c_str(), &st) != 0) {
    // Another check (another thread or process) may create it at the same
    // moment: a folder that exists by now is as good as one made here.
    if (errno != ENOENT || (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST)) {
      return "cannot create the folder " + folder + ": " + std::strerror(errno);
    }
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return folder + " is not a folder";
  } else if (!S_ISDIR(st.st_mode)) {
    return folder + " is not a folder";
  }
  return std::nullopt;
}

std::optional<std::string> WriteLine(int fd, const std::string& bytes) {
  if (const int error = WriteAll(fd, bytes); error != 0) return std::string(std::strerror(error));
  return std::nullopt;
}

// Appends `line` to `file`, through a trusted link, creating it (0600) when
// it does not exist. Nothing, or why not.
std::optional<std::string> Append(const std::string& file, const std::string& line) {
  try {
    std::optional<OpenedFile> opened = OpenRegularFile(file, O_RDWR | O_APPEND);
    if (!opened) {
      const std::string resolved = FollowTrustedLinks(file);
      if (auto problem = MakeFolder(FolderOf(resolved))) return problem;
      UniqueFd fd(::open(resolved.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
      if (fd.valid()) return WriteLine(fd.get(), line);
      if (errno != EEXIST) return std::string(std::strerror(errno));
      // Another check made it meanwhile.
      opened = OpenRegularFile(file, O_RDWR | O_APPEND);
      if (!opened) return std::string(std::strerror(ENOENT));
    }
    // A last line that lacks its newline (an edited file) would otherwise
    // swallow the new one.
    struct stat st{};
    char last = '\n';
    if (::fstat(opened->fd(), &st) == 0 && st.st_size > 0 && ::pread(opened->fd(), &last, 1, st.st_size - 1) != 1) {
      last = '\n';
    }
    return WriteLine(opened->fd(), last == '\n' ? line : "\n" + line);
  } catch (const AutomationError& e) {
    return e.description();
  }
}

// The line OpenSSH writes for a host and its key: the name the lookup used,
// the key type and the key in Base64.
std::optional<std::string> KnownHostsLine(const std::string& host_port, ssh_key key) {
  char* raw = nullptr;
  if (ssh_pki_export_pubkey_base64(key, &raw) != SSH_OK || raw == nullptr) return std::nullopt;
  std::string line = host_port + " " + KeyType(key) + " " + raw + "\n";
  ssh_string_free_char(raw);
  return line;
}

}  // namespace

std::string DefaultKnownHostsFile() {
  {
    DefaultOverride& o = Override();
    std::lock_guard<std::mutex> lock(o.mutex);
    if (!o.file.empty()) return o.file;
  }
  std::string home;
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr) {
    home = found->pw_dir;
  }
  if (home.empty()) return {};
  if (home.size() > 1 && home.back() == '/') home.pop_back();
  return home + "/.ssh/known_hosts";
}

void SetDefaultKnownHostsFile(std::string path) {
  DefaultOverride& o = Override();
  std::lock_guard<std::mutex> lock(o.mutex);
  o.file = std::move(path);
}

KnownHostKeys ReadKnownHosts(const KnownHostsSettings& settings, const std::string& host, int port,
                             const std::string& where) {
  KnownHostKeys known;
  known.user_file = settings.user_file.empty() ? DefaultKnownHostsFile() : settings.user_file;
  known.host_port = HostPort(host, port);
  for (const std::string& file : {known.user_file, settings.system_file}) {
    if (file.empty()) continue;
    try {
      const std::optional<OpenedFile> opened = OpenRegularFile(file, O_RDONLY);
      if (!opened) continue;  // a missing file knows no host
      ParseLines(ReadCapped(*opened, kMaxKnownHostsBytes, file), file, known);
    } catch (const AutomationError& e) {
      known.entries.clear();
      known.failure = {Result::kNotRecorded,
                       "cannot read the known hosts files for " + where + ": " + e.description() + "; not logging in"};
      return known;
    }
  }
  return known;
}

std::string PreferKnownHostKeyTypes(const KnownHostKeys& known, const std::string& algorithms) {
  std::set<int> types;
  for (const Entry& e : known.entries) {
    if (!e.revoked) types.insert(ssh_key_type(e.key.get()));
  }
  std::string preferred;
  std::string others;
  size_t start = 0;
  while (start <= algorithms.size()) {
    size_t end = algorithms.find(',', start);
    if (end == std::string::npos) end = algorithms.size();
    const std::string algorithm = algorithms.substr(start, end - start);
    start = end + 1;
    if (algorithm.empty()) continue;
    std::string& list = types.count(KeyTypeOfAlgorithm(algorithm)) != 0 ? preferred : others;
    list += (list.empty() ? "" : ",") + algorithm;
  }
  if (preferred.empty()) return others;
  return others.empty() ? preferred : preferred + "," + others;
}

HostKeyOutcome VerifyHostKey(ssh_session session, const KnownHostKeys& known, const KnownHostsSettings& settings,
                             const std::string& host, int port, const std::string& where) {
  if (known.failed()) return known.failure;
  ssh_key raw_key = nullptr;
  if (ssh_get_server_publickey(session, &raw_key) != SSH_OK) {
    return {Result::kRefused, "the server " + where + " showed no host key"};
  }
  UniqueKey key(raw_key);
  const std::string type = KeyType(key.get());
  const std::string offered = Fingerprint(key.get());

  // A revoked key is refused even where another line trusts it.
  for (const Entry& e : known.entries) {
    if (e.revoked && SameKey(e.key, key.get())) {
      return {Result::kRefused, "host key of " + where + " is revoked (" + type + " key " + offered + " in " + e.file +
                                    "); not logging in"};
    }
  }
  // The known key of the offered type when there is one (a changed key),
  // else the first (the host offers none of the known types: the order of
  // the algorithms put them first).
  const Entry* shown = nullptr;
  for (const Entry& e : known.entries) {
    if (e.revoked) continue;
    if (SameKey(e.key, key.get())) return {Result::kKnown, {}};
    if (shown == nullptr || (KeyType(shown->key.get()) != type && KeyType(e.key.get()) == type)) shown = &e;
  }
  if (shown != nullptr) {
    std::string text = "host key of " + where + " changed: known " + KeyType(shown->key.get()) + " key " +
                       Fingerprint(shown->key.get()) + " in " + shown->file + ", offered " + type + " key " + offered;
    text += "; not logging in. If the switch was replaced, forget the old key with: " +
            ForgetCommand(known.host_port, shown->file) + " (the next check learns the new one)";
    return {Result::kRefused, text};
  }

  const std::string shown_file = known.user_file.empty() ? "~/.ssh/known_hosts" : known.user_file;
  if (settings.policy == SshHostKeyPolicy::kStrict) {
    return {Result::kRefused, "host key of " + where + " is not known (" + type + " key " + offered +
                                  ") and host keys are checked strictly; not logging in. Add it with: ssh-keyscan -p " +
                                  std::to_string(port) + " -t " + KeyscanType(type) + " " + ShellWord(host) +
                                  " >> " + ShellWord(shown_file) + " (after comparing the fingerprint), or run one " +
                                  "check with the host key policy accept-new"};
  }
  if (settings.policy == SshHostKeyPolicy::kNoLearning) {
    return {Result::kNotRecorded, "host key of " + where + " is not known (" + type + " key " + offered +
                                      ") and is not learned in a dry run; not logging in"};
  }
  const std::string not_recorded =
      "cannot record the host key " + offered + " of " + where + " in " + shown_file + ": ";
  if (known.user_file.empty()) return {Result::kNotRecorded, not_recorded + "no home folder; not logging in"};
  const std::optional<std::string> line = KnownHostsLine(known.host_port, key.get());
  if (!line) return {Result::kNotRecorded, not_recorded + "the key cannot be written out; not logging in"};
  if (auto problem = Append(known.user_file, *line)) {
    return {Result::kNotRecorded, not_recorded + *problem + "; not logging in"};
  }
  return {Result::kLearned, "learned host key " + offered + " of " + where + " into " + known.user_file};
}

}  // namespace comvorlix::ssh_internal

#include "ssh/known_hosts.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <optional>
#include <vector>

#include "ssh/handles.h"

namespace comvorlix::ssh_internal {
namespace {

using Result = HostKeyOutcome::Result;

struct EntryDeleter {
  void operator()(ssh_knownhosts_entry* e) const { ssh_knownhosts_entry_free(e); }
};
using UniqueEntry = std::unique_ptr<ssh_knownhosts_entry, EntryDeleter>;

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

struct KnownKey {
  std::string file;
  std::string type;
  std::string fingerprint;
};

// The keys `files` hold for `host_port`; each line is parsed by the SSH
// library (hashed names and patterns included).
std::vector<KnownKey> KnownKeys(const std::string& host_port, const std::vector<std::string>& files) {
  std::vector<KnownKey> keys;
  for (const std::string& file : files) {
    if (file.empty()) continue;
    std::ifstream in(file);
    for (std::string line; std::getline(in, line);) {
      const size_t first = line.find_first_not_of(" \t");
      if (first == std::string::npos || line[first] == '#') continue;
      ssh_knownhosts_entry* raw = nullptr;
      if (ssh_known_hosts_parse_line(host_port.c_str(), line.c_str() + first, &raw) != SSH_OK) {
        ssh_knownhosts_entry_free(raw);
        continue;
      }
      UniqueEntry entry(raw);
      if (entry->publickey == nullptr) continue;
      keys.push_back({file, KeyType(entry->publickey), Fingerprint(entry->publickey)});
    }
  }
  return keys;
}

// Creates the user file's folder (0700) and the file (0600) when missing,
// so that the SSH library appends to a file only its owner can read.
std::optional<std::string> PrepareUserFile(const std::string& file) {
  const size_t slash = file.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : file.substr(0, slash);
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
  UniqueFd fd(::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOFOLLOW, 0600));
  if (!fd.valid()) return std::string(std::strerror(errno));
  return std::nullopt;
}

}  // namespace

std::string DefaultKnownHostsFile() {
  std::string home;
  if (const char* env = std::getenv("HOME"); env != nullptr && *env != '\0') {
    home = env;
  } else {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_dir != nullptr) {
      home = found->pw_dir;
    }
  }
  if (home.empty()) return {};
  if (home.size() > 1 && home.back() == '/') home.pop_back();
  return home + "/.ssh/known_hosts";
}

HostKeyOutcome VerifyHostKey(ssh_session session, const KnownHostsSettings& settings, const std::string& host,
                             int port, const std::string& where) {
  const std::string default_file = DefaultKnownHostsFile();
  const std::string user_file = settings.user_file.empty() ? default_file : settings.user_file;
  // /dev/null stands for a file that is not there: the library would
  // otherwise fall back to its own defaults.
  const char* user_path = user_file.empty() ? "/dev/null" : user_file.c_str();
  const char* system_path = settings.system_file.empty() ? "/dev/null" : settings.system_file.c_str();
  if (ssh_options_set(session, SSH_OPTIONS_KNOWNHOSTS, user_path) != SSH_OK ||
      ssh_options_set(session, SSH_OPTIONS_GLOBAL_KNOWNHOSTS, system_path) != SSH_OK) {
    return {Result::kNotRecorded, "cannot check the host key of " + where + ": " + ssh_get_error(session)};
  }

  ssh_key raw_key = nullptr;
  if (ssh_get_server_publickey(session, &raw_key) != SSH_OK) {
    return {Result::kRefused, "the server " + where + " showed no host key"};
  }
  UniqueKey key(raw_key);
  const std::string type = KeyType(key.get());
  const std::string offered = Fingerprint(key.get());
  const std::string host_port = HostPort(host, port);

  switch (ssh_session_is_known_server(session)) {
    case SSH_KNOWN_HOSTS_OK:
      return {Result::kKnown, {}};
    case SSH_KNOWN_HOSTS_CHANGED:
    case SSH_KNOWN_HOSTS_OTHER: {
      const std::vector<KnownKey> known = KnownKeys(host_port, {user_file, settings.system_file});
      // The known key of the offered type when there is one (a changed
      // key), else the first (the host offers only another type).
      const KnownKey* shown = known.empty() ? nullptr : &known.front();
      for (const KnownKey& k : known) {
        if (k.type == type) {
          shown = &k;
          break;
        }
      }
      std::string text = "host key of " + where + " changed: known ";
      text += shown != nullptr ? shown->type + " key " + shown->fingerprint + " in " + shown->file : "key";
      text += ", offered " + type + " key " + offered;
      const std::string file = shown != nullptr ? shown->file : user_file;
      text += "; not logging in. If the switch was replaced, forget the old key with: ssh-keygen -R " +
              ShellWord(host_port) + (file == default_file ? "" : " -f " + ShellWord(file)) +
              " (the next check learns the new one)";
      return {Result::kRefused, text};
    }
    case SSH_KNOWN_HOSTS_UNKNOWN:
    case SSH_KNOWN_HOSTS_NOT_FOUND:
      break;
    case SSH_KNOWN_HOSTS_ERROR:
    default:
      return {Result::kNotRecorded, "cannot read the known hosts files for " + where + ": " + ssh_get_error(session)};
  }

  const std::string shown_file = user_file.empty() ? "~/.ssh/known_hosts" : user_file;
  if (settings.policy == SshHostKeyPolicy::kStrict) {
    return {Result::kRefused, "host key of " + where + " is not known (" + type + " key " + offered +
                                  ") and host keys are checked strictly; not logging in. Add it with: ssh-keyscan -p " +
                                  std::to_string(port) + " -t " + KeyscanType(type) + " " + ShellWord(host) +
                                  " >> " + ShellWord(shown_file) + " (after comparing the fingerprint), or run one " +
                                  "check with the host key policy accept-new"};
  }
  const std::string not_recorded =
      "cannot record the host key " + offered + " of " + where + " in " + shown_file + ": ";
  if (user_file.empty()) return {Result::kNotRecorded, not_recorded + "no home folder; not logging in"};
  if (auto problem = PrepareUserFile(user_file)) {
    return {Result::kNotRecorded, not_recorded + *problem + "; not logging in"};
  }
  if (ssh_session_update_known_hosts(session) != SSH_OK) {
    return {Result::kNotRecorded, not_recorded + ssh_get_error(session) + "; not logging in"};
  }
  return {Result::kLearned, "learned host key " + offered + " of " + where + " into " + user_file};
}

}  // namespace comvorlix::ssh_internal

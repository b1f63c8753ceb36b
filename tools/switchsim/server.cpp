#include "server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <libssh/libssh.h>
#include <libssh/server.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include "config_store.h"
#include "log.h"
#include "session.h"

namespace switchsim {
namespace {

int g_signal_pipe[2] = {-1, -1};

void OnStopSignal(int) {
  const char byte = 1;
  // Nothing useful can be done if the pipe is full: a stop is already pending.
  ssize_t ignored = ::write(g_signal_pipe[1], &byte, 1);
  (void)ignored;
}

bool InstallSignalHandlers() {
  if (::pipe2(g_signal_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  struct sigaction stop {};
  stop.sa_handler = OnStopSignal;
  sigemptyset(&stop.sa_mask);
  stop.sa_flags = SA_RESTART;
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  return ::sigaction(SIGTERM, &stop, nullptr) == 0 && ::sigaction(SIGINT, &stop, nullptr) == 0 &&
         ::sigaction(SIGPIPE, &ignore, nullptr) == 0;
}

// The identification string each kind of switch sends after "SSH-2.0-".
const char* SoftwareVersion(DeviceKind kind) {
  switch (kind) {
    case DeviceKind::kCisco: return "Cisco-1.25";
    case DeviceKind::kAruba:
    case DeviceKind::kHp2530: return "Mocana SSH 6.3";
    case DeviceKind::kHp1920: return "Comware-5.20";
    case DeviceKind::kNxos: return "OpenSSH_8.8";
    case DeviceKind::kEos: return "OpenSSH_8.7";
    case DeviceKind::kJunos: return "OpenSSH_8.6";
    case DeviceKind::kAosCx: return "OpenSSH_8.4";
    case DeviceKind::kComware7: return "Comware-7.1.064";
    case DeviceKind::kRouterOs: return "ROSSSH";
  }
  return "switchsim";
}

std::vector<ssh_key> LoadAuthorizedKeys(const std::string& path, bool& ok) {
  std::vector<ssh_key> keys;
  ok = true;
  if (path.empty()) return keys;
  auto lines = ReadLines(path);
  if (!lines) {
    LogLine("cannot read " + path);
    ok = false;
    return keys;
  }
  for (const std::string& line : *lines) {
    std::istringstream words(line);
    std::string type, base64;
    if (!(words >> type) || type.empty() || type[0] == '#') continue;
    if (!(words >> base64)) continue;
    ssh_key key = nullptr;
    if (ssh_pki_import_pubkey_base64(base64.c_str(), ssh_key_type_from_name(type.c_str()), &key) != SSH_OK) {
      LogLine("skipping unreadable key of type " + type + " in " + path);
      continue;
    }
    keys.push_back(key);
  }
  if (keys.empty()) {
    LogLine("no usable key in " + path);
    ok = false;
  }
  return keys;
}

bool SetBindOption(ssh_bind bind, ssh_bind_options_e option, const void* value, const char* what) {
  if (ssh_bind_options_set(bind, option, value) != SSH_OK) {
    LogLine(std::string("cannot set ") + what + ": " + ssh_get_error(bind));
    return false;
  }
  return true;
}

// Hands a key to the bind, which then owns it; frees it when refused.
bool ImportKey(ssh_bind bind, ssh_key key) {
  if (!SetBindOption(bind, SSH_BIND_OPTIONS_IMPORT_KEY, key, "host key")) {
    ssh_key_free(key);
    return false;
  }
  return true;
}

// The keys are read here rather than by the bind so that an unreadable
// file, or a key set the algorithms cannot use, stops the start with a
// clear reason instead of failing every key exchange later. The server
// offers exactly the types of the keys it holds (libssh builds the host
// key list of its key exchange offer from them).
bool ConfigureHostKeys(ssh_bind bind, const Options& o) {
  if (!o.host_key_files.empty()) {
    bool have_rsa = false;
    for (const std::string& file : o.host_key_files) {
      ssh_key key = nullptr;
      if (ssh_pki_import_privkey_file(file.c_str(), nullptr, nullptr, nullptr, &key) != SSH_OK) {
        LogLine("cannot read host key " + file + " (an unencrypted private key is needed)");
        return false;
      }
      have_rsa = have_rsa || ssh_key_type(key) == SSH_KEYTYPE_RSA;
      if (!ImportKey(bind, key)) return false;
    }
    if (o.legacy_algorithms && !have_rsa) {
      LogLine("--legacy-algorithms offers only ssh-rsa host keys: give an RSA --host-key");
      return false;
    }
    return true;
  }
  // Ephemeral keys: RSA for old clients and the legacy algorithm set,
  // Ed25519 for everyone else. The bind takes ownership of imported keys.
  const std::pair<ssh_keytypes_e, int> kinds[] = {{SSH_KEYTYPE_RSA, 2048}, {SSH_KEYTYPE_ED25519, 0}};
  for (const auto& [type, bits] : kinds) {
    ssh_key key = nullptr;
    if (ssh_pki_generate(type, bits, &key) != SSH_OK) {
      LogLine("cannot generate a host key");
      return false;
    }
    if (!ImportKey(bind, key)) return false;
  }
  return true;
}

bool ConfigureAlgorithms(ssh_bind bind, const Options& o) {
  if (!o.legacy_algorithms) return true;
  const char* kex = "diffie-hellman-group14-sha1,diffie-hellman-group1-sha1";
  const char* ciphers = "aes128-cbc,aes256-cbc,3des-cbc";
  const char* macs = "hmac-sha1";
  return SetBindOption(bind, SSH_BIND_OPTIONS_KEY_EXCHANGE, kex, "key exchange algorithms") &&
         SetBindOption(bind, SSH_BIND_OPTIONS_CIPHERS_C_S, ciphers, "ciphers") &&
         SetBindOption(bind, SSH_BIND_OPTIONS_CIPHERS_S_C, ciphers, "ciphers") &&
         SetBindOption(bind, SSH_BIND_OPTIONS_HMAC_C_S, macs, "MACs") &&
         SetBindOption(bind, SSH_BIND_OPTIONS_HMAC_S_C, macs, "MACs") &&
         SetBindOption(bind, SSH_BIND_OPTIONS_HOSTKEY_ALGORITHMS, "ssh-rsa", "host key algorithms");
}

// Opens the listening socket; returns it and the port actually bound.
int Listen(const Options& o, int& port) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICHOST | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  const std::string service = std::to_string(o.port);
  int rc = ::getaddrinfo(o.listen_address.c_str(), service.c_str(), &hints, &found);
  if (rc != 0) {
    LogLine("bad listen address " + o.listen_address + ": " + gai_strerror(rc));
    return -1;
  }
  int fd = ::socket(found->ai_family, found->ai_socktype | SOCK_CLOEXEC, found->ai_protocol);
  if (fd < 0) {
    LogLine(std::string("socket: ") + std::strerror(errno));
    ::freeaddrinfo(found);
    return -1;
  }
  int on = 1;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (::bind(fd, found->ai_addr, found->ai_addrlen) != 0 || ::listen(fd, 64) != 0) {
    LogLine("cannot listen on " + o.listen_address + ":" + service + ": " + std::strerror(errno));
    ::close(fd);
    ::freeaddrinfo(found);
    return -1;
  }
  ::freeaddrinfo(found);
  sockaddr_storage bound{};
  socklen_t length = sizeof bound;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
  port = bound.ss_family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port)
                                     : ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
  return fd;
}

// The threads of open connections and their sockets, so that a stop can
// shut the sockets down and join the threads.
class Connections {
 public:
  void Start(int fd, ssh_session session, const ServerShared& shared, int id) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::lock_guard<std::mutex> lock(mutex_);
    Entry& entry = entries_[id];
    entry.fd = fd;
    entry.done = done;
    entry.thread = std::thread([this, session, &shared, id, done] {
      ServeConnection(session, shared, id);
      Forget(id);
      *done = true;
    });
  }

  // Joins the threads of connections that have ended.
  void Reap() {
    std::vector<std::thread> finished;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (auto it = entries_.begin(); it != entries_.end();) {
        if (*it->second.done) {
          finished.push_back(std::move(it->second.thread));
          it = entries_.erase(it);
        } else {
          ++it;
        }
      }
    }
    for (auto& thread : finished) thread.join();
  }

  void StopAll() {
    std::vector<std::thread> threads;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (auto& [id, entry] : entries_) {
        if (entry.fd >= 0) ::shutdown(entry.fd, SHUT_RDWR);
        threads.push_back(std::move(entry.thread));
      }
      entries_.clear();
    }
    for (auto& thread : threads) thread.join();
  }

 private:
  // Called by the connection's thread just before its socket is closed, so a
  // stop never shuts down a socket number that has been reused.
  void Forget(int id) {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = entries_.find(id);
    if (it != entries_.end()) it->second.fd = -1;
  }

  struct Entry {
    int fd = -1;
    std::shared_ptr<std::atomic<bool>> done;
    std::thread thread;
  };
  std::mutex mutex_;
  std::map<int, Entry> entries_;
};

}  // namespace

int RunServer(const Options& o) {
  if (!InstallSignalHandlers()) {
    LogLine(std::string("cannot install signal handlers: ") + std::strerror(errno));
    return 1;
  }
  std::unique_ptr<RecordFile> auth_log, command_log;
  try {
    auth_log = std::make_unique<RecordFile>(o.auth_log_file);
    command_log = std::make_unique<RecordFile>(o.command_log_file);
  } catch (const std::runtime_error& error) {
    LogLine(error.what());
    return 1;
  }
  ssh_init();
  SetVerbose(o.verbose);

  bool keys_ok = true;
  std::vector<ssh_key> authorized = LoadAuthorizedKeys(o.authorized_keys_file, keys_ok);
  ssh_bind bind = ssh_bind_new();
  int port = 0;
  int listen_fd = -1;
  bool ready = keys_ok && bind != nullptr && ConfigureHostKeys(bind, o) && ConfigureAlgorithms(bind, o) &&
               SetBindOption(bind, SSH_BIND_OPTIONS_BANNER, SoftwareVersion(o.device), "version");
  if (ready) {
    listen_fd = Listen(o, port);
    ready = listen_fd >= 0;
  }
  if (ready) {
    // libssh takes the socket over; ssh_bind_listen then only loads the keys.
    ssh_bind_set_fd(bind, listen_fd);
    if (ssh_bind_listen(bind) != SSH_OK) {
      LogLine(std::string("cannot start the SSH server: ") + ssh_get_error(bind));
      ready = false;
    }
  }
  if (!ready) {
    if (bind != nullptr) ssh_bind_free(bind);
    else if (listen_fd >= 0) ::close(listen_fd);
    for (ssh_key key : authorized) ssh_key_free(key);
    ssh_finalize();
    return 1;
  }

  ConfigStore configs(o.running_file, o.startup_file, o.save_log_file, DeviceKindName(o.device));
  CiscoClockLines cisco_clock_lines(o.ntp_drift);
  ListingClock listing_clock;
  ServerShared shared{o, configs, authorized, *auth_log, *command_log, cisco_clock_lines, listing_clock};
  Connections connections;

  std::printf("switchsim listening on %s:%d\n", o.listen_address.c_str(), port);
  std::fflush(stdout);

  int next_id = 1;
  for (;;) {
    pollfd waits[2] = {{listen_fd, POLLIN, 0}, {g_signal_pipe[0], POLLIN, 0}};
    if (::poll(waits, 2, -1) < 0) {
      if (errno == EINTR) continue;
      LogLine(std::string("poll: ") + std::strerror(errno));
      break;
    }
    if (waits[1].revents != 0) break;
    if ((waits[0].revents & POLLIN) == 0) continue;
    int fd = ::accept4(listen_fd, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;  // the client may already have gone; keep serving
    connections.Reap();
    ssh_session session = ssh_new();
    if (session == nullptr || ssh_bind_accept_fd(bind, session, fd) != SSH_OK) {
      LogLine("cannot accept a connection" + std::string(session ? std::string(": ") + ssh_get_error(bind) : ""));
      if (session != nullptr) ssh_free(session);
      ::close(fd);
      continue;
    }
    const int id = next_id++;
    LogVerbose("session " + std::to_string(id) + ": connection accepted");
    connections.Start(fd, session, shared, id);
  }

  LogVerbose("stopping");
  connections.StopAll();
  ssh_bind_free(bind);  // closes the listening socket
  for (ssh_key key : authorized) ssh_key_free(key);
  ssh_finalize();
  return 0;
}

}  // namespace switchsim

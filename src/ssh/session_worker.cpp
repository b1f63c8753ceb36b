#include "ssh/session_worker.h"

#include <libssh/callbacks.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "base/pages.h"
#include "ssh/debug_log.h"
#include "ssh/terminal_filter.h"

namespace comvorlix::ssh_internal {

const char* const kKeyExchangeAlgorithms =
    "curve25519-sha256,curve25519-sha256@libssh.org,ecdh-sha2-nistp256,ecdh-sha2-nistp384,"
    "ecdh-sha2-nistp521,diffie-hellman-group18-sha512,diffie-hellman-group16-sha512,"
    "diffie-hellman-group-exchange-sha256,diffie-hellman-group14-sha256,"
    "diffie-hellman-group14-sha1,diffie-hellman-group1-sha1,diffie-hellman-group-exchange-sha1";
const char* const kHostKeyAlgorithms =
    "ssh-ed25519,ecdsa-sha2-nistp521,ecdsa-sha2-nistp384,ecdsa-sha2-nistp256,rsa-sha2-512,"
    "rsa-sha2-256,ssh-rsa,ssh-dss";
const char* const kCiphers =
    "chacha20-poly1305@openssh.com,aes256-gcm@openssh.com,aes128-gcm@openssh.com,aes256-ctr,"
    "aes192-ctr,aes128-ctr,aes256-cbc,aes192-cbc,aes128-cbc,3des-cbc";
const char* const kMacs =
    "hmac-sha2-256-etm@openssh.com,hmac-sha2-512-etm@openssh.com,hmac-sha2-256,hmac-sha2-512,"
    "hmac-sha1-etm@openssh.com,hmac-sha1";
const char* const kPublicKeyTypes =
    "ssh-ed25519,ecdsa-sha2-nistp521,ecdsa-sha2-nistp384,ecdsa-sha2-nistp256,rsa-sha2-512,"
    "rsa-sha2-256,ssh-rsa,ssh-dss";

namespace {

using Clock = std::chrono::steady_clock;

constexpr auto kMinimumSessionLimit = std::chrono::seconds(600);
constexpr int kSessionLimitFactor = 20;
constexpr size_t kWriteChunk = 32768;
constexpr size_t kReadBatch = 256 * 1024;  // data handed on at least per this many bytes
constexpr size_t kPacketRoom = 64 * 1024;   // what one more packet may add to a batch
constexpr size_t kPrepareAhead = 64 * 1024;  // a batch's room made writable per step ...
constexpr size_t kBulkPacket = 4096;         // ... once a packet this long arrives

// A failure of the session; before the shell is open it becomes the
// SshConnectFailed event, afterwards only LastError().
struct Failure {
  SshError code;
  std::string reason;
};
// The owner asked the session to stop: end without events.
struct Stopped {};

std::string LowerFirst(std::string s) {
  if (!s.empty() && s[0] >= 'A' && s[0] <= 'Z') s[0] = static_cast<char>(s[0] - 'A' + 'a');
  return s;
}

// The result of one name resolution, shared with the resolver thread, which
// may outlive the session (a name server that does not answer).
struct Resolution {
  UniqueFd done{::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)};
  std::mutex mutex;
  bool finished = false;
  int error = 0;
  addrinfo* addresses = nullptr;
  ~Resolution() {
    if (addresses != nullptr) freeaddrinfo(addresses);
  }
};

class Session {
 public:
  Session(std::shared_ptr<SessionLink> link, SessionSettings settings)
      : link_(std::move(link)),
        s_(std::move(settings)),
        log_(s_.log ? s_.log : std::make_shared<DebugLog>(std::string(), Secrets(s_))),
        route_(log_.get()),
        timeout_(s_.timeout_seconds),
        start_(Clock::now()),
        login_deadline_(start_ + timeout_),
        session_deadline_(start_ + SessionTimeLimit(s_.timeout_seconds)) {}

  void Run();

 private:
  static std::vector<SecretString> Secrets(const SessionSettings& s) {
    std::vector<SecretString> secrets;
    secrets.push_back(s.password);
    return secrets;
  }

  std::string Where() const {
    std::string host = s_.host.find(':') != std::string::npos ? "[" + s_.host + "]" : s_.host;
    return host + ":" + std::to_string(s_.port);
  }
  std::string TimedOut(const char* activity) const {
    return "timed out after " + std::to_string(s_.timeout_seconds) + " s while " + activity;
  }
  // The library's text may carry what the server sent (a disconnect
  // reason) and so anything: it goes out between double quotes, where the
  // hosts shorten and escape it as they do switch text, and a quote inside
  // it becomes ' so that it cannot end the quoting early.
  std::string LibraryError() const {
    const char* e = session_ ? ssh_get_error(session_.get()) : nullptr;
    std::string text = e != nullptr && *e != '\0' ? e : "unknown error";
    std::replace(text.begin(), text.end(), '"', '\'');
    return "\"" + text + "\"";
  }

  void SetState(SshState state) {
    link_->Raise(SshStateChanged{state_, state});
    state_ = state;
  }

  // Waits until `fd` has one of `events` or `deadline` passes (false).
  // With `wake_returns`, also returns (true) when the owner has queued text.
  // Throws Stopped when the owner asks to stop.
  bool Wait(int fd, short events, Clock::time_point deadline, bool wake_returns = false);
  // Waits for the SSH socket during the connection attempt; throws a
  // time-out failure naming `activity` at the login deadline.
  void WaitForSocket(const char* activity);
  // Calls `call` until it gives something other than `again`.
  template <typename Call>
  int Drive(Call call, int again, const char* activity) {
    int rc = call();
    while (rc == again) {
      WaitForSocket(activity);
      rc = call();
    }
    return rc;
  }

  void ReadKnownHostKeys();
  addrinfo* Resolve(std::shared_ptr<Resolution>& resolution);
  void ConnectTcp(const addrinfo* addresses);
  void Negotiate();
  void ReportNegotiation();
  void CheckHostKey();
  void Authenticate();
  int KeyboardInteractive();
  void OpenShell();
  void Converse();
  bool ReadAvailable();
  void WriteQueued();

  static int OnData(ssh_session, ssh_channel, void* data, uint32_t len, int /*is_stderr*/, void* self) {
    // A pseudo-terminal merges standard error into the output; should a
    // server send some anyway, it is taken the same way.
    Session& session = *static_cast<Session*>(self);
    std::string& incoming = session.incoming_;
    // The batch's room (reserved) is made writable ahead of the data of a
    // long listing, a stretch of several packets at a time, and only once.
    const size_t end = incoming.size() + len;
    if (len >= kBulkPacket && end > session.incoming_ready_ && end <= incoming.capacity()) {
      const size_t ready = std::min(incoming.capacity(), std::max(end, session.incoming_ready_ + kPrepareAhead));
      PrepareToWrite(incoming.data() + session.incoming_ready_, ready - session.incoming_ready_);
      session.incoming_ready_ = ready;
    }
    incoming.append(static_cast<const char*>(data), len);
    return static_cast<int>(len);
  }
  static void OnEof(ssh_session, ssh_channel, void* self) { static_cast<Session*>(self)->remote_eof_ = true; }

  std::shared_ptr<SessionLink> link_;
  SessionSettings s_;
  SshState state_ = SshState::kDisconnected;  // as last raised
  std::shared_ptr<const DebugLog> log_;
  LibraryLogRoute route_;
  std::chrono::seconds timeout_;
  Clock::time_point start_;
  Clock::time_point login_deadline_;
  Clock::time_point session_deadline_;
  Clock::time_point last_data_;

  // What the channel callbacks use, declared before the handles so that it
  // outlives them: freeing an open channel closes it, and closing lets the
  // library process the packets that arrive meanwhile, calling OnData.
  ssh_channel_callbacks_struct callbacks_{};
  std::string incoming_;  // channel data of the packets being processed
  size_t incoming_ready_ = 0;  // incoming_'s room made writable up to here
  bool remote_eof_ = false;
  ssh_counter_struct received_{};  // bytes the library has read from the socket

  KnownHostKeys known_hosts_;
  std::string host_key_algorithms_ = kHostKeyAlgorithms;
  UniqueFd socket_;  // until the SSH library takes it over
  UniqueSession session_;
  UniqueChannel channel_;  // declared after session_: freed before it
  TerminalFilter filter_;
  std::string unsent_;
};

// Asks the kernel to acknowledge received data at once. Switches send with
// Nagle's algorithm: their next small write waits for the acknowledgement
// of the last one, which the kernel would otherwise delay by up to 40 ms,
// and a check would meet such a pause at prompt after prompt. The kernel
// sends a delayed acknowledgement early only once what arrived has been
// read, and it drops the flag again as the exchange looks interactive, so
// it is set when data wakes the session and again after each read.
void AcknowledgeAtOnce(int fd) {
  int on = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}

bool Session::Wait(int fd, short events, Clock::time_point deadline, bool wake_returns) {
  for (;;) {
    if (link_->StopRequested()) throw Stopped{};
    auto now = Clock::now();
    if (now >= deadline) return false;
    auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - now).count();
    pollfd fds[2] = {{link_->WakeFd(), POLLIN, 0}, {fd, events, 0}};
    int n = ::poll(fds, fd >= 0 ? 2 : 1, static_cast<int>(std::min<long long>(left, 60000)));
    if (n < 0 && errno != EINTR) throw Failure{SshError::kInternal, std::string("poll: ") + std::strerror(errno)};
    if (n <= 0) continue;
    if (fd >= 0 && (fds[1].revents & POLLIN)) AcknowledgeAtOnce(fd);
    if (fds[0].revents != 0) {
      link_->ClearWake();
      if (link_->StopRequested()) throw Stopped{};
      if (wake_returns) return true;
    }
    if (fd >= 0 && fds[1].revents != 0) return true;
  }
}

void Session::WaitForSocket(const char* activity) {
  short events = POLLIN;
  if (ssh_get_poll_flags(session_.get()) & SSH_WRITE_PENDING) events |= POLLOUT;
  if (!Wait(ssh_get_fd(session_.get()), events, login_deadline_)) {
    throw Failure{SshError::kTimedOut, TimedOut(activity)};
  }
}

addrinfo* Session::Resolve(std::shared_ptr<Resolution>& resolution) {
  resolution = std::make_shared<Resolution>();
  if (!resolution->done.valid()) throw Failure{SshError::kInternal, std::string("eventfd: ") + std::strerror(errno)};
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_protocol = IPPROTO_TCP;
  // An address (most switches are named by theirs) is only parsed: that
  // never waits, so it needs no thread.
  addrinfo numeric = hints;
  numeric.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  const std::string port = std::to_string(s_.port);
  if (getaddrinfo(s_.host.c_str(), port.c_str(), &numeric, &resolution->addresses) == 0) {
    resolution->finished = true;
    return resolution->addresses;
  }
  resolution->addresses = nullptr;
  // getaddrinfo cannot be interrupted; it runs on a thread of its own so
  // that a stop request or the time-out does not wait for it.
  try {
    std::thread([resolution, host = s_.host, port, hints] {
      addrinfo* result = nullptr;
      int error = getaddrinfo(host.c_str(), port.c_str(), &hints, &result);
      {
        std::lock_guard<std::mutex> lock(resolution->mutex);
        resolution->error = error;
        resolution->addresses = result;
        resolution->finished = true;
      }
      uint64_t one = 1;
      [[maybe_unused]] ssize_t n = ::write(resolution->done.get(), &one, sizeof one);
    }).detach();
  } catch (const std::system_error& e) {
    throw Failure{SshError::kInternal, std::string("cannot start name resolution: ") + e.what()};
  }
  for (;;) {
    {
      std::lock_guard<std::mutex> lock(resolution->mutex);
      if (resolution->finished) break;
    }
    if (!Wait(resolution->done.get(), POLLIN, login_deadline_)) {
      throw Failure{SshError::kTimedOut, TimedOut("resolving the host name")};
    }
  }
  std::lock_guard<std::mutex> lock(resolution->mutex);
  int error = resolution->error;
  if (error == EAI_NONAME || error == EAI_NODATA) throw Failure{SshError::kHostNotFound, "host name not found"};
  if (error == EAI_SYSTEM) {
    throw Failure{SshError::kHostNotFound, std::string("host name not found: ") + std::strerror(errno)};
  }
  if (error != 0) throw Failure{SshError::kHostNotFound, "host name not found: " + LowerFirst(gai_strerror(error))};
  return resolution->addresses;
}

void Session::ConnectTcp(const addrinfo* addresses) {
  int last_error = 0;
  for (const addrinfo* a = addresses; a != nullptr; a = a->ai_next) {
    UniqueFd fd(::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol));
    if (!fd.valid()) {
      last_error = errno;
      continue;
    }
    int error = 0;
    if (::connect(fd.get(), a->ai_addr, a->ai_addrlen) != 0) {
      if (errno != EINPROGRESS) {
        last_error = errno;
        continue;
      }
      if (!Wait(fd.get(), POLLOUT, login_deadline_)) {
        throw Failure{SshError::kTimedOut, TimedOut("connecting")};
      }
      socklen_t len = sizeof error;
      if (::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &error, &len) != 0) error = errno;
    }
    if (error != 0) {
      last_error = error;
      log_->Line("TCP connection failed: " + LowerFirst(std::strerror(error)));
      continue;
    }
    int on = 1;
    ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    // The SSH library puts the socket into blocking mode once connected and
    // writes only when poll() reports room; a send time limit still bounds
    // a write to a peer that has stopped reading altogether.
    timeval send_limit{2, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_SNDTIMEO, &send_limit, sizeof send_limit);
    socket_ = std::move(fd);
    log_->Line("TCP connection established");
    return;
  }
  if (last_error == ECONNREFUSED) throw Failure{SshError::kConnectionRefused, "connection refused"};
  throw Failure{SshError::kNetwork, LowerFirst(std::strerror(last_error))};
}

void Session::Negotiate() {
  session_.reset(ssh_new());
  if (!session_) throw Failure{SshError::kInternal, "cannot create an SSH session"};
  ssh_session s = session_.get();
  ssh_set_counters(s, &received_, nullptr);
  int port = s_.port;
  int no = 0;
  struct Option {
    ssh_options_e option;
    const void* value;
  };
  const Option options[] = {
      {SSH_OPTIONS_PROCESS_CONFIG, &no},  // no ~/.ssh/config: the settings are all there is
      {SSH_OPTIONS_HOST, s_.host.c_str()},
      {SSH_OPTIONS_PORT, &port},
      {SSH_OPTIONS_USER, s_.login.c_str()},
      {SSH_OPTIONS_KNOWNHOSTS, "/dev/null"},
      {SSH_OPTIONS_GLOBAL_KNOWNHOSTS, "/dev/null"},
      {SSH_OPTIONS_KEY_EXCHANGE, kKeyExchangeAlgorithms},
      {SSH_OPTIONS_HOSTKEYS, host_key_algorithms_.c_str()},
      {SSH_OPTIONS_CIPHERS_C_S, kCiphers},
      {SSH_OPTIONS_CIPHERS_S_C, kCiphers},
      {SSH_OPTIONS_HMAC_C_S, kMacs},
      {SSH_OPTIONS_HMAC_S_C, kMacs},
      {SSH_OPTIONS_PUBLICKEY_ACCEPTED_TYPES, kPublicKeyTypes},
  };
  for (const auto& o : options) {
    if (ssh_options_set(s, o.option, o.value) != SSH_OK) {
      throw Failure{SshError::kInternal, "cannot set up the SSH session: " + LibraryError()};
    }
  }
  if (log_->library_wanted()) {
    int verbosity = SSH_LOG_PROTOCOL;
    ssh_options_set(s, SSH_OPTIONS_LOG_VERBOSITY, &verbosity);
  }
  ssh_set_blocking(s, 0);
  // From ssh_connect on, the SSH library owns the socket and closes it.
  int fd = socket_.get();
  if (ssh_options_set(s, SSH_OPTIONS_FD, &fd) != SSH_OK) {
    throw Failure{SshError::kInternal, "cannot set up the SSH session: " + LibraryError()};
  }
  socket_.release();
  int rc = Drive([s] { return ssh_connect(s); }, SSH_AGAIN, "negotiating");
  if (rc != SSH_OK) throw Failure{SshError::kNegotiation, "negotiation failed: " + LibraryError()};
}

void Session::ReportNegotiation() {
  ssh_session s = session_.get();
  auto or_empty = [](const char* p) { return std::string(p != nullptr ? p : ""); };
  ssh_key raw_key = nullptr;
  std::string key_type;
  std::string fingerprint;
  if (ssh_get_server_publickey(s, &raw_key) == SSH_OK) {
    UniqueKey key(raw_key);
    key_type = or_empty(ssh_key_type_to_char(ssh_key_type(key.get())));
    unsigned char* hash = nullptr;
    size_t hash_len = 0;
    if (ssh_get_publickey_hash(key.get(), SSH_PUBLICKEY_HASH_SHA256, &hash, &hash_len) == SSH_OK) {
      char* text = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, hash_len);
      if (text != nullptr) fingerprint = text;
      ssh_string_free_char(text);
      ssh_clean_pubkey_hash(&hash);
    }
  }
  SshNegotiated negotiated;
  negotiated.protocol = "SSH-2.0";
  negotiated.remote_name = or_empty(ssh_get_serverbanner(s));
  negotiated.server_to_client = or_empty(ssh_get_cipher_in(s)) + "/" + or_empty(ssh_get_hmac_in(s));
  negotiated.client_to_server = or_empty(ssh_get_cipher_out(s)) + "/" + or_empty(ssh_get_hmac_out(s));
  negotiated.key_exchange = or_empty(ssh_get_kex_algo(s));
  negotiated.host_key_type = key_type;
  negotiated.fingerprint = fingerprint;
  log_->Line("server identification: " + negotiated.remote_name);
  log_->Line("key exchange " + negotiated.key_exchange + "/" + negotiated.host_key_type + ", server to client " +
             negotiated.server_to_client + ", client to server " + negotiated.client_to_server);
  log_->Line("host key fingerprint " + fingerprint);
  link_->Raise(std::move(negotiated));
}

// Before connecting: a known hosts file that cannot be read ends the
// attempt before the switch is reached, and the key types known for the
// host are asked for first.
void Session::ReadKnownHostKeys() {
  known_hosts_ = ReadKnownHosts(s_.known_hosts, s_.host, s_.port, Where());
  if (known_hosts_.failed()) throw Failure{SshError::kHostKeyNotRecorded, known_hosts_.failure.text};
  host_key_algorithms_ = PreferKnownHostKeyTypes(known_hosts_, kHostKeyAlgorithms);
  log_->Line("host key algorithms offered: " + host_key_algorithms_);
}

// Before anything secret is sent: a server that is not the known one gets
// no login name, no password and no key signature.
void Session::CheckHostKey() {
  const HostKeyOutcome outcome =
      VerifyHostKey(session_.get(), known_hosts_, s_.known_hosts, s_.host, s_.port, Where());
  switch (outcome.result) {
    case HostKeyOutcome::Result::kKnown:
      log_->Line("host key is the known one");
      return;
    case HostKeyOutcome::Result::kLearned: {
      log_->Line(outcome.text);
      link_->Raise(SshHostKeyLearned{outcome.text});
      return;
    }
    case HostKeyOutcome::Result::kRefused:
      throw Failure{SshError::kHostKeyRefused, outcome.text};
    case HostKeyOutcome::Result::kNotRecorded:
      throw Failure{SshError::kHostKeyNotRecorded, outcome.text};
  }
}

void Session::Authenticate() {
  ssh_session s = session_.get();
  const std::string denied = "authentication failed for user " + s_.login;
  auto check_error = [&](int rc) {
    if (rc == SSH_AUTH_ERROR) throw Failure{SshError::kNegotiation, "login failed: " + LibraryError()};
  };
  int rc = Drive([s] { return ssh_userauth_none(s, nullptr); }, SSH_AUTH_AGAIN, "logging in");
  check_error(rc);
  if (rc == SSH_AUTH_SUCCESS) return;
  int methods = ssh_userauth_list(s, nullptr);

  if (s_.key_login) {
    if (!(methods & SSH_AUTH_METHOD_PUBLICKEY)) {
      throw Failure{SshError::kAuthentication, denied + " (the server does not accept key login)"};
    }
    log_->Line("login as " + s_.login + " with a " +
              std::string(ssh_key_type_to_char(ssh_key_type(s_.key.get()))) + " key");
    ssh_key key = s_.key.get();
    rc = Drive([s, key] { return ssh_userauth_publickey(s, nullptr, key); }, SSH_AUTH_AGAIN, "logging in");
    check_error(rc);
    if (rc == SSH_AUTH_SUCCESS) return;
    throw Failure{SshError::kAuthentication, denied};
  }

  bool offered = false;
  if (methods & SSH_AUTH_METHOD_PASSWORD) {
    offered = true;
    log_->Line("login as " + s_.login + " with a password");
    const char* password = s_.password.get().c_str();
    rc = Drive([s, password] { return ssh_userauth_password(s, nullptr, password); }, SSH_AUTH_AGAIN,
               "logging in");
    check_error(rc);
    if (rc == SSH_AUTH_SUCCESS) return;
    methods = ssh_userauth_list(s, nullptr);
  }
  if (methods & SSH_AUTH_METHOD_INTERACTIVE) {
    offered = true;
    log_->Line("login as " + s_.login + " with keyboard-interactive");
    rc = KeyboardInteractive();
    check_error(rc);
    if (rc == SSH_AUTH_SUCCESS) return;
  }
  if (!offered) {
    throw Failure{SshError::kAuthentication,
                  denied + " (the server accepts neither password nor keyboard-interactive login)"};
  }
  throw Failure{SshError::kAuthentication, denied};
}

// Answers every prompt: those shown with echo (a user name) with the login
// name, the hidden ones with the password.
int Session::KeyboardInteractive() {
  ssh_session s = session_.get();
  auto step = [s] { return ssh_userauth_kbdint(s, nullptr, nullptr); };
  int rc = Drive(step, SSH_AUTH_AGAIN, "logging in");
  for (int round = 0; rc == SSH_AUTH_INFO && round < 8; ++round) {
    int prompts = ssh_userauth_kbdint_getnprompts(s);
    for (int i = 0; i < prompts; ++i) {
      char echo = 0;
      ssh_userauth_kbdint_getprompt(s, static_cast<unsigned>(i), &echo);
      const std::string& answer = echo ? s_.login : s_.password.get();
      if (ssh_userauth_kbdint_setanswer(s, static_cast<unsigned>(i), answer.c_str()) < 0) return SSH_AUTH_ERROR;
    }
    rc = Drive(step, SSH_AUTH_AGAIN, "logging in");
  }
  return rc == SSH_AUTH_INFO ? SSH_AUTH_DENIED : rc;
}

void Session::OpenShell() {
  channel_.reset(ssh_channel_new(session_.get()));
  if (!channel_) throw Failure{SshError::kInternal, "cannot create a channel: " + LibraryError()};
  ssh_channel c = channel_.get();
  // Data is taken from the packets as they are processed, not from the
  // channel's buffer: the library refuses to hand out buffered data once the
  // connection has failed, and a switch that drops the connection right
  // after its last lines must not lose them.
  callbacks_ = {};
  callbacks_.userdata = this;
  callbacks_.channel_data_function = OnData;
  callbacks_.channel_eof_function = OnEof;
  callbacks_.channel_close_function = OnEof;
  ssh_callbacks_init(&callbacks_);
  ssh_set_channel_callbacks(c, &callbacks_);
  int rc = Drive([c] { return ssh_channel_open_session(c); }, SSH_AGAIN, "opening the shell");
  if (rc != SSH_OK) throw Failure{SshError::kShell, "the server refused a session channel: " + LibraryError()};
  int columns = s_.columns;
  rc = Drive([c, columns] { return ssh_channel_request_pty_size(c, "vt100", columns, 24); }, SSH_AGAIN,
             "opening the shell");
  if (rc != SSH_OK) throw Failure{SshError::kShell, "the server refused a pseudo-terminal: " + LibraryError()};
  rc = Drive([c] { return ssh_channel_request_shell(c); }, SSH_AGAIN, "opening the shell");
  if (rc != SSH_OK) throw Failure{SshError::kShell, "the server refused a shell: " + LibraryError()};
  log_->Line("shell open, terminal vt100 with " + std::to_string(columns) + " columns");
}

// Lets the SSH library process what has arrived; the channel's data
// reaches OnData on the way. False once the remote side has ended the
// session normally.
bool Session::ReadAvailable() {
  // Everything the socket holds is processed in one go (up to kReadBatch
  // bytes of data): the library reads at most 4 KiB per call, and every
  // round through poll and the owner's queue costs more than the bytes.
  // The library polls the socket before it reads, so a call that read
  // nothing (its counter did not move) found the socket empty.
  const int fd = ssh_get_fd(session_.get());
  int rc;
  for (;;) {
    const uint64_t before = received_.in_bytes;
    rc = ssh_channel_poll(channel_.get(), 0);
    if (rc == SSH_ERROR || rc == SSH_EOF || remote_eof_ || incoming_.size() >= kReadBatch) break;
    if (received_.in_bytes == before) break;
  }
  AcknowledgeAtOnce(fd);
  // Data that came in with the packets just processed is handed on even
  // when the connection broke right after it.
  if (!incoming_.empty()) {
    last_data_ = Clock::now();
    std::string filtered;
    if (s_.strip_control_sequences && !filter_.PassesUnchanged(incoming_)) {
      filtered.reserve(incoming_.size());
      filter_.Filter(incoming_, filtered);
      incoming_.clear();
    } else {
      // Plain text (most of a listing) moves on as it is, and the next batch
      // gets room of its own; a few bytes do not keep a batch's room while
      // they wait for the owner.
      filtered.swap(incoming_);
      if (filtered.capacity() > 2 * filtered.size() + 4096) filtered.shrink_to_fit();
      incoming_.reserve(kReadBatch + kPacketRoom);
      incoming_ready_ = 0;
    }
    link_->RaiseData(std::move(filtered));
  }
  if (remote_eof_ || rc == SSH_EOF) return false;
  if (rc == SSH_ERROR || ssh_channel_is_closed(channel_.get())) {
    throw Failure{SshError::kNetwork, "connection lost (" + LibraryError() + ")"};
  }
  return true;
}

void Session::WriteQueued() {
  unsent_ += link_->TakeOutgoing();
  while (!unsent_.empty()) {
    uint32_t size = static_cast<uint32_t>(std::min(unsent_.size(), kWriteChunk));
    int n = ssh_channel_write(channel_.get(), unsent_.data(), size);
    if (n < 0) throw Failure{SshError::kNetwork, "connection lost (" + LibraryError() + ")"};
    if (n > 0) log_->Line("sent " + std::to_string(n) + " bytes");
    unsent_.erase(0, static_cast<size_t>(n));
    if (static_cast<uint32_t>(n) < size) break;  // the remote window is full: wait for it
  }
}

void Session::Converse() {
  last_data_ = Clock::now();
  // Room for a whole batch at once: grown by doubling instead, each batch of
  // a long listing would be copied again at every step.
  incoming_.reserve(kReadBatch + kPacketRoom);
  bool behind = false;             // the owner has not taken enough ...
  Clock::time_point behind_since;  // ... since then
  for (;;) {
    WriteQueued();
    if (link_->Behind()) {
      // The owner has not taken what arrived: read nothing more until it
      // does, so memory stays bounded and TCP holds the server back.
      auto now = Clock::now();
      if (!behind) behind_since = now;
      behind = true;
      auto give_up = std::min(behind_since + timeout_, session_deadline_);
      if (now >= give_up) {
        throw Failure{SshError::kInternal, "received data were not taken for " +
                                               std::to_string(s_.timeout_seconds) + " s"};
      }
      short events = (ssh_get_poll_flags(session_.get()) & SSH_WRITE_PENDING) ? POLLOUT : 0;
      Wait(events != 0 ? ssh_get_fd(session_.get()) : -1, events, give_up, true);
      if (events & POLLOUT) ssh_blocking_flush(session_.get(), 0);
      continue;
    }
    if (behind) {
      // Time spent waiting for the owner is no silence of the server.
      last_data_ = Clock::now();
      behind = false;
    }
    if (!ReadAvailable()) {
      log_->Line("the server closed the session");
      return;
    }
    auto idle_deadline = last_data_ + timeout_;
    auto now = Clock::now();
    if (now >= session_deadline_) {
      throw Failure{SshError::kTimedOut, "the session exceeded its limit of " +
                                             std::to_string(SessionTimeLimit(s_.timeout_seconds).count()) + " s"};
    }
    if (now >= idle_deadline) {
      throw Failure{SshError::kTimedOut, "timed out after " + std::to_string(s_.timeout_seconds) + " s with no data"};
    }
    short events = POLLIN;
    if (ssh_get_poll_flags(session_.get()) & SSH_WRITE_PENDING) events |= POLLOUT;
    Wait(ssh_get_fd(session_.get()), events, std::min(idle_deadline, session_deadline_), true);
    if (events & POLLOUT) ssh_blocking_flush(session_.get(), 0);
  }
}

void Session::Run() {
  bool established = false;
  std::string failure;
  std::shared_ptr<Resolution> resolution;
  log_->Line("connecting to " + Where() + " as " + s_.login);
  try {
    SetState(SshState::kConnecting);
    if (s_.protocol == SshProtocol::kSsh1) throw Failure{SshError::kProtocolNotSupported, "SSH1 is not supported, only SSH2"};
    ReadKnownHostKeys();
    ConnectTcp(Resolve(resolution));
    Negotiate();
    ReportNegotiation();
    CheckHostKey();
    SetState(SshState::kAuthenticating);
    Authenticate();
    log_->Line("login accepted");
    OpenShell();
    established = true;
    SetState(SshState::kConnected);
    link_->Raise(SshConnected{});
    Converse();
  } catch (const Stopped&) {
    log_->Line("session stopped by its owner");
    return;  // the owner is gone: no events
  } catch (const Failure& f) {
    if (established) {
      failure = "SSH session with " + Where() + " ended: " + f.reason;
    } else {
      // The host key texts name the host themselves.
      const bool host_key = f.code == SshError::kHostKeyRefused || f.code == SshError::kHostKeyNotRecorded;
      failure = host_key ? f.reason : "SSH connection to " + Where() + " failed: " + f.reason;
      link_->SetLastError(failure);
      link_->Raise(SshConnectFailed{f.code, failure});
    }
    log_->Line(failure);
  } catch (const std::exception& e) {
    failure = (established ? "SSH session with " + Where() + " ended: " : "SSH connection to " + Where() + " failed: ") +
              e.what();
    log_->Line(failure);
    if (!established) link_->Raise(SshConnectFailed{SshError::kInternal, failure});
  }
  if (established) {
    SetState(SshState::kClosing);
    if (s_.strip_control_sequences) {
      std::string rest;
      filter_.Finish(rest);
      link_->RaiseData(std::move(rest));
    }
  }
  link_->SetLastError(failure);
  channel_.reset();
  if (session_) ssh_disconnect(session_.get());
  session_.reset();
  log_->Line("disconnected");
  SetState(SshState::kDisconnected);
  link_->Raise(SshDisconnected{});
}

}  // namespace

std::chrono::seconds SessionTimeLimit(int timeout_seconds) {
  return std::max(kMinimumSessionLimit, std::chrono::seconds(timeout_seconds) * kSessionLimitFactor);
}

void RunSession(std::shared_ptr<SessionLink> link, SessionSettings settings) {
  Session(std::move(link), std::move(settings)).Run();
}

}  // namespace comvorlix::ssh_internal

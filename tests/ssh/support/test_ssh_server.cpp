#include "ssh/support/test_ssh_server.h"

#include <arpa/inet.h>
#include <libssh/callbacks.h>
#include <libssh/server.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <deque>
#include <map>
#include <mutex>
#include <vector>
#include <stdexcept>

namespace comvorlix::testing_support {

using ssh_internal::SharedKey;
using ssh_internal::UniqueChannel;
using ssh_internal::UniqueFd;
using ssh_internal::UniqueSession;

namespace {

struct BindDeleter {
  void operator()(ssh_bind b) const { ssh_bind_free(b); }
};
struct EventDeleter {
  void operator()(ssh_event e) const { ssh_event_free(e); }
};

SharedKey Generate(ssh_keytypes_e type, int bits) {
  ssh_key key = nullptr;
  if (ssh_pki_generate(type, bits, &key) != SSH_OK) throw std::runtime_error("cannot generate a host key");
  return SharedKey(key, ssh_internal::KeyDeleter());
}

int StopCallback(socket_t, int, void*) { return 0; }

}  // namespace

struct TestSshServer::Connection {
  TestSshServer* server = nullptr;
  UniqueSession session;
  UniqueChannel channel;  // after `session`: freed first
  bool authenticated = false;
  bool shell = false;
  bool greeting_queued = false;
  int greetings_left = 0;
  bool quit_seen = false;
  bool close_when_flushed = false;
  bool drop_when_flushed = false;
  bool done = false;
  std::string kbdint_user;
  // Pieces still to send, one write each. A deque, because ssh_channel_write
  // may process incoming packets while it waits for the window, and the
  // data callback then appends here while Pump still holds the front piece.
  std::deque<std::string> out;
  ssh_server_callbacks_struct server_callbacks{};
  ssh_channel_callbacks_struct channel_callbacks{};

  const TestServerOptions& options() const { return server->options_; }

  static Connection& Of(void* userdata) { return *static_cast<Connection*>(userdata); }

  static int AuthPassword(ssh_session, const char* user, const char* password, void* userdata) {
    Connection& c = Of(userdata);
    if (c.options().allow_password && c.options().user == user && c.options().password == password) {
      c.authenticated = true;
      return SSH_AUTH_SUCCESS;
    }
    return SSH_AUTH_DENIED;
  }

  static int AuthPublicKey(ssh_session, const char* user, ssh_key key, char state, void* userdata) {
    Connection& c = Of(userdata);
    if (!c.options().allow_public_key || c.options().user != user) return SSH_AUTH_DENIED;
    for (const auto& authorized : c.options().authorized_keys) {
      if (ssh_key_cmp(key, authorized.get(), SSH_KEY_CMP_PUBLIC) != 0) continue;
      if (state == SSH_PUBLICKEY_STATE_VALID) c.authenticated = true;
      // In the probe (state NONE) success means "this key would do".
      if (state == SSH_PUBLICKEY_STATE_VALID || state == SSH_PUBLICKEY_STATE_NONE) return SSH_AUTH_SUCCESS;
    }
    return SSH_AUTH_DENIED;
  }

  static ssh_channel OpenSession(ssh_session session, void* userdata) {
    Connection& c = Of(userdata);
    if (!c.authenticated || c.channel) return nullptr;
    c.channel.reset(ssh_channel_new(session));
    c.channel_callbacks = {};
    c.channel_callbacks.userdata = &c;
    c.channel_callbacks.channel_data_function = Data;
    c.channel_callbacks.channel_pty_request_function = Pty;
    c.channel_callbacks.channel_shell_request_function = Shell;
    ssh_callbacks_init(&c.channel_callbacks);
    ssh_set_channel_callbacks(c.channel.get(), &c.channel_callbacks);
    return c.channel.get();
  }

  static int Pty(ssh_session, ssh_channel, const char* term, int width, int, int, int, void* userdata) {
    Connection& c = Of(userdata);
    std::lock_guard<std::mutex> lock(c.server->mutex_);
    c.server->pty_terminal_ = term;
    c.server->pty_columns_ = width;
    return SSH_OK;
  }

  static int Shell(ssh_session, ssh_channel, void* userdata) {
    Of(userdata).shell = true;
    return SSH_OK;
  }

  static int Data(ssh_session, ssh_channel, void* data, uint32_t len, int, void* userdata) {
    Connection& c = Of(userdata);
    std::string bytes(static_cast<const char*>(data), len);
    std::string input;
    {
      std::lock_guard<std::mutex> lock(c.server->mutex_);
      c.server->input_ += bytes;
      input = c.server->input_;
    }
    if (c.options().echo) c.out.push_back(bytes);
    if (!c.quit_seen && !c.options().quit_command.empty() &&
        input.find(c.options().quit_command) != std::string::npos) {
      c.quit_seen = true;
      if (!c.options().farewell.empty()) c.out.push_back(c.options().farewell);
      c.close_when_flushed = true;
    }
    return static_cast<int>(len);
  }

  // Keyboard-interactive login: one hidden prompt for the password.
  static int Message(ssh_session session, ssh_message message, void* userdata) {
    Connection& c = Of(userdata);
    if (ssh_message_type(message) != SSH_REQUEST_AUTH ||
        ssh_message_subtype(message) != SSH_AUTH_METHOD_INTERACTIVE || !c.options().allow_keyboard_interactive) {
      return 1;  // the library's default reply
    }
    if (!ssh_message_auth_kbdint_is_response(message)) {
      const char* user = ssh_message_auth_user(message);
      c.kbdint_user = user != nullptr ? user : "";
      const char* prompts[] = {"Password: "};
      char echo[] = {0};
      ssh_message_auth_interactive_request(message, "", "", 1, prompts, echo);
      return 0;
    }
    // The response carries no user name; the one of the request counts.
    const char* answer =
        ssh_userauth_kbdint_getnanswers(session) == 1 ? ssh_userauth_kbdint_getanswer(session, 0) : nullptr;
    if (c.kbdint_user == c.options().user && answer != nullptr && c.options().password == answer) {
      c.authenticated = true;
      ssh_message_auth_reply_success(message, 0);
      return 0;
    }
    return 1;
  }

  // Moves the script on; called after every round of event processing.
  void Pump() {
    if (shell && !greeting_queued) {
      greeting_queued = true;
      greetings_left = options().greeting_repeat;
    }
    // One copy of the greeting at a time, so a long one costs no memory.
    if (out.empty() && greetings_left > 0) {
      --greetings_left;
      const std::string& g = options().greeting;
      size_t piece = options().chunk == 0 ? std::max<size_t>(g.size(), 1) : options().chunk;
      for (size_t at = 0; at < g.size(); at += piece) out.push_back(g.substr(at, piece));
      if (greetings_left == 0 && options().after_greeting == AfterGreeting::kClose) close_when_flushed = true;
      if (greetings_left == 0 && options().after_greeting == AfterGreeting::kDropConnection) {
        drop_when_flushed = true;
      }
    }
    while (!out.empty() && channel) {
      std::string& piece = out.front();
      int n = ssh_channel_write(channel.get(), piece.data(), static_cast<uint32_t>(piece.size()));
      if (n < 0) {
        done = true;
        return;
      }
      piece.erase(0, static_cast<size_t>(n));
      if (!piece.empty()) return;  // the window is full: go on when it opens
      out.pop_front();
    }
    if (!out.empty()) return;
    if (close_when_flushed) {
      ssh_blocking_flush(session.get(), 5000);
      ssh_channel_send_eof(channel.get());
      ssh_channel_close(channel.get());
      ssh_blocking_flush(session.get(), 5000);
      done = true;
    } else if (drop_when_flushed) {
      ssh_blocking_flush(session.get(), 5000);
      DropConnection();
      done = true;
    }
  }

  // Ends the TCP connection under the SSH session, as a switch that
  // crashes mid-listing would: a FIN after the data sent so far, then
  // whatever the client still sends is discarded until it closes too (so
  // no reset destroys data the client has not read yet).
  void DropConnection() {
    int fd = ssh_get_fd(session.get());
    ::shutdown(fd, SHUT_WR);
    char discard[4096];
    for (;;) {
      pollfd fds[2] = {{server->stop_.get(), POLLIN, 0}, {fd, POLLIN, 0}};
      if (::poll(fds, 2, -1) < 0 || fds[0].revents != 0) return;
      if (::read(fd, discard, sizeof discard) <= 0) return;
    }
  }
};

TestSshServer::TestSshServer(TestServerOptions options) : options_(std::move(options)) {
  stop_.reset(::eventfd(0, EFD_CLOEXEC));
  if (!stop_.valid()) throw std::runtime_error("cannot create the test server's sockets");
  // Clients learn a server's key into the process's known hosts file by its
  // port: a port that served the other kind of host key (ssh-rsa only, or
  // Ed25519) in this process would look like a changed key. Such a port is
  // held while another is picked, so that it does not come back at once.
  static std::mutex ports_mutex;
  static std::map<int, bool> legacy_of_port;
  std::lock_guard<std::mutex> ports_lock(ports_mutex);
  std::vector<ssh_internal::UniqueFd> skipped;
  for (;;) {
    listener_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!listener_.valid()) throw std::runtime_error("cannot create the test server's sockets");
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0;
    if (::bind(listener_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener_.get(), 4) != 0) {
      throw std::runtime_error("cannot listen for the test server");
    }
    socklen_t len = sizeof address;
    ::getsockname(listener_.get(), reinterpret_cast<sockaddr*>(&address), &len);
    port_ = ntohs(address.sin_port);
    const auto known = legacy_of_port.find(port_);
    if (known == legacy_of_port.end() || known->second == options_.legacy_only) break;
    skipped.push_back(std::move(listener_));
  }
  legacy_of_port[port_] = options_.legacy_only;
  // Made here, on the test's thread, so that key generation is done before
  // the first client connects.
  Ed25519HostKey();
  RsaHostKey();
  thread_ = std::thread([this] { Serve(); });
}

TestSshServer::~TestSshServer() {
  stopping_ = true;
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(stop_.get(), &one, sizeof one);
  thread_.join();
}

std::string TestSshServer::Input() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return input_;
}

std::string TestSshServer::PtyTerminal() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pty_terminal_;
}

int TestSshServer::PtyColumns() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return pty_columns_;
}

SharedKey TestSshServer::Ed25519HostKey() {
  static SharedKey key = Generate(SSH_KEYTYPE_ED25519, 0);
  return key;
}

SharedKey TestSshServer::RsaHostKey() {
  static SharedKey key = Generate(SSH_KEYTYPE_RSA, 2048);
  return key;
}

std::string TestSshServer::Fingerprint(ssh_key key) {
  unsigned char* hash = nullptr;
  size_t len = 0;
  if (ssh_get_publickey_hash(key, SSH_PUBLICKEY_HASH_SHA256, &hash, &len) != SSH_OK) return {};
  char* text = ssh_get_fingerprint_hash(SSH_PUBLICKEY_HASH_SHA256, hash, len);
  std::string result = text != nullptr ? text : "";
  ssh_string_free_char(text);
  ssh_clean_pubkey_hash(&hash);
  return result;
}

void TestSshServer::Serve() {
  while (!stopping_) {
    pollfd fds[2] = {{stop_.get(), POLLIN, 0}, {listener_.get(), POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) continue;
    if (fds[0].revents != 0) return;
    if (fds[1].revents == 0) continue;
    int fd = ::accept4(listener_.get(), nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++connections_;
    ServeConnection(fd);
  }
}

void TestSshServer::ServeConnection(int fd) {
  std::unique_ptr<ssh_bind_struct, BindDeleter> bind(ssh_bind_new());
  int no = 0;
  ssh_bind_options_set(bind.get(), SSH_BIND_OPTIONS_PROCESS_CONFIG, &no);
  if (options_.legacy_only) {
    ssh_bind_options_set(bind.get(), SSH_BIND_OPTIONS_IMPORT_KEY, ssh_key_dup(RsaHostKey().get()));
    ssh_bind_options_set(bind.get(), SSH_BIND_OPTIONS_KEY_EXCHANGE,
                         "diffie-hellman-group14-sha1,diffie-hellman-group1-sha1");
    ssh_bind_options_set(bind.get(), SSH_BIND_OPTIONS_HOSTKEY_ALGORITHMS, "ssh-rsa");
    ssh_bind_options_set(bind.get(), SSH_BIND_OPTIONS_CIPHERS_C_S, "aes128-cbc,3des-cbc");
    ssh_bind_options_set(bind.get(), SSH_BIND_OPTIONS_CIPHERS_S_C, "aes128-cbc,3des-cbc");
    ssh_bind_options_set(bind.get(), SSH_BIND_OPTIONS_HMAC_C_S, "hmac-sha1");
    ssh_bind_options_set(bind.get(), SSH_BIND_OPTIONS_HMAC_S_C, "hmac-sha1");
    ssh_bind_options_set(bind.get(), SSH_BIND_OPTIONS_PUBKEY_ACCEPTED_KEY_TYPES, "ssh-rsa");
  } else {
    ssh_bind_options_set(bind.get(), SSH_BIND_OPTIONS_IMPORT_KEY, ssh_key_dup(Ed25519HostKey().get()));
    ssh_bind_options_set(bind.get(), SSH_BIND_OPTIONS_IMPORT_KEY, ssh_key_dup(RsaHostKey().get()));
  }

  Connection c;
  c.server = this;
  c.session.reset(ssh_new());
  if (ssh_bind_accept_fd(bind.get(), c.session.get(), fd) != SSH_OK) {
    ::close(fd);
    return;
  }
  ssh_session session = c.session.get();
  int methods = (options_.allow_password ? SSH_AUTH_METHOD_PASSWORD : 0) |
                (options_.allow_keyboard_interactive ? SSH_AUTH_METHOD_INTERACTIVE : 0) |
                (options_.allow_public_key ? SSH_AUTH_METHOD_PUBLICKEY : 0);
  ssh_set_auth_methods(session, methods);
  c.server_callbacks.userdata = &c;
  c.server_callbacks.auth_password_function = Connection::AuthPassword;
  c.server_callbacks.auth_pubkey_function = Connection::AuthPublicKey;
  c.server_callbacks.channel_open_request_session_function = Connection::OpenSession;
  ssh_callbacks_init(&c.server_callbacks);
  ssh_set_server_callbacks(session, &c.server_callbacks);
  ssh_set_message_callback(session, Connection::Message, &c);
  ssh_set_blocking(session, 0);

  // The key exchange waits on the session's socket itself; the session
  // joins the event loop once it is done (before that the library keeps
  // the socket in a poll context of its own).
  int rc;
  while ((rc = ssh_handle_key_exchange(session)) == SSH_AGAIN) {
    short events = POLLIN;
    if (ssh_get_poll_flags(session) & SSH_WRITE_PENDING) events |= POLLOUT;
    pollfd fds[2] = {{stop_.get(), POLLIN, 0}, {ssh_get_fd(session), events, 0}};
    if (::poll(fds, 2, -1) < 0 || fds[0].revents != 0) break;
  }
  std::unique_ptr<ssh_event_struct, EventDeleter> event(ssh_event_new());
  ssh_event_add_fd(event.get(), stop_.get(), POLLIN, StopCallback, nullptr);
  ssh_event_add_session(event.get(), session);
  if (rc == SSH_OK) {
    while (!stopping_ && !c.done) {
      c.Pump();
      if (c.done) break;
      if (ssh_event_dopoll(event.get(), -1) == SSH_ERROR) break;
      if (ssh_get_status(session) & (SSH_CLOSED | SSH_CLOSED_ERROR)) break;
      if (c.channel && ssh_channel_is_closed(c.channel.get())) break;
    }
  }
  ssh_event_remove_session(event.get(), session);
  ssh_event_remove_fd(event.get(), stop_.get());
  c.channel.reset();
  ssh_disconnect(session);
}

}  // namespace comvorlix::testing_support

#include "session.h"

#include <libssh/callbacks.h>
#include <libssh/server.h>

#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "device.h"
#include "log.h"
#include "paced_output.h"
#include "terminal.h"

namespace switchsim {
namespace {

using Clock = std::chrono::steady_clock;

// Failed login attempts after which the connection is closed, as sshd does.
constexpr int kMaxAuthFailures = 6;

struct Connection {
  const ServerShared* shared = nullptr;
  int id = 0;
  ssh_session session = nullptr;
  ssh_event event = nullptr;
  std::string kbdint_user;
  std::string login_name;  // as the client gave it, once authenticated
  bool authenticated = false;
  int auth_failures = 0;
  ssh_channel channel = nullptr;
  bool shell = false;
  bool eof = false;
  bool closed = false;
  int columns = 0;
  int rows = 0;
  std::string input;  // channel data not yet taken by the terminal
  ssh_server_callbacks_struct server_callbacks{};
  ssh_channel_callbacks_struct channel_callbacks{};
};

std::string Tag(const Connection& c) { return "session " + std::to_string(c.id); }

bool LoginAllowed(const Connection& c, const char* user) {
  return !c.shared->options.faults.reject_login && user != nullptr && LoginNameMatches(c.shared->options, user);
}

// One line of the auth log: what was tried, by whom, with what result.
void Record(const Connection& c, const char* method, const char* user, const char* result) {
  c.shared->auth_log.Append("session=" + std::to_string(c.id) + " method=" + method +
                            " user=" + Escaped(user != nullptr ? user : "") + " result=" + result);
}

void Authenticated(Connection& c, const char* method, const char* user) {
  c.authenticated = true;
  c.login_name = user;
  Record(c, method, user, "accepted");
  LogVerbose(Tag(c) + ": logged in as " + c.shared->options.user + " (" + method + ")");
}

void Refused(Connection& c, const char* method, const char* user) {
  ++c.auth_failures;
  Record(c, method, user, "refused");
  LogVerbose(Tag(c) + ": " + method + " login refused");
}

const char* MethodName(int subtype) {
  switch (subtype) {
    case SSH_AUTH_METHOD_NONE: return "none";
    case SSH_AUTH_METHOD_PASSWORD: return "password";
    case SSH_AUTH_METHOD_PUBLICKEY: return "publickey";
    case SSH_AUTH_METHOD_HOSTBASED: return "hostbased";
    case SSH_AUTH_METHOD_INTERACTIVE: return "keyboard-interactive";
    case SSH_AUTH_METHOD_GSSAPI_MIC: return "gssapi-with-mic";
  }
  return "other";
}

int OnPassword(ssh_session, const char* user, const char* password, void* userdata) {
  auto& c = *static_cast<Connection*>(userdata);
  const Options& o = c.shared->options;
  if (LoginAllowed(c, user) && !o.keyboard_interactive_only && o.password && *o.password == password) {
    Authenticated(c, "password", user);
    return SSH_AUTH_SUCCESS;
  }
  Refused(c, "password", user);
  return SSH_AUTH_DENIED;
}

int OnPublicKey(ssh_session, const char* user, ssh_key key, char state, void* userdata) {
  auto& c = *static_cast<Connection*>(userdata);
  bool known = false;
  for (ssh_key allowed : c.shared->authorized_keys) {
    if (ssh_key_cmp(allowed, key, SSH_KEY_CMP_PUBLIC) == 0) known = true;
  }
  if (!LoginAllowed(c, user) || c.shared->options.keyboard_interactive_only || !known) {
    if (state == SSH_PUBLICKEY_STATE_VALID) {
      Refused(c, "publickey", user);
    } else {
      Record(c, "publickey", user, "refused-query");
    }
    return SSH_AUTH_DENIED;
  }
  // Without a signature the client only asks whether the key would do.
  if (state == SSH_PUBLICKEY_STATE_NONE) {
    Record(c, "publickey", user, "acceptable-query");
    return SSH_AUTH_SUCCESS;
  }
  if (state == SSH_PUBLICKEY_STATE_VALID) {
    Authenticated(c, "publickey", user);
    return SSH_AUTH_SUCCESS;
  }
  Refused(c, "publickey", user);
  return SSH_AUTH_DENIED;
}

// Keyboard-interactive has no server callback of its own in libssh; it
// arrives as a message. Everything else not handled by a callback ("none",
// host-based, GSSAPI) is recorded and gets libssh's default answer (a
// refusal).
int OnMessage(ssh_session session, ssh_message message, void* userdata) {
  auto& c = *static_cast<Connection*>(userdata);
  if (ssh_message_type(message) != SSH_REQUEST_AUTH) return 1;
  if (ssh_message_subtype(message) != SSH_AUTH_METHOD_INTERACTIVE) {
    Record(c, MethodName(ssh_message_subtype(message)), ssh_message_auth_user(message), "refused");
    return 1;
  }
  const Options& o = c.shared->options;
  if (!ssh_message_auth_kbdint_is_response(message)) {
    const char* user = ssh_message_auth_user(message);
    c.kbdint_user = user != nullptr ? user : "";
    if (!LoginAllowed(c, user) || !o.password) {
      Refused(c, "keyboard-interactive", user);
      return 1;
    }
    const char* prompts[] = {"Password: "};
    char echo[] = {0};
    ssh_message_auth_interactive_request(message, "", "", 1, prompts, echo);
    return 0;
  }
  const char* answer = ssh_userauth_kbdint_getnanswers(session) == 1
                           ? ssh_userauth_kbdint_getanswer(session, 0)
                           : nullptr;
  if (answer != nullptr && LoginAllowed(c, c.kbdint_user.c_str()) && o.password && *o.password == answer) {
    Authenticated(c, "keyboard-interactive", c.kbdint_user.c_str());
    ssh_message_auth_reply_success(message, 0);
    return 0;
  }
  Refused(c, "keyboard-interactive", c.kbdint_user.c_str());
  return 1;
}

int OnChannelData(ssh_session, ssh_channel, void* data, uint32_t len, int is_stderr, void* userdata) {
  auto& c = *static_cast<Connection*>(userdata);
  if (!is_stderr) c.input.append(static_cast<const char*>(data), len);
  return static_cast<int>(len);
}

void OnChannelEof(ssh_session, ssh_channel, void* userdata) { static_cast<Connection*>(userdata)->eof = true; }

void OnChannelClose(ssh_session, ssh_channel, void* userdata) {
  static_cast<Connection*>(userdata)->closed = true;
}

int OnPtyRequest(ssh_session, ssh_channel, const char*, int width, int height, int, int, void* userdata) {
  auto& c = *static_cast<Connection*>(userdata);
  c.columns = width;
  c.rows = height;
  return 0;
}

int OnWindowChange(ssh_session, ssh_channel, int width, int height, int, int, void* userdata) {
  auto& c = *static_cast<Connection*>(userdata);
  c.columns = width;
  c.rows = height;
  return 0;
}

int OnShellRequest(ssh_session, ssh_channel, void* userdata) {
  auto& c = *static_cast<Connection*>(userdata);
  if (c.shell) return 1;
  c.shell = true;
  return 0;
}

// Switches offer a command line only; commands and subsystems are refused.
int OnExecRequest(ssh_session, ssh_channel, const char*, void*) { return 1; }
int OnSubsystemRequest(ssh_session, ssh_channel, const char*, void*) { return 1; }
int OnEnvRequest(ssh_session, ssh_channel, const char*, const char*, void*) { return 0; }

ssh_channel OnChannelOpen(ssh_session session, void* userdata) {
  auto& c = *static_cast<Connection*>(userdata);
  if (c.channel != nullptr || !c.authenticated) return nullptr;
  c.channel = ssh_channel_new(session);
  if (c.channel == nullptr) return nullptr;
  ssh_callbacks_init(&c.channel_callbacks);
  c.channel_callbacks.userdata = &c;
  c.channel_callbacks.channel_data_function = OnChannelData;
  c.channel_callbacks.channel_eof_function = OnChannelEof;
  c.channel_callbacks.channel_close_function = OnChannelClose;
  c.channel_callbacks.channel_pty_request_function = OnPtyRequest;
  c.channel_callbacks.channel_pty_window_change_function = OnWindowChange;
  c.channel_callbacks.channel_shell_request_function = OnShellRequest;
  c.channel_callbacks.channel_exec_request_function = OnExecRequest;
  c.channel_callbacks.channel_subsystem_request_function = OnSubsystemRequest;
  c.channel_callbacks.channel_env_request_function = OnEnvRequest;
  ssh_set_channel_callbacks(c.channel, &c.channel_callbacks);
  return c.channel;
}

// The terminal's transport: the session channel, driven through the
// connection's event loop so that callbacks keep running while waiting.
class ChannelIo : public TerminalIo {
 public:
  explicit ChannelIo(Connection& c) : c_(c) {}

  ReadStatus Read(std::string& out, int timeout_ms) override {
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeout_ms < 0 ? 0 : timeout_ms);
    const bool eof_before = c_.eof;
    for (;;) {
      if (!c_.input.empty()) {
        out += c_.input;
        c_.input.clear();
        return ReadStatus::kData;
      }
      if (c_.closed || !ssh_is_connected(c_.session)) return ReadStatus::kClosed;
      if (c_.eof && !eof_before) return ReadStatus::kTimeout;
      int wait = -1;
      if (timeout_ms >= 0) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0) return ReadStatus::kTimeout;
        wait = static_cast<int>(left);
      }
      if (ssh_event_dopoll(c_.event, wait) == SSH_ERROR && c_.input.empty()) return ReadStatus::kClosed;
    }
  }

  bool AtEof() const override { return c_.eof; }

  bool Write(std::string_view bytes) override {
    while (!bytes.empty()) {
      if (c_.closed) return false;
      int n = ssh_channel_write(c_.channel, bytes.data(), static_cast<uint32_t>(bytes.size()));
      if (n <= 0) return false;
      bytes.remove_prefix(static_cast<size_t>(n));
    }
    return true;
  }

 private:
  Connection& c_;
};

int AuthMethods(const ServerShared& shared) {
  const Options& o = shared.options;
  if (o.keyboard_interactive_only) return SSH_AUTH_METHOD_INTERACTIVE;
  int methods = 0;
  if (o.password) methods |= SSH_AUTH_METHOD_PASSWORD | SSH_AUTH_METHOD_INTERACTIVE;
  if (!shared.authorized_keys.empty()) methods |= SSH_AUTH_METHOD_PUBLICKEY;
  return methods;
}

uint64_t SessionSeed(const Options& o, int id) {
  if (o.seed) return *o.seed * 1000003u + static_cast<uint64_t>(id);
  std::random_device device;
  return (static_cast<uint64_t>(device()) << 32) ^ device();
}

// Key exchange and login, then a session channel with a shell. False when
// the client did not get that far within the login grace time.
bool OpenShell(Connection& c) {
  const Options& o = c.shared->options;
  if (ssh_handle_key_exchange(c.session) != SSH_OK) {
    LogVerbose(Tag(c) + ": key exchange failed: " + ssh_get_error(c.session));
    return false;
  }
  ssh_set_auth_methods(c.session, AuthMethods(*c.shared));
  c.event = ssh_event_new();
  if (c.event == nullptr || ssh_event_add_session(c.event, c.session) != SSH_OK) return false;
  const auto deadline = Clock::now() + std::chrono::seconds(o.login_grace_s);
  while (!(c.authenticated && c.channel != nullptr && c.shell)) {
    if (c.auth_failures >= kMaxAuthFailures) {
      LogVerbose(Tag(c) + ": too many failed logins");
      return false;
    }
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      LogVerbose(Tag(c) + ": login grace time over");
      return false;
    }
    if (ssh_event_dopoll(c.event, static_cast<int>(left)) == SSH_ERROR || !ssh_is_connected(c.session) ||
        c.closed) {
      LogVerbose(Tag(c) + ": client left before the shell opened");
      return false;
    }
  }
  return true;
}

// Closes the channel as a switch does at logout and gives the client a
// moment to answer with its own close, so that it sees an orderly end
// rather than a connection torn down under it. With a disconnect message
// the channel is left open after EOF: the disconnect that follows is then
// sure to reach a client still listening.
void CloseChannel(Connection& c) {
  constexpr int kCloseWaitMs = 2000;
  ssh_channel_request_send_exit_status(c.channel, 0);
  ssh_channel_send_eof(c.channel);
  if (c.shared->options.disconnect_message) return;
  ssh_channel_close(c.channel);
  const auto deadline = Clock::now() + std::chrono::milliseconds(kCloseWaitMs);
  while (!c.closed && ssh_is_connected(c.session)) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0 || ssh_event_dopoll(c.event, static_cast<int>(left)) == SSH_ERROR) break;
  }
}

// libssh writes a packet at once only when the last poll found the socket
// writable, and ssh_disconnect closes the socket right after queuing its
// SSH_MSG_DISCONNECT: without this the goodbye (and its message) would be
// lost in the buffer. So everything queued is flushed first, and one more
// poll (without waiting: a socket with room is writable at once) finds the
// socket writable again.
void PrepareGoodbye(Connection& c) {
  constexpr int kFlushMs = 1000;
  ssh_blocking_flush(c.session, kFlushMs);
  ssh_event_dopoll(c.event, 0);
}

}  // namespace

void ServeConnection(ssh_session session, const ServerShared& shared, int session_id) {
  Connection c;
  c.shared = &shared;
  c.id = session_id;
  c.session = session;
  const Options& o = shared.options;

  long grace = o.login_grace_s;
  ssh_options_set(session, SSH_OPTIONS_TIMEOUT, &grace);
  ssh_callbacks_init(&c.server_callbacks);
  c.server_callbacks.userdata = &c;
  c.server_callbacks.auth_password_function = OnPassword;
  c.server_callbacks.auth_pubkey_function = OnPublicKey;
  c.server_callbacks.channel_open_request_session_function = OnChannelOpen;
  ssh_set_server_callbacks(session, &c.server_callbacks);
  ssh_set_message_callback(session, OnMessage, &c);
  if (o.disconnect_message) {
    // libssh takes a C string: the message ends at its first NUL.
    ssh_session_set_disconnect_message(session, o.disconnect_message->c_str());
  }

  bool drop = false;
  if (OpenShell(c)) {
    ChannelIo io(c);
    OutputShaping shaping{o.chunk, o.delay, o.faults.one_byte};
    Terminal terminal(io, shaping, SessionSeed(o, session_id), o.idle_timeout_s * 1000);
    terminal.SetSize(c.columns, c.rows);
    try {
      if (o.faults.silent_after_login) {
        for (;;) terminal.TakeInput();
      }
      if (o.faults.drip) Drip(terminal);
      DeviceContext context{terminal, o, shared.configs, session_id, shared.command_log,
                            shared.cisco_clock_lines, shared.listing_clock, c.login_name};
      MakeDevice(context)->Run();
      if (o.faults.never_close) {
        // Echoes what comes and records each line typed to the command log,
        // so that a test can count the logouts the client repeats.
        std::string line;
        for (;;) {
          const std::string input = terminal.TakeInput();
          terminal.Send(input);
          for (char ch : input) {
            if (ch != '\r' && ch != '\n') {
              line += ch;
            } else if (!line.empty()) {
              shared.command_log.Append(line);
              line.clear();
            }
          }
        }
      }
      CloseChannel(c);
    } catch (const SessionEnded& ended) {
      LogVerbose(Tag(c) + ": " + ended.reason);
      // After an EOF or an idle timeout the client is still there and
      // should see the output sent so far followed by an orderly close.
      if (!c.closed && ssh_is_connected(session)) CloseChannel(c);
    } catch (const CloseSession&) {
      LogVerbose(Tag(c) + ": closing the session mid-line");
      CloseChannel(c);
    } catch (const DisconnectSession&) {
      // The goodbye below carries the disconnect message; the channel stays open.
      LogVerbose(Tag(c) + ": disconnecting mid-listing");
    } catch (const DropConnection&) {
      LogVerbose(Tag(c) + ": dropping the connection mid-listing");
      drop = true;
    }
  }
  if (!drop && c.event != nullptr && ssh_is_connected(session)) PrepareGoodbye(c);
  if (c.event != nullptr) {
    ssh_event_remove_session(c.event, session);
    ssh_event_free(c.event);
  }
  if (drop) {
    ssh_silent_disconnect(session);
  } else {
    ssh_disconnect(session);
  }
  // The channel belongs to the session: disconnecting frees it.
  ssh_free(session);
  LogVerbose(Tag(c) + ": closed");
}

}  // namespace switchsim

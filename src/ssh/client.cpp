#include "ssh/client.h"

#include <system_error>
#include <vector>
#include <thread>

#include "automation/automation_error.h"
#include "automation/message_queue.h"
#include "ssh/debug_log.h"
#include "ssh/handles.h"
#include "ssh/session_link.h"
#include "ssh/session_worker.h"

namespace comvorlix {

using ssh_internal::ImportPrivateKeyText;
using ssh_internal::SecretString;
using ssh_internal::SessionLink;
using ssh_internal::SessionSettings;

namespace {

constexpr int kDefaultTimeoutSeconds = 30;

[[noreturn]] void Refuse(Status status, const std::string& description) {
  throw AutomationError(status, description);
}

}  // namespace

struct SshClient::Impl {
  std::shared_ptr<SessionLink> link;
  SessionSettings settings;
  int32_t port = 22;
  int32_t authentication = 1;
  int16_t timeout = 0;
  bool started = false;
  std::string debug_file;
  std::shared_ptr<ssh_internal::DebugLog> log;
  std::thread worker;
};

SshClient::SshClient(SshClientEvents* events) : impl_(std::make_unique<Impl>()) {
  impl_->link = std::make_shared<SessionLink>(CurrentThreadPoster());
  impl_->link->Attach(events);
}

SshClient::~SshClient() {
  impl_->link->Attach(nullptr);
  impl_->link->RequestStop();
  // The worker never waits for this thread and each of its waits includes
  // the wake-up descriptor, so this returns promptly.
  if (impl_->worker.joinable()) impl_->worker.join();
}

void SshClient::SetHostname(std::string_view host) {
  const size_t first = host.find_first_not_of(' ');
  host = first == std::string_view::npos ? std::string_view() : host.substr(first, host.find_last_not_of(' ') + 1 - first);
  // "[::1]", as URLs and ssh's user@[addr] write an IPv6 address: the
  // address itself is what is resolved and what the known hosts name.
  if (host.size() > 2 && host.front() == '[' && host.back() == ']' && host.find(':') != std::string_view::npos) {
    host = host.substr(1, host.size() - 2);
  }
  impl_->settings.host = std::string(host);
}
void SshClient::SetLogin(std::string_view login) { impl_->settings.login = std::string(login); }
void SshClient::SetPassword(std::string_view password) { impl_->settings.password = SecretString(std::string(password)); }
void SshClient::SetPort(int32_t port) { impl_->port = port; }

void SshClient::SetAuthentication(int32_t method) {
  if (method < 0 || method > 2) {
    Refuse(Status::kInvalidArgument, "unknown authentication method " + std::to_string(method) +
                                         " (0 or 1 = password, 2 = private key)");
  }
  impl_->authentication = method;
}

void SshClient::SetPrivateKey(std::string key_text) {
  SecretString text(std::move(key_text));
  if (text.empty()) {
    impl_->settings.key.reset();
    return;
  }
  ssh_internal::UniqueKey key = ImportPrivateKeyText(text.get());
  if (!key) Refuse(Status::kInvalidArgument, "the private key text is not an unencrypted private key");
  impl_->settings.key = ssh_internal::SharedKey(key.release(), ssh_internal::KeyDeleter());
}

void SshClient::SetProtocol(int32_t code) {
  if (code < 2 || code > 4) {
    Refuse(Status::kInvalidArgument,
           "unknown SSH protocol code " + std::to_string(code) + " (2 = SSH1, 3 = SSH2, 4 = automatic)");
  }
  impl_->settings.protocol = code;
}

void SshClient::SetTimeout(int16_t seconds) { impl_->timeout = seconds; }
void SshClient::SetDebugFile(std::string_view path) { impl_->debug_file = std::string(path); }
void SshClient::SetStripControlSequences(bool strip) { impl_->settings.strip_control_sequences = strip; }

void SshClient::SetTerminalWidth(int32_t columns) {
  if (columns < 1 || columns > 10000) {
    Refuse(Status::kInvalidArgument, "terminal width " + std::to_string(columns) + " is outside 1 to 10000");
  }
  impl_->settings.columns = columns;
}

void SshClient::SetKnownHostsFile(std::string_view path) { impl_->settings.known_hosts.user_file = std::string(path); }
void SshClient::SetSystemKnownHostsFile(std::string_view path) {
  impl_->settings.known_hosts.system_file = std::string(path);
}
void SshClient::SetHostKeyPolicy(SshHostKeyPolicy policy) { impl_->settings.known_hosts.policy = policy; }

void SshClient::Connect() {
  Impl& d = *impl_;
  if (d.started) Refuse(Status::kFail, "this SSH client has already been connected; use a new one");
  if (d.settings.host.empty()) Refuse(Status::kFail, "cannot connect: no host name is set");
  if (d.port < 1 || d.port > 65535) {
    Refuse(Status::kFail, "cannot connect to " + d.settings.host + ": port " + std::to_string(d.port) +
                              " is outside 1 to 65535");
  }
  if (d.settings.login.empty()) Refuse(Status::kFail, "cannot connect to " + d.settings.host + ": no login name is set");
  d.settings.key_login = d.authentication == 2;
  if (d.settings.key_login && !d.settings.key) {
    Refuse(Status::kFail, "cannot connect to " + d.settings.host + ": key login is set but no private key");
  }
  d.settings.port = d.port;
  d.settings.timeout_seconds = d.timeout > 0 ? d.timeout : kDefaultTimeoutSeconds;
  d.log = std::make_shared<ssh_internal::DebugLog>(d.debug_file, std::vector<SecretString>{d.settings.password});
  d.settings.log = d.log;
  try {
    d.worker = std::thread(ssh_internal::RunSession, d.link, d.settings);
  } catch (const std::system_error& e) {
    Refuse(Status::kFail, std::string("cannot start the SSH session: ") + e.what());
  }
  d.started = true;
}

void SshClient::Send(std::string_view bytes) {
  if (!impl_->started) Refuse(Status::kFail, "cannot send: the SSH client is not connected");
  if (impl_->link->Ended()) Refuse(Status::kFail, "cannot send: the SSH session is over");
  impl_->link->QueueOutgoing(std::string(bytes));
}

void SshClient::Record(std::string_view text) const {
  if (impl_->log) impl_->log->Line(text);
}

std::string SshClient::Receive(size_t max) { return impl_->link->TakeReceived(max); }

int32_t SshClient::State() const { return impl_->link->State(); }

std::string SshClient::LastError() const { return impl_->link->LastError(); }

}  // namespace comvorlix

#include "ssh/client.h"

#include <system_error>
#include <vector>
#include <thread>

#include "base/automation_error.h"
#include "base/message_queue.h"
#include "ssh/debug_log.h"
#include "ssh/handles.h"
#include "ssh/session_link.h"
#include "ssh/session_worker.h"

namespace comvorlix {

using ssh_internal::ImportPrivateKeyPem;
using ssh_internal::SecretString;
using ssh_internal::SessionLink;
using ssh_internal::SessionSettings;

namespace {

constexpr int kDefaultTimeoutSeconds = 30;

[[noreturn]] void Refuse(Status status, const std::string& description) {
  throw AutomationError(status, description);
}

// "[::1]", as URLs and ssh's user@[addr] write an IPv6 address: the address
// itself is what is resolved and what the known hosts name. Blanks around
// the name go too.
std::string PlainHostName(std::string_view host) {
  const size_t first = host.find_first_not_of(' ');
  host = first == std::string_view::npos ? std::string_view() : host.substr(first, host.find_last_not_of(' ') + 1 - first);
  if (host.size() > 2 && host.front() == '[' && host.back() == ']' && host.find(':') != std::string_view::npos) {
    host = host.substr(1, host.size() - 2);
  }
  return std::string(host);
}

// The worker's settings from the caller's; the secrets move into wiped
// memory, and the caller's copies of them are wiped.
SessionSettings WorkerSettings(SshSettings& from) {
  SessionSettings to;
  to.host = PlainHostName(from.host);
  to.port = from.port;
  to.login = from.login;
  to.password = SecretString(from.password);
  ssh_internal::Wipe(from.password);
  SecretString key_text(from.private_key);
  ssh_internal::Wipe(from.private_key);
  if (from.key) {
    to.key = ssh_internal::LoadedKeyOf(std::move(from.key));
    if (!to.key) Refuse(Status::kInvalidArgument, "the key object holds no loaded key");
  } else if (!key_text.empty()) {
    ssh_internal::UniqueKey key = ImportPrivateKeyPem(key_text.get());
    if (!key) Refuse(Status::kInvalidArgument, "the private key text is not an unencrypted private key");
    to.key = ssh_internal::SharedKey(key.release(), ssh_internal::KeyDeleter());
  }
  to.key_login = from.authentication == SshAuthentication::kPrivateKey;
  to.protocol = from.protocol;
  to.timeout_seconds = from.timeout_seconds > 0 ? from.timeout_seconds : kDefaultTimeoutSeconds;
  to.strip_control_sequences = from.strip_control_sequences;
  to.columns = from.terminal_columns;
  to.known_hosts.user_file = from.known_hosts_file;
  to.known_hosts.system_file = from.system_known_hosts_file;
  to.known_hosts.policy = from.host_key_policy;
  return to;
}

}  // namespace

struct SshClient::Impl {
  std::shared_ptr<SessionLink> link;
  bool started = false;
  std::shared_ptr<ssh_internal::DebugLog> log;
  std::thread worker;
};

SshClient::SshClient(SshEventHandler handler) : impl_(std::make_unique<Impl>()) {
  impl_->link = std::make_shared<SessionLink>(CurrentThreadPoster());
  impl_->link->Attach(std::move(handler));
}

SshClient::~SshClient() {
  impl_->link->Attach(nullptr);
  impl_->link->RequestStop();
  // The worker never waits for this thread and each of its waits includes
  // the wake-up descriptor, so this returns promptly.
  if (impl_->worker.joinable()) impl_->worker.join();
}

void SshClient::Connect(SshSettings settings) {
  Impl& d = *impl_;
  if (d.started) Refuse(Status::kFail, "this SSH client has already been connected; use a new one");
  if (settings.terminal_columns < 1 || settings.terminal_columns > 10000) {
    Refuse(Status::kInvalidArgument,
           "terminal width " + std::to_string(settings.terminal_columns) + " is outside 1 to 10000");
  }
  SessionSettings s = WorkerSettings(settings);
  if (s.host.empty()) Refuse(Status::kFail, "cannot connect: no host name is set");
  if (s.port < 1 || s.port > 65535) {
    Refuse(Status::kFail, "cannot connect to " + s.host + ": port " + std::to_string(s.port) + " is outside 1 to 65535");
  }
  if (s.login.empty()) Refuse(Status::kFail, "cannot connect to " + s.host + ": no login name is set");
  if (s.key_login && !s.key) {
    Refuse(Status::kFail, "cannot connect to " + s.host + ": key login is set but no private key");
  }
  d.log = std::make_shared<ssh_internal::DebugLog>(settings.debug_file, std::vector<SecretString>{s.password});
  s.log = d.log;
  try {
    d.worker = std::thread(ssh_internal::RunSession, d.link, std::move(s));
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

SshState SshClient::State() const { return impl_->link->State(); }

std::string SshClient::LastError() const { return impl_->link->LastError(); }

}  // namespace comvorlix

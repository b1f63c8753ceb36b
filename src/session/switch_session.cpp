#include "session/switch_session.h"

#include <algorithm>
#include <optional>
#include <variant>

#include "base/automation_error.h"
#include "base/debug_output.h"
#include "base/message_queue.h"
#include "devices/device_table.h"
#include "ssh/client.h"
#include "ssh/key.h"

namespace comvorlix {
namespace {

constexpr int kTerminalColumns = 200;
constexpr int kDefaultPort = 22;

// The SSH layer's settings for a request: the one place where the
// parameter string's PROTO and KEYT codes become its choices. Loads the key
// file, so it throws what SshKey throws.
SshSettings SshSettingsFor(const SessionRequest& r) {
  const SwitchLogin& login = r.login;
  SshSettings s;
  s.host = r.host;
  s.port = login.port != 0 ? login.port : kDefaultPort;
  // Some devices take console options with the name (RouterOS "+ct").
  s.login = r.conversation.device != nullptr ? login.user + r.conversation.device->login_suffix : login.user;
  s.password = login.password;
  if (!login.key_file.empty()) {
    auto key = std::make_shared<SshKey>();
    key->Load(login.key_file,
              login.password.empty() ? std::nullopt : std::optional<std::string>(login.password));
    key->RequireType(login.key_type == "DSA" ? SshKeyType::kDsa : SshKeyType::kRsa);
    s.authentication = SshAuthentication::kPrivateKey;
    // Handed over loaded: written out as text and read back, it would cost
    // the random numbers of the file format and a second parse.
    s.key = std::move(key);
  }
  s.protocol = login.protocol == "1"   ? SshProtocol::kSsh1
               : login.protocol == "2" ? SshProtocol::kSsh2
                                       : SshProtocol::kAutomatic;
  s.timeout_seconds = r.conversation.timeout;
  if (r.debug) s.debug_file = r.debug_file;
  s.strip_control_sequences = true;
  s.terminal_columns = kTerminalColumns;
  s.known_hosts_file = r.known_hosts_file;
  s.host_key_policy = r.host_key_policy;
  return s;
}

// Lets the conversation type and read through the client; what is typed
// is recorded (`records`), the enable password written as "********".
class ClientChannel : public ConversationChannel {
 public:
  ClientChannel(SshClient& client, bool records, const std::string& secret)
      : client_(client), records_(records), secret_(secret) {}
  void Send(std::string_view bytes) override {
    client_.Send(bytes);
    if (!records_) return;
    std::string shown(bytes);
    if (!secret_.empty()) {
      for (size_t at = shown.find(secret_); at != std::string::npos; at = shown.find(secret_, at + 8)) {
        shown.replace(at, secret_.size(), "********");
      }
    }
    client_.Record("> " + shown);
  }
  std::string Receive(size_t max) override { return client_.Receive(max); }

 private:
  SshClient& client_;
  const bool records_;
  const std::string& secret_;
};

// What the session was doing, for a session ended at its deadline.
std::string StepOf(const Conversation& conversation) {
  const ConversationState& state = conversation.state();
  switch (static_cast<SshState>(state.ssh_state)) {
    case SshState::kAuthenticating:
      return "logging in";
    case SshState::kConnected:
      // A listing long enough to pass the logout threshold is still being
      // listed until its end has been seen.
      if (conversation.LoggingOut()) return "logging out";
      return state.phase == Phase::kOpening ? "opening the command line" : "listing the configuration";
    case SshState::kClosing:
      return "logging out";
    default:
      return "connecting";
  }
}

}  // namespace

// The event handler of the client and everything one session gathers.
// Shared, so that a message posted to the thread can tell whether the
// session it was meant for is still there.
class SwitchSession::Core : public std::enable_shared_from_this<Core> {
 public:
  explicit Core(const SessionRequest& request)
      : conversation(request.conversation),
        enable_password(request.conversation.enable_password),
        mask_line(request.mask_line),
        records((request.debug && !request.debug_file.empty()) || DebugOutputEnabled()) {}

  // Records the lines completed since the last call (`ended`: the
  // unfinished last one too); the conversation has masked the enable
  // password's echo in them already.
  void RecordLines(bool ended) {
    if (!records || !client) return;
    const std::string& output = transcript.captures.output;
    for (;;) {
      size_t end = output.find('\n', recorded);
      if (end == std::string::npos) {
        if (!ended || recorded >= output.size()) return;
        end = output.size();
      }
      std::string_view line = std::string_view(output).substr(recorded, end - recorded);
      while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.remove_suffix(1);
      client->Record("< " + (mask_line ? mask_line(line) : std::string(line)));
      recorded = end < output.size() ? end + 1 : end;
    }
  }

  void OnEvent(const SshEvent& event) {
    std::visit([this](const auto& e) { On(e); }, event);
  }

  void On(const SshConnected&) {}

  void On(const SshConnectFailed& failed) {
    transcript.connect_error = failed.text;
    transcript.host_key_unrecorded = failed.error == SshError::kHostKeyNotRecorded;
    transcript.host_key_refused = failed.error == SshError::kHostKeyRefused;
  }

  void On(const SshNegotiated& negotiated) { transcript.negotiated = negotiated; }

  void On(const SshHostKeyLearned& learned) { transcript.learned_host_key = learned.text; }

  // The conversation keeps the state as SshState's number.
  void On(const SshStateChanged& changed) { conversation.OnStateChange(static_cast<int32_t>(changed.to)); }

  void On(const SshReceived& received) {
    ClientChannel channel(*client, records, enable_password);
    const std::string& unanswered = transcript.captures.unanswered;
    const bool gave_up_before = !unanswered.empty() && conversation.state().logout_since;
    conversation.OnReceived(channel, received.byte_count, transcript.captures);
    RecordLines(false);
    const ConversationState& state = conversation.state();
    if (records && !gave_up_before && !unanswered.empty() && state.logout_since) {
      client->Record("gave up: " + unanswered);
    }
    // A switch that never stops talking: end the session here instead of
    // waiting for the SSH layer's overall limit. The client is not released
    // inside its own event: that happens in a message of its own.
    if (conversation.state().output_truncated && !abort_posted) {
      abort_posted = true;
      CurrentThreadQueue().Post([weak = weak_from_this()] {
        auto self = weak.lock();
        if (!self || self->done) return;
        self->client.reset();
        self->On(SshDisconnected{});
      });
    }
  }

  void On(const SshDisconnected&) {
    conversation.EndSession(transcript.captures);
    RecordLines(true);
    if (transcript.connect_error.empty()) {
      std::string fault = client ? client->LastError() : std::string();
      if (conversation.state().output_truncated) {
        if (!fault.empty()) fault += "; ";
        fault += "the switch sent more than " + std::to_string(kMaxCapturedBytes >> 20) + " MiB, the rest was dropped";
      }
      transcript.fault = fault;
    }
    transcript.output_truncated = conversation.state().output_truncated;
    done = true;
  }

  // Declared before the client: the client raises events into the members
  // above until it is gone, so it is destroyed first.
  Conversation conversation;
  const std::string enable_password;
  const std::function<std::string(std::string_view)> mask_line;
  const bool records;
  size_t recorded = 0;  // the session output is recorded up to here
  Transcript transcript;
  bool done = false;
  bool abort_posted = false;
  std::unique_ptr<SshClient> client;
};

SwitchSession::SwitchSession(SessionRequest request)
    : request_(std::move(request)), core_(std::make_shared<Core>(request_)) {}

SwitchSession::~SwitchSession() { core_->client.reset(); }

void SwitchSession::Start() {
  SshSettings settings = SshSettingsFor(request_);
  Core* core = core_.get();
  core_->client = std::make_unique<SshClient>([core](const SshEvent& event) { core->OnEvent(event); });
  core_->conversation.StartSession();
  try {
    core_->client->Connect(std::move(settings));
  } catch (const AutomationError& e) {
    core_->transcript.connect_error = e.description();
    core_->done = true;
  }
}

Transcript SwitchSession::Finish() {
  // Test first: a session that could not start has already ended.
  ThreadMessageQueue& queue = CurrentThreadQueue();
  const auto& deadline = request_.deadline;
  while (!core_->done) {
    const auto& close_by = core_->conversation.state().close_by;
    const auto now = std::chrono::steady_clock::now();
    if (close_by && now >= *close_by && (!deadline || *close_by <= *deadline)) {
      // The listing is whole and the logout was typed, but the switch keeps
      // the session open: it is ended here and the listing judged.
      core_->conversation.EndSession(core_->transcript.captures);
      core_->RecordLines(true);
      if (core_->records) core_->client->Record("the switch did not close the session after the logout; closed by the check");
      core_->client.reset();
      core_->transcript.output_truncated = core_->conversation.state().output_truncated;
      core_->done = true;
      break;
    }
    if (deadline && now >= *deadline) {
      // Whatever the switch does (never closes, floods, drips), the check
      // ends here; the client is released without waiting for the network.
      core_->transcript.unfinished_step = StepOf(core_->conversation);
      core_->conversation.EndSession(core_->transcript.captures);
      core_->RecordLines(true);
      if (core_->records) {
        core_->client->Record("the check's time-out passed while " + core_->transcript.unfinished_step);
      }
      core_->client.reset();
      core_->done = true;
      break;
    }
    const std::optional<std::chrono::steady_clock::time_point> logout_due = core_->conversation.LogoutDue();
    if (logout_due && now >= *logout_due && core_->client) {
      ClientChannel channel(*core_->client, core_->records, core_->enable_password);
      try {
        core_->conversation.OnTimer(channel, now);
      } catch (const AutomationError&) {
        // The session is ending already: its end is on its way.
      }
      continue;
    }
    std::optional<std::chrono::steady_clock::time_point> wake = deadline;
    if (close_by && (!wake || *close_by < *wake)) wake = close_by;
    if (logout_due && (!wake || *logout_due < *wake)) wake = logout_due;
    if (!wake) {
      queue.WaitForMessage();
    } else {
      // Rounded up, so that the wake-up is never before the moment.
      queue.WaitForMessage(std::chrono::ceil<std::chrono::milliseconds>(*wake - now));
    }
    queue.ProcessPendingMessages();
  }
  core_->conversation.EndSession(core_->transcript.captures);
  return std::move(core_->transcript);
}

}  // namespace comvorlix

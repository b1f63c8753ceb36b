#include "session/session_side.h"

#include "component/check_state.h"
#include "automation/message_queue.h"

namespace comvorlix {
namespace {

constexpr DispId kDispGetMountList = 0x60030100;

int32_t KeyTypeCode(const Text& key_type) { return key_type == u"DSA" ? 1 : 0; }

int32_t ProtocolCode(const Text& protocol) {
  if (protocol == u"1") return 2;
  if (protocol == u"2") return 3;
  return 4;
}

// Lets the dialog engine type and read through the client.
class ClientChannel : public ConversationChannel {
 public:
  explicit ClientChannel(SshClient& client) : client_(client) {}
  void Send(const Text& text) override { client_.Send(Variant::FromText(text)); }
  Text Receive(int16_t byte_count) override { return client_.Receive(byte_count, 8).ToText(); }

 private:
  SshClient& client_;
};

}  // namespace

SessionSide::~SessionSide() = default;

void SessionSide::AddMembers(DispatchTable& table) {
  table.Add(MethodMember(u"Get_mount_list", kDispGetMountList, [this](std::vector<Variant>& args) {
    Get_mount_list(args.empty() ? Variant() : args[0]);
    return Variant();
  }));
}

void SessionSide::Get_mount_list(const Variant& /*mount_name*/) {
  CheckState& s = ThreadCheckState();
  // The client of an earlier check is released first, so it raises nothing
  // more here.
  ssh_.reset();
  ssh_ = std::make_unique<SshClient>(this);
  key_ = std::make_unique<SshKey>();
  ssh_->SetStripControlSequences(true);
  if (s.gDebug != kVariantFalse && !s.gDebugFile.empty()) ssh_->SetDebugFile(s.gDebugFile);
  ssh_->SetHostname(s.gHostname);
  ssh_->SetTerminalWidth(200);
  ssh_->SetPort(s.gPort);
  ssh_->SetLogin(s.gUsername);
  ssh_->SetPassword(s.gPassword);
  if (!s.gKeyFile.empty()) {
    key_->Load(s.gKeyFile, s.gPassword.empty() ? std::nullopt : std::optional<Text>(s.gPassword));
    ssh_->SetAuthentication(2);
    ssh_->SetPrivateKey(Variant::FromText(key_->PrivateKey(KeyTypeCode(s.gKeyType))));
  }
  ssh_->SetProtocol(ProtocolCode(s.gProtocol));
  ssh_->SetPort(s.gPort != 0 ? s.gPort : 22);
  ssh_->SetTimeout(s.gTimeout);
  s.gDone = kVariantFalse;
  s.gErrorText.clear();
  try {
    engine_.StartSession();
    abort_posted_ = false;
    ssh_->Connect();
  } catch (const AutomationError& e) {
    s.gErrorText = FromUtf8(e.description());
    s.gDone = kVariantTrue;
  }
}

void SessionSide::Connected(int16_t error_code, const Text& error_text) {
  if (error_code != 0) ThreadCheckState().gErrorText = error_text;
}

void SessionSide::CryptoInformation(const Text&, const Text&, const Text&, const Text&, const Text&, bool&) {}

void SessionSide::HostFingerprint(const Text&, bool&) {}

void SessionSide::StateChange(int32_t /*old_state*/) { engine_.OnStateChange(ssh_->State()); }

void SessionSide::Received(int16_t byte_count) {
  ClientChannel channel(*ssh_);
  engine_.OnReceived(channel, byte_count);
  // A switch that never stops talking: end the session here instead of
  // waiting for the SSH layer's overall limit.
  // The client is not released inside its own event: that happens in a
  // message of its own.
  if (engine_.state().output_truncated && !abort_posted_) {
    abort_posted_ = true;
    CurrentThreadQueue().Post([weak = weak_from_this()] {
      auto self = weak.lock();
      if (!self || ThreadCheckState().gDone != kVariantFalse) return;
      self->ssh_.reset();
      self->Disconnected();
    });
  }
}

void SessionSide::Disconnected() {
  CheckState& s = ThreadCheckState();
  if (s.gErrorText.empty()) {
    Text fault = ssh_ ? ssh_->LastError() : Text();
    if (engine_.state().output_truncated) {
      if (!fault.empty()) fault += u"; ";
      fault += u"the switch sent more than 64 MiB, the rest was dropped";
    }
    s.gSessionFault = fault;
  }
  s.gDone = kVariantTrue;
}

}  // namespace comvorlix

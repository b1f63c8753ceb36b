// The session side of the form: session start and the SSH client's events.
//
// Hung on the form (a FormExtension), it adds the late-bound method
// Get_mount_list(MountName), which sets up a fresh SSH client and key object
// from the thread's CheckState, resets the dialog state and starts the
// connection, then returns at once. The client's events then arrive while
// the check run processes the thread's messages:
//   Connected     a non-zero code records the client's error text in gErrorText
//   StateChange   keeps SessionState current (read from the client)
//   Received      one turn of the device dialog (Conversation)
//   Disconnected  records why an established session ended abnormally in
//                 gSessionFault, then sets gDone
// A session whose output passes the dialog's capture limit is ended here
// (the client is released and Disconnected handled) rather than left to run
// into the SSH layer's overall time limit.
//   HostFingerprint, CryptoInformation: accepted as raised.
// Errors while setting up the client (a refused setting, a key file that
// cannot be loaded) propagate to the caller; a connect that cannot start
// sets gErrorText and gDone instead. Runs on the check's thread only.
#pragma once

#include <memory>

#include "dialog/config_form.h"
#include "ssh/client.h"
#include "ssh/key.h"
#include "session/conversation.h"

namespace comvorlix {

class SessionSide : public FormExtension,
                    public SshClientEvents,
                    public std::enable_shared_from_this<SessionSide> {
 public:
  SessionSide() = default;
  ~SessionSide() override;

  void AddMembers(DispatchTable& table) override;

  void Get_mount_list(const Variant& mount_name);

  // SshClientEvents.
  void Connected(int16_t error_code, const Text& error_text) override;
  void CryptoInformation(const Text& protocol, const Text& remote_name, const Text& sc_cipher,
                         const Text& cs_cipher, const Text& keys, bool& accept) override;
  void HostFingerprint(const Text& fingerprint, bool& accept) override;
  void StateChange(int32_t old_state) override;
  void Received(int16_t byte_count) override;
  void Disconnected() override;

  const Conversation& engine() const { return engine_; }

 private:
  std::unique_ptr<SshClient> ssh_;
  std::unique_ptr<SshKey> key_;
  Conversation engine_;
  bool abort_posted_ = false;
};

}  // namespace comvorlix

// The link between an SshClient (owner thread) and its session worker.
//
// The worker raises events and hands over received data; the link keeps
// them in order and delivers them to the owner's SshClientEvents through the
// owner thread's message queue, one event per message. It enforces the
// no-re-entry rule: the next event is delivered only after the handler of
// the previous one has returned, and a Received event announces at most
// SshClient::kMaxReceivedEvent bytes. Data announced but not taken by the
// handler stays waiting; it is announced again together with data that
// arrives later. Data always precedes the events raised after it. Behind()
// tells the worker that SshClient::kMaxBufferedBytes or more wait to be
// taken (it then reads no more); taking data that brings the amount below
// that wakes the worker.
//
// In the other direction the owner queues text for the remote shell and can
// ask the worker to stop; both wake the worker through an eventfd that the
// worker includes in every poll.
//
// Thread rules: the "worker side" members may be called from any thread;
// the "owner side" ones only on the owner thread. Shared by both sides
// (std::shared_ptr), so either may end first.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

#include "automation/message_queue.h"
#include "ssh/client.h"
#include "ssh/handles.h"

namespace comvorlix::ssh_internal {

struct SessionEvent {
  enum class Kind { kState, kConnected, kCryptoInformation, kHostFingerprint, kHostKeyLearned, kData, kDisconnected };
  Kind kind = Kind::kData;
  int32_t number = 0;  // kState: the new state; kConnected: the error code
  std::string text;    // UTF-8 error text or fingerprint; kData: the bytes
  std::array<std::string, 5> crypto;  // protocol, remote name, sc, cs, keys
};

class SessionLink : public std::enable_shared_from_this<SessionLink> {
 public:
  explicit SessionLink(std::shared_ptr<MessagePoster> owner);
  SessionLink(const SessionLink&) = delete;
  SessionLink& operator=(const SessionLink&) = delete;

  // ---- worker side
  void Raise(SessionEvent event);
  // Queues received bytes.
  void RaiseData(std::string bytes);
  // True while SshClient::kMaxBufferedBytes or more received bytes wait to
  // be taken.
  bool Behind() const;
  void SetLastError(std::string utf8_text);
  // Text queued by Send since the last call.
  std::string TakeOutgoing();
  bool StopRequested() const;
  // Readable when the owner queued text or asked to stop.
  int WakeFd() const { return wake_.get(); }
  void ClearWake();

  // ---- owner side
  // Sets the events object; nullptr detaches it for good (no further event
  // is delivered).
  void Attach(SshClientEvents* events);
  void RequestStop();
  void QueueOutgoing(std::string bytes);
  // Takes up to `max` bytes of the announced data, oldest first.
  std::string TakeReceived(size_t max);
  int32_t State() const { return state_.load(); }
  bool Ended() const { return ended_; }
  std::string LastError() const;

 private:
  void ScheduleLocked();
  void DeliverNext();
  template <typename Handler>
  void Dispatch(Handler handler);

  const std::shared_ptr<MessagePoster> owner_;
  UniqueFd wake_;

  mutable std::mutex mutex_;
  std::deque<SessionEvent> queue_;
  // Data delivered in order, not yet taken: the pieces as they arrived (no
  // piece is copied to join them), the first from ready_offset_ on.
  std::deque<std::string> ready_;
  size_t ready_offset_ = 0;
  size_t ready_bytes_ = 0;     // bytes in ready_ not yet taken
  size_t announced_ = 0;       // bytes of the current Received not yet taken
  bool announce_ = false;      // ready_ is to be announced
  size_t buffered_ = 0;        // received bytes not yet taken, queued or ready
  bool delivery_posted_ = false;
  bool stop_ = false;
  std::string outgoing_;
  std::string last_error_;

  // Owner thread only.
  SshClientEvents* events_ = nullptr;
  bool in_handler_ = false;
  bool ended_ = false;
  std::atomic<int32_t> state_{0};
};

}  // namespace comvorlix::ssh_internal

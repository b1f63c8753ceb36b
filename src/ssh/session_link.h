// The link between an SshClient (owner thread) and its session worker.
//
// The worker raises events and hands over received data; the link keeps
// them in order and delivers them to the owner's event handler through the
// owner thread's message queue, one event per message. It enforces the
// no-re-entry rule: the next event is delivered only after the handler of
// the previous one has returned, and an SshReceived announces at most
// SshClient::kMaxReceivedEvent bytes. State() and Ended() follow the events
// as they are delivered, so a handler sees the state its event belongs to. Data announced but not taken by the
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

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <variant>
#include <vector>

#include "base/message_queue.h"
#include "ssh/client.h"
#include "ssh/events.h"
#include "ssh/handles.h"

namespace comvorlix::ssh_internal {

class SessionLink : public std::enable_shared_from_this<SessionLink> {
 public:
  explicit SessionLink(std::shared_ptr<MessagePoster> owner);
  SessionLink(const SessionLink&) = delete;
  SessionLink& operator=(const SessionLink&) = delete;

  // ---- worker side
  // Queues an event; SshReceived is the link's own and not raised.
  void Raise(SshEvent event);
  // Queues received bytes.
  void RaiseData(std::string bytes);
  // True while SshClient::kMaxBufferedBytes or more received bytes wait to
  // be taken.
  bool Behind() const;
  void SetLastError(std::string utf8_text);
  // Bytes queued by Send since the last call.
  std::string TakeOutgoing();
  bool StopRequested() const;
  // Readable when the owner queued bytes or asked to stop.
  int WakeFd() const { return wake_.get(); }
  void ClearWake();

  // ---- owner side
  // Sets the handler; an empty one detaches it for good (no further event
  // is delivered, and a handler still running finishes undisturbed).
  void Attach(SshEventHandler handler);
  void RequestStop();
  void QueueOutgoing(std::string bytes);
  // Takes up to `max` bytes of the announced data, oldest first.
  std::string TakeReceived(size_t max);
  SshState State() const { return state_.load(); }
  bool Ended() const { return ended_; }
  std::string LastError() const;

 private:
  void ScheduleLocked();
  void DeliverNext();
  void Dispatch(const SshEvent& event);

  const std::shared_ptr<MessagePoster> owner_;
  UniqueFd wake_;

  mutable std::mutex mutex_;
  // Events and received bytes in the order they came; the bytes move on to
  // ready_ when their turn comes.
  // Data raised while the owner was busy: the pieces as they came, joined
  // into one announcement without being copied together.
  struct Data {
    std::vector<std::string> pieces;
  };
  std::deque<std::variant<SshEvent, Data>> queue_;
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
  // Shared with a delivery in progress, which keeps it alive.
  std::shared_ptr<const SshEventHandler> handler_;
  bool in_handler_ = false;
  bool ended_ = false;
  std::atomic<SshState> state_{SshState::kDisconnected};
};

}  // namespace comvorlix::ssh_internal

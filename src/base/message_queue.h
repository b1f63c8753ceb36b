// A message queue per thread: the stand-in for a thread's window messages.
//
// Every thread has one queue, created on first use and destroyed when the
// thread ends. Any thread may post a message (a function) to a queue; only
// the owning thread runs them, in the order they were posted, when it calls
// ProcessPendingMessages. A thread that waits for an event of its own does
//
//   while (!done) { queue.WaitForMessage(); queue.ProcessPendingMessages(); }
//
// which sleeps (no CPU) until a message arrives.
//
// Threads keep a MessagePoster to post to another thread. The poster stays
// valid after the target thread has ended: posting to a queue that is gone
// does nothing and reports false. Messages still queued when the owning
// thread ends are discarded without running.
//
// Thread rules: Post and the poster's Post may be called from any thread.
// ProcessPendingMessages, WaitForMessage and HasPendingMessages belong to the
// owning thread (CurrentThreadQueue() gives each thread its own queue, so
// this holds by construction).
#pragma once

#include <chrono>
#include <functional>
#include <memory>

namespace comvorlix {

namespace message_queue_internal {
struct QueueCore;
}

using Message = std::function<void()>;

// A handle for posting to one thread's queue from any thread.
class MessagePoster {
 public:
  explicit MessagePoster(std::shared_ptr<message_queue_internal::QueueCore> core);
  // Queues `message` for the target thread and wakes it if it waits.
  // Returns false (and drops the message) when that thread's queue is gone.
  bool Post(Message message) const;

 private:
  std::shared_ptr<message_queue_internal::QueueCore> core_;
};

class ThreadMessageQueue {
 public:
  ThreadMessageQueue();
  ~ThreadMessageQueue();  // marks the queue gone for every poster; drops queued messages
  ThreadMessageQueue(const ThreadMessageQueue&) = delete;
  ThreadMessageQueue& operator=(const ThreadMessageQueue&) = delete;

  // Same as posting through Poster().
  void Post(Message message);

  // Runs the messages that are pending at the time of the call, one at a
  // time, in order, on the calling thread. Messages posted meanwhile run in a
  // later call. A message may itself call ProcessPendingMessages (a nested
  // wait); order is kept because every message is taken from the front of the
  // queue just before it runs. When a message throws, the messages behind it
  // stay queued and the exception reaches the caller.
  void ProcessPendingMessages();

  // Sleeps until at least one message is pending (returns at once when one
  // already is).
  void WaitForMessage();
  // The same, giving up after `timeout`; true when a message is pending.
  bool WaitForMessage(std::chrono::milliseconds timeout);

  bool HasPendingMessages() const;

  std::shared_ptr<MessagePoster> Poster() const { return poster_; }

 private:
  std::shared_ptr<message_queue_internal::QueueCore> core_;
  std::shared_ptr<MessagePoster> poster_;
};

// The queue of the calling thread.
ThreadMessageQueue& CurrentThreadQueue();
// A poster for the calling thread's queue, to hand to other threads.
std::shared_ptr<MessagePoster> CurrentThreadPoster();

}  // namespace comvorlix

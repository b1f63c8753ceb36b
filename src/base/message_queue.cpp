#include "base/message_queue.h"

#include <condition_variable>
#include <deque>
#include <mutex>

namespace comvorlix {

namespace message_queue_internal {

// Shared by the owning thread's queue and every poster for it.
struct QueueCore {
  std::mutex mutex;
  std::condition_variable arrived;
  std::deque<Message> messages;
  bool alive = true;
};

}  // namespace message_queue_internal

using message_queue_internal::QueueCore;

MessagePoster::MessagePoster(std::shared_ptr<QueueCore> core) : core_(std::move(core)) {}

bool MessagePoster::Post(Message message) const {
  {
    std::lock_guard<std::mutex> lock(core_->mutex);
    if (!core_->alive) return false;  // `message` is destroyed here, on the posting thread
    core_->messages.push_back(std::move(message));
  }
  core_->arrived.notify_one();
  return true;
}

ThreadMessageQueue::ThreadMessageQueue()
    : core_(std::make_shared<QueueCore>()), poster_(std::make_shared<MessagePoster>(core_)) {}

ThreadMessageQueue::~ThreadMessageQueue() {
  std::deque<Message> dropped;
  {
    std::lock_guard<std::mutex> lock(core_->mutex);
    core_->alive = false;
    dropped.swap(core_->messages);
  }
  // `dropped` is destroyed outside the lock: a message's captured state may
  // post elsewhere from its destructor.
}

void ThreadMessageQueue::Post(Message message) { poster_->Post(std::move(message)); }

void ThreadMessageQueue::ProcessPendingMessages() {
  size_t budget;
  {
    std::lock_guard<std::mutex> lock(core_->mutex);
    budget = core_->messages.size();
  }
  // Bounded by the count at entry, so a message that posts itself again
  // cannot keep this call from returning.
  for (; budget > 0; --budget) {
    Message next;
    {
      std::lock_guard<std::mutex> lock(core_->mutex);
      if (core_->messages.empty()) return;  // a nested call ran them
      next = std::move(core_->messages.front());
      core_->messages.pop_front();
    }
    next();
  }
}

void ThreadMessageQueue::WaitForMessage() {
  std::unique_lock<std::mutex> lock(core_->mutex);
  core_->arrived.wait(lock, [this] { return !core_->messages.empty(); });
}

bool ThreadMessageQueue::WaitForMessage(std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(core_->mutex);
  return core_->arrived.wait_for(lock, timeout, [this] { return !core_->messages.empty(); });
}

bool ThreadMessageQueue::HasPendingMessages() const {
  std::lock_guard<std::mutex> lock(core_->mutex);
  return !core_->messages.empty();
}

ThreadMessageQueue& CurrentThreadQueue() {
  thread_local ThreadMessageQueue queue;
  return queue;
}

std::shared_ptr<MessagePoster> CurrentThreadPoster() { return CurrentThreadQueue().Poster(); }

}  // namespace comvorlix

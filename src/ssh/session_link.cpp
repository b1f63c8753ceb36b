#include "ssh/session_link.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <system_error>

#include "base/debug_output.h"

namespace comvorlix::ssh_internal {

SessionLink::SessionLink(std::shared_ptr<MessagePoster> owner)
    : owner_(std::move(owner)), wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (!wake_.valid()) throw std::system_error(errno, std::generic_category(), "eventfd");
}

// ---- worker side

void SessionLink::Raise(SshEvent event) {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.emplace_back(std::move(event));
  ScheduleLocked();
}

void SessionLink::RaiseData(std::string bytes) {
  if (bytes.empty()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  buffered_ += bytes.size();
  // Adjacent data joins into one event, so a slow owner gets fewer, larger
  // announcements.
  if (!queue_.empty() && std::holds_alternative<Data>(queue_.back())) {
    std::get<Data>(queue_.back()).pieces.push_back(std::move(bytes));
  } else {
    Data data;
    data.pieces.push_back(std::move(bytes));
    queue_.emplace_back(std::move(data));
  }
  ScheduleLocked();
}

bool SessionLink::Behind() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return buffered_ >= SshClient::kMaxBufferedBytes;
}

void SessionLink::SetLastError(std::string utf8_text) {
  std::lock_guard<std::mutex> lock(mutex_);
  last_error_ = std::move(utf8_text);
}

std::string SessionLink::TakeOutgoing() {
  std::lock_guard<std::mutex> lock(mutex_);
  std::string out;
  out.swap(outgoing_);
  return out;
}

bool SessionLink::StopRequested() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return stop_;
}

void SessionLink::ClearWake() {
  uint64_t count;
  // Non-blocking: fails with EAGAIN when nothing was signalled.
  [[maybe_unused]] ssize_t n = ::read(wake_.get(), &count, sizeof count);
}

// ---- owner side

void SessionLink::Attach(SshEventHandler handler) {
  handler_ = handler ? std::make_shared<const SshEventHandler>(std::move(handler)) : nullptr;
}

void SessionLink::RequestStop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_.get(), &one, sizeof one);
}

void SessionLink::QueueOutgoing(std::string bytes) {
  if (bytes.empty()) return;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    outgoing_ += bytes;
  }
  uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wake_.get(), &one, sizeof one);
}

std::string SessionLink::TakeReceived(size_t max) {
  std::unique_lock<std::mutex> lock(mutex_);
  size_t n = std::min(max, ready_bytes_);
  std::string out;
  // Taken pieces are dropped whole: taking never moves the bytes left. A
  // piece taken whole and alone is handed over as it is, not copied.
  if (n > 0 && ready_offset_ == 0 && ready_.front().size() == n) {
    out = std::move(ready_.front());
    ready_.pop_front();
  } else {
    out.reserve(n);
  }
  while (out.size() < n) {
    const std::string& front = ready_.front();
    const size_t part = std::min(n - out.size(), front.size() - ready_offset_);
    out.append(front, ready_offset_, part);
    ready_offset_ += part;
    if (ready_offset_ == front.size()) {
      ready_.pop_front();
      ready_offset_ = 0;
    }
  }
  ready_bytes_ -= n;
  const bool was_behind = buffered_ >= SshClient::kMaxBufferedBytes;
  buffered_ -= n;
  announced_ = announced_ > n ? announced_ - n : 0;
  const bool resume = was_behind && buffered_ < SshClient::kMaxBufferedBytes;
  lock.unlock();
  if (resume) {
    uint64_t one = 1;
    [[maybe_unused]] ssize_t written = ::write(wake_.get(), &one, sizeof one);
  }
  return out;
}

std::string SessionLink::LastError() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return last_error_;
}

// ---- delivery

void SessionLink::ScheduleLocked() {
  if (delivery_posted_) return;
  bool work = !queue_.empty() || (announce_ && ready_bytes_ > 0);
  if (!work) return;
  // The message keeps the link alive until it has run (or the owner thread
  // is gone and the message is dropped).
  delivery_posted_ = owner_->Post([self = shared_from_this()] { self->DeliverNext(); });
}

void SessionLink::Dispatch(const SshEvent& event) {
  // A handler that destroys the client detaches this link's handler; the
  // copy keeps it alive until it returns.
  const std::shared_ptr<const SshEventHandler> handler = handler_;
  in_handler_ = true;
  try {
    (*handler)(event);
  } catch (const std::exception& e) {
    OutputDebugLine(std::string("SSH event handler failed: ") + e.what());
  } catch (...) {
    OutputDebugLine(std::string_view("SSH event handler failed"));
  }
  in_handler_ = false;
}

// Runs on the owner thread: delivers one event, then schedules the next.
void SessionLink::DeliverNext() {
  std::unique_lock<std::mutex> lock(mutex_);
  delivery_posted_ = false;
  // Inside a handler (a nested message loop) nothing is delivered; the
  // delivery that runs that handler schedules the next one when it returns.
  if (!handler_ || in_handler_) return;

  size_t waiting = ready_bytes_;
  if (announce_ && waiting > 0) {
    const size_t count = std::min(waiting, SshClient::kMaxReceivedEvent);
    announce_ = false;
    announced_ = count;
    lock.unlock();
    Dispatch(SshReceived{count});
    lock.lock();
    // All of it taken: announce what else is waiting. Otherwise the handler
    // declined the rest, which is announced again when more data arrives.
    if (announced_ == 0 && ready_bytes_ > 0) announce_ = true;
    announced_ = 0;
    ScheduleLocked();
    return;
  }
  if (queue_.empty()) return;

  std::variant<SshEvent, Data> next = std::move(queue_.front());
  queue_.pop_front();
  if (Data* data = std::get_if<Data>(&next)) {
    for (std::string& piece : data->pieces) {
      ready_bytes_ += piece.size();
      ready_.push_back(std::move(piece));
    }
    announce_ = true;
    ScheduleLocked();
    return;
  }
  lock.unlock();
  const SshEvent& event = std::get<SshEvent>(next);
  if (const auto* changed = std::get_if<SshStateChanged>(&event)) state_.store(changed->to);
  if (std::holds_alternative<SshDisconnected>(event)) ended_ = true;
  Dispatch(event);
  lock.lock();
  ScheduleLocked();
}

}  // namespace comvorlix::ssh_internal

#include "ssh/session_link.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <system_error>

#include "automation/debug_output.h"

namespace comvorlix::ssh_internal {

SessionLink::SessionLink(std::shared_ptr<MessagePoster> owner)
    : owner_(std::move(owner)), wake_(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
  if (!wake_.valid()) throw std::system_error(errno, std::generic_category(), "eventfd");
}

// ---- worker side

void SessionLink::Raise(SessionEvent event) {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.push_back(std::move(event));
  ScheduleLocked();
}

void SessionLink::RaiseData(std::string bytes) {
  if (bytes.empty()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  buffered_ += bytes.size();
  // Adjacent data joins into one event, so a slow owner gets fewer, larger
  // announcements.
  if (!queue_.empty() && queue_.back().kind == SessionEvent::Kind::kData) {
    queue_.back().text += bytes;
  } else {
    SessionEvent event;
    event.kind = SessionEvent::Kind::kData;
    event.text = std::move(bytes);
    queue_.push_back(std::move(event));
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

void SessionLink::Attach(SshClientEvents* events) { events_ = events; }

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
  out.reserve(n);
  // Taken pieces are dropped whole: taking never moves the bytes left.
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

template <typename Handler>
void SessionLink::Dispatch(Handler handler) {
  in_handler_ = true;
  try {
    handler();
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
  if (events_ == nullptr || in_handler_) return;

  size_t waiting = ready_bytes_;
  if (announce_ && waiting > 0) {
    auto count = static_cast<int16_t>(std::min<size_t>(waiting, SshClient::kMaxReceivedEvent));
    announce_ = false;
    announced_ = static_cast<size_t>(count);
    lock.unlock();
    Dispatch([&] { events_->Received(count); });
    lock.lock();
    // All of it taken: announce what else is waiting. Otherwise the handler
    // declined the rest, which is announced again when more data arrives.
    if (announced_ == 0 && ready_bytes_ > 0) announce_ = true;
    announced_ = 0;
    ScheduleLocked();
    return;
  }
  if (queue_.empty()) return;

  SessionEvent event = std::move(queue_.front());
  queue_.pop_front();
  if (event.kind == SessionEvent::Kind::kData) {
    ready_bytes_ += event.text.size();
    ready_.push_back(std::move(event.text));
    announce_ = true;
    ScheduleLocked();
    return;
  }
  lock.unlock();
  switch (event.kind) {
    case SessionEvent::Kind::kState: {
      int32_t old_state = state_.exchange(event.number);
      Dispatch([&] { events_->StateChange(old_state); });
      break;
    }
    case SessionEvent::Kind::kConnected:
      Dispatch([&] { events_->Connected(static_cast<int16_t>(event.number), event.text); });
      break;
    case SessionEvent::Kind::kCryptoInformation: {
      bool accept = true;
      const auto& c = event.crypto;
      Dispatch([&] {
        events_->CryptoInformation(c[0], c[1], c[2], c[3], c[4], accept);
      });
      break;
    }
    case SessionEvent::Kind::kHostFingerprint: {
      bool accept = true;
      Dispatch([&] { events_->HostFingerprint(event.text, accept); });
      break;
    }
    case SessionEvent::Kind::kHostKeyLearned:
      Dispatch([&] { events_->HostKeyLearned(event.text); });
      break;
    case SessionEvent::Kind::kDisconnected:
      ended_ = true;
      Dispatch([&] { events_->Disconnected(); });
      break;
    case SessionEvent::Kind::kData:
      break;
  }
  lock.lock();
  ScheduleLocked();
}

}  // namespace comvorlix::ssh_internal

#include "terminal.h"

#include <algorithm>

namespace switchsim {

Terminal::Terminal(TerminalIo& io, OutputShaping shaping, uint64_t seed, int idle_timeout_ms)
    : io_(io), shaping_(shaping), random_(seed), idle_timeout_ms_(idle_timeout_ms) {}

void Terminal::SetSize(int columns, int rows) {
  if (columns > 0) columns_ = columns;
  if (rows > 0) rows_ = rows;
}

int Terminal::RandomIn(Range range) {
  std::uniform_int_distribution<int> pick(range.min, range.max);
  return pick(random_);
}

void Terminal::Send(std::string_view bytes) {
  while (!bytes.empty()) {
    size_t size = bytes.size();
    if (shaping_.one_byte) {
      size = 1;
    } else if (shaping_.chunk) {
      size = std::min(size, static_cast<size_t>(RandomIn(*shaping_.chunk)));
    }
    // The pause goes between chunks, never before the first output of a
    // session, so a delay shows as gaps inside the stream.
    if (shaping_.delay && sent_before_) Pause(RandomIn(*shaping_.delay));
    if (!io_.Write(bytes.substr(0, size))) throw SessionEnded{"client gone while sending"};
    sent_before_ = true;
    bytes.remove_prefix(size);
  }
}

void Terminal::Pause(int ms) {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  for (;;) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return;
    if (io_.Read(pending_, static_cast<int>(left)) == TerminalIo::ReadStatus::kClosed) {
      throw SessionEnded{"client closed the session"};
    }
  }
}

void Terminal::WaitForInput(bool stop_at_eof) {
  // Everything before read_pos_ has been consumed; drop it so the buffer
  // does not grow over a long session.
  pending_.erase(0, read_pos_);
  read_pos_ = 0;
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(idle_timeout_ms_);
  while (pending_.empty()) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) throw SessionEnded{"idle timeout"};
    // After the client's EOF only input already received can still come.
    const bool eof = io_.AtEof() && stop_at_eof;
    if (io_.Read(pending_, eof ? 0 : static_cast<int>(left)) == TerminalIo::ReadStatus::kClosed) {
      throw SessionEnded{"client closed the session"};
    }
    if (pending_.empty() && eof) throw SessionEnded{"client sent EOF"};
  }
}

std::optional<unsigned char> Terminal::NextPending() {
  while (read_pos_ < pending_.size()) {
    const unsigned char c = static_cast<unsigned char>(pending_[read_pos_++]);
    const bool after_cr = swallow_lf_;
    swallow_lf_ = (c == '\r');
    if (after_cr && c == '\n') continue;
    return c;
  }
  return std::nullopt;
}

unsigned char Terminal::ReadKey() {
  for (;;) {
    if (std::optional<unsigned char> c = NextPending()) return *c;
    WaitForInput();
  }
}

std::string Terminal::ReadLine(LineEcho& echo) {
  std::string line;
  std::string out;
  for (;;) {
    while (std::optional<unsigned char> next = NextPending()) {
      const unsigned char c = *next;
      if (c == '\r' || c == '\n') {
        out += echo.End();
        Send(out);
        return line;
      }
      if (c == 0x08 || c == 0x7f) {
        if (!line.empty()) {
          line.pop_back();
          out += echo.Erase(line.size());
        }
        continue;
      }
      if (c == 0x15) {  // Ctrl-U
        while (!line.empty()) {
          line.pop_back();
          out += echo.Erase(line.size());
        }
        continue;
      }
      if (c < 0x20) continue;
      out += echo.Char(static_cast<char>(c), line.size());
      line.push_back(static_cast<char>(c));
    }
    // Echo what has been read so far before waiting, as a line editor does.
    if (!out.empty()) {
      Send(out);
      out.clear();
    }
    WaitForInput();
  }
}

std::string Terminal::TakeInput() {
  if (read_pos_ >= pending_.size()) WaitForInput(false);
  std::string taken = pending_.substr(read_pos_);
  pending_.clear();
  read_pos_ = 0;
  return taken;
}

}  // namespace switchsim

#include "ssh/terminal_filter.h"

namespace comvorlix {
namespace {

constexpr unsigned char kEsc = 0x1B;
constexpr unsigned char kBel = 0x07;
constexpr unsigned char kCan = 0x18;
constexpr unsigned char kSub = 0x1A;

bool IsIntermediate(unsigned char b) { return b >= 0x20 && b <= 0x2F; }
bool IsControl(unsigned char b) { return b < 0x20; }

}  // namespace

void TerminalFilter::Filter(std::string_view bytes, std::string& out) {
  size_t i = 0;
  while (i < bytes.size()) {
    // Outside a sequence, everything up to the next ESC passes unchanged:
    // copy such runs whole (a listing is almost all plain text).
    if (state_ == State::kPlain) {
      size_t esc = bytes.find('\x1b', i);
      size_t end = esc == std::string_view::npos ? bytes.size() : esc;
      out.append(bytes, i, end - i);
      i = end;
      if (i == bytes.size()) break;
    }
    Feed(static_cast<unsigned char>(bytes[i++]), out);
  }
}

void TerminalFilter::Finish(std::string& out) {
  out += held_;
  held_.clear();
  state_ = State::kPlain;
}

// A complete sequence: the control characters met inside it take effect (they
// pass through); the sequence itself is removed or becomes a line end.
void TerminalFilter::Complete(std::string& out, bool line_end) {
  for (char c : held_) {
    if (IsControl(static_cast<unsigned char>(c)) && static_cast<unsigned char>(c) != kEsc) out += c;
  }
  if (line_end) out += "\r\n";
  held_.clear();
  state_ = State::kPlain;
}

// Not a sequence after all: everything held passes unchanged, in order.
void TerminalFilter::Abandon(std::string& out) {
  out += held_;
  held_.clear();
  state_ = State::kPlain;
}

void TerminalFilter::Feed(unsigned char b, std::string& out) {
  if (state_ == State::kPlain) {
    if (b == kEsc) {
      held_.assign(1, static_cast<char>(b));
      state_ = State::kEscape;
    } else {
      out += static_cast<char>(b);
    }
    return;
  }

  // Inside a sequence. Cancelling bytes first: CAN and SUB end it and vanish
  // with it; ESC ends it and starts a new one (a string ends with ESC '\').
  if (b == kCan || b == kSub) {
    Complete(out, false);
    return;
  }
  if (b == kEsc && state_ != State::kString) {
    Complete(out, false);
    held_.assign(1, static_cast<char>(b));
    state_ = State::kEscape;
    return;
  }

  held_ += static_cast<char>(b);
  switch (state_) {
    case State::kPlain:
      break;
    case State::kEscape:
      if (b == '[') {
        state_ = State::kCsi;
      } else if (b == ']' || b == 'P' || b == 'X' || b == '^' || b == '_') {
        state_ = State::kString;
      } else if (IsIntermediate(b)) {
        state_ = State::kEscapeIntermediate;
      } else if (b >= 0x30 && b <= 0x7E) {
        Complete(out, b == 'E');
        return;
      } else if (!IsControl(b)) {
        Abandon(out);
        return;
      }
      break;
    case State::kEscapeIntermediate:
      if (b >= 0x30 && b <= 0x7E) {
        Complete(out, false);
        return;
      }
      if (!IsIntermediate(b) && !IsControl(b)) {
        Abandon(out);
        return;
      }
      break;
    case State::kCsi:
      if (b >= 0x40 && b <= 0x7E) {
        Complete(out, b == 'E');
        return;
      }
      if (!(b >= 0x20 && b <= 0x3F) && !IsControl(b)) {
        Abandon(out);
        return;
      }
      break;
    case State::kString:
      if (b == kBel) {
        held_.pop_back();  // the terminator is no control to pass on
        Complete(out, false);
        return;
      }
      if (b == kEsc) state_ = State::kStringEscape;
      break;
    case State::kStringEscape:
      if (b == '\\') {
        held_.resize(held_.size() - 2);  // ESC '\' terminates; neither passes on
        Complete(out, false);
        return;
      }
      // ESC inside a string that is no terminator cancels the string and
      // begins a new sequence.
      held_.resize(held_.size() - 2);
      Complete(out, false);
      held_.assign(1, static_cast<char>(kEsc));
      state_ = State::kEscape;
      Feed(b, out);
      return;
  }
  if (held_.size() > kMaxSequenceBytes) Abandon(out);
}

}  // namespace comvorlix

// Removes terminal control sequences (ANSI X3.64 / VT100 escape sequences)
// from a byte stream that arrives in pieces.
//
// Recognised, all starting with ESC (0x1B):
//   * CSI: ESC '[' parameter bytes 0x30-0x3F, intermediate bytes 0x20-0x2F,
//     one final byte 0x40-0x7E (ESC[2J, ESC[24;1H, ESC[?25h, ESC[42D ...);
//   * strings: ESC ']' (OSC), ESC 'P' (DCS), ESC 'X', ESC '^', ESC '_' up to
//     the string terminator ESC '\' or BEL (0x07);
//   * other escapes: ESC, intermediate bytes 0x20-0x2F, one final byte
//     0x30-0x7E (ESC E, ESC 7, ESC (B, ESC #8 ...).
// Every recognised sequence is removed, except that the two sequences that
// move the cursor to the start of the next line, ESC E (next line) and CSI E
// (cursor next line, any count), become the line end "\r\n", so the line
// structure of the text survives.
//
// Everything else passes unchanged, byte for byte: text, bytes 0x80-0xFF
// (no 8-bit C1 controls are interpreted: in the ANSI code page they are
// characters), and control characters outside a sequence (CR, LF, BS, BEL,
// TAB ...). Inside a sequence, a control character other than ESC, CAN and
// SUB passes through and the sequence goes on, as on a VT100; CAN (0x18) and
// SUB (0x1A) cancel the sequence and are removed with it; ESC cancels it and
// starts a new one. A byte that cannot be part of the sequence (0x7F in
// CSI, a byte 0x80-0xFF, a byte after ESC that begins no sequence) means it
// was no sequence: its bytes so far and that byte pass unchanged. The same
// holds for a sequence longer than kMaxSequenceBytes (an unterminated
// string), so the filter never swallows a listing.
//
// A sequence split across two or more pieces is recognised as a whole: its
// beginning is held back until the rest arrives. Finish() hands back what is
// held at the end of the stream, unchanged.
//
// Not thread-safe; one filter per stream.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace comvorlix {

class TerminalFilter {
 public:
  static constexpr size_t kMaxSequenceBytes = 4096;

  // Appends the filtered form of `bytes` to `out`.
  void Filter(std::string_view bytes, std::string& out);
  // True when Filter would pass `bytes` unchanged and hold nothing back: no
  // sequence is in progress and none begins in them.
  bool PassesUnchanged(std::string_view bytes) const {
    return state_ == State::kPlain && bytes.find('\x1b') == std::string_view::npos;
  }
  // Appends the bytes of a sequence still held back to `out` and starts
  // afresh.
  void Finish(std::string& out);

 private:
  enum class State { kPlain, kEscape, kEscapeIntermediate, kCsi, kString, kStringEscape };

  void Feed(unsigned char byte, std::string& out);
  void Complete(std::string& out, bool line_end);
  void Abandon(std::string& out);

  State state_ = State::kPlain;
  std::string held_;  // the bytes of the sequence in progress, ESC included
};

}  // namespace comvorlix

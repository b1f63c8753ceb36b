// The emulated switch's side of an interactive terminal.
//
// Terminal sits between the device command lines and the transport (an SSH
// channel). It keeps what the client has typed but the command line has not
// read yet, in arrival order, so input typed ahead of a prompt is consumed
// later, line by line, exactly as a switch's line editor reads its type-ahead
// buffer. Characters are echoed only when they are read, by the LineEcho the
// caller passes, never when they arrive.
//
// Line ends: CR, LF and CR LF each end one line. A CR followed by LF is one
// line end even when the LF arrives later or is read by another reader (a
// key press, then a line), so "Y\r\n" answers one question.
//
// Output goes through Send, which shapes it as configured: random chunk sizes,
// pauses between chunks, or one byte per packet. Pauses keep collecting input.
//
// Errors: when the client goes away, or sends nothing for the idle time while
// input is awaited, the operations throw SessionEnded. Not thread-safe: one
// Terminal belongs to one session thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "options.h"

namespace switchsim {

// The transport under a Terminal.
class TerminalIo {
 public:
  enum class ReadStatus { kData, kTimeout, kClosed };
  virtual ~TerminalIo() = default;
  // Waits up to `timeout_ms` (-1: without limit) for input and appends what
  // arrived to `out`. Returns early, with kTimeout, when the client's EOF
  // arrives during the wait.
  virtual ReadStatus Read(std::string& out, int timeout_ms) = 0;
  // True once the client has said it will send nothing more. The session
  // stays open for output; Read then only waits.
  virtual bool AtEof() const = 0;
  // Sends all of `bytes`; false when the peer is gone.
  virtual bool Write(std::string_view bytes) = 0;
};

struct SessionEnded {
  const char* reason;
};

// How the characters of a line are echoed while it is read. Each function
// returns the bytes to send.
class LineEcho {
 public:
  virtual ~LineEcho() = default;
  // `c` was typed and becomes the character at index `index` of the line.
  virtual std::string Char(char c, size_t index) = 0;
  // The character at index `index` (the last one) was rubbed out.
  virtual std::string Erase(size_t index) = 0;
  // The line was ended.
  virtual std::string End() = 0;
};

// Echoes each character as typed, rubs out with "\b \b", ends with CR LF.
class PlainEcho : public LineEcho {
 public:
  std::string Char(char c, size_t) override { return std::string(1, c); }
  std::string Erase(size_t) override { return "\b \b"; }
  std::string End() override { return "\r\n"; }
};

// Echoes nothing but the line end (password prompts).
class SilentEcho : public LineEcho {
 public:
  std::string Char(char, size_t) override { return {}; }
  std::string Erase(size_t) override { return {}; }
  std::string End() override { return "\r\n"; }
};

// Echoes one mask character per typed character.
class MaskEcho : public LineEcho {
 public:
  explicit MaskEcho(char mask) : mask_(mask) {}
  std::string Char(char, size_t) override { return std::string(1, mask_); }
  std::string Erase(size_t) override { return "\b \b"; }
  std::string End() override { return "\r\n"; }

 private:
  char mask_;
};

struct OutputShaping {
  std::optional<Range> chunk;
  std::optional<Range> delay;
  bool one_byte = false;
};

class Terminal {
 public:
  Terminal(TerminalIo& io, OutputShaping shaping, uint64_t seed, int idle_timeout_ms);

  // Screen size announced by the client (defaults 80 x 24).
  void SetSize(int columns, int rows);
  int columns() const { return columns_; }
  int rows() const { return rows_; }

  // Sends `bytes`, shaped as configured.
  void Send(std::string_view bytes);
  // Waits `ms` milliseconds while collecting input.
  void Pause(int ms);

  // Reads one key press. A CR LF pair counts as one key, CR.
  unsigned char ReadKey();
  // Reads one line, echoing as it goes; the line end is not included.
  // Backspace and DEL rub out, Ctrl-U erases the line, other control
  // characters are ignored.
  std::string ReadLine(LineEcho& echo);
  // Waits for input and returns all of it, raw. Unlike the readers above it
  // keeps waiting after the client's EOF, until the connection closes or
  // the idle time runs out: used by a switch that never closes.
  std::string TakeInput();

 private:
  void WaitForInput(bool stop_at_eof = true);
  // The next byte already received, if any. An LF right after a CR is
  // dropped, so CR, LF and CR LF each count as one line end.
  std::optional<unsigned char> NextPending();
  int RandomIn(Range range);

  TerminalIo& io_;
  OutputShaping shaping_;
  std::mt19937_64 random_;
  int idle_timeout_ms_;
  int columns_ = 80;
  int rows_ = 24;
  std::string pending_;
  size_t read_pos_ = 0;
  bool swallow_lf_ = false;
  bool sent_before_ = false;
};

}  // namespace switchsim

// The command line of one emulated switch, for one session.
//
// A Device runs on its session's thread from the moment the shell opens:
// it prints the login banner and prompts, reads commands from the Terminal
// (type-ahead included) and answers them. Run returns when the user logs
// out normally; the session then closes the channel. When the client goes
// away Terminal throws SessionEnded, and a deliberate connection drop throws
// DropConnection; both pass through Run to the session.
//
// Configuration listings go through ListConfig, which applies paging and the
// listing faults (drop midway, endless or slowly flooding output, a cut
// inside a line) the same way for every kind. Lines typed at a command
// prompt are read with ReadCommand, which records them in the command log.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "cisco_clock_lines.h"
#include "config_store.h"
#include "listing_clock.h"
#include "options.h"
#include "record_file.h"
#include "terminal.h"

namespace switchsim {

// Thrown to cut the TCP connection without an SSH goodbye.
struct DropConnection {};

// Thrown to end the session with an SSH disconnect (carrying the
// --disconnect-message) but without EOF or a channel close.
struct DisconnectSession {};

// Thrown to end the session at once in an orderly way (exit status, EOF,
// close, SSH disconnect), in the middle of whatever was being sent.
struct CloseSession {};

struct DeviceContext {
  Terminal& terminal;
  const Options& options;
  ConfigStore& configs;
  int session_id;
  RecordFile& command_log;
  CiscoClockLines& cisco_clock_lines;  // shared by all sessions; used by the cisco kind
  ListingClock& listing_clock;         // shared by all sessions; for headers dated at every listing
  const std::string& login_name;       // as the client gave it (routeros: with its +flags)
};

class Device {
 public:
  virtual ~Device() = default;
  virtual void Run() = 0;
};

std::unique_ptr<Device> MakeCisco(const DeviceContext& context);
std::unique_ptr<Device> MakeProCurve(const DeviceContext& context);  // aruba and hp2530
std::unique_ptr<Device> MakeComware(const DeviceContext& context);   // hp1920
std::unique_ptr<Device> MakeDevice(const DeviceContext& context);

// Whether `login_name` logs in as the configured user: the user's name
// itself or, on routeros, that name with console flags after a '+'
// ("admin+ct"), as RouterOS documents them: letters, each after an optional
// decimal number.
bool LoginNameMatches(const Options& options, std::string_view login_name);

// What the user answered at a pager's "more" prompt.
enum class MoreAnswer { kNextPage, kNextLine, kQuit };

// Writes the lines of a listing with CR LF line ends, in large blocks, and
// pages them: with `page_length` above 1, after page_length - 1 lines it
// flushes, calls `more` (which shows the device's more prompt, waits for a
// key and erases the prompt) and goes on or stops as answered.
class Listing {
 public:
  Listing(Terminal& terminal, int page_length, std::function<MoreAnswer()> more);
  // False once the user has quit the listing at a more prompt.
  bool Line(std::string_view text);
  void Flush();
  bool stopped() const { return stopped_; }
  Terminal& terminal() const { return terminal_; }

 private:
  Terminal& terminal_;
  int page_length_;
  std::function<MoreAnswer()> more_;
  std::string buffer_;
  int lines_on_page_ = 0;
  bool stopped_ = false;
};

// Writes `lines` to `listing`, honouring the listing faults of `options`:
// drop-mid-listing throws DropConnection after half of the lines,
// disconnect-mid-listing DisconnectSession at the same point,
// endless-output repeats the lines without end, slow-flood does so at
// kSlowFloodRate bytes a second, cut-mid-line sends half of the lines and
// the first half of the next one that has two characters or more (no line
// end) and throws CloseSession. `think_ms` has already been spent by the
// caller. Returns false when the user quit paging.
bool ListConfig(Listing& listing, const std::vector<std::string>& lines, const Options& options);

constexpr long kSlowFloodRate = 64 * 1024;

// Reads a line typed at a command prompt (see Terminal::ReadLine) and
// appends it, unless empty, to the command log.
std::string ReadCommand(const DeviceContext& context, LineEcho& echo);

// Splits a text into lines at LF, CR LF or CR; a final line end adds no
// empty line.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace switchsim

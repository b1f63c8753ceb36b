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
// listing faults (drop midway, endless output) the same way for every kind.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "config_store.h"
#include "options.h"
#include "terminal.h"

namespace switchsim {

// Thrown to cut the TCP connection without an SSH goodbye.
struct DropConnection {};

struct DeviceContext {
  Terminal& terminal;
  const Options& options;
  ConfigStore& configs;
  int session_id;
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
// endless-output repeats the lines without end. `think_ms` has already been
// spent by the caller. Returns false when the user quit paging.
bool ListConfig(Listing& listing, const std::vector<std::string>& lines, const Options& options);

// Splits a text into lines at LF, CR LF or CR; a final line end adds no
// empty line.
std::vector<std::string> SplitLines(std::string_view text);

}  // namespace switchsim

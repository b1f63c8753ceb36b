// Comware command line of the HP 1920 ("<HP 1920G Switch>"). Only a few
// commands are offered until "_cmdline-mode on" has been confirmed with the
// developer password; everything else, "display" and "screen-length"
// included, is unrecognized before that.

#include "command_table.h"
#include "device.h"
#include "log.h"

namespace switchsim {
namespace {

enum Command {
  kCmdlineOn, kCmdlineOff, kQuit, kSummary, kPing, kDisplayCurrent, kDisplaySaved,
  kDisplayVersion, kScreenLengthDisable, kUndoScreenLengthDisable, kSaveForce,
};

constexpr const char* kMorePrompt = "  ---- More ----";
// Rubs out the more prompt: back over it, blank it, back again.
constexpr const char* kMoreErase = "\x1b[16D                \x1b[16D";

class ComwareDevice : public Device {
 public:
  explicit ComwareDevice(const DeviceContext& context)
      : context_(context),
        terminal_(context.terminal),
        options_(context.options),
        configs_(context.configs),
        session_id_(context.session_id) {
    for (CommandTable* table : {&limited_, &full_}) {
      table->Add(kCmdlineOn, "_cmdline-mode on");
      table->Add(kQuit, "quit");
      table->Add(kSummary, "summary");
      table->Add(kPing, "ping <word>");
    }
    full_.Add(kCmdlineOff, "_cmdline-mode off");
    full_.Add(kDisplayCurrent, "display current-configuration");
    full_.Add(kDisplaySaved, "display saved-configuration");
    full_.Add(kDisplayVersion, "display version");
    full_.Add(kScreenLengthDisable, "screen-length disable");
    full_.Add(kUndoScreenLengthDisable, "undo screen-length disable");
    full_.Add(kSaveForce, "save force");
  }

  void Run() override {
    Banner();
    PlainEcho echo;
    for (;;) {
      const std::string prompt = "<" + options_.hostname + ">";
      terminal_.Send(prompt);
      const std::string line = ReadCommand(context_, echo);
      const CommandMatch match = (all_commands_ ? full_ : limited_).Match(line);
      switch (match.kind) {
        case CommandMatch::Kind::kEmpty: break;
        case CommandMatch::Kind::kUnknown: Error(prompt, match, "Unrecognized"); break;
        case CommandMatch::Kind::kIncomplete: Error(prompt, match, "Incomplete"); break;
        case CommandMatch::Kind::kAmbiguous: Error(prompt, match, "Ambiguous"); break;
        case CommandMatch::Kind::kMatched:
          if (!Execute(match)) return;
          break;
      }
    }
  }

 private:
  void Banner() {
    std::string text = "\r\n";
    if (options_.banner) {
      text += *options_.banner;
    } else {
      text +=
          "******************************************************************************\r\n"
          "* Copyright (c) 2010-2017 Hewlett Packard Enterprise Development LP          *\r\n"
          "* Without the owner's prior written consent,                                 *\r\n"
          "* no decompiling or reverse-engineering shall be allowed.                    *\r\n"
          "******************************************************************************\r\n";
    }
    text += "\r\n";
    terminal_.Send(text);
  }

  void Error(const std::string& prompt, const CommandMatch& match, const char* what) {
    terminal_.Send(std::string(prompt.size() + match.error_offset, ' ') + "^\r\n% " + what +
                   " command found at '^' position.\r\n");
  }

  bool Execute(const CommandMatch& match) {
    switch (match.id) {
      case kQuit:
        LogVerbose("session " + std::to_string(session_id_) + ": quit");
        return false;
      case kCmdlineOn: CmdlineMode(); break;
      case kCmdlineOff: all_commands_ = false; break;
      case kSummary:
        terminal_.Send("Select menu option:              Summary\r\n"
                       "IP Method:                       Static\r\n"
                       "IP address:                      192.168.1.233\r\n"
                       "Subnet mask:                     255.255.255.0\r\n"
                       "Default gateway:                 192.168.1.1\r\n"
                       "Current boot app is:             flash:/1920-cmw520-r1106.bin\r\n"
                       "Next main boot app is:           flash:/1920-cmw520-r1106.bin\r\n"
                       "Next backup boot app is:         NULL\r\n");
        break;
      case kPing: terminal_.Send("  PING " + match.values[0] + ": 56  data bytes, press CTRL_C to break\r\n"
                                 "    Request time out\r\n\r\n"); break;
      case kDisplayCurrent: List(configs_.Running(), "listing current-configuration"); break;
      case kDisplaySaved: List(configs_.Startup(), "listing saved-configuration"); break;
      case kDisplayVersion: DisplayVersion(); break;
      case kScreenLengthDisable:
        paging_ = false;
        terminal_.Send("% Screen-length configuration is disabled for current user.\r\n");
        break;
      case kUndoScreenLengthDisable: paging_ = true; break;
      case kSaveForce:
        configs_.Save(session_id_);
        terminal_.Send(" Validating file. Please wait....\r\n"
                       " Configuration is saved to device successfully.\r\n");
        break;
    }
    return true;
  }

  // The password is asked only after "Y" confirmed; any other answer goes
  // back to the prompt, and the next line is a command again.
  void CmdlineMode() {
    PlainEcho plain;
    terminal_.Send("All commands can be displayed and executed. Continue? [Y/N]");
    std::string answer = terminal_.ReadLine(plain);
    while (!answer.empty() && (answer.back() == ' ' || answer.back() == '\t')) answer.pop_back();
    if (answer != "Y" && answer != "y") return;
    terminal_.Send("Please input password:");
    MaskEcho stars('*');
    if (terminal_.ReadLine(stars) != options_.cmdline_password) {
      LogVerbose("session " + std::to_string(session_id_) + ": _cmdline-mode password refused");
      terminal_.Send("Error: Invalid password.\r\n");
      return;
    }
    all_commands_ = true;
    LogVerbose("session " + std::to_string(session_id_) + ": _cmdline-mode on");
    terminal_.Send(
        "Warning: Now you enter an all-command mode for developer's testing, some commands may affect "
        "operation by wrong use, please carefully use it with our engineer's direction.\r\n");
  }

  MoreAnswer More() {
    terminal_.Send(kMorePrompt);
    unsigned char key;
    for (;;) {
      key = terminal_.ReadKey();
      if (key == ' ' || key == '\r' || key == '\n' || key == 'q' || key == 'Q' || key == 0x03) break;
    }
    terminal_.Send(kMoreErase);
    if (key == ' ') return MoreAnswer::kNextPage;
    if (key == '\r' || key == '\n') return MoreAnswer::kNextLine;
    return MoreAnswer::kQuit;
  }

  int PageLength() const { return paging_ ? terminal_.rows() : 0; }

  void List(const std::vector<std::string>& lines, const char* what) {
    LogVerbose("session " + std::to_string(session_id_) + ": " + what);
    if (options_.think_ms > 0) terminal_.Pause(options_.think_ms);
    Listing listing(terminal_, PageLength(), [this] { return More(); });
    ListConfig(listing, lines, options_);
  }

  void DisplayVersion() {
    Listing listing(terminal_, PageLength(), [this] { return More(); });
    for (const char* line : {"HPE Comware Platform Software",
                             "Comware Software, Version 5.20.99, Release 1106",
                             "Copyright (c) 2010-2017 Hewlett Packard Enterprise Development LP",
                             "HPE 1920-24G-PoE+ (180W) Switch uptime is 0 week, 3 days, 2 hours, 41 minutes", "",
                             "HPE 1920-24G-PoE+ (180W) Switch", "128M   bytes DRAM", "128M   bytes Nand Flash Memory",
                             "Config Register points to Nand Flash", "", "Hardware Version is REV.B",
                             "CPLD Version is 002", "Bootrom Version is 152", "[SubSlot 0] 24GE+4SFP Hardware Version is REV.B"}) {
      if (!listing.Line(line)) return;
    }
    listing.Flush();
  }

  const DeviceContext& context_;
  Terminal& terminal_;
  const Options& options_;
  ConfigStore& configs_;
  int session_id_;
  bool all_commands_ = false;
  bool paging_ = true;
  CommandTable limited_;
  CommandTable full_;
};

}  // namespace

std::unique_ptr<Device> MakeComware(const DeviceContext& context) {
  return std::make_unique<ComwareDevice>(context);
}

}  // namespace switchsim

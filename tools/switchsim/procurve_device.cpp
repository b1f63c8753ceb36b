// ProCurve / ArubaOS-Switch command line, for the "aruba" and "hp2530"
// kinds. The screen is driven as these switches do it: a VT100 banner that
// waits for a key, a prompt redrawn on the bottom row with absolute cursor
// positioning, every echoed character wrapped in cursor moves, and ESC E as
// the line break of short messages. The "hp2530" kind also understands the
// Comware-style commands "screen-length", "display current-configuration",
// "display saved-configuration" and "quit"; the two listings come in the
// switch's own ProCurve form or in the Comware form (--listing-form).

#include "command_table.h"
#include "device.h"
#include "log.h"

namespace switchsim {
namespace {

enum Command {
  kShowRunning, kShowConfig, kShowVersion, kTerminalLength, kNoPage, kPage,
  kWriteMemory, kExit, kLogout, kEnable, kScreenLength, kScreenLengthDisable,
  kDisplayCurrent, kDisplaySaved, kQuit,
};

// A page length at or above this means no paging.
constexpr int kPagingOff = 1000;
constexpr const char* kNextLineEsc = "\x1b" "E";
constexpr const char* kMorePrompt = "-- MORE --, next page: Space, next line: Enter, quit: Control-C";

std::string Cup(int row, int column) {
  return "\x1b[" + std::to_string(row) + ";" + std::to_string(column) + "H";
}

// Echo of a line typed at a prompt on the bottom row: each character is
// placed and the cursor moved past it explicitly.
class ProCurveEcho : public LineEcho {
 public:
  ProCurveEcho(int row, int first_column) : row_(row), first_column_(first_column) {}

  std::string Char(char c, size_t index) override {
    const int column = first_column_ + static_cast<int>(index);
    length_ = index + 1;
    return Cup(row_, column) + c + Cup(row_, column) + "\x1b[?25h" + Cup(row_, column + 1);
  }
  std::string Erase(size_t index) override {
    const int column = first_column_ + static_cast<int>(index);
    length_ = index;
    return Cup(row_, column) + " " + Cup(row_, column) + "\x1b[?25h" + Cup(row_, column);
  }
  // Enter: the line break is ESC E (next line), which scrolls the bottom
  // row up; the output then starts on a cleared bottom row.
  std::string End() override {
    const int column = first_column_ + static_cast<int>(length_);
    length_ = 0;
    return Cup(row_, column) + kNextLineEsc + Cup(row_, 1) + "\x1b[2K" + Cup(row_, 1) + "\x1b[?25h" + Cup(row_, 1);
  }

 private:
  int row_;
  int first_column_;
  size_t length_ = 0;
};

class ProCurveDevice : public Device {
 public:
  explicit ProCurveDevice(const DeviceContext& context)
      : context_(context),
        terminal_(context.terminal),
        options_(context.options),
        configs_(context.configs),
        session_id_(context.session_id),
        hp2530_(context.options.device == DeviceKind::kHp2530),
        native_display_(hp2530_ && context.options.listing_form == ListingForm::kNative) {
    for (CommandTable* table : {&manager_, &operator_}) {
      table->Add(kShowVersion, "show version");
      table->Add(kTerminalLength, "terminal length <n>");
      table->Add(kNoPage, "no page");
      table->Add(kPage, "page");
      table->Add(kExit, "exit");
      table->Add(kLogout, "logout");
      if (hp2530_) {
        table->Add(kScreenLength, "screen-length <n>");
        table->Add(kScreenLengthDisable, "screen-length disable");
        table->Add(kQuit, "quit");
      }
    }
    operator_.Add(kEnable, "enable");
    manager_.Add(kShowRunning, "show running-config");
    manager_.Add(kShowConfig, "show config");
    manager_.Add(kWriteMemory, "write memory");
    if (hp2530_) {
      manager_.Add(kDisplayCurrent, "display current-configuration");
      manager_.Add(kDisplaySaved, "display saved-configuration");
    }
  }

  void Run() override {
    rows_ = terminal_.rows();
    page_length_ = rows_;
    Banner();
    for (;;) {
      const std::string prompt = options_.hostname + (manager_level_ ? "#" : ">");
      terminal_.Send(PromptText(prompt));
      ProCurveEcho echo(rows_, static_cast<int>(prompt.size()) + 2);
      const std::string line = ReadCommand(context_, echo);
      const CommandMatch match = (manager_level_ ? manager_ : operator_).Match(line);
      switch (match.kind) {
        case CommandMatch::Kind::kEmpty: break;
        case CommandMatch::Kind::kUnknown: Message("Invalid input: " + match.error_word); break;
        case CommandMatch::Kind::kIncomplete: Message("Incomplete input: " + match.error_word); break;
        case CommandMatch::Kind::kAmbiguous: Message("Ambiguous input: " + match.error_word); break;
        case CommandMatch::Kind::kMatched:
          if (!Execute(match)) return;
          break;
      }
    }
  }

 private:
  std::string Row(int row) const { return Cup(row, 1); }

  // A --banner text goes out byte for byte in place of the default lines.
  void Banner() {
    std::string text = "\x1b[2J\x1b[?7l\x1b[3;" + std::to_string(rows_ - 1) + "r\x1b[?6l\x1b[1;1H";
    text += options_.banner ? *options_.banner : DefaultBanner();
    text += Row(rows_) + "Press any key to continue" + "\x1b[1;1H\x1b[?25h" + Cup(rows_, 27);
    terminal_.Send(text);
    terminal_.ReadKey();
    terminal_.Send("\x1b[2J\x1b[?7l\x1b[1;" + std::to_string(rows_) + "r\x1b[?6l\x1b[1;1H");
  }

  std::string DefaultBanner() const {
    std::string text = hp2530_ ? "HP J9776A 2530-24G Switch\r\nSoftware revision YA.16.11.0016\r\n\r\n"
                               : "HP J9773A 2530-24G-PoEP Switch\r\nSoftware revision YA.16.10.0009\r\n\r\n";
    for (const char* line : {
             "(C) Copyright 2021 Hewlett Packard Enterprise Development LP", "",
             "                   RESTRICTED RIGHTS LEGEND",
             "Confidential computer software.  Valid license from Hewlett Packard Enterprise",
             "Development LP required for possession, use or copying.  Consistent with FAR",
             "12.211 and 12.212, Commercial Computer Software, Computer Software",
             "Documentation, and Technical Data for Commercial Items are licensed to the",
             "U.S. Government under vendor's standard commercial license.", "",
             "We'd like to keep you up to date about:", "  * Software feature updates",
             "  * New product announcements", "  * Special events", "",
             "Please register your products now at:  www.hpe.com/networking/register", ""}) {
      text += std::string(line) + "\r\n";
    }
    return text;
  }

  std::string PromptText(const std::string& prompt) const {
    const std::string bottom = Row(rows_);
    const std::string after = Cup(rows_, static_cast<int>(prompt.size()) + 2);
    return "\x1b[1;" + std::to_string(rows_) + "r" + bottom + bottom + "\x1b[2K" + bottom + "\x1b[?25h" +
           bottom + bottom + prompt + " " + bottom + after + bottom + "\x1b[?25h" + after;
  }

  void Message(const std::string& text) { terminal_.Send(text + kNextLineEsc); }

  bool Execute(const CommandMatch& match) {
    switch (match.id) {
      case kShowRunning:
        List("Running configuration:", configs_.Running(), "listing running configuration");
        break;
      case kShowConfig:
        List("Startup configuration: 7", configs_.Startup(), "listing startup configuration");
        break;
      case kDisplayCurrent:
        List(native_display_ ? "Running configuration:" : nullptr, configs_.Running(),
             "listing current-configuration");
        break;
      case kDisplaySaved:
        List(native_display_ ? "Startup configuration:" : nullptr, configs_.Startup(),
             "listing saved-configuration");
        break;
      case kShowVersion: ShowVersion(); break;
      case kTerminalLength:
      case kScreenLength: {
        const int length = std::stoi(match.values[0]);
        if (length < 2 || length > kPagingOff) {
          Message("Invalid input: " + match.values[0]);
        } else {
          page_length_ = length >= kPagingOff ? 0 : length;
        }
        break;
      }
      case kScreenLengthDisable:
      case kNoPage: page_length_ = 0; break;
      case kPage: page_length_ = rows_; break;
      case kWriteMemory: configs_.Save(session_id_); break;
      case kEnable: manager_level_ = true; break;
      case kExit:
        if (manager_level_) {
          manager_level_ = false;
          break;
        }
        return !ConfirmLogout();
      case kLogout: return !ConfirmLogout();
      case kQuit:
        LogVerbose("session " + std::to_string(session_id_) + ": quit");
        return false;
    }
    return true;
  }

  // Reads keys until one of `accepted` arrives; other keys are ignored, as
  // at the switch's single-key questions.
  unsigned char Answer(const std::string& accepted) {
    for (;;) {
      unsigned char key = terminal_.ReadKey();
      if (accepted.find(static_cast<char>(key)) != std::string::npos) return key;
    }
  }

  // Asks whether to log out and, with unsaved changes, whether to save them.
  // True when the session is to close.
  bool ConfirmLogout() {
    terminal_.Send("Do you want to log out [y/n]? ");
    unsigned char key = Answer("yYnN\x03");
    if (key == 'n' || key == 'N' || key == 0x03) {
      terminal_.Send(key == 0x03 ? std::string(kNextLineEsc) : std::string(1, static_cast<char>(key)) + kNextLineEsc);
      return false;
    }
    terminal_.Send(std::string(1, static_cast<char>(key)) + kNextLineEsc);
    if (configs_.Unsaved()) {
      terminal_.Send("Do you want to save current configuration [y/n/^C]? ");
      key = Answer("yYnN\x03");
      if (key == 0x03) {
        terminal_.Send(kNextLineEsc);
        return false;
      }
      terminal_.Send(std::string(1, static_cast<char>(key)) + kNextLineEsc);
      if (key == 'y' || key == 'Y') configs_.Save(session_id_);
    }
    LogVerbose("session " + std::to_string(session_id_) + ": logout");
    return true;
  }

  MoreAnswer More() {
    terminal_.Send(kMorePrompt);
    unsigned char key = Answer(" \r\nqQ\x03");
    terminal_.Send(Row(rows_) + "\x1b[2K" + Row(rows_));
    if (key == ' ') return MoreAnswer::kNextPage;
    if (key == '\r' || key == '\n') return MoreAnswer::kNextLine;
    return MoreAnswer::kQuit;
  }

  void List(const char* header, const std::vector<std::string>& lines, const char* what) {
    LogVerbose("session " + std::to_string(session_id_) + ": " + what);
    if (options_.think_ms > 0) terminal_.Pause(options_.think_ms);
    Listing listing(terminal_, page_length_, [this] { return More(); });
    if (header != nullptr) {
      if (!listing.Line(header) || !listing.Line("")) return;
    }
    ListConfig(listing, lines, options_);
  }

  void ShowVersion() {
    Listing listing(terminal_, page_length_, [this] { return More(); });
    for (const char* line : {"Image stamp:    /ws/swbuildm/rel_ukiah_qaoff/code/build/bom(swbuildm_rel_ukiah_qaoff_rel_ukiah)",
                             "                Jan 12 2021 13:05:31", "                YA.16.10.0009",
                             "                1223", "Boot Image:     Primary", "",
                             "Build Options:  Default"}) {
      if (!listing.Line(line)) return;
    }
    listing.Flush();
  }

  const DeviceContext& context_;
  Terminal& terminal_;
  const Options& options_;
  ConfigStore& configs_;
  int session_id_;
  bool hp2530_;
  bool native_display_;  // "display" listings in the ProCurve form
  bool manager_level_ = true;
  int rows_ = 24;
  int page_length_ = 24;
  CommandTable manager_;
  CommandTable operator_;
};

}  // namespace

std::unique_ptr<Device> MakeProCurve(const DeviceContext& context) {
  return std::make_unique<ProCurveDevice>(context);
}

}  // namespace switchsim

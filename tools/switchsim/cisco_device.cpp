// Cisco IOS command line: user EXEC ("Switch>") and privileged EXEC
// ("Switch#") after "enable" and the enable password. A session that starts
// privileged (a user with privilege 15) answers "enable" with nothing, so
// whatever is typed after it is a command. Saves rewrite the NVRAM comment
// line of the running listing, as IOS does.

#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "command_table.h"
#include "device.h"
#include "log.h"

namespace switchsim {
namespace {

enum Command {
  kEnable, kDisable, kExit, kLogout, kQuit, kTerminalLength, kTerminalWidth,
  kShowRunning, kShowStartup, kShowVersion, kShowClock, kShowPrivilege,
  kWriteMemory, kCopyRunningStartup,
};

// Largest "terminal length" IOS accepts.
constexpr int kMaxTerminalLength = 512;
// Size of NVRAM reported by "show startup-config".
constexpr const char* kNvramSize = "524288";

// Bytes of a configuration as IOS counts them: every line with a LF.
size_t ConfigBytes(const std::vector<std::string>& lines) {
  size_t bytes = 0;
  for (const auto& line : lines) bytes += line.size() + 1;
  return bytes;
}

class CiscoDevice : public Device {
 public:
  explicit CiscoDevice(const DeviceContext& context)
      : context_(context),
        terminal_(context.terminal),
        options_(context.options),
        configs_(context.configs),
        session_id_(context.session_id),
        privileged_(context.options.start_privileged) {
    for (CommandTable* table : {&user_, &privileged_table_}) {
      table->Add(kEnable, "enable");
      table->Add(kExit, "exit");
      table->Add(kLogout, "logout");
      table->Add(kQuit, "quit");
      table->Add(kTerminalLength, "terminal length <n>");
      table->Add(kTerminalWidth, "terminal width <n>");
      table->Add(kShowVersion, "show version");
      table->Add(kShowClock, "show clock");
      table->Add(kShowPrivilege, "show privilege");
    }
    filters_.Add(0, "include <word>");
    privileged_table_.Add(kDisable, "disable");
    privileged_table_.Add(kShowRunning, "show running-config");
    privileged_table_.Add(kShowStartup, "show startup-config");
    privileged_table_.Add(kWriteMemory, "write memory");
    privileged_table_.Add(kCopyRunningStartup, "copy running-config startup-config");
  }

  void Run() override {
    // The banner goes out byte for byte: whatever it holds, a client must
    // cope with it.
    if (options_.banner) terminal_.Send("\r\n" + *options_.banner);
    terminal_.Send("\r\n");
    PlainEcho echo;
    for (;;) {
      const std::string prompt = options_.hostname + (privileged_ ? "#" : ">");
      terminal_.Send(prompt);
      std::string line = ReadCommand(context_, echo);
      // "| include <word>" after a command keeps only the lines of its
      // output that hold the word (done for "show clock"; other commands
      // ignore the filter).
      include_filter_.reset();
      if (const size_t bar = line.find('|'); bar != std::string::npos) {
        const CommandMatch filter = filters_.Match(line.substr(bar + 1));
        if (filter.kind != CommandMatch::Kind::kMatched) {
          InvalidInput(prompt, bar + 1 + filter.error_offset);
          continue;
        }
        include_filter_ = filter.values[0];
        line.erase(bar);
      }
      const CommandMatch match = (privileged_ ? privileged_table_ : user_).Match(line);
      switch (match.kind) {
        case CommandMatch::Kind::kEmpty: break;
        case CommandMatch::Kind::kUnknown: InvalidInput(prompt, match.error_offset); break;
        case CommandMatch::Kind::kIncomplete: terminal_.Send("% Incomplete command.\r\n\r\n"); break;
        case CommandMatch::Kind::kAmbiguous:
          terminal_.Send("% Ambiguous command:  \"" + Trimmed(line) + "\"\r\n");
          break;
        case CommandMatch::Kind::kMatched:
          if (!Execute(match, prompt)) return;
          break;
      }
    }
  }

 private:
  static std::string Trimmed(const std::string& line) {
    size_t start = line.find_first_not_of(" \t");
    size_t end = line.find_last_not_of(" \t");
    return start == std::string::npos ? std::string() : line.substr(start, end - start + 1);
  }

  void InvalidInput(const std::string& prompt, size_t offset) {
    terminal_.Send(std::string(prompt.size() + offset, ' ') +
                   "^\r\n% Invalid input detected at '^' marker.\r\n\r\n");
  }

  // Returns false when the session is to close.
  bool Execute(const CommandMatch& match, const std::string& prompt) {
    switch (match.id) {
      case kExit:
      case kLogout:
      case kQuit:
        LogVerbose("session " + std::to_string(session_id_) + ": logout");
        return false;
      case kEnable: Enable(); break;
      case kDisable: privileged_ = false; break;
      case kTerminalLength: {
        int length = std::stoi(match.values[0]);
        if (length > kMaxTerminalLength) {
          InvalidInput(prompt, match.value_offsets[0]);
          break;
        }
        page_length_ = length;
        break;
      }
      case kTerminalWidth: break;
      case kShowRunning: ShowRunning(); break;
      case kShowStartup: ShowStartup(); break;
      case kShowVersion: ShowVersion(); break;
      case kShowClock: ShowClock(); break;
      case kShowPrivilege:
        terminal_.Send(std::string("Current privilege level is ") + (privileged_ ? "15" : "1") + "\r\n");
        break;
      case kWriteMemory: Save(); break;
      case kCopyRunningStartup: {
        terminal_.Send("Destination filename [startup-config]? ");
        PlainEcho echo;
        terminal_.ReadLine(echo);
        Save();
        break;
      }
    }
    return true;
  }

  void Enable() {
    if (privileged_) return;
    if (options_.no_enable_password_prompt) {
      privileged_ = true;
      return;
    }
    if (!options_.enable_password) {
      terminal_.Send("% No password set\r\n");
      return;
    }
    SilentEcho silent;
    for (int attempt = 0; attempt < 3; ++attempt) {
      terminal_.Send("Password: ");
      if (terminal_.ReadLine(silent) == *options_.enable_password) {
        privileged_ = true;
        LogVerbose("session " + std::to_string(session_id_) + ": enable accepted");
        return;
      }
    }
    LogVerbose("session " + std::to_string(session_id_) + ": enable refused");
    terminal_.Send("% Access denied\r\n\r\n");
  }

  MoreAnswer More() {
    terminal_.Send(" --More-- ");
    unsigned char key = terminal_.ReadKey();
    // The prompt is rubbed out before the listing goes on.
    terminal_.Send(std::string(10, '\b') + std::string(10, ' ') + std::string(10, '\b'));
    if (key == ' ') return MoreAnswer::kNextPage;
    if (key == '\r' || key == '\n') return MoreAnswer::kNextLine;
    return MoreAnswer::kQuit;
  }

  Listing MakeListing() {
    return Listing(terminal_, page_length_, [this] { return More(); });
  }

  void ShowRunning() {
    LogVerbose("session " + std::to_string(session_id_) + ": listing running-config");
    Listing listing = MakeListing();
    listing.Line("Building configuration...");
    listing.Flush();
    if (options_.think_ms > 0) terminal_.Pause(options_.think_ms);
    const std::vector<std::string> lines = context_.cisco_clock_lines.Listed(configs_.Running(), true);
    if (!listing.Line("")) return;
    if (!listing.Line("Current configuration : " + std::to_string(ConfigBytes(lines)) + " bytes")) return;
    if (!ListConfig(listing, lines, options_)) return;
    listing.Line("");
    listing.Flush();
  }

  void ShowStartup() {
    LogVerbose("session " + std::to_string(session_id_) + ": listing startup-config");
    if (options_.think_ms > 0) terminal_.Pause(options_.think_ms);
    const std::vector<std::string> lines = configs_.Startup();
    Listing listing = MakeListing();
    if (!listing.Line("Using " + std::to_string(ConfigBytes(lines)) + " out of " + kNvramSize + " bytes")) return;
    if (!ListConfig(listing, lines, options_)) return;
    listing.Line("");
    listing.Flush();
  }

  void ShowVersion() {
    static const char* const kLines[] = {
        "Cisco IOS XE Software, Version 17.09.04a",
        "Cisco IOS Software [Cupertino], Catalyst L3 Switch Software (CAT9K_LITE_IOSXE), Version 17.9.4a, RELEASE SOFTWARE (fc3)",
        "Technical Support: http://www.cisco.com/techsupport",
        "Copyright (c) 1986-2023 by Cisco Systems, Inc.",
        "Compiled Fri 20-Oct-23 10:44 by mcpre",
        "",
        "ROM: IOS-XE ROMMON",
        "BOOTLDR: System Bootstrap, Version 17.9.1r, RELEASE SOFTWARE (P)",
        "",
        "Switch uptime is 12 weeks, 3 days, 4 hours, 17 minutes",
        "System returned to ROM by Reload Command",
        "System image file is \"flash:packages.conf\"",
        "",
        "cisco C9200L-24P-4G (ARM64) processor with 1343269K/3071K bytes of memory.",
        "24 Gigabit Ethernet interfaces",
        "4 Gigabit Ethernet/IEEE 802.3 interfaces",
        "2048K bytes of non-volatile configuration memory.",
        "",
        "Configuration register is 0x102",
        "",
    };
    Listing listing = MakeListing();
    for (const char* line : kLines) {
      if (!listing.Line(line)) return;
    }
    listing.Flush();
  }

  void ShowClock() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    gmtime_r(&now, &parts);
    char text[64];
    std::strftime(text, sizeof text, "*%H:%M:%S.000 UTC %a %b %d %Y", &parts);
    if (include_filter_ && std::string_view(text).find(*include_filter_) == std::string_view::npos) return;
    terminal_.Send(std::string(text) + "\r\n");
  }

  void Save() {
    terminal_.Send("Building configuration...\r\n");
    context_.cisco_clock_lines.Saved(options_.user);
    configs_.Save(session_id_, context_.cisco_clock_lines.Listed(configs_.Running(), false));
    terminal_.Send("[OK]\r\n");
  }

  const DeviceContext& context_;
  Terminal& terminal_;
  const Options& options_;
  ConfigStore& configs_;
  int session_id_;
  bool privileged_;
  int page_length_ = 24;
  CommandTable user_;
  CommandTable privileged_table_;
  CommandTable filters_;
  std::optional<std::string> include_filter_;  // of the command being run
};

}  // namespace

std::unique_ptr<Device> MakeCisco(const DeviceContext& context) {
  return std::make_unique<CiscoDevice>(context);
}

}  // namespace switchsim

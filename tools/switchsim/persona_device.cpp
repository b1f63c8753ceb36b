// The engine that runs a Persona: one command table for the user prompt,
// one for the privileged prompt, and the listing, paging and enable steps
// every table-driven kind shares.

#include <sys/stat.h>

#include <optional>

#include "log.h"
#include "persona.h"

namespace switchsim {
namespace {

// Columns a prompt takes on the screen: CSI sequences (colours) take none.
size_t VisibleWidth(const std::string& text) {
  size_t width = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\x1b' && i + 1 < text.size() && text[i + 1] == '[') {
      i += 2;
      while (i < text.size() && !(text[i] >= 0x40 && text[i] <= 0x7e)) ++i;
      continue;
    }
    ++width;
  }
  return width;
}

std::time_t FileTime(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? st.st_mtime : std::time(nullptr);
}

class PersonaDevice : public Device {
 public:
  PersonaDevice(const DeviceContext& context, const Persona& persona)
      : context_(context),
        persona_(persona),
        terminal_(context.terminal),
        options_(context.options),
        flags_(persona.console_flags != nullptr ? persona.console_flags(context.login_name) : ConsoleFlags{}),
        privileged_(!persona.has_enable) {
    for (size_t i = 0; i < persona.commands.size(); ++i) {
      const PersonaCommand& command = persona.commands[i];
      privileged_table_.Add(static_cast<int>(i), command.pattern);
      (command.privileged ? privileged_only_ : user_table_).Add(static_cast<int>(i), command.pattern);
    }
    for (const char* filter : persona.filters) filters_.Add(0, filter);
  }

  void Run() override {
    terminal_.Send(options_.banner ? *options_.banner : std::string(persona_.banner));
    PlainEcho echo;
    for (;;) {
      const std::string prompt =
          persona_.prompt({options_.hostname, options_.user, privileged_, flags_.colours});
      terminal_.Send(persona_.before_prompt + prompt);
      std::string line = ReadCommand(context_, echo);
      const size_t width = VisibleWidth(prompt);
      include_filter_.reset();
      if (const size_t bar = line.find('|'); bar != std::string::npos && !persona_.filters.empty()) {
        const std::string filter_text = line.substr(bar + 1);
        const CommandMatch filter = filters_.Match(filter_text);
        if (filter.kind != CommandMatch::Kind::kMatched) {
          CommandMatch shifted = filter;
          shifted.error_offset += bar + 1;
          terminal_.Send(persona_.error({width, line, shifted}));
          continue;
        }
        include_filter_ = filter.values.empty() ? std::string() : filter.values[0];
        line.erase(bar);
      }
      const CommandMatch match = (privileged_ ? privileged_table_ : user_table_).Match(line);
      if (match.kind == CommandMatch::Kind::kEmpty) continue;
      if (match.kind != CommandMatch::Kind::kMatched) {
        if (!privileged_ && privileged_only_.Match(line).kind == CommandMatch::Kind::kMatched) {
          terminal_.Send(persona_.privileged_error);
        } else {
          terminal_.Send(persona_.error({width, line, match}));
        }
        continue;
      }
      if (!Execute(persona_.commands[match.id])) return;
    }
  }

 private:
  std::string Tag() const { return "session " + std::to_string(context_.session_id); }

  // Returns false when the session is to close.
  bool Execute(const PersonaCommand& command) {
    switch (command.action) {
      case Action::kPagingOff: paging_ = false; break;
      case Action::kPagingOn: paging_ = true; break;
      case Action::kListRunning: List(false, command.variant); break;
      case Action::kListStartup: List(true, command.variant); break;
      case Action::kEnable: Enable(); break;
      case Action::kDisable: privileged_ = false; break;
      case Action::kSave: context_.configs.Save(context_.session_id); break;
      case Action::kClock: {
        const std::string text = persona_.clock(std::time(nullptr));
        if (!include_filter_ || text.find(*include_filter_) != std::string::npos) terminal_.Send(text + "\r\n");
        break;
      }
      case Action::kQuiet: break;
      case Action::kLogout:
        terminal_.Send(command.reply);
        LogVerbose(Tag() + ": logout");
        return false;
    }
    terminal_.Send(command.reply);
    return true;
  }

  // Without an enable password the switch asks for none.
  void Enable() {
    if (privileged_) return;
    if (options_.enable_password) {
      SilentEcho silent;
      terminal_.Send("Password: ");
      if (terminal_.ReadLine(silent) != *options_.enable_password) {
        LogVerbose(Tag() + ": enable refused");
        terminal_.Send(persona_.enable_refused);
        return;
      }
    }
    LogVerbose(Tag() + ": enable accepted");
    privileged_ = true;
  }

  int PageLength() const {
    if (!paging_ || (persona_.paging_needs_detection && !flags_.detect_terminal)) return 0;
    return persona_.page_length > 0 ? persona_.page_length : terminal_.rows();
  }

  MoreAnswer More() {
    terminal_.Send(persona_.more_prompt);
    const unsigned char key = terminal_.ReadKey();
    terminal_.Send(persona_.more_erase);
    if (key == ' ') return MoreAnswer::kNextPage;
    if (key == '\r' || key == '\n') return MoreAnswer::kNextLine;
    return MoreAnswer::kQuit;
  }

  void List(bool startup, int variant) {
    LogVerbose(Tag() + (startup ? ": listing startup" : ": listing running"));
    if (options_.think_ms > 0) terminal_.Pause(options_.think_ms);
    const ListingRequest request{options_.hostname, options_.user, startup, variant,
                                 context_.listing_clock.Next(),
                                 FileTime(startup ? options_.startup_file : options_.running_file)};
    const ListingText text =
        persona_.listing(request, startup ? context_.configs.Startup() : context_.configs.Running());
    Listing listing(terminal_, PageLength(), [this] { return More(); });
    for (const std::string& line : text.head) {
      if (!listing.Line(line)) return;
    }
    if (!ListConfig(listing, text.body, options_)) return;
    for (const std::string& line : text.tail) {
      if (!listing.Line(line)) return;
    }
    listing.Flush();
  }

  const DeviceContext& context_;
  const Persona& persona_;
  Terminal& terminal_;
  const Options& options_;
  const ConsoleFlags flags_;
  bool privileged_;
  bool paging_ = true;
  CommandTable user_table_;
  CommandTable privileged_table_;
  CommandTable privileged_only_;
  CommandTable filters_;
  std::optional<std::string> include_filter_;  // of the command being run
};

}  // namespace

std::unique_ptr<Device> MakePersonaDevice(const DeviceContext& context, const Persona& persona) {
  return std::make_unique<PersonaDevice>(context, persona);
}

std::string FormatUtc(std::time_t when, const char* format) {
  std::tm parts{};
  gmtime_r(&when, &parts);
  char text[96];
  const size_t n = std::strftime(text, sizeof text, format, &parts);
  return std::string(text, n);
}

std::string CaretLine(size_t prompt_width, size_t at) { return std::string(prompt_width + at, ' ') + "^\r\n"; }

}  // namespace switchsim

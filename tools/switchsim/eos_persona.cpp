// Arista EOS: "leaf1>" until "enable" (a password only when an enable
// secret is set), then "leaf1#". The listings need privilege and begin with
// "! Command:" and "! device:" comment lines; the configuration ends "end".

#include "persona.h"

namespace switchsim {
namespace {

constexpr const char* kDevice = " (DCS-7050TX-64, EOS-4.28.3M)";

std::string Prompt(const PromptState& state) { return state.hostname + (state.privileged ? "#" : ">"); }

std::string Error(const CommandError& e) {
  switch (e.match.kind) {
    case CommandMatch::Kind::kIncomplete: return "% Incomplete command\r\n";
    case CommandMatch::Kind::kAmbiguous: return "% Ambiguous command\r\n";
    default: return "% Invalid input\r\n";
  }
}

std::string Clock(std::time_t now) { return FormatUtc(now, "%a %b %d %H:%M:%S %Y"); }

ListingText Frame(const ListingRequest& r, std::vector<std::string> lines) {
  ListingText text;
  if (r.startup) {
    text.head = {"! Command: show startup-config",
                 "! Startup-config last modified at  " + FormatUtc(r.file_time, "%a %b %e %H:%M:%S %Y") + " by " +
                     r.user};
  } else {
    text.head = {"! Command: show running-config"};
  }
  text.head.push_back("! device: " + r.hostname + kDevice);
  text.body = std::move(lines);
  return text;
}

}  // namespace

const Persona& EosPersona() {
  static const Persona persona{
      .banner = "Last login: Tue Dec  1 09:12:44 2026 from 192.0.2.10\r\n",
      .has_enable = true,
      .prompt = Prompt,
      .commands = {{"enable", Action::kEnable},
                   {"disable", Action::kDisable},
                   {"terminal length 0", Action::kPagingOff, false, "Pagination disabled.\r\n"},
                   {"terminal length <n>", Action::kPagingOn},
                   {"show running-config", Action::kListRunning, true},
                   {"show startup-config", Action::kListStartup, true},
                   {"show clock", Action::kClock},
                   {"write memory", Action::kSave, true, "Copy completed successfully.\r\n"},
                   {"copy running-config startup-config", Action::kSave, true, "Copy completed successfully.\r\n"},
                   {"exit", Action::kLogout},
                   {"logout", Action::kLogout}},
      .filters = {"include <word>"},
      .error = Error,
      .privileged_error = "% Invalid input (privileged mode required)\r\n",
      .enable_refused = "% Access denied\r\n",
      .more_prompt = " --More-- ",
      .more_erase = "\r          \r",
      .clock = Clock,
      .listing = Frame,
  };
  return persona;
}

}  // namespace switchsim

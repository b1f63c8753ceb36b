// Aruba AOS-CX: the administrator starts at "6300-core# ", "no page" stops
// the pager, and the listings begin "Current configuration:", "!",
// "!Version ArubaOS-CX ...", "!export-password: default".

#include "persona.h"

namespace switchsim {
namespace {

std::string Prompt(const PromptState& state) { return state.hostname + "# "; }

std::string Error(const CommandError& e) {
  switch (e.match.kind) {
    case CommandMatch::Kind::kIncomplete: return "Incomplete command.\r\n";
    case CommandMatch::Kind::kAmbiguous: return "Ambiguous command.\r\n";
    default: return "Invalid input: " + e.match.error_word + "\r\n";
  }
}

std::string Clock(std::time_t now) { return FormatUtc(now, "%a %b %d %H:%M:%S UTC %Y"); }

ListingText Frame(const ListingRequest&, std::vector<std::string> lines) {
  return {{"Current configuration:", "!", "!Version ArubaOS-CX FL.10.13.1040", "!export-password: default"},
          std::move(lines),
          {}};
}

}  // namespace

const Persona& AosCxPersona() {
  static const Persona persona{
      .banner = "\r\nLast login: 2026-12-01 09:12:44 from 192.0.2.10\r\nUser \"admin\" has logged in 3 times in the past 30 days\r\n",
      .has_enable = false,
      .prompt = Prompt,
      .commands = {{"no page", Action::kPagingOff},
                   {"page", Action::kPagingOn},
                   {"show running-config", Action::kListRunning},
                   {"show startup-config", Action::kListStartup},
                   {"show clock", Action::kClock},
                   {"write memory", Action::kSave, false, "Copying configuration: [Success]\r\n"},
                   {"exit", Action::kLogout}},
      .filters = {"include <word>"},
      .error = Error,
      .more_prompt = "-- MORE --, next page: Space, next line: Enter, quit: Control-C",
      .more_erase = "\r\x1b[2K",
      .clock = Clock,
      .listing = Frame,
  };
  return persona;
}

}  // namespace switchsim

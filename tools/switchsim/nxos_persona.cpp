// Cisco NX-OS: the session starts at "switch# " (network-admin, no enable).
// Listings begin with a blank line and "!Command:" / "!Time:" lines; the
// time is that of the listing, so it differs at every listing.

#include "persona.h"

namespace switchsim {
namespace {

constexpr const char* kCtime = "%a %b %e %H:%M:%S %Y";

std::string Prompt(const PromptState& state) { return state.hostname + "# "; }

std::string Error(const CommandError& e) {
  const char* what = e.match.kind == CommandMatch::Kind::kIncomplete ? "Incomplete" : "Invalid";
  return CaretLine(e.prompt_width, e.match.error_offset) + "% " + what + " command at '^' marker.\r\n";
}

std::string Clock(std::time_t now) { return FormatUtc(now, "%H:%M:%S.000 UTC %a %b %d %Y"); }

ListingText Frame(const ListingRequest& r, std::vector<std::string> lines) {
  ListingText text;
  if (r.startup) {
    text.head = {"", "!Command: show startup-config", "!Time: " + FormatUtc(r.now, kCtime),
                 "!Startup config saved at: " + FormatUtc(r.file_time, kCtime), ""};
  } else {
    text.head = {"", "!Command: show running-config",
                 "!Running configuration last done at: " + FormatUtc(r.file_time, kCtime),
                 "!Time: " + FormatUtc(r.now, kCtime), ""};
  }
  text.body = std::move(lines);
  text.tail = {""};
  return text;
}

}  // namespace

const Persona& NxosPersona() {
  static const Persona persona{
      .banner = "Cisco Nexus Operating System (NX-OS) Software\r\n"
                "TAC support: http://www.cisco.com/tac\r\n"
                "Copyright (C) 2002-2023, Cisco and/or its affiliates.\r\n"
                "All rights reserved.\r\n",
      .has_enable = false,
      .prompt = Prompt,
      .commands = {{"terminal length 0", Action::kPagingOff},
                   {"terminal length <n>", Action::kPagingOn},
                   {"terminal width <n>", Action::kQuiet},
                   {"show running-config", Action::kListRunning},
                   {"show startup-config", Action::kListStartup},
                   {"show clock", Action::kClock},
                   {"copy running-config startup-config", Action::kSave, false,
                    "[########################################] 100%\r\nCopy complete.\r\n"},
                   {"exit", Action::kLogout}},
      .filters = {"include <word>"},
      .error = Error,
      .more_prompt = "--More--",
      .more_erase = "\r        \r",
      .clock = Clock,
      .listing = Frame,
  };
  return persona;
}

}  // namespace switchsim

// Juniper Junos operational mode: "admin@ex4300> ", a blank line before
// every prompt, "set cli screen-length 0" to stop the pager, and
// "show configuration" in the brace form exactly as the file holds it
// (its "## Last commit:" line and "## SECRET-DATA" comments included).
// There is no startup configuration and no enable.

#include "persona.h"

namespace switchsim {
namespace {

std::string Prompt(const PromptState& state) { return state.user + "@" + state.hostname + "> "; }

std::string Error(const CommandError& e) {
  if (e.match.kind == CommandMatch::Kind::kIncomplete) {
    return CaretLine(e.prompt_width, e.line.size()) + "syntax error, expecting <command>.\r\n";
  }
  if (e.match.kind == CommandMatch::Kind::kAmbiguous) return "\r\n'" + e.match.error_word + "' is ambiguous.\r\n";
  return CaretLine(e.prompt_width, e.match.error_offset) + "unknown command.\r\n";
}

std::string Clock(std::time_t now) { return FormatUtc(now, "Current time: %Y-%m-%d %H:%M:%S UTC"); }

ListingText Frame(const ListingRequest&, std::vector<std::string> lines) { return {{}, std::move(lines), {}}; }

}  // namespace

const Persona& JunosPersona() {
  static const Persona persona{
      .banner = "Last login: Tue Dec  1 09:12:44 2026 from 192.0.2.10\r\n"
                "--- JUNOS 21.4R3.15 Kernel 64-bit  JNPR-12.1-20230120.7e6f2f5_buil\r\n",
      .has_enable = false,
      .prompt = Prompt,
      .commands = {{"set cli screen-length 0", Action::kPagingOff, false, "Screen length set to 0\r\n"},
                   {"set cli screen-length <n>", Action::kPagingOn},
                   {"show configuration", Action::kListRunning},
                   {"show system uptime", Action::kClock},
                   {"exit", Action::kLogout},
                   {"quit", Action::kLogout}},
      .filters = {"match <word>"},
      .error = Error,
      .more_prompt = "---(more)---",
      .more_erase = "\r            \r",
      .before_prompt = "\r\n",
      .clock = Clock,
      .listing = Frame,
  };
  return persona;
}

}  // namespace switchsim

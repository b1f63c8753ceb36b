// HPE/H3C Comware 7: "<H3C>", every command available at once (no
// "_cmdline-mode" as on Comware 5), "screen-length disable" for the
// session, "display current-configuration" / "display saved-configuration"
// listing the lines as stored ("#" separators, ending "return").

#include "persona.h"

namespace switchsim {
namespace {

std::string Prompt(const PromptState& state) { return "<" + state.hostname + ">"; }

std::string Error(const CommandError& e) {
  const char* what = e.match.kind == CommandMatch::Kind::kIncomplete  ? "Incomplete"
                     : e.match.kind == CommandMatch::Kind::kAmbiguous ? "Ambiguous"
                                                                      : "Unrecognized";
  return CaretLine(e.prompt_width, e.match.error_offset) + " % " + what + " command found at '^' position.\r\n";
}

std::string Clock(std::time_t now) { return FormatUtc(now, "%H:%M:%S.000 UTC %a %m/%d/%Y"); }

ListingText Frame(const ListingRequest&, std::vector<std::string> lines) { return {{}, std::move(lines), {}}; }

}  // namespace

const Persona& Comware7Persona() {
  static const Persona persona{
      .banner = "\r\n******************************************************************************\r\n"
                "* Copyright (c) 2004-2023 New H3C Technologies Co., Ltd. All rights reserved.*\r\n"
                "* Without the owner's prior written consent,                                 *\r\n"
                "* no decompiling or reverse-engineering shall be allowed.                    *\r\n"
                "******************************************************************************\r\n\r\n",
      .has_enable = false,
      .prompt = Prompt,
      .commands = {{"screen-length disable", Action::kPagingOff},
                   {"undo screen-length disable", Action::kPagingOn},
                   {"display current-configuration", Action::kListRunning},
                   {"display saved-configuration", Action::kListStartup},
                   {"display clock", Action::kClock},
                   {"save force", Action::kSave, false,
                    "Validating file. Please wait...\r\nSaved the current configuration to mainboard device "
                    "successfully.\r\n"},
                   {"quit", Action::kLogout}},
      .filters = {"include <word>"},
      .error = Error,
      .more_prompt = "---- More ----",
      .more_erase = "\x1b[16D                \x1b[16D",
      .clock = Clock,
      .listing = Frame,
  };
  return persona;
}

}  // namespace switchsim

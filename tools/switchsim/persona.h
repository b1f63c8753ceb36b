// A switch's command line described as data: what the six table-driven
// kinds (nxos, eos, junos, aoscx, comware7, routeros) differ in. One engine
// (persona_device.cpp) runs every Persona: banner, prompt, an optional
// enable step, paging on and off, the listing commands with the lines the
// switch prints around a configuration, saves, a harmless command whose
// output can be filtered to nothing (what a checker uses to mark its place),
// errors in the switch's own words, and logout.
//
// A Persona is a constant built once per process and only read; the
// functions in it are called on the session's thread.
#pragma once

#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "command_table.h"
#include "device.h"

namespace switchsim {

// How the session's console behaves; only RouterOS lets the login name
// change it ("admin+ct").
struct ConsoleFlags {
  bool colours = true;
  bool detect_terminal = true;
};

struct PromptState {
  const std::string& hostname;
  const std::string& user;  // without console flags
  bool privileged;
  bool colours;
};

enum class Action {
  kPagingOff, kPagingOn,
  kListRunning, kListStartup,
  kEnable, kDisable,
  kSave,
  kClock,   // one line of clock text; a "| include WORD" filter may drop it
  kQuiet,   // accepted; prints only its reply
  kLogout,
};

struct PersonaCommand {
  const char* pattern;  // CommandTable words
  Action action;
  bool privileged = false;  // only at the privileged prompt
  const char* reply = "";   // printed after the action has been carried out
  int variant = 0;          // handed to the listing, e.g. which export options
};

// What a listing's framing may depend on.
struct ListingRequest {
  const std::string& hostname;
  const std::string& user;
  bool startup;
  int variant;
  std::time_t now;        // from the server's ListingClock: later at every listing
  std::time_t file_time;  // when the listed file was last written
};

struct ListingText {
  std::vector<std::string> head;  // printed before the configuration
  std::vector<std::string> body;  // the configuration (faults apply to it)
  std::vector<std::string> tail;  // printed after it
};

struct CommandError {
  size_t prompt_width;  // visible columns of the prompt
  const std::string& line;
  const CommandMatch& match;
};

struct Persona {
  const char* banner = "";  // sent once the shell opens, unless --banner
  bool has_enable = false;  // sessions start at the user prompt
  std::string (*prompt)(const PromptState&) = nullptr;
  std::vector<PersonaCommand> commands;
  // Filters after '|' on a kClock command, e.g. "include <word>".
  std::vector<const char*> filters;
  std::string (*error)(const CommandError&) = nullptr;
  const char* privileged_error = "";  // a privileged command typed at the user prompt
  const char* enable_refused = "";    // a wrong enable password
  const char* more_prompt = "";
  const char* more_erase = "";
  int page_length = 0;                // lines a page; 0: the terminal's rows
  bool paging_needs_detection = false;  // no paging once terminal detection is off
  const char* before_prompt = "";     // e.g. the blank line Junos prints first
  std::string (*clock)(std::time_t now) = nullptr;
  ListingText (*listing)(const ListingRequest&, std::vector<std::string> lines) = nullptr;
  ConsoleFlags (*console_flags)(const std::string& login_name) = nullptr;  // null: defaults
};

const Persona& NxosPersona();
const Persona& EosPersona();
const Persona& JunosPersona();
const Persona& AosCxPersona();
const Persona& Comware7Persona();
const Persona& RouterOsPersona();

std::unique_ptr<Device> MakePersonaDevice(const DeviceContext& context, const Persona& persona);

// Helpers for the persona tables.

// `when` in UTC with strftime's `format`.
std::string FormatUtc(std::time_t when, const char* format);
// The caret line under offset `at` of a line typed after a prompt of
// `prompt_width` columns, with CR LF.
std::string CaretLine(size_t prompt_width, size_t at);

}  // namespace switchsim

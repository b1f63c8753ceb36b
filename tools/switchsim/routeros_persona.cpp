// MikroTik RouterOS 7: "[admin@MikroTik] > ", no enable, no startup
// configuration, no paging command. The login name may carry console flags
// ("admin+ct"): 'c' turns colours off, 't' terminal detection; with
// detection on, long output is paged at the terminal's height.
//
// The sample file holds the configuration in the terse export form, one
// whole command a line. "/export" lists it with the dated header (a new
// time at every listing) and the "# software id" / "# model" /
// "# serial number" comments; "terse" keeps one line a command, otherwise
// the lines are grouped under their menu path. As in RouterOS 7, sensitive
// values (passwords, keys, secrets) are left out unless "show-sensitive" is
// given.

#include <string_view>

#include "persona.h"

namespace switchsim {
namespace {

constexpr int kTerse = 1;
constexpr int kShowSensitive = 2;

// The property names whose values RouterOS 7 hides from an export.
constexpr std::string_view kSensitive[] = {
    "password=",   "secret=",         "wpa-pre-shared-key=",     "wpa2-pre-shared-key=", "passphrase=",
    "private-key=", "pre-shared-key=", "authentication-password=", "encryption-password=", "tcp-md5-key=",
    "auth-key=",   "key="};

std::string Prompt(const PromptState& state) {
  if (!state.colours) return "[" + state.user + "@" + state.hostname + "] > ";
  return "[\x1b[m\x1b[36m" + state.user + "\x1b[m@\x1b[m\x1b[32m" + state.hostname + "\x1b[m] > ";
}

std::string Error(const CommandError& e) {
  const std::string column = std::to_string(e.match.error_offset + 1);
  if (e.match.kind == CommandMatch::Kind::kUnknown) {
    if (e.match.error_offset > e.line.find_first_not_of(' ')) {
      return "expected end of command (line 1 column " + column + ")\r\n";
    }
    return "bad command name " + e.match.error_word + " (line 1 column " + column + ")\r\n";
  }
  return "syntax error (line 1 column " + column + ")\r\n";
}

// Drops `name=value` words with sensitive names; values are quoted when
// they hold blanks.
std::string WithoutSensitive(const std::string& line) {
  std::string out;
  size_t i = 0;
  while (i < line.size()) {
    size_t end = i;
    bool quoted = false;
    while (end < line.size() && (quoted || line[end] != ' ')) {
      if (line[end] == '"') quoted = !quoted;
      ++end;
    }
    const std::string_view word(line.data() + i, end - i);
    bool hidden = false;
    for (std::string_view name : kSensitive) {
      if (word.substr(0, name.size()) == name) hidden = true;
    }
    if (!hidden) out.append(out.empty() ? "" : " ").append(word);
    i = end + 1;
  }
  return out;
}

// "/ip address add address=..." under "/ip address" as "add address=...".
std::vector<std::string> Grouped(const std::vector<std::string>& lines) {
  std::vector<std::string> out;
  std::string section;
  for (const std::string& line : lines) {
    size_t verb = std::string::npos;
    for (const char* name : {" add", " set", " remove"}) {
      const size_t at = line.find(name);
      const size_t after = at + std::string_view(name).size();
      if (at != std::string::npos && (after == line.size() || line[after] == ' ') && at < verb) verb = at;
    }
    if (line.empty() || line[0] != '/' || verb == std::string::npos) {
      out.push_back(line);
      continue;
    }
    if (line.compare(0, verb, section) != 0 || section.size() != verb) {
      section = line.substr(0, verb);
      out.push_back(section);
    }
    out.push_back(line.substr(verb + 1));
  }
  return out;
}

ListingText Frame(const ListingRequest& r, std::vector<std::string> lines) {
  ListingText text;
  text.head = {FormatUtc(r.now, "# %Y-%m-%d %H:%M:%S by RouterOS 7.16.1"), "# software id = 3GKT-V7XN", "#",
               "# model = CRS326-24G-2S+", "# serial number = HGD08ABC123"};
  if ((r.variant & kShowSensitive) == 0) {
    for (std::string& line : lines) {
      if (!line.empty() && line[0] == '/') line = WithoutSensitive(line);
    }
  }
  text.body = (r.variant & kTerse) != 0 ? std::move(lines) : Grouped(lines);
  return text;
}

std::string Clock(std::time_t now) { return FormatUtc(now, "  time: %H:%M:%S\r\n  date: %Y-%m-%d"); }

// user_name [ '+' { [number] 'a'..'z' } ]; only 'c' and 't' change anything here.
ConsoleFlags Flags(const std::string& login_name) {
  ConsoleFlags flags;
  const size_t plus = login_name.find('+');
  if (plus == std::string::npos) return flags;
  for (size_t i = plus + 1; i < login_name.size(); ++i) {
    const bool numbered = i > plus + 1 && login_name[i - 1] >= '0' && login_name[i - 1] <= '9';
    if (numbered) continue;  // "c1" sets a value; only the implicit off matters here
    if (login_name[i] == 'c') flags.colours = false;
    if (login_name[i] == 't') flags.detect_terminal = false;
  }
  return flags;
}

}  // namespace

const Persona& RouterOsPersona() {
  static const Persona persona{
      .banner = "\r\n\r\n\r\n\r\n"
                "  MMM      MMM       KKK                          TTTTTTTTTTT      KKK\r\n"
                "  MMMM    MMMM       KKK                          TTTTTTTTTTT      KKK\r\n"
                "  MMM MMMM MMM  III  KKK  KKK  RRRRRR     OOOOOO      TTT     III  KKK  KKK\r\n"
                "  MMM  MM  MMM  III  KKKKK     RRR  RRR  OOO  OOO     TTT     III  KKKKK\r\n"
                "  MMM      MMM  III  KKK KKK   RRRRRR    OOO  OOO     TTT     III  KKK KKK\r\n"
                "  MMM      MMM  III  KKK  KKK  RRR  RRR   OOOOOO      TTT     III  KKK  KKK\r\n"
                "\r\n"
                "  MikroTik RouterOS 7.16.1 (c) 1999-2024       https://www.mikrotik.com/\r\n"
                "\r\n"
                "Press F1 for help\r\n\r\n",
      .has_enable = false,
      .prompt = Prompt,
      .commands = {{"/export", Action::kListRunning, false, "", 0},
                   {"/export terse", Action::kListRunning, false, "", kTerse},
                   {"/export show-sensitive", Action::kListRunning, false, "", kShowSensitive},
                   {"/export terse show-sensitive", Action::kListRunning, false, "", kTerse | kShowSensitive},
                   {"/export show-sensitive terse", Action::kListRunning, false, "", kTerse | kShowSensitive},
                   {"/system clock print", Action::kClock},
                   {":local <word> <word>", Action::kQuiet},
                   {"/quit", Action::kLogout},
                   {"quit", Action::kLogout}},
      .filters = {},
      .error = Error,
      .more_prompt = "-- [Q quit|D dump|down]",
      .more_erase = "\r\x1b[K",
      .paging_needs_detection = true,
      .clock = Clock,
      .listing = Frame,
      .console_flags = Flags,
  };
  return persona;
}

}  // namespace switchsim

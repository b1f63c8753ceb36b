#include "cli/commands.h"

#include <sstream>

#include "params/item_codes.h"
#include "params/keys.h"

namespace comvorlix::cli {
namespace {

constexpr size_t kHelpWidth = 72;

// `words` filled into lines of at most kHelpWidth characters (a longer word
// stands on a line of its own), each line ended with "\n".
std::string Paragraph(const std::vector<std::string>& words) {
  std::string text, line;
  for (const std::string& word : words) {
    if (!line.empty() && line.size() + 1 + word.size() > kHelpWidth) {
      text += line + "\n";
      line.clear();
    }
    line += (line.empty() ? "" : " ") + word;
  }
  return line.empty() ? text : text + line + "\n";
}

// The opening paragraph. Each kind of switch, "HP 1920 (HP1920SW),", is kept
// on one line.
std::string Introduction() {
  std::vector<std::string> words;
  std::istringstream prose(
      "Logs in to a switch over SSH, has it list its running or startup configuration, and compares the "
      "CRC-32 of the listing with the checksum remembered in the switch's parameter file (or compares "
      "running with startup). Kinds of switch:");
  for (std::string word; prose >> word;) words.push_back(word);
  const std::vector<CodeItem>& kinds = DeviceCodes().items;
  for (size_t i = 0; i < kinds.size(); ++i) {
    words.push_back(kinds[i].name + " (" + kinds[i].code + ")" + (i + 1 < kinds.size() ? "," : "."));
  }
  return Paragraph(words);
}

// "A|B|C" of each item's code, or name; a long list goes on on further
// lines, each after `indent` blanks, so that no line of the help grows
// past the terminal's width whatever kinds are loaded.
// `taken`: what stands before the list on its first line.
std::string Alternatives(const CodeList& codes, std::string CodeItem::*part, size_t indent, size_t taken = 0) {
  constexpr size_t kWidth = 60;
  std::string listed, line;
  for (const CodeItem& item : codes.items) {
    if (!line.empty() && taken + line.size() + 1 + (item.*part).size() > kWidth) {
      listed += line + "|\n" + std::string(indent, ' ');
      line.clear();
      taken = 0;
    }
    line += (line.empty() ? "" : "|") + item.*part;
  }
  return listed + line;
}

// How `configure --help` shows the option of one key.
std::string FieldUsage(const ParameterKey& row) {
  const std::string option(row.option);
  switch (row.kind) {
    case ValueKind::kSecret:
      return option + "-file FILE | " + option + "-stdin";
    case ValueKind::kFlag:
      return option + " | " + std::string(row.off_option);
    case ValueKind::kList: {
      const size_t indent = option.size() + 9;
      std::string usage = option + " " + Alternatives(row.codes(), &CodeItem::code, indent) + std::string(row.help);
      // Items with names (the device kinds) are also taken by name.
      const CodeList& codes = row.codes();
      if (!codes.items.empty() && !codes.items.front().name.empty()) {
        usage += "\n" + std::string(indent, ' ') + "(any case) or " + Alternatives(codes, &CodeItem::name, indent, 14);
      }
      return usage;
    }
    default:
      return option + " " + std::string(row.help) + (row.off_option.empty() ? "" : " | " + std::string(row.off_option));
  }
}

// The field options of `configure`, one help line each as the table places
// them, indented under the command.
std::string FieldLines() {
  std::string text;
  for (int line = 0;; ++line) {
    std::string shown;
    for (const ParameterKey& row : ParameterKeys()) {
      if (row.help_line == line) shown += (shown.empty() ? "" : "  ") + FieldUsage(row);
    }
    if (shown.empty()) return text;
    text += "        " + shown + "\n";
  }
}

// Each command's synopsis: its first line, then lines that go on under it.
std::vector<std::string> Synopsis(const std::string& command) {
  if (command == "check") {
    return {"comvorlix check --host HOST --params FILE [--timeout SECONDS] [--known-hosts FILE]",
            "                [--host-key-policy accept-new|strict] [--accept] [--diff-lines N]",
            "                [--failure-state critical|unknown|warning] [--dry-run]",
            "                [--no-listing] [--credentials FILE] [--kinds-dir DIR] [--verbose]"};
  }
  if (command == "configure") {
    return {"comvorlix configure --params FILE [--host HOST] [--timeout SECONDS] [--no-gui FIELD OPTIONS]",
            "                    [--owner USER[:GROUP]] [--test --host HOST [--known-hosts FILE]]",
            "comvorlix configure --credentials FILE [--no-gui] LOGIN OPTIONS"};
  }
  if (command == "crc") return {"comvorlix crc [FILE]"};
  if (command == "secret") return {"comvorlix secret encode|decode"};
  if (command == "kinds") return {"comvorlix kinds [--kinds-dir DIR]"};
  return {};
}

// "usage: " before the first line, its width of blanks before the others.
std::string UsageBlock(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "usage: " : "\n       ") + line;
  return text;
}

// One command's part of the help, indented as under "Commands:".
std::string Section(const std::string& command) {
  if (command == "check") {
    return R"(  check --host HOST --params FILE [--timeout SECONDS] [--known-hosts FILE]
        [--host-key-policy accept-new|strict] [--accept] [--diff-lines N]
        [--failure-state critical|unknown|warning] [--dry-run]
        [--no-listing] [--credentials FILE] [--verbose]
      Runs one check, as a monitoring plugin. Prints one line (and what
      changed on the lines after it) and exits:
        0  CONFIG OK - ...        (unchanged, initial checksum stored,
                                   a change accepted, running and startup
                                   the same)
        2  CONFIG CRITICAL - ...  (changed, different, the check failed,
                                   or the switch's host key is refused)
        3  CONFIG UNKNOWN - ...   (wrong invocation, FILE missing,
                                   unreadable or unwritable, a new host
                                   key that cannot be recorded)
      FILE holds the parameter string (one line). When the check updates
      it (a new checksum), FILE is replaced atomically; checks of the same
      FILE run one after the other. --timeout (1 to 32767 s, default 30)
      bounds the whole check: at that time it ends CRITICAL (check of
      HOST:PORT did not finish within T s, with the last step and the
      switch's last line) and FILE stays as it was. --verbose writes to
      standard error every line of the session as it happens and the
      steps of the check, one record a line, with the seconds since the
      start, control bytes as \xNN and secrets masked, among them the SSH
      algorithms negotiated and the old ones a switch needed; -vv adds
      the SSH library's own protocol log.
      The checksum covers the configuration statements: not the headers,
      comments, save and change times or clock drift a switch adds. The
      statements are kept in FILE.listing (mode 0600) beside FILE, and a
      change is shown as a diff against them: "- " removed, "+ " added,
      "  " the section above, secrets shown as <secret>.
      Before logging in, the switch's host key is checked against
      --known-hosts FILE (default ~/.ssh/known_hosts) and
      /etc/ssh/ssh_known_hosts. A changed key is refused (2), no password
      is sent. A switch not yet known is learned into FILE and named on a
      second line (accept-new, the default), or refused (strict).
      --credentials FILE names a credentials file (comvorlix configure
      --credentials) shared by many switches: its login settings (USR,
      PWD, EPW, KEYF, KEYT, PROTO) fill in those the parameter file
      leaves empty. It is only read, never written or locked.
      Options (the same when called as check_comvorlix):
        -H, --host HOST          the switch's name or address
        -f, --params FILE        the switch's parameter file
        -t, --timeout SECONDS    the limit of the whole check (default 30)
        --known-hosts FILE       the known host keys (see above)
        --host-key-policy accept-new|strict
        --accept                 remember the configuration found, even
                                 when it changed and UCF is F (not with
                                 CFG=COMPARE)
        --diff-lines N           removed and added lines shown (default 40)
        --no-listing             keep no FILE.listing (and show no diff)
        --credentials FILE       shared login settings (see above)
        --kinds-dir DIR          kind files of other switches (default
                                 /etc/comvorlix/kinds; see kinds)
        --failure-state critical|unknown|warning
                                 the state of a check that could not look
                                 (connection, login, a host key not
                                 recorded, the time-out, the lock); a
                                 change, a difference and a refused host
                                 key stay CRITICAL (default critical)
        --dry-run                check and report, but write nothing: no
                                 checksum, no FILE.listing, no host key
                                 (a switch not yet known ends UNKNOWN)
        -v, --verbose            the session and the check's steps on
                                 standard error (-vv: with the SSH log)
        -h, --help               this text
        -V, --version            the version
      A wrong invocation prints one line, CONFIG UNKNOWN - ..., and
      exits with 3.
)";
  }
  if (command == "configure") {
    return R"(  configure --params FILE [--host HOST] [--timeout SECONDS]
      Shows the configuration dialog, loaded from FILE when it exists. OK
      writes the new parameter string to FILE (mode 0600 when new); closing
      the dialog leaves FILE untouched.
  configure --params FILE --no-gui [FIELD OPTIONS]
      The same without a window (implied when there is no display): FILE
      is loaded, the given fields are set, and OK is pressed. Fields:
)" + FieldLines() + R"(      Passwords are never taken from the command line, and only one of
      them from standard input. Without a field option and without a
      display there is nothing to do: a usage error, FILE untouched.
      -f, -H and -t stand for --params, --host and --timeout.
  Onboarding, with any of the above:
        --owner USER[:GROUP]     (as root) gives FILE and FILE.listing
                                 to the monitoring user (and its group)
        --test                   then logs in to --host HOST once with
                                 FILE's settings and reports as a check
                                 does, remembering nothing of it
        --known-hosts FILE       the known host keys of that login
  configure --credentials FILE [--no-gui] LOGIN OPTIONS
      Writes a credentials file for check --credentials: only the login
      fields (--user, which it needs, --password-file or
      --password-stdin, --enable-password-file or
      --enable-password-stdin, --protocol, --key-file,
      --key-type), never a window. One run rotates a password for every
      switch whose check names FILE.
)";
  }
  if (command == "crc") {
    return R"(  crc [FILE]
      Prints the checksum of FILE's bytes (standard input without FILE),
      in the form the parameter string stores it.
)";
  }
  if (command == "kinds") {
    return R"(  kinds [--kinds-dir DIR]
      Lists every kind of switch the check knows: its code (DEV), its
      name and the file it comes from ("built in" for a shipped kind).
      Kind files in DIR (default /etc/comvorlix/kinds; check and
      configure take --kinds-dir too) add kinds or replace a shipped kind
      of the same code; the shipped ones are in /usr/share/comvorlix/kinds
      to read and copy, and comvorlix-kinds(5) describes the format. Only
      regular *.toml files owned by root or the running user and writable
      by neither group nor others are read. Each problem is printed as
      FILE:LINE: what, and the command exits with 3; the other kinds still
      load.
)";
  }
  if (command == "secret") {
    return R"(  secret encode | secret decode
      Reads one value from standard input and prints its stored
      (encrypted) form, or the clear text of a stored form.
)";
  }
  return "";
}

}  // namespace

std::string UsageLine() {
  std::vector<std::string> lines;
  for (const char* command : {"check", "configure", "crc", "secret", "kinds"}) {
    for (const std::string& line : Synopsis(command)) lines.push_back(line);
  }
  lines.push_back("comvorlix --help | --version | help COMMAND");
  return UsageBlock(lines);
}

std::string CommandUsage(const std::string& command) {
  std::vector<std::string> lines = Synopsis(command);
  if (lines.empty()) return UsageLine();
  if (command == "check") lines.push_back("check_comvorlix (the options of comvorlix check)");
  return UsageBlock(lines);
}

std::string CommandHelp(const std::string& command) {
  std::string section = Section(command);
  if (section.empty()) return WholeHelp();
  // The usage stands first: the section's own synopsis would repeat it.
  // Its text starts with the first line indented by six blanks.
  for (size_t line = 0; line < section.size();) {
    if (section.compare(line, 6, "      ") == 0 && section[line + 6] != ' ') {
      section.erase(0, line);
      break;
    }
    const size_t end = section.find('\n', line);
    line = end == std::string::npos ? section.size() : end + 1;
  }
  std::string help = CommandUsage(command) + "\n\n" + section;
  if (command != "check") help += "\n  -h, --help   this text\n  -V, --version\n";
  return help;
}

std::string WholeHelp() {
  return "comvorlix - network device configuration checker\n\n" + Introduction() + "\nCommands:\n" +
         Section("check") + "\n" + Section("configure") + "\n" + Section("crc") + "\n" + Section("secret") + "\n" + Section("kinds") +
         "\n  --help, --version, help COMMAND (the help of one command)\n";
}

}  // namespace comvorlix::cli

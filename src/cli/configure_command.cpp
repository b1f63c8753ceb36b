#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <iostream>
#include <iterator>
#include <stdexcept>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/one_line.h"
#include "cli/parameter_file.h"
#include "cli/utf8_check.h"
#include "cli/standard_input.h"
#include "comvorlix/comvorlix.h"
#include "automation/automation_error.h"
#include "devices/device_table.h"
#include "files/files.h"
#include "params/item_codes.h"
#include "params/keys.h"
#include "params/parameter_fields.h"
#include "params/parameter_string.h"
#include "params/port_rule.h"
#include "params/shared_login.h"

namespace comvorlix::cli {
namespace {

// One field option's change to the fields read from FILE.
using FieldChange = std::function<void(ParameterFields&)>;

// An option whose value is a code of one of the list fields.
struct ListOption {
  std::string option;
  const CodeList& codes;
  std::string ParameterFields::*field;
};

const std::vector<ListOption>& ListOptions() {
  static const std::vector<ListOption> options = {
      {"--protocol", ProtocolCodes(), &ParameterFields::protocol},
      {"--key-type", KeyTypeCodes(), &ParameterFields::key_type},
      {"--device", DeviceCodes(), &ParameterFields::device},
      {"--configuration", ConfigurationCodes(), &ParameterFields::configuration},
  };
  return options;
}

// A secret from a file or standard input: one trailing line end is not part
// of it. Secrets never come from the command line.
std::string ReadSecret(const std::string& source) {
  std::string value;
  if (source == "-") {
    return ReadValueFromStandardInput(kMaxSecretBytes, "secret");
  } else {
    try {
      value = ReadFileBytes(source);
    } catch (const AutomationError& e) {
      throw UsageError(e.description());
    }
  }
  if (!value.empty() && value.back() == '\n') value.pop_back();
  if (!value.empty() && value.back() == '\r') value.pop_back();
  return value;
}

// A value given as bytes: malformed UTF-8 is refused rather than stored.
std::string Utf8Value(const std::string& bytes, const std::string& what) {
  if (FirstInvalidUtf8(bytes)) throw UsageError(what + " is not valid UTF-8");
  return bytes;
}

std::string SecretValue(const std::string& source, const std::string& option) {
  return Utf8Value(ReadSecret(source), "the value read for " + option);
}

// "cisco", "CSCSW", "Aruba/ProCurve", "procurve", "hp 1920": upper case
// without blanks, so that a code or a name matches however it is written.
std::string Folded(const std::string& text) {
  std::string folded;
  for (char c : text) {
    if (c == ' ') continue;
    folded += c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
  }
  return folded;
}

// The code `given` stands for: a code in any case, or for --device also
// the kind's name as the help lists it ("Cisco", "Aruba/ProCurve" or either
// half of it, "HP 1920").
std::optional<std::string> MatchingCode(const ListOption& list, const std::string& given) {
  const std::string wanted = Folded(given);
  if (wanted.empty()) return std::nullopt;
  for (const CodeItem& item : list.codes.items) {
    if (Folded(item.code) == wanted) return item.code;
  }
  if (list.field != &ParameterFields::device) return std::nullopt;
  for (const DeviceKind& kind : AllDeviceKinds()) {
    const std::string name = Folded(ToUtf8(kind.short_name));
    bool matches = name == wanted;
    for (size_t start = 0; !matches && start <= name.size();) {
      const size_t slash = std::min(name.find('/', start), name.size());
      matches = name.substr(start, slash - start) == wanted;
      start = slash + 1;
    }
    if (matches) return ToUtf8(kind.code);
  }
  return std::nullopt;
}

// Every change the field options ask for, validated (secrets already read)
// so that a wrong value is refused before FILE is touched.
std::vector<FieldChange> FieldChanges(const Arguments& a) {
  std::vector<FieldChange> changes;
  const auto set = [&](std::string ParameterFields::*field, std::string value) {
    changes.push_back([field, value = std::move(value)](ParameterFields& f) { f.*field = value; });
  };
  const auto flag = [&](bool ParameterFields::*field, bool on) {
    changes.push_back([field, on](ParameterFields& f) { f.*field = on; });
  };
  if (auto v = a.Value("--user")) set(&ParameterFields::user, Utf8Value(*v, "--user"));
  if (auto v = a.Value("--key-file")) set(&ParameterFields::key_file, Utf8Value(*v, "--key-file"));
  if (a.Value("--password-file") && a.Flag("--password-stdin")) {
    throw UsageError("give --password-file or --password-stdin, not both");
  }
  if (auto f = a.Value("--password-file")) set(&ParameterFields::password, SecretValue(*f, "--password-file"));
  if (a.Flag("--password-stdin")) set(&ParameterFields::password, SecretValue("-", "--password-stdin"));
  if (a.Value("--enable-password-file") && a.Flag("--enable-password-stdin")) {
    throw UsageError("give --enable-password-file or --enable-password-stdin, not both");
  }
  // Standard input holds one value: two secrets cannot both be read there.
  if (a.Flag("--password-stdin") && a.Flag("--enable-password-stdin")) {
    throw UsageError(
        "--password-stdin and --enable-password-stdin cannot both read standard input; give one of the passwords "
        "with --password-file or --enable-password-file");
  }
  if (auto f = a.Value("--enable-password-file")) {
    set(&ParameterFields::enable_password, SecretValue(*f, "--enable-password-file"));
  }
  if (a.Flag("--enable-password-stdin")) {
    set(&ParameterFields::enable_password, SecretValue("-", "--enable-password-stdin"));
  }
  if (auto port = a.Value("--port")) {
    set(&ParameterFields::port, std::to_string(ParseWholeNumber("--port", *port, 1, kMaxTcpPort)));
  }
  for (const ListOption& list : ListOptions()) {
    auto v = a.Value(list.option);
    if (!v) continue;
    std::optional<std::string> code = MatchingCode(list, *v);
    if (!code) {
      std::string valid;
      for (const CodeItem& item : list.codes.items) valid += (valid.empty() ? "" : ", ") + item.code;
      std::string names;
      if (list.field == &ParameterFields::device) {
        for (const DeviceKind& kind : AllDeviceKinds()) names += (names.empty() ? "" : ", ") + ToUtf8(kind.short_name);
        names = " (or a name: " + names + ")";
      }
      throw UsageError(list.option + " must be one of " + valid + ", not \"" + *v + "\"" + names);
    }
    set(list.field, *code);
  }
  if (a.Flag("--update-known") && a.Flag("--no-update-known")) {
    throw UsageError("give --update-known or --no-update-known, not both");
  }
  if (a.Flag("--update-known")) flag(&ParameterFields::update_changed, true);
  if (a.Flag("--no-update-known")) flag(&ParameterFields::update_changed, false);
  if (a.Value("--debug-file") && a.Flag("--no-debug")) throw UsageError("give --debug-file or --no-debug, not both");
  if (auto f = a.Value("--debug-file")) {
    flag(&ParameterFields::debug, true);
    set(&ParameterFields::debug_file, Utf8Value(*f, "--debug-file"));
  }
  if (a.Flag("--no-debug")) {
    flag(&ParameterFields::debug, false);
    set(&ParameterFields::debug_file, std::string());
  }
  return changes;
}

// What OK on the dialog gives without showing it: FILE's fields as the form
// would show them, changed by the options.
std::string BuildWithoutDialog(const std::string& before, const std::vector<FieldChange>& changes) {
  ParameterFields fields = ReadParameterFields(before);
  for (const FieldChange& change : changes) change(fields);
  return BuildParameterString(fields);
}

// The remembered checksum of `before` carried over into `after`, so that a
// changed password or port does not make the next check learn whatever the
// switch holds then. It only stands for the same listing: with another
// device kind or configuration kind it is dropped, and `note` says so.
std::string CarryChecksum(const std::string& before, const std::string& after, std::string& note) {
  const std::string checksum = GetKeyValue(before, keys::kChecksum);
  if (checksum.empty() || !GetKeyValue(after, keys::kChecksum).empty()) return after;
  if (GetKeyValue(before, keys::kDevice) != GetKeyValue(after, keys::kDevice) ||
      GetKeyValue(before, keys::kConfiguration) != GetKeyValue(after, keys::kConfiguration)) {
    note = "; the remembered checksum " + checksum +
           " was dropped (the device or configuration kind changed): the next check remembers what it finds";
    return after;
  }
  return SetKeyValue(after, keys::kChecksum, checksum);
}

// A credentials file holds login settings only: an option for anything
// else would be dropped silently, so it is refused.
void RequireLoginOptionsOnly(const Arguments& a) {
  for (const char* option : {"--port", "--device", "--configuration", "--debug-file"}) {
    if (a.Value(option)) throw UsageError(std::string(option) + " is not a login setting; a credentials file holds none");
  }
  for (const char* option : {"--update-known", "--no-update-known", "--no-debug"}) {
    if (a.Flag(option)) throw UsageError(std::string(option) + " is not a login setting; a credentials file holds none");
  }
}

// --owner USER[:GROUP]: the user (and group; without one, the user's own)
// a written file is given to. Only root can give a file away.
struct FileOwner {
  uid_t uid;
  gid_t gid;
  std::string shown;  // "nagios:nagios"
};

std::optional<FileOwner> OwnerOption(const Arguments& a) {
  const std::optional<std::string> given = a.Value("--owner");
  if (!given) return std::nullopt;
  if (::geteuid() != 0) throw UsageError("--owner needs root: only root can give a file to another user");
  const size_t colon = given->find(':');
  const std::string user = given->substr(0, colon);
  const passwd* pw = user.empty() ? nullptr : ::getpwnam(user.c_str());
  if (pw == nullptr) throw UsageError("--owner: there is no user \"" + user + "\"");
  FileOwner owner{pw->pw_uid, pw->pw_gid, user};
  const group* own = ::getgrgid(pw->pw_gid);
  std::string group_name = own != nullptr ? own->gr_name : std::to_string(pw->pw_gid);
  if (colon != std::string::npos) {
    group_name = given->substr(colon + 1);
    const group* gr = group_name.empty() ? nullptr : ::getgrnam(group_name.c_str());
    if (gr == nullptr) throw UsageError("--owner: there is no group \"" + group_name + "\"");
    owner.gid = gr->gr_gid;
  }
  owner.shown += ":" + group_name;
  return owner;
}

// Gives the file at `name` to `owner` when a regular file is there; never
// through a link. Nothing there: nothing to give.
void GiveTo(const NameInFolder& name, const FileOwner& owner) {
  struct stat st {};
  if (::fstatat(name.folder_fd(), name.name().c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0 || !S_ISREG(st.st_mode)) return;
  if (::fchownat(name.folder_fd(), name.name().c_str(), owner.uid, owner.gid, AT_SYMLINK_NOFOLLOW) != 0) {
    throw std::runtime_error("cannot give " + name.path() + " to " + owner.shown + ": " + std::strerror(errno));
  }
}

// --test: one check with the settings just configured, reported as a check
// reports, with nothing of its result remembered (the checksum and the
// listing it found are dropped).
Outcome TestLogin(const Arguments& a, const std::string& parameter, long timeout, const std::string& written) {
  const std::string host = *a.Value("--host");
  if (timeout == 0) timeout = 30;
  CheckOptions options;
  options.known_hosts_file = a.Value("--known-hosts").value_or("");
  options.deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeout);
  options.deadline_seconds = static_cast<int>(timeout);
  CheckVerdict verdict = CheckConfiguration(host, static_cast<int>(timeout), parameter, options);
  const ExitStatus state = verdict.state == CheckState::kOk        ? kOk
                           : verdict.state == CheckState::kUnknown ? kUnknown
                                                                   : kCritical;
  std::vector<std::string> lines = std::move(verdict.details);
  if (!verdict.learned_host_key.empty()) lines.push_back(verdict.learned_host_key);
  lines.push_back("(a test: " + written + "; no checksum or listing of this login was remembered)");
  return PluginOutcome(state, OneLine(verdict.text), "", std::move(lines));
}

}  // namespace

Outcome RunConfigureCommand(const Args& args) {
  // -f, -H and -t as the check takes them: `configure --test` runs one.
  std::vector<Option> options = {{"--params", 'f', kValue}, {"--host", 'H', kValue}, {"--timeout", 't', kValue}};
  for (const char* name : {"--credentials", "--user", "--password-file", "--enable-password-file", "--protocol", "--port", "--key-file",
                           "--key-type", "--device", "--configuration", "--debug-file", "--owner", "--known-hosts"}) {
    options.push_back({name, 0, kValue});
  }
  for (const char* name : {"--no-gui", "--password-stdin", "--enable-password-stdin", "--update-known",
                           "--no-update-known", "--no-debug", "--test"}) {
    options.push_back({name, 0, kFlag});
  }
  const Arguments a(args, options);
  if (!a.positional().empty()) throw UsageError("unexpected argument \"" + a.positional()[0] + "\"");
  // --credentials FILE: the login settings that many switches share.
  const bool credentials = a.Value("--credentials").has_value();
  if (credentials && a.Value("--params")) throw UsageError("give --params or --credentials, not both");
  if (credentials) RequireLoginOptionsOnly(a);
  if (credentials && a.Flag("--test")) throw UsageError("--test logs in with a switch's --params FILE, not with --credentials");
  const std::string params = credentials ? *a.Value("--credentials") : a.Required("--params");
  const std::string kind = credentials ? "credentials file " : "parameter file ";
  const long timeout = ParseWholeNumber("--timeout", a.Value("--timeout").value_or("30"), 0, 32767);
  const bool test = a.Flag("--test");
  if (test && !a.Value("--host")) throw UsageError("--test needs --host HOST, the switch to log in to");
  if (!test && a.Value("--known-hosts")) throw UsageError("--known-hosts is used only with --test");
  const std::optional<FileOwner> owner = OwnerOption(a);
  // Validated before FILE is touched: a wrong value changes nothing.
  const std::vector<FieldChange> changes = FieldChanges(a);
  // Fields given on the command line mean: no window.
  const bool gui = !credentials && !a.Flag("--no-gui") && changes.empty() && ConfigurationFormAvailable();
  // Without a field and without the dialog there is nothing to configure
  // (a test alone logs in with FILE as it is).
  if (!gui && changes.empty() && !test) {
    throw UsageError(
        "nothing to set: give the fields to write (--user NAME, --password-file FILE or --password-stdin, "
        "--device KIND, ...; see 'comvorlix configure --help'), or run it where a display can show the dialog; " +
        params + " unchanged");
  }

  std::string after, said;
  try {
    ParameterFile file = ParameterFile::OpenLocked(params);
    const std::string before = file.exists() ? file.Read() : std::string();
    if (test && !file.exists() && changes.empty() && !gui) {
      throw std::runtime_error("parameter file " + params + " does not exist: nothing to test");
    }
    file.CheckWritable();

    if (gui) {
      // Closing the form without OK keeps the string as it was.
      after = ShowConfigurationForm(a.Value("--host").value_or(""), static_cast<int>(timeout), before)
                  .value_or(before);
    } else {
      after = BuildWithoutDialog(before, changes);
    }
    if (credentials) {
      after = LoginKeysOnly(after);
      if (GetKeyValue(after, keys::kUser).empty()) {
        throw UsageError("a credentials file needs a user name (--user)");
      }
    }
    std::string note;
    // Closing the dialog without OK hands back the string that was put.
    if (after != before) after = CarryChecksum(before, after, note);
    if (after == before) {
      said = kind + params + " unchanged";
    } else {
      file.Replace(after);
      said = kind + params + " written" + note;
    }
    if (owner && (file.exists() || after != before)) {
      try {
        GiveTo(file.name(), *owner);
        GiveTo(file.name().Sibling(".listing"), *owner);
      } catch (const std::exception& e) {
        return Outcome{kUnknown, "", std::string("comvorlix: ") + said + ", but " + e.what()};
      }
      said += ", owned by " + owner->shown;
    }
  } catch (const UsageError&) {
    throw;
  } catch (const AutomationError& e) {
    return Outcome{kUnknown, "", "comvorlix: " + e.description() + "; " + params + " unchanged"};
  } catch (const std::exception& e) {
    return Outcome{kUnknown, "", std::string("comvorlix: ") + e.what() + "; " + params + " unchanged"};
  }
  if (test) return TestLogin(a, after, timeout, said);
  return Outcome{kOk, said, ""};
}

}  // namespace comvorlix::cli

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
#include <iterator>
#include <stdexcept>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/one_line.h"
#include "cli/parameter_file.h"
#include "cli/utf8_check.h"
#include "cli/standard_input.h"
#include "comvorlix/comvorlix.h"
#include "base/automation_error.h"
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

// The code `given` stands for: a code in any case, or an item's name as
// the help lists it ("Cisco", "Aruba/ProCurve" or either half of it, "HP
// 1920").
std::optional<std::string> MatchingCode(const CodeList& codes, const std::string& given) {
  const std::string wanted = Folded(given);
  if (wanted.empty()) return std::nullopt;
  for (const CodeItem& item : codes.items) {
    if (Folded(item.code) == wanted) return item.code;
  }
  for (const CodeItem& item : codes.items) {
    const std::string name = Folded(item.name);
    bool matches = !name.empty() && name == wanted;
    for (size_t start = 0; !name.empty() && !matches && start <= name.size();) {
      const size_t slash = std::min(name.find('/', start), name.size());
      matches = name.substr(start, slash - start) == wanted;
      start = slash + 1;
    }
    if (matches) return item.code;
  }
  return std::nullopt;
}

// "A, B, C" of each item's code, or name.
std::string Listed(const CodeList& codes, std::string CodeItem::*part) {
  std::string listed;
  for (const CodeItem& item : codes.items) listed += (listed.empty() ? "" : ", ") + item.*part;
  return listed;
}

std::string FileOption(const ParameterKey& row) { return std::string(row.option) + "-file"; }
std::string StdinOption(const ParameterKey& row) { return std::string(row.option) + "-stdin"; }

// The options of every key `configure` sets: those taking a value, then the
// flags.
std::vector<Option> FieldOptions(OptionArgument argument) {
  std::vector<Option> options;
  for (const ParameterKey& row : ParameterKeys()) {
    if (row.option.empty()) continue;
    if (argument == kValue) {
      if (row.kind == ValueKind::kSecret) options.push_back({FileOption(row), 0, kValue});
      if (row.kind != ValueKind::kSecret && row.kind != ValueKind::kFlag) {
        options.push_back({std::string(row.option), 0, kValue});
      }
    } else {
      if (row.kind == ValueKind::kSecret) options.push_back({StdinOption(row), 0, kFlag});
      if (row.kind == ValueKind::kFlag) options.push_back({std::string(row.option), 0, kFlag});
      if (!row.off_option.empty()) options.push_back({std::string(row.off_option), 0, kFlag});
    }
  }
  return options;
}

// The options given that contradict each other, refused before anything is
// read: both forms of a secret, a setting and its opposite, two secrets
// from the one standard input.
void RefuseContradictions(const Arguments& a) {
  const ParameterKey* stdin_row = nullptr;
  for (const ParameterKey& row : ParameterKeys()) {
    if (row.option.empty()) continue;
    if (row.kind == ValueKind::kSecret) {
      if (a.Value(FileOption(row)) && a.Flag(StdinOption(row))) {
        throw UsageError("give " + FileOption(row) + " or " + StdinOption(row) + ", not both");
      }
      if (a.Flag(StdinOption(row))) {
        // Standard input holds one value: two secrets cannot both be read there.
        if (stdin_row != nullptr) {
          throw UsageError(StdinOption(*stdin_row) + " and " + StdinOption(row) +
                           " cannot both read standard input; give one of the passwords with " +
                           FileOption(*stdin_row) + " or " + FileOption(row));
        }
        stdin_row = &row;
      }
    }
    if (row.off_option.empty()) continue;
    const bool on = row.kind == ValueKind::kFlag ? a.Flag(std::string(row.option))
                                                 : a.Value(std::string(row.option)).has_value();
    if (on && a.Flag(std::string(row.off_option))) {
      throw UsageError("give " + std::string(row.option) + " or " + std::string(row.off_option) + ", not both");
    }
  }
}

// Every change the field options ask for, validated (secrets already read)
// so that a wrong value is refused before FILE is touched.
std::vector<FieldChange> FieldChanges(const Arguments& a) {
  RefuseContradictions(a);
  std::vector<FieldChange> changes;
  const auto set = [&](std::string ParameterFields::*field, std::string value) {
    changes.push_back([field, value = std::move(value)](ParameterFields& f) { f.*field = value; });
  };
  const auto flag = [&](bool ParameterFields::*field, bool on) {
    changes.push_back([field, on](ParameterFields& f) { f.*field = on; });
  };
  for (const ParameterKey& row : ParameterKeys()) {
    if (row.option.empty()) continue;
    const std::string option(row.option);
    switch (row.kind) {
      case ValueKind::kSecret:
        if (auto f = a.Value(FileOption(row))) set(row.text, SecretValue(*f, FileOption(row)));
        if (a.Flag(StdinOption(row))) set(row.text, SecretValue("-", StdinOption(row)));
        break;
      case ValueKind::kPort:
        if (auto v = a.Value(option)) set(row.text, std::to_string(ParseWholeNumber(option, *v, 1, kMaxTcpPort)));
        break;
      case ValueKind::kList:
        if (auto v = a.Value(option)) {
          const CodeList& codes = row.codes();
          std::optional<std::string> code = MatchingCode(codes, *v);
          if (!code) {
            const std::string names = Listed(codes, &CodeItem::name);
            throw UsageError(option + " must be one of " + Listed(codes, &CodeItem::code) + ", not \"" + *v + "\"" +
                             (codes.items.empty() || codes.items.front().name.empty() ? "" : " (or a name: " + names + ")"));
          }
          set(row.text, *code);
        }
        break;
      case ValueKind::kFlag:
        if (a.Flag(option)) flag(row.flag, true);
        if (a.Flag(std::string(row.off_option))) flag(row.flag, false);
        break;
      case ValueKind::kPlain:
        if (auto v = a.Value(option)) {
          if (row.switches != nullptr) flag(row.switches, true);
          set(row.text, Utf8Value(*v, option));
        }
        if (!row.off_option.empty() && a.Flag(std::string(row.off_option))) {
          if (row.switches != nullptr) flag(row.switches, false);
          set(row.text, std::string());
        }
        break;
    }
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
  for (const ParameterKey& row : ParameterKeys()) {
    if (row.login || row.option.empty()) continue;
    for (const std::string_view option : {row.option, row.off_option}) {
      const std::string name(option);
      if (name.empty()) continue;
      const bool value = row.kind != ValueKind::kFlag && option == row.option;
      if (value ? a.Value(name).has_value() : a.Flag(name)) {
        throw UsageError(name + " is not a login setting; a credentials file holds none");
      }
    }
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
  options.deadline = CheckDeadline{std::chrono::steady_clock::now() + std::chrono::seconds(timeout),
                                   static_cast<int>(timeout)};
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
  options.push_back({"--credentials", 0, kValue});
  for (Option& o : FieldOptions(kValue)) options.push_back(std::move(o));
  options.push_back({"--owner", 0, kValue});
  options.push_back({"--known-hosts", 0, kValue});
  options.push_back({"--no-gui", 0, kFlag});
  for (Option& o : FieldOptions(kFlag)) options.push_back(std::move(o));
  options.push_back({"--test", 0, kFlag});
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

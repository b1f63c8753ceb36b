#include <cstdlib>
#include <functional>
#include <iostream>
#include <iterator>
#include <stdexcept>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/parameter_file.h"
#include "cli/utf8_check.h"
#include "cli/standard_input.h"
#include "comvorlix/comvorlix.h"
#include "automation/automation_error.h"
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
  Text ParameterFields::*field;
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

// A value given as bytes, as text: malformed UTF-8 is refused rather than
// stored as U+FFFD.
Text Utf8Value(const std::string& bytes, const std::string& what) {
  if (FirstInvalidUtf8(bytes)) throw UsageError(what + " is not valid UTF-8");
  return FromUtf8(bytes);
}

Text SecretText(const std::string& source, const std::string& option) {
  return Utf8Value(ReadSecret(source), "the value read for " + option);
}

// Every change the field options ask for, validated (secrets already read)
// so that a wrong value is refused before FILE is touched.
std::vector<FieldChange> FieldChanges(const Arguments& a) {
  std::vector<FieldChange> changes;
  const auto set = [&](Text ParameterFields::*field, Text value) {
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
  if (auto f = a.Value("--password-file")) set(&ParameterFields::password, SecretText(*f, "--password-file"));
  if (a.Flag("--password-stdin")) set(&ParameterFields::password, SecretText("-", "--password-stdin"));
  if (auto f = a.Value("--enable-password-file")) {
    set(&ParameterFields::enable_password, SecretText(*f, "--enable-password-file"));
  }
  if (auto port = a.Value("--port")) {
    set(&ParameterFields::port, FromUtf8(std::to_string(ParseWholeNumber("--port", *port, 1, kMaxTcpPort))));
  }
  for (const ListOption& list : ListOptions()) {
    auto v = a.Value(list.option);
    if (!v) continue;
    const Text code = FromUtf8(*v);
    bool known = false;
    std::string valid;
    for (const CodeItem& item : list.codes.items) {
      known = known || item.code == code;
      valid += (valid.empty() ? "" : ", ") + ToUtf8(item.code);
    }
    if (!known) throw UsageError(list.option + " must be one of " + valid + ", not \"" + *v + "\"");
    set(list.field, code);
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
    set(&ParameterFields::debug_file, Text());
  }
  return changes;
}

// What OK on the dialog gives without showing it: FILE's fields as the form
// would show them, changed by the options.
std::string BuildWithoutDialog(const std::string& before, const std::vector<FieldChange>& changes) {
  ParameterFields fields = ReadParameterFields(FromUtf8(before));
  for (const FieldChange& change : changes) change(fields);
  return ToUtf8(BuildParameterString(fields));
}

// The remembered checksum of `before` carried over into `after`, so that a
// changed password or port does not make the next check learn whatever the
// switch holds then. It only stands for the same listing: with another
// device kind or configuration kind it is dropped, and `note` says so.
std::string CarryChecksum(const std::string& before, const std::string& after, std::string& note) {
  const Text old_string = FromUtf8(before), new_string = FromUtf8(after);
  const Text checksum = GetKeyValue(old_string, keys::kChecksum);
  if (checksum.empty() || !GetKeyValue(new_string, keys::kChecksum).empty()) return after;
  if (GetKeyValue(old_string, keys::kDevice) != GetKeyValue(new_string, keys::kDevice) ||
      GetKeyValue(old_string, keys::kConfiguration) != GetKeyValue(new_string, keys::kConfiguration)) {
    note = "; the remembered checksum " + ToUtf8(checksum) +
           " was dropped (the device or configuration kind changed): the next check remembers what it finds";
    return after;
  }
  return ToUtf8(SetKeyValue(new_string, keys::kChecksum, checksum));
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

}  // namespace

Outcome RunConfigureCommand(const Args& args) {
  Arguments a(args,
              {"--params", "--credentials", "--host", "--timeout", "--user", "--password-file", "--enable-password-file",
               "--protocol", "--port", "--key-file", "--key-type", "--device", "--configuration", "--debug-file"},
              {"--no-gui", "--password-stdin", "--update-known", "--no-update-known", "--no-debug"});
  if (!a.positional().empty()) throw UsageError("unexpected argument \"" + a.positional()[0] + "\"");
  // --credentials FILE: the login settings that many switches share.
  const bool credentials = a.Value("--credentials").has_value();
  if (credentials && a.Value("--params")) throw UsageError("give --params or --credentials, not both");
  if (credentials) RequireLoginOptionsOnly(a);
  const std::string params = credentials ? *a.Value("--credentials") : a.Required("--params");
  const std::string kind = credentials ? "credentials file " : "parameter file ";
  const long timeout = ParseWholeNumber("--timeout", a.Value("--timeout").value_or("30"), 0, 32767);
  // Validated before FILE is touched: a wrong value changes nothing.
  const std::vector<FieldChange> changes = FieldChanges(a);
  // Fields given on the command line mean: no window.
  const bool gui = !credentials && !a.Flag("--no-gui") && changes.empty() && ConfigurationFormAvailable();

  try {
    ParameterFile file = ParameterFile::OpenLocked(params);
    const std::string before = file.exists() ? file.Read() : std::string();
    file.CheckWritable();

    std::string after;
    if (gui) {
      // Closing the form without OK keeps the string as it was.
      after = ShowConfigurationForm(a.Value("--host").value_or(""), static_cast<int>(timeout), before)
                  .value_or(before);
    } else {
      after = BuildWithoutDialog(before, changes);
    }
    if (credentials) {
      after = ToUtf8(LoginKeysOnly(FromUtf8(after)));
      if (GetKeyValue(FromUtf8(after), keys::kUser).empty()) {
        throw UsageError("a credentials file needs a user name (--user)");
      }
    }
    // Closing the dialog without OK hands back the string that was put.
    if (after == before) return Outcome{kOk, kind + params + " unchanged", ""};
    std::string note;
    after = CarryChecksum(before, after, note);
    if (after == before) return Outcome{kOk, kind + params + " unchanged", ""};
    file.Replace(after);
    return Outcome{kOk, kind + params + " written" + note, ""};
  } catch (const UsageError&) {
    throw;
  } catch (const AutomationError& e) {
    return Outcome{kUnknown, "", "comvorlix: " + e.description() + "; " + params + " unchanged"};
  } catch (const std::exception& e) {
    return Outcome{kUnknown, "", std::string("comvorlix: ") + e.what() + "; " + params + " unchanged"};
  }
}

}  // namespace comvorlix::cli

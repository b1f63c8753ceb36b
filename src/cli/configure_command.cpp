#include <cstdlib>
#include <iostream>
#include <iterator>
#include <map>
#include <stdexcept>

#include "cli/arguments.h"
#include "cli/commands.h"
#include "cli/component_host.h"
#include "cli/parameter_file.h"
#include "dialog/front_end.h"
#include "dialog/item_codes.h"
#include "automation/automation_error.h"
#include "files/files.h"

namespace comvorlix::cli {
namespace {

// Options whose value selects an item of one of the dialog's combo boxes.
const std::vector<std::pair<std::string, const ComboList*>>& ItemOptions() {
  static const std::vector<std::pair<std::string, const ComboList*>> options = {
      {"--protocol", &ProtocolList()},
      {"--key-type", &KeyTypeList()},
      {"--device", &DeviceList()},
      {"--configuration", &ConfigurationList()},
  };
  return options;
}

const std::map<std::string, const char16_t*>& TextOptions() {
  static const std::map<std::string, const char16_t*> options = {
      {"--user", u"txtUsername"}, {"--key-file", u"txtKeyfile"}};
  return options;
}

// A secret from a file or standard input: one trailing line end is not part
// of it. Secrets never come from the command line.
std::string ReadSecret(const std::string& source) {
  std::string value;
  if (source == "-") {
    value.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
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

std::vector<ControlSetting> FieldSettings(const Arguments& a) {
  std::vector<ControlSetting> settings;
  auto text = [&](const char16_t* control, const std::string& value) {
    settings.push_back({control, u"Text", Variant::FromText(FromUtf8(value))});
  };
  auto check = [&](const char16_t* control, bool on) {
    settings.push_back({control, u"Value", Variant::Int16(on ? 1 : 0)});
  };
  for (const auto& [option, control] : TextOptions()) {
    if (auto v = a.Value(option)) text(control, *v);
  }
  if (a.Value("--password-file") && a.Flag("--password-stdin")) {
    throw UsageError("give --password-file or --password-stdin, not both");
  }
  if (auto f = a.Value("--password-file")) text(u"txtPassword", ReadSecret(*f));
  if (a.Flag("--password-stdin")) text(u"txtPassword", ReadSecret("-"));
  if (auto f = a.Value("--enable-password-file")) text(u"txtenablepassword", ReadSecret(*f));
  if (auto port = a.Value("--port")) text(u"txtPort", std::to_string(ParseWholeNumber("--port", *port, 1, 32767)));
  for (const auto& [option, list] : ItemOptions()) {
    auto v = a.Value(option);
    if (!v) continue;
    int index = -1;
    std::string valid;
    for (size_t i = 0; i < list->items.size(); ++i) {
      if (list->items[i].code == FromUtf8(*v)) index = static_cast<int>(i);
      valid += (valid.empty() ? "" : ", ") + ToUtf8(list->items[i].code);
    }
    if (index < 0) throw UsageError(option + " must be one of " + valid + ", not \"" + *v + "\"");
    settings.push_back({Text(list->control), u"ListIndex", Variant::Int16(static_cast<int16_t>(index))});
  }
  if (a.Flag("--update-known") && a.Flag("--no-update-known")) {
    throw UsageError("give --update-known or --no-update-known, not both");
  }
  if (a.Flag("--update-known")) check(u"chkReset", true);
  if (a.Flag("--no-update-known")) check(u"chkReset", false);
  if (a.Value("--debug-file") && a.Flag("--no-debug")) throw UsageError("give --debug-file or --no-debug, not both");
  if (auto f = a.Value("--debug-file")) {
    check(u"chkdebug", true);
    text(u"txtdebugfile", *f);
  }
  if (a.Flag("--no-debug")) {
    check(u"chkdebug", false);
    text(u"txtdebugfile", "");
  }
  return settings;
}

}  // namespace

Outcome RunConfigureCommand(const Args& args) {
  Arguments a(args,
              {"--params", "--host", "--timeout", "--user", "--password-file", "--enable-password-file",
               "--protocol", "--port", "--key-file", "--key-type", "--device", "--configuration", "--debug-file"},
              {"--no-gui", "--password-stdin", "--update-known", "--no-update-known", "--no-debug"});
  if (!a.positional().empty()) throw UsageError("unexpected argument \"" + a.positional()[0] + "\"");
  const std::string params = a.Required("--params");
  const long timeout = ParseWholeNumber("--timeout", a.Value("--timeout").value_or("30"), 0, 32767);
  // Validated before FILE is touched: a wrong value changes nothing.
  const std::vector<ControlSetting> settings = FieldSettings(a);
  // Fields given on the command line mean: no window.
  const bool gui = !a.Flag("--no-gui") && settings.empty() && DefaultFrontEndAvailable();

  try {
    ParameterFile file = ParameterFile::OpenLocked(params);
    const std::string before = file.exists() ? file.Read() : std::string();
    file.CheckWritable();

    if (!gui) InstallDialogFrontEnd(std::make_shared<ScriptedFrontEnd>(settings));
    ComponentHost component;
    component.Put(u"qo_hostname", Variant::FromText(FromUtf8(a.Value("--host").value_or(""))));
    component.Put(u"qo_timeout", Variant::Int16(static_cast<int16_t>(timeout)));
    component.Put(u"qo_parameter", Variant::FromText(FromUtf8(before)));
    component.Call(u"qo_showGUI");
    const std::string after = ToUtf8(component.Get(u"qo_parameter").ToText());
    // Closing the dialog without OK hands back the string that was put.
    if (after == before) return Outcome{kOk, "parameter file " + params + " unchanged", ""};
    file.Replace(after);
    return Outcome{kOk, "parameter file " + params + " written", ""};
  } catch (const AutomationError& e) {
    return Outcome{kUnknown, "", "comvorlix: " + e.description() + "; " + params + " unchanged"};
  } catch (const std::exception& e) {
    return Outcome{kUnknown, "", std::string("comvorlix: ") + e.what() + "; " + params + " unchanged"};
  }
}

}  // namespace comvorlix::cli

#include "dialog/front_end.h"

#include <cstdlib>
#include <mutex>
#include <string>
#include <string_view>

#include "dialog/dialog_module.h"
#include "dialog/display_probe.h"
#include "dialog/module_front_end.h"

namespace comvorlix {
namespace {

std::mutex& InstalledMutex() {
  static std::mutex mutex;
  return mutex;
}

std::shared_ptr<DialogFrontEnd>& Installed() {
  static std::shared_ptr<DialogFrontEnd> installed;
  return installed;
}

bool IsSet(const char* value) { return value != nullptr && *value != '\0'; }

// What deciding on a display needs to know about the system.
struct DisplayChecks {
  std::function<const char*(const char*)> getenv;
  std::function<bool(std::string_view platform)> plugin_present;
  std::function<bool(const char* display)> x11_answers;
  std::function<bool(const char* display)> wayland_answers;
};

bool PlatformUsable(std::string_view name, const DisplayChecks& checks) {
  if (name.empty() || !checks.plugin_present(name)) return false;
  if (name == "xcb") {
    const char* display = checks.getenv("DISPLAY");
    return IsSet(display) && checks.x11_answers(display);
  }
  if (name.starts_with("wayland")) {
    const char* display = checks.getenv("WAYLAND_DISPLAY");
    return IsSet(display) && checks.wayland_answers(display);
  }
  // Platforms that need no display server (offscreen, minimal, vnc, a
  // frame buffer): the operator chose one explicitly.
  return true;
}

bool DisplayUsable(const DisplayChecks& checks) {
  const char* platform = checks.getenv("QT_QPA_PLATFORM");
  if (!IsSet(platform)) return PlatformUsable("xcb", checks) || PlatformUsable("wayland", checks);
  // A list of platforms to try in order ("wayland;xcb"), each possibly with
  // options after a colon ("offscreen:fontengine=freetype").
  std::string_view list(platform);
  while (!list.empty()) {
    const size_t end = list.find(';');
    std::string_view name = list.substr(0, end);
    list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
    if (PlatformUsable(name.substr(0, name.find(':')), checks)) return true;
  }
  return false;
}

constexpr char kNoDisplayText[] = "no display available to show the configuration dialog";

// Whether `module` can show a window now.
bool CanShow(const DialogModule& module) {
  const comvorlix_dialog_module& table = module.table();
  // A running Qt application already has its platform.
  if (table.gui_running() != 0) return true;
  DisplayChecks checks;
  checks.getenv = [](const char* name) { return std::getenv(name); };
  checks.plugin_present = [&table](std::string_view platform) {
    return table.platform_available(std::string(platform).c_str()) != 0;
  };
  checks.x11_answers = [](const char* display) { return X11DisplayAnswers(display); };
  checks.wayland_answers = [](const char* display) {
    return WaylandDisplayAnswers(display, std::getenv("XDG_RUNTIME_DIR"));
  };
  return DisplayUsable(checks);
}

std::shared_ptr<DialogFrontEnd> FrontEndOf(std::shared_ptr<const DialogModule> module) {
  const comvorlix_dialog_module* table = &module->table();
  // The table shares the module's ownership: it is code and data inside it.
  return std::make_shared<ModuleFrontEnd>(
      std::shared_ptr<const comvorlix_dialog_module>(std::move(module), table));
}

}  // namespace

void InstallDialogFrontEnd(std::shared_ptr<DialogFrontEnd> front_end) {
  std::lock_guard lock(InstalledMutex());
  Installed() = std::move(front_end);
}

bool DefaultFrontEndAvailable() {
  // Without a named display, and without a Qt application that may run
  // already, nothing can be shown: the module (and Qt) stay unloaded.
  if (!QtWidgetsLoaded() && !DisplayEnvironmentUsable([](const char* name) { return std::getenv(name); })) {
    return false;
  }
  const DialogModuleOpening opening = OpenDialogModule();
  return opening.module && CanShow(*opening.module);
}

std::shared_ptr<DialogFrontEnd> ActiveDialogFrontEnd() {
  {
    std::lock_guard lock(InstalledMutex());
    if (Installed()) return Installed();
  }
  DialogModuleOpening opening = OpenDialogModule();
  if (!opening.module)
    throw AutomationError(Status::kNoDisplay, std::string(kNoDisplayText) + ": " + opening.problem);
  // Starting Qt without a display it can reach would end the process.
  if (!CanShow(*opening.module)) throw AutomationError(Status::kNoDisplay, kNoDisplayText);
  return FrontEndOf(std::move(opening.module));
}

bool DisplayEnvironmentUsable(const std::function<const char*(const char*)>& getenv) {
  DisplayChecks checks;
  checks.getenv = getenv;
  checks.plugin_present = [](std::string_view) { return true; };
  checks.x11_answers = [](const char*) { return true; };
  checks.wayland_answers = [](const char*) { return true; };
  return DisplayUsable(checks);
}

bool ScriptedFrontEnd::ShowModal(ConfigForm& form) {
  for (const ControlSetting& setting : settings_) {
    PutControlProperty(form, setting.control, setting.property, setting.value);
  }
  if (!press_ok_) return false;
  PutControlProperty(form, u"btOK", u"Value", Variant::Boolean(true));
  return true;
}

void PutControlProperty(Dispatch& form, TextView control, TextView property, const Variant& value) {
  const std::shared_ptr<Dispatch> object = CallByName(form, control, InvokeKind::kPropertyGet).ToObject();
  CallByName(*object, property, InvokeKind::kPropertyPut, {value});
}

Variant GetControlProperty(Dispatch& form, TextView control, TextView property) {
  const std::shared_ptr<Dispatch> object = CallByName(form, control, InvokeKind::kPropertyGet).ToObject();
  return CallByName(*object, property, InvokeKind::kPropertyGet);
}

}  // namespace comvorlix

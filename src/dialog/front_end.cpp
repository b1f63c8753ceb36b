#include "dialog/front_end.h"

#include <cstdlib>
#include <mutex>
#include <string_view>

#ifdef COMVORLIX_HAVE_QT
#include "dialog/qt/qt_front_end.h"
#endif

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

}  // namespace

void InstallDialogFrontEnd(std::shared_ptr<DialogFrontEnd> front_end) {
  std::lock_guard lock(InstalledMutex());
  Installed() = std::move(front_end);
}

std::shared_ptr<DialogFrontEnd> ActiveDialogFrontEnd() {
  {
    std::lock_guard lock(InstalledMutex());
    if (Installed()) return Installed();
  }
#ifdef COMVORLIX_HAVE_QT
  // A running Qt application already has its platform; otherwise starting
  // one without a usable display would end the process.
  if (QtGuiRunning() || DisplayEnvironmentUsable([](const char* name) { return std::getenv(name); })) {
    return QtDialogFrontEnd();
  }
  throw AutomationError(Status::kNoDisplay, "no display available to show the configuration dialog");
#else
  throw AutomationError(Status::kNoDisplay,
                        "no display available to show the configuration dialog: "
                        "built without a graphical front end");
#endif
}

bool DisplayEnvironmentUsable(const std::function<const char*(const char*)>& getenv) {
  const bool x11 = IsSet(getenv("DISPLAY"));
  const bool wayland = IsSet(getenv("WAYLAND_DISPLAY"));
  const char* platform = getenv("QT_QPA_PLATFORM");
  if (!IsSet(platform)) return x11 || wayland;
  // A list of platforms to try in order ("wayland;xcb"), each possibly with
  // options after a colon ("offscreen:fontengine=freetype").
  std::string_view list(platform);
  while (!list.empty()) {
    const size_t end = list.find(';');
    std::string_view name = list.substr(0, end);
    list = end == std::string_view::npos ? std::string_view() : list.substr(end + 1);
    name = name.substr(0, name.find(':'));
    if (name == "xcb") {
      if (x11) return true;
    } else if (name.starts_with("wayland")) {
      if (wayland) return true;
    } else if (!name.empty()) {
      // Platforms that need no display server (offscreen, minimal, vnc, a
      // frame buffer): the operator chose one explicitly.
      return true;
    }
  }
  return false;
}

bool ScriptedFrontEnd::ShowModal(Frmmain& form) {
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

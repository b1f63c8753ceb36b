// Front ends: what shows the form as a window and lets an operator edit it.
//
// The dialog logic (show_dialog.h) fills the form, then hands it to a front
// end, which shows it modally and returns when it is closed. A front end
// reads and writes the form's controls (controls.h) and presses OK by
// clicking the form's `btOK`, whose handler builds the parameter string and
// unloads the form.
//
// Which front end is used: the one installed with InstallDialogFrontEnd, or
// else the default. The default is the Qt Widgets front end, a module that
// the library opens only when it is needed (dialog_module.h: beside the
// library, or where COMVORLIX_DIALOG_MODULE says) and shows the form through
// a C table (front_end_module.h, module_front_end.h). The library itself
// never links Qt. Without the module, or without a display, there is no
// default and ActiveDialogFrontEnd raises kNoDisplay. Installation is
// process-wide and thread-safe; a front end itself is used on the thread
// that shows the form.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "dialog/config_form.h"

namespace comvorlix {

class DialogFrontEnd {
 public:
  virtual ~DialogFrontEnd() = default;
  // Shows the loaded `form` modally, without an owner window, in the
  // top-most band when form.top_most(). Returns true when OK was pressed
  // and its handler ran (the form is then unloaded), false when the window
  // was closed without OK. When the OK handler refuses the values (it
  // raises and leaves the form loaded), a window front end shows the reason
  // and stays open for the operator to correct them; a front end without a
  // window passes the error on. Other errors of the OK handler or of the
  // window system pass to the caller.
  virtual bool ShowModal(ConfigForm& form) = 0;
};

// Installs the front end that ShowConfigurationDialog uses; an empty pointer
// goes back to the default.
void InstallDialogFrontEnd(std::shared_ptr<DialogFrontEnd> front_end);

// The installed front end, else the default one (opening the module).
// Raises kNoDisplay when there is neither: "no display available to show
// the configuration dialog: the graphical front end module was not found
// (looked for PATH)" (or "... PATH could not be opened: REASON") when the
// module is missing or broken, "no display available to show the
// configuration dialog" when it is there but cannot show a window (see
// DefaultFrontEndAvailable).
std::shared_ptr<DialogFrontEnd> ActiveDialogFrontEnd();

// Whether the default front end can show a window: the module opens, and
// either a Qt application with widgets runs already, or the environment
// names a platform (see DisplayEnvironmentUsable) whose Qt plugin is
// installed and whose display server answers (display_probe.h). When the
// environment names no display and no Qt is loaded, the answer is false
// without opening the module. Asking may take up to two seconds for a
// display reached over TCP. Thread-safe.
bool DefaultFrontEndAvailable();

// Whether the environment names a display, judged from the variables
// alone. Without QT_QPA_PLATFORM: DISPLAY or WAYLAND_DISPLAY is set and not
// empty. With it (a ";"-separated list of platforms, each with optional ":"
// options): some listed platform is usable: "xcb" with DISPLAY,
// "wayland..." with WAYLAND_DISPLAY, any other named platform (offscreen,
// minimal, vnc, ...) always. `getenv` returns a variable's value or nullptr.
bool DisplayEnvironmentUsable(const std::function<const char*(const char*)>& getenv);

// One property put on one control, by name: control.property = value.
struct ControlSetting {
  Text control;
  Text property;
  Variant value;
};

// A front end without a window: applies its settings to the form in order,
// through the late-bound interface as an outsider would, then presses OK
// (btOK.Value = True) or, when told so, closes without OK. An error of a
// setting passes to the caller.
class ScriptedFrontEnd : public DialogFrontEnd {
 public:
  explicit ScriptedFrontEnd(std::vector<ControlSetting> settings, bool press_ok = true)
      : settings_(std::move(settings)), press_ok_(press_ok) {}
  bool ShowModal(ConfigForm& form) override;

 private:
  std::vector<ControlSetting> settings_;
  bool press_ok_;
};

// Puts `value` into `property` of the form's control `control`, both by name.
void PutControlProperty(Dispatch& form, TextView control, TextView property, const Variant& value);
// Reads `property` of the form's control `control`, both by name.
Variant GetControlProperty(Dispatch& form, TextView control, TextView property);

}  // namespace comvorlix

// The form frmmain: the configuration dialog as a model, independent of the
// window toolkit that shows it, and the object on which the session side
// hangs its members.
//
// The form owns its controls (controls.h) and hands them out by name, typed
// or late-bound: the form's member `txtUsername` (property get) returns the
// control as an object, whose `Text` is then got or put by name. This is how
// the dialog is filled from outside the form.
//
// Loading: the form is loaded at the first use of any of its members or
// controls after it was created or last unloaded. Loading runs the load
// handler: the caption with the component's version, the item lists of the
// four combo boxes (the names of params/item_codes.h's codes), and a new
// switch's selections and port (ParameterFields' defaults: SSH Auto, RSA,
// running configuration, the first device kind, "22"). Everything else
// starts empty or unchecked. Unloading discards the controls' contents (see
// controls.h) and the top-most state; the form object stays.
//
// OK: clicking `btOK` builds the parameter string from the controls with
// the parameter codec (params/parameter_fields.h: a combo box without a
// selected item gives its list's code for none, a check box counts as set
// only when checked), keeps it as built_parameter() and unloads the form.
// When the codec refuses a value (one it cannot store: a user name, key file
// or debug file with "#", CR, LF or NUL, a port outside 0-65535) or
// encoding a secret field fails, the AutomationError passes to whoever
// clicked, built_parameter() keeps its value and the form stays loaded with
// the values as they were (front_end.h: the window shows the reason).
//
// Late-bound members of the form and their dispatch ids:
//
//   | Member              | Kinds                      | Id                     |
//   |---------------------|----------------------------|------------------------|
//   | Caption             | get, put                   | -518                   |
//   | Name                | get ("frmmain")            | 1                      |
//   | each control        | get (the control object)   | 0x100 + its position in |
//   |                     |                            | the design order below  |
//
// Design order of the controls (the layout rows, then the hidden one):
// Label1, txtHostname, Label9, cmbProtocol, Label10, txtPort, Label2,
// txtUsername, Label3, txtPassword, Label15, txtKeyfile, Label16, cmbKeyType,
// Label12, txtenablepassword, Label8, cmbDevice, Label6, cmbconfiguration,
// chkReset, chkdebug, txtdebugfile, Label4, txtTimeout, Label5, btOK,
// txtResource. `txtResource` is a hidden text box that keeps the text handed
// to SetResource of the public class; nothing in the dialog reads it.
//
// Threads: a form and its controls are used on the thread that created them.
#pragma once

#include <memory>
#include <vector>

#include "dialog/controls.h"
#include "automation/dispatch.h"

namespace comvorlix {

inline constexpr DispId kDispIdFormCaption = -518;
inline constexpr DispId kDispIdFormName = 1;
inline constexpr DispId kDispIdFirstControl = 0x100;

// The caption the form has as designed, before the load handler runs.
inline constexpr TextView kDesignedFormCaption = u"Network device configuration checker";

class ConfigForm : public Dispatch {
 public:
  ConfigForm();
  ~ConfigForm() override;
  ConfigForm(const ConfigForm&) = delete;
  ConfigForm& operator=(const ConfigForm&) = delete;

  std::optional<DispId> GetIdOfName(TextView name) const override;
  Status Invoke(DispId id, InvokeKind kind, std::vector<Variant>& args, Variant* result,
                ErrorInfo* error) override;

  bool loaded() const { return loaded_; }
  // Loads the form unless it is loaded (runs the load handler).
  void Load();
  // Discards the controls' contents; the next use loads the form again.
  void Unload();

  Text caption();
  void set_caption(Text caption);
  // Whether the window is in the top-most band; the front end honours it.
  bool top_most();
  void set_top_most(bool top_most);

  // The control named `name` (case-insensitive); loads the form. Raises
  // kUnknownName for an unknown name, kTypeMismatch when it is another kind.
  Control& control(TextView name);
  TextBox& text_box(TextView name);
  ComboBox& combo_box(TextView name);
  CheckBox& check_box(TextView name);
  CommandButton& command_button(TextView name);
  // All controls in design order, without loading the form.
  std::vector<Control*> controls() const;

  // The parameter string that OK built last; empty until OK succeeds once.
  // Unloading keeps it.
  const Text& built_parameter() const { return built_parameter_; }

 private:
  template <class T>
  T& Add(std::shared_ptr<T> control);
  void OnLoad();
  void OnOk();

  bool loaded_ = false;
  Text caption_;
  bool top_most_ = false;
  Text built_parameter_;
  std::vector<std::shared_ptr<Control>> controls_;
  DispatchTable table_;
};

}  // namespace comvorlix

// The controls of the configuration form: label, text box, combo box,
// check box and command button, independent of any window toolkit.
//
// Each control is an automation object (Dispatch) that the form creates and
// owns; the form hands out references to it by the control's name. Every
// use of a control, typed or late-bound, first loads its form when the form
// is not loaded (a control's first use is what loads a form). Unloading the
// form puts every control back into its designed state: texts, item lists,
// selections and check states are discarded; designed captions, names and
// flags stay. A control that outlives its form (someone kept a reference)
// raises kFail on every use.
//
// Late-bound members of the controls and their dispatch ids:
//
//   | Member       | Controls                          | Kinds           | Id |
//   |--------------|-----------------------------------|-----------------|----|
//   | Text         | text box, combo box (default)     | get, put        | 0  |
//   | Value        | check box, command button (def.)  | get, put        | 0  |
//   | Caption      | label (default)                   | get, put        | 0  |
//   | Caption      | check box, command button         | get, put        | -518 |
//   | Name         | all                               | get             | 1  |
//   | TabIndex     | all                               | get             | 2  |
//   | Visible      | all                               | get, put        | 3  |
//   | Locked       | text box                          | get, put        | 4  |
//   | PasswordChar | text box                          | get, put        | 5  |
//   | ListIndex    | combo box                         | get, put        | 6  |
//   | ListCount    | combo box                         | get             | 7  |
//   | List(i)      | combo box                         | get             | 8  |
//   | AddItem(s)   | combo box                         | method          | 9  |
//   | Clear        | combo box                         | method          | 10 |
//
// Values: Text and Caption are texts; Value, ListIndex, ListCount and
// TabIndex are 16-bit integers; Visible and Locked are Booleans. A check
// box's Value is 0 or 1; a combo box's ListIndex is -1 (no item) up to
// ListCount - 1. Putting anything else raises kInvalidArgument "Invalid
// property value" and changes nothing. Putting True into a command button's
// Value clicks it; its Value reads False.
//
// Combo boxes are drop-down combo boxes with an editable text: selecting an
// item (ListIndex >= 0) shows the item's text; putting Text leaves no item
// selected (ListIndex -1), even when the text equals an item's; ListIndex -1
// and Clear empty the text.
//
// Threads: a control is used on the thread of its form.
#pragma once

#include <functional>
#include <memory>
#include <vector>

#include "automation/dispatch.h"

namespace comvorlix {

class ConfigForm;

// Dispatch ids of the control members (see the table above).
inline constexpr DispId kDispIdDefault = 0;
inline constexpr DispId kDispIdCaption = -518;
inline constexpr DispId kDispIdName = 1;
inline constexpr DispId kDispIdTabIndex = 2;
inline constexpr DispId kDispIdVisible = 3;
inline constexpr DispId kDispIdLocked = 4;
inline constexpr DispId kDispIdPasswordChar = 5;
inline constexpr DispId kDispIdListIndex = 6;
inline constexpr DispId kDispIdListCount = 7;
inline constexpr DispId kDispIdList = 8;
inline constexpr DispId kDispIdAddItem = 9;
inline constexpr DispId kDispIdClear = 10;

class Control : public Dispatch {
 public:
  enum class Kind { kLabel, kTextBox, kComboBox, kCheckBox, kCommandButton };

  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  Kind kind() const { return kind_; }
  const Text& name() const { return name_; }
  // Position in the form's focus order; -1 for controls that take no focus.
  int tab_index() const { return tab_index_; }
  bool visible();
  void set_visible(bool visible);

  std::optional<DispId> GetIdOfName(TextView name) const override;
  Status Invoke(DispId id, InvokeKind kind, std::vector<Variant>& args, Variant* result,
                ErrorInfo* error) override;

 protected:
  Control(ConfigForm& form, Kind kind, Text name, int tab_index, bool visible);
  // Loads the form on first use; raises kFail when the form is gone.
  void Touch();
  // Back to the designed state (the form is being unloaded).
  virtual void Reset() = 0;
  DispatchTable& table() { return table_; }

 private:
  friend class ConfigForm;
  void AddCommonMembers();

  ConfigForm* form_;  // not owned; cleared by the form's destructor
  Kind kind_;
  Text name_;
  int tab_index_;
  bool designed_visible_;
  bool visible_;
  DispatchTable table_;
};

// A control with a caption (label, check box, command button): the
// Caption member under `caption_id`, and the designed caption back on Reset.
class CaptionedControl : public Control {
 public:
  Text caption();
  void set_caption(Text caption);

 protected:
  CaptionedControl(ConfigForm& form, Kind kind, Text name, int tab_index, Text caption, DispId caption_id);
  void Reset() override;

 private:
  Text designed_caption_;
  Text caption_;
};

class Label : public CaptionedControl {
 public:
  Label(ConfigForm& form, Text name, Text caption);
};

class TextBox : public Control {
 public:
  struct Design {
    bool locked = false;  // shows a value the operator cannot change
    Text password_char;   // empty, or the character shown for each typed one
    bool visible = true;
  };
  TextBox(ConfigForm& form, Text name, int tab_index, Design design);
  Text text();
  void set_text(Text text);
  bool locked();
  void set_locked(bool locked);
  Text password_char();
  void set_password_char(Text c);

 private:
  void Reset() override;
  Design design_;
  Design state_;
  Text text_;
};

class ComboBox : public Control {
 public:
  ComboBox(ConfigForm& form, Text name, int tab_index);
  std::vector<Text> items();
  int list_index();
  // -1 or a valid index, else kInvalidArgument "Invalid property value".
  void set_list_index(int index);
  Text text();
  void set_text(Text text);
  void add_item(Text item);
  void clear();

 private:
  void Reset() override;
  std::vector<Text> items_;
  int list_index_ = -1;
  Text text_;
};

class CheckBox : public CaptionedControl {
 public:
  CheckBox(ConfigForm& form, Text name, int tab_index, Text caption);
  int value();
  // 0 or 1, else kInvalidArgument "Invalid property value".
  void set_value(int value);

 private:
  void Reset() override;
  int value_ = 0;
};

class CommandButton : public CaptionedControl {
 public:
  CommandButton(ConfigForm& form, Text name, int tab_index, Text caption, std::function<void()> on_click);
  // Runs the click handler; its errors pass to the caller.
  void Click();

 private:
  std::function<void()> on_click_;
};

}  // namespace comvorlix

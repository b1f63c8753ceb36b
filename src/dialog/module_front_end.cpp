#include "dialog/module_front_end.h"

#include <algorithm>
#include <cstring>
#include <deque>
#include <exception>
#include <vector>

#include "dialog/config_form.h"

namespace comvorlix {
namespace {

comvorlix_dialog_text View(const Text& text) {
  return {reinterpret_cast<const uint16_t*>(text.data()), text.size()};
}

Text FromView(const comvorlix_dialog_text& text) {
  if (text.size == 0) return Text();
  return Text(reinterpret_cast<const char16_t*>(text.data), text.size);
}

void SetError(comvorlix_dialog_error& error, int32_t kind, const std::string& text) {
  error.kind = kind;
  const size_t n = std::min(text.size(), sizeof error.text - 1);
  std::memcpy(error.text, text.data(), n);
  error.text[n] = '\0';
}

// The form as C data. Owns every text the description points at; a deque,
// because its elements do not move when more are added.
class FormDescription {
 public:
  explicit FormDescription(ConfigForm& form) {
    form.Load();
    for (Control* control : form.controls()) {
      if (control->visible()) Describe(*control);
    }
    // Pointers into `items_` are taken only now that it is complete.
    for (size_t i = 0; i < controls_.size(); ++i) {
      if (controls_[i].item_count != 0) controls_[i].items = &items_[first_items_[i]];
    }
    form_.caption = View(Keep(form.caption()));
    form_.top_most = form.top_most() ? 1 : 0;
    form_.controls = controls_.data();
    form_.control_count = controls_.size();
  }

  const comvorlix_dialog_form& form() const { return form_; }

 private:
  const Text& Keep(Text text) { return texts_.emplace_back(std::move(text)); }

  void Describe(Control& control) {
    comvorlix_dialog_control c{};
    c.name = View(control.name());
    c.tab_index = control.tab_index();
    const size_t first_item = items_.size();
    switch (control.kind()) {
      case Control::Kind::kLabel:
        c.kind = COMVORLIX_DIALOG_LABEL;
        c.caption = View(Keep(static_cast<Label&>(control).caption()));
        break;
      case Control::Kind::kTextBox: {
        auto& box = static_cast<TextBox&>(control);
        c.kind = COMVORLIX_DIALOG_TEXT_BOX;
        c.text = View(Keep(box.text()));
        c.read_only = box.locked() ? 1 : 0;
        const Text mask = box.password_char();
        c.password_char = mask.empty() ? 0 : static_cast<uint16_t>(mask[0]);
        break;
      }
      case Control::Kind::kComboBox: {
        auto& combo = static_cast<ComboBox&>(control);
        c.kind = COMVORLIX_DIALOG_COMBO_BOX;
        c.text = View(Keep(combo.text()));
        for (Text& item : combo.items()) items_.push_back(View(Keep(std::move(item))));
        c.item_count = items_.size() - first_item;
        c.list_index = combo.list_index();
        break;
      }
      case Control::Kind::kCheckBox: {
        auto& check = static_cast<CheckBox&>(control);
        c.kind = COMVORLIX_DIALOG_CHECK_BOX;
        c.caption = View(Keep(check.caption()));
        c.checked = check.value() == 1 ? 1 : 0;
        break;
      }
      case Control::Kind::kCommandButton:
        c.kind = COMVORLIX_DIALOG_COMMAND_BUTTON;
        c.caption = View(Keep(static_cast<CommandButton&>(control).caption()));
        break;
    }
    first_items_.push_back(first_item);
    controls_.push_back(c);
  }

  std::deque<Text> texts_;
  std::vector<comvorlix_dialog_text> items_;  // every combo box's items, one after the other
  std::vector<size_t> first_items_;           // per control: where its items begin
  std::vector<comvorlix_dialog_control> controls_;
  comvorlix_dialog_form form_{};
};

struct OkContext {
  ConfigForm* form;
  std::exception_ptr failure;  // what the OK handler (or writing back) raised
};

void WriteBack(ConfigForm& form, const comvorlix_dialog_value& value) {
  Control& control = form.control(FromView(value.name));
  switch (control.kind()) {
    case Control::Kind::kTextBox:
      static_cast<TextBox&>(control).set_text(FromView(value.text));
      break;
    case Control::Kind::kComboBox: {
      auto& combo = static_cast<ComboBox&>(control);
      // The text first: putting it leaves no item selected; then the pick.
      combo.set_text(FromView(value.text));
      if (value.list_index >= 0) combo.set_list_index(value.list_index);
      break;
    }
    case Control::Kind::kCheckBox:
      static_cast<CheckBox&>(control).set_value(value.checked != 0 ? 1 : 0);
      break;
    case Control::Kind::kLabel:
    case Control::Kind::kCommandButton:
      break;
  }
}

int32_t OnOk(void* context, const comvorlix_dialog_value* values, size_t value_count,
             comvorlix_dialog_error* error) {
  auto& ok = *static_cast<OkContext*>(context);
  // Nothing may throw back into the module.
  try {
    for (size_t i = 0; i < value_count; ++i) WriteBack(*ok.form, values[i]);
    CommandButton& button = ok.form->command_button(u"btOK");
    try {
      button.Click();
    } catch (const AutomationError& e) {
      // The OK handler raised and left the form loaded: it refused the
      // values (a user name with "#", a port beyond 65535). The operator
      // corrects them in the open window, which shows why.
      if (!ok.form->loaded()) throw;
      if (error != nullptr) SetError(*error, COMVORLIX_DIALOG_ERROR_FAIL, e.description());
      return COMVORLIX_DIALOG_OK_REFUSED;
    }
    // The handler unloads the form when it has built the string.
    return ok.form->loaded() ? COMVORLIX_DIALOG_OK_STAY_OPEN : COMVORLIX_DIALOG_OK_CLOSE;
  } catch (const std::exception& e) {
    ok.failure = std::current_exception();
    const auto* automation = dynamic_cast<const AutomationError*>(&e);
    if (error != nullptr)
      SetError(*error, COMVORLIX_DIALOG_ERROR_FAIL, automation ? automation->description() : e.what());
  } catch (...) {
    ok.failure = std::current_exception();
    if (error != nullptr) SetError(*error, COMVORLIX_DIALOG_ERROR_FAIL, "unknown error of the OK handler");
  }
  return COMVORLIX_DIALOG_OK_FAILED;
}

}  // namespace

bool ModuleFrontEnd::ShowModal(ConfigForm& form) {
  const FormDescription description(form);
  OkContext context{&form, nullptr};
  comvorlix_dialog_error error{};
  const int32_t result = table_->show_modal(&description.form(), OnOk, &context, &error);
  if (result == COMVORLIX_DIALOG_SHOW_OK) return true;
  if (result == COMVORLIX_DIALOG_SHOW_CANCELLED) return false;
  // The handler's own error reaches the caller as it was raised.
  if (context.failure) std::rethrow_exception(context.failure);
  error.text[sizeof error.text - 1] = '\0';
  throw AutomationError(error.kind == COMVORLIX_DIALOG_ERROR_NO_DISPLAY ? Status::kNoDisplay : Status::kFail,
                        error.text);
}

}  // namespace comvorlix

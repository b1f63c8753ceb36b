#include "dialog/config_form.h"

#include <new>
#include <string>
#include <utility>

#include "params/item_codes.h"
#include "params/keys.h"
#include "params/parameter_fields.h"

namespace comvorlix {
namespace {

Text VersionNumber() {
  return T(std::to_string(COMVORLIX_VERSION_MAJOR) + "." + std::to_string(COMVORLIX_VERSION_MINOR) + "." +
           std::to_string(COMVORLIX_VERSION_PATCH));
}

const char* KindName(Control::Kind kind) {
  switch (kind) {
    case Control::Kind::kLabel:
      return "label";
    case Control::Kind::kTextBox:
      return "text box";
    case Control::Kind::kComboBox:
      return "combo box";
    case Control::Kind::kCheckBox:
      return "check box";
    case Control::Kind::kCommandButton:
      return "command button";
  }
  return "control";
}

template <class T>
T& As(Control& control, Control::Kind kind) {
  if (control.kind() != kind) {
    throw AutomationError(Status::kTypeMismatch, ToUtf8(control.name()) + " is not a " + KindName(kind));
  }
  return static_cast<T&>(control);
}

// Fills a combo box with the names of its list's codes and selects `code`'s.
void FillList(ComboBox& combo, const CodeList& list, std::string_view code) {
  combo.clear();
  for (const CodeItem& item : list.items) combo.add_item(FromUtf8(item.caption));
  combo.set_list_index(IndexOfCode(list, code));
}

}  // namespace

ConfigForm::ConfigForm() : caption_(kDesignedFormCaption) {
  const auto click = [this] { OnOk(); };
  TextBox::Design plain;
  TextBox::Design locked;
  locked.locked = true;
  TextBox::Design password;
  password.password_char = u"*";
  TextBox::Design hidden;
  hidden.visible = false;

  // Row by row from the top; the numbers are the focus order.
  Add(std::make_shared<Label>(*this, u"Label1", u"Hostname:"));
  Add(std::make_shared<TextBox>(*this, u"txtHostname", 0, locked));
  Add(std::make_shared<Label>(*this, u"Label9", u"Protocol:"));
  Add(std::make_shared<ComboBox>(*this, u"cmbProtocol", 1));
  Add(std::make_shared<Label>(*this, u"Label10", u"Port:"));
  Add(std::make_shared<TextBox>(*this, u"txtPort", 2, plain));
  Add(std::make_shared<Label>(*this, u"Label2", u"User Name:"));
  Add(std::make_shared<TextBox>(*this, u"txtUsername", 3, plain));
  Add(std::make_shared<Label>(*this, u"Label3", u"Password:"));
  Add(std::make_shared<TextBox>(*this, u"txtPassword", 4, password));
  Add(std::make_shared<Label>(*this, u"Label15", u"Key file:"));
  Add(std::make_shared<TextBox>(*this, u"txtKeyfile", 5, plain));
  Add(std::make_shared<Label>(*this, u"Label16", u"Key type:"));
  Add(std::make_shared<ComboBox>(*this, u"cmbKeyType", 6));
  Add(std::make_shared<Label>(*this, u"Label12", u"Enable password:"));
  Add(std::make_shared<TextBox>(*this, u"txtenablepassword", 7, password));
  Add(std::make_shared<Label>(*this, u"Label8", u"Device:"));
  Add(std::make_shared<ComboBox>(*this, u"cmbDevice", 11));
  Add(std::make_shared<Label>(*this, u"Label6", u"Configuration:"));
  Add(std::make_shared<ComboBox>(*this, u"cmbconfiguration", 8));
  Add(std::make_shared<CheckBox>(*this, u"chkReset", 12, u"Update known configuration to new configuration"));
  Add(std::make_shared<CheckBox>(*this, u"chkdebug", 13, u"Enable debugging to"));
  Add(std::make_shared<TextBox>(*this, u"txtdebugfile", 14, plain));
  Add(std::make_shared<Label>(*this, u"Label4", u"Timeout:"));
  Add(std::make_shared<TextBox>(*this, u"txtTimeout", 10, locked));
  Add(std::make_shared<Label>(*this, u"Label5", u"seconds"));
  Add(std::make_shared<CommandButton>(*this, u"btOK", 9, u"&OK", click));
  Add(std::make_shared<TextBox>(*this, u"txtResource", -1, hidden));

  table_.Add(PropertyMember(
      u"Caption", kDispIdFormCaption, [this](std::vector<Variant>&) { return Variant::FromText(caption()); },
      [this](std::vector<Variant>& args) {
        if (args.empty()) throw AutomationError(Status::kBadParamCount, "Wrong number of arguments");
        set_caption(args[0].ToText());
        return Variant();
      }));
  table_.Add(PropertyMember(u"Name", kDispIdFormName,
                            [](std::vector<Variant>&) { return Variant::FromText(u"frmmain"); }));
}

ConfigForm::~ConfigForm() {
  // Controls may be held elsewhere as objects; they must not reach back.
  for (const auto& control : controls_) control->form_ = nullptr;
}

template <class T>
T& ConfigForm::Add(std::shared_ptr<T> control) {
  const DispId id = kDispIdFirstControl + static_cast<DispId>(controls_.size());
  std::shared_ptr<Control> as_control = control;
  table_.Add(PropertyMember(control->name(), id, [this, as_control](std::vector<Variant>&) {
    Load();
    return Variant::Object(as_control);
  }));
  controls_.push_back(std::move(as_control));
  return *control;
}

std::optional<DispId> ConfigForm::GetIdOfName(TextView name) const { return table_.IdOf(name); }

Status ConfigForm::Invoke(DispId id, InvokeKind kind, std::vector<Variant>& args, Variant* result,
                       ErrorInfo* error) {
  // Any use of the form's members loads it, as a use of a control does.
  try {
    Load();
  } catch (const AutomationError& e) {
    if (error != nullptr) error->description = e.description();
    return e.status();
  } catch (const std::bad_alloc&) {
    if (error != nullptr) error->description = "Out of memory";
    return Status::kOutOfMemory;
  }
  return table_.Invoke(id, kind, args, result, error);
}

void ConfigForm::Load() {
  if (loaded_) return;
  // Marked first: the load handler's own uses of controls must not load again.
  loaded_ = true;
  try {
    OnLoad();
  } catch (...) {
    Unload();
    throw;
  }
}

void ConfigForm::Unload() {
  for (const auto& control : controls_) control->Reset();
  caption_ = Text(kDesignedFormCaption);
  top_most_ = false;
  loaded_ = false;
}

Text ConfigForm::caption() {
  Load();
  return caption_;
}

void ConfigForm::set_caption(Text caption) {
  Load();
  caption_ = std::move(caption);
}

bool ConfigForm::top_most() {
  Load();
  return top_most_;
}

void ConfigForm::set_top_most(bool top_most) {
  Load();
  top_most_ = top_most;
}

Control& ConfigForm::control(TextView name) {
  for (const auto& control : controls_) {
    if (SameMemberName(control->name(), name)) {
      Load();
      return *control;
    }
  }
  throw AutomationError(Status::kUnknownName, "the form has no control named " + ToUtf8(name));
}

TextBox& ConfigForm::text_box(TextView name) { return As<TextBox>(control(name), Control::Kind::kTextBox); }
ComboBox& ConfigForm::combo_box(TextView name) { return As<ComboBox>(control(name), Control::Kind::kComboBox); }
CheckBox& ConfigForm::check_box(TextView name) { return As<CheckBox>(control(name), Control::Kind::kCheckBox); }
CommandButton& ConfigForm::command_button(TextView name) {
  return As<CommandButton>(control(name), Control::Kind::kCommandButton);
}

std::vector<Control*> ConfigForm::controls() const {
  std::vector<Control*> all;
  all.reserve(controls_.size());
  for (const auto& control : controls_) all.push_back(control.get());
  return all;
}

void ConfigForm::OnLoad() {
  caption_ = Text(kDesignedFormCaption) + u" v" + VersionNumber();
  // A new switch's fields: the lists' defaults selected, the default port.
  const ParameterFields defaults;
  for (const ParameterKey& row : ParameterKeys()) {
    if (row.control.empty()) continue;
    const Text control = FromUtf8(row.control);
    if (row.kind == ValueKind::kList) FillList(combo_box(control), row.codes(), defaults.*row.text);
    if (row.kind == ValueKind::kPort) text_box(control).set_text(FromUtf8(defaults.*row.text));
  }
}

void ConfigForm::OnOk() {
  ParameterFields f;
  for (const ParameterKey& row : ParameterKeys()) {
    if (row.control.empty()) continue;
    const Text control = FromUtf8(row.control);
    if (row.kind == ValueKind::kFlag) {
      f.*row.flag = check_box(control).value() == 1;
    } else if (row.kind == ValueKind::kList) {
      ComboBox& combo = combo_box(control);
      const int index = combo.list_index();
      const size_t known = row.codes().items.size();
      // An item past the list's own is a kept code (show_dialog.cpp).
      f.*row.text = row.keeps_unknown && index >= 0 && static_cast<size_t>(index) >= known &&
                            static_cast<size_t>(index) < combo.items().size()
                        ? ToUtf8(combo.items()[static_cast<size_t>(index)])
                        : CodeOfIndex(row.codes(), index);
    } else {
      f.*row.text = ToUtf8(text_box(control).text());
    }
  }

  // Built completely before the last string is replaced: when encoding
  // fails, the error reaches the caller, the last good string stays and the
  // form stays loaded.
  built_parameter_ = FromUtf8(BuildParameterString(f));
  Unload();
}

}  // namespace comvorlix

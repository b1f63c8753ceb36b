#include "dialog/controls.h"

#include <new>
#include <utility>

#include "dialog/config_form.h"

namespace comvorlix {
namespace {

AutomationError InvalidPropertyValue() {
  return AutomationError(Status::kInvalidArgument, "Invalid property value");
}

const Variant& FirstArgument(const std::vector<Variant>& args) {
  if (args.empty()) throw AutomationError(Status::kBadParamCount, "Wrong number of arguments");
  return args[0];
}

// Converts to a 16-bit whole number the way a property put does; a value
// that does not fit is an invalid property value, not an overflow.
int ToPropertyInt(const Variant& v) {
  try {
    return v.ToInt16();
  } catch (const AutomationError& e) {
    if (e.status() == Status::kOverflow) throw InvalidPropertyValue();
    throw;
  }
}

}  // namespace

Control::Control(ConfigForm& form, Kind kind, Text name, int tab_index, bool visible)
    : form_(&form),
      kind_(kind),
      name_(std::move(name)),
      tab_index_(tab_index),
      designed_visible_(visible),
      visible_(visible) {
  AddCommonMembers();
}

void Control::AddCommonMembers() {
  table_.Add(PropertyMember(u"Name", kDispIdName, [this](std::vector<Variant>&) {
    Touch();
    return Variant::FromText(name_);
  }));
  table_.Add(PropertyMember(u"TabIndex", kDispIdTabIndex, [this](std::vector<Variant>&) {
    Touch();
    return Variant::Int16(static_cast<int16_t>(tab_index_));
  }));
  table_.Add(PropertyMember(
      u"Visible", kDispIdVisible, [this](std::vector<Variant>&) { return Variant::Boolean(visible()); },
      [this](std::vector<Variant>& args) {
        set_visible(FirstArgument(args).ToBool());
        return Variant();
      }));
}

void Control::Touch() {
  if (form_ == nullptr) {
    throw AutomationError(Status::kFail, "the form of control " + ToUtf8(name_) + " no longer exists");
  }
  form_->Load();
}

bool Control::visible() {
  Touch();
  return visible_;
}

void Control::set_visible(bool visible) {
  Touch();
  visible_ = visible;
}

void Control::Reset() { visible_ = designed_visible_; }

std::optional<DispId> Control::GetIdOfName(TextView name) const { return table_.IdOf(name); }

Status Control::Invoke(DispId id, InvokeKind kind, std::vector<Variant>& args, Variant* result,
                       ErrorInfo* error) {
  // Every handler touches the control itself, so the form is loaded before
  // the value is read or written.
  return table_.Invoke(id, kind, args, result, error);
}

// ----------------------------------------------------- CaptionedControl

CaptionedControl::CaptionedControl(ConfigForm& form, Kind kind, Text name, int tab_index, Text caption,
                                   DispId caption_id)
    : Control(form, kind, std::move(name), tab_index, true),
      designed_caption_(caption),
      caption_(std::move(caption)) {
  table().Add(PropertyMember(
      u"Caption", caption_id,
      [this](std::vector<Variant>&) { return Variant::FromText(this->caption()); },
      [this](std::vector<Variant>& args) {
        set_caption(FirstArgument(args).ToText());
        return Variant();
      }));
}

Text CaptionedControl::caption() {
  Touch();
  return caption_;
}

void CaptionedControl::set_caption(Text caption) {
  Touch();
  caption_ = std::move(caption);
}

void CaptionedControl::Reset() {
  Control::Reset();
  caption_ = designed_caption_;
}

// ---------------------------------------------------------------- Label

// A label's caption is its default member.
Label::Label(ConfigForm& form, Text name, Text caption)
    : CaptionedControl(form, Kind::kLabel, std::move(name), -1, std::move(caption), kDispIdDefault) {}

// -------------------------------------------------------------- TextBox

TextBox::TextBox(ConfigForm& form, Text name, int tab_index, Design design)
    : Control(form, Kind::kTextBox, std::move(name), tab_index, design.visible),
      design_(design),
      state_(std::move(design)) {
  table().Add(PropertyMember(
      u"Text", kDispIdDefault, [this](std::vector<Variant>&) { return Variant::FromText(text()); },
      [this](std::vector<Variant>& args) {
        set_text(FirstArgument(args).ToText());
        return Variant();
      }));
  table().Add(PropertyMember(
      u"Locked", kDispIdLocked, [this](std::vector<Variant>&) { return Variant::Boolean(locked()); },
      [this](std::vector<Variant>& args) {
        set_locked(FirstArgument(args).ToBool());
        return Variant();
      }));
  table().Add(PropertyMember(
      u"PasswordChar", kDispIdPasswordChar,
      [this](std::vector<Variant>&) { return Variant::FromText(password_char()); },
      [this](std::vector<Variant>& args) {
        set_password_char(FirstArgument(args).ToText());
        return Variant();
      }));
}

Text TextBox::text() {
  Touch();
  return text_;
}

void TextBox::set_text(Text text) {
  Touch();
  text_ = std::move(text);
}

bool TextBox::locked() {
  Touch();
  return state_.locked;
}

void TextBox::set_locked(bool locked) {
  Touch();
  state_.locked = locked;
}

Text TextBox::password_char() {
  Touch();
  return state_.password_char;
}

void TextBox::set_password_char(Text c) {
  // One character or none, as the property allows.
  if (c.size() > 1) throw InvalidPropertyValue();
  Touch();
  state_.password_char = std::move(c);
}

void TextBox::Reset() {
  Control::Reset();
  state_ = design_;
  text_.clear();
}

// ------------------------------------------------------------- ComboBox

ComboBox::ComboBox(ConfigForm& form, Text name, int tab_index)
    : Control(form, Kind::kComboBox, std::move(name), tab_index, true) {
  table().Add(PropertyMember(
      u"Text", kDispIdDefault, [this](std::vector<Variant>&) { return Variant::FromText(text()); },
      [this](std::vector<Variant>& args) {
        set_text(FirstArgument(args).ToText());
        return Variant();
      }));
  table().Add(PropertyMember(
      u"ListIndex", kDispIdListIndex,
      [this](std::vector<Variant>&) { return Variant::Int16(static_cast<int16_t>(list_index())); },
      [this](std::vector<Variant>& args) {
        set_list_index(ToPropertyInt(FirstArgument(args)));
        return Variant();
      }));
  table().Add(PropertyMember(u"ListCount", kDispIdListCount, [this](std::vector<Variant>&) {
    return Variant::Int16(static_cast<int16_t>(items().size()));
  }));
  table().Add(PropertyMember(u"List", kDispIdList, [this](std::vector<Variant>& args) {
    const int index = ToPropertyInt(FirstArgument(args));
    std::vector<Text> all = items();
    // Reading past the list gives the empty text, as the list
    // property of a combo box does.
    if (index < -1) throw InvalidPropertyValue();
    if (index < 0 || static_cast<size_t>(index) >= all.size()) return Variant::FromText(Text());
    return Variant::FromText(all[index]);
  }));
  table().Add(MethodMember(u"AddItem", kDispIdAddItem, [this](std::vector<Variant>& args) {
    add_item(FirstArgument(args).ToText());
    return Variant();
  }));
  table().Add(MethodMember(u"Clear", kDispIdClear, [this](std::vector<Variant>&) {
    clear();
    return Variant();
  }));
}

std::vector<Text> ComboBox::items() {
  Touch();
  return items_;
}

int ComboBox::list_index() {
  Touch();
  return list_index_;
}

void ComboBox::set_list_index(int index) {
  Touch();
  if (index < -1 || index >= static_cast<int>(items_.size())) throw InvalidPropertyValue();
  list_index_ = index;
  // Selecting shows the item's text; selecting nothing empties the field.
  text_ = index >= 0 ? items_[index] : Text();
}

Text ComboBox::text() {
  Touch();
  return text_;
}

void ComboBox::set_text(Text text) {
  Touch();
  // Typed text never selects an item, not even one that reads the same.
  text_ = std::move(text);
  list_index_ = -1;
}

void ComboBox::add_item(Text item) {
  Touch();
  items_.push_back(std::move(item));
}

void ComboBox::clear() {
  Touch();
  items_.clear();
  list_index_ = -1;
  text_.clear();
}

void ComboBox::Reset() {
  Control::Reset();
  items_.clear();
  list_index_ = -1;
  text_.clear();
}

// ------------------------------------------------------------- CheckBox

CheckBox::CheckBox(ConfigForm& form, Text name, int tab_index, Text caption)
    : CaptionedControl(form, Kind::kCheckBox, std::move(name), tab_index, std::move(caption), kDispIdCaption) {
  table().Add(PropertyMember(
      u"Value", kDispIdDefault,
      [this](std::vector<Variant>&) { return Variant::Int16(static_cast<int16_t>(value())); },
      [this](std::vector<Variant>& args) {
        set_value(ToPropertyInt(FirstArgument(args)));
        return Variant();
      }));
}

int CheckBox::value() {
  Touch();
  return value_;
}

void CheckBox::set_value(int value) {
  Touch();
  if (value != 0 && value != 1) throw InvalidPropertyValue();
  value_ = value;
}

void CheckBox::Reset() {
  CaptionedControl::Reset();
  value_ = 0;
}

// -------------------------------------------------------- CommandButton

CommandButton::CommandButton(ConfigForm& form, Text name, int tab_index, Text caption,
                             std::function<void()> on_click)
    : CaptionedControl(form, Kind::kCommandButton, std::move(name), tab_index, std::move(caption), kDispIdCaption),
      on_click_(std::move(on_click)) {
  table().Add(PropertyMember(
      u"Value", kDispIdDefault,
      [this](std::vector<Variant>&) {
        Touch();
        return Variant::Boolean(false);
      },
      [this](std::vector<Variant>& args) {
        // Putting True is a click; False does nothing.
        if (FirstArgument(args).ToBool()) {
          Click();
        } else {
          Touch();
        }
        return Variant();
      }));
}

void CommandButton::Click() {
  Touch();
  if (on_click_) on_click_();
}

}  // namespace comvorlix

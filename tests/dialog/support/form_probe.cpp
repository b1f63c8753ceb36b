#include "dialog/support/form_probe.h"

#include "base/debug_output.h"

namespace comvorlix::testing {

FormSnapshot Snapshot(ConfigForm& form) {
  FormSnapshot s;
  s.caption = ToUtf8(CallByName(form, u"Caption", InvokeKind::kPropertyGet).ToText());
  s.top_most = form.top_most();
  for (Control* control : form.controls()) {
    const Text& name = control->name();
    const std::string key = ToUtf8(name);
    switch (control->kind()) {
      case Control::Kind::kTextBox:
        s.text[key] = ToUtf8(GetControlProperty(form, name, u"Text").ToText());
        break;
      case Control::Kind::kComboBox: {
        s.text[key] = ToUtf8(GetControlProperty(form, name, u"Text").ToText());
        s.list_index[key] = GetControlProperty(form, name, u"ListIndex").ToInt16();
        const int count = GetControlProperty(form, name, u"ListCount").ToInt16();
        auto object = CallByName(form, name, InvokeKind::kPropertyGet).ToObject();
        for (int i = 0; i < count; ++i) {
          s.items[key].push_back(ToUtf8(
              CallByName(*object, u"List", InvokeKind::kPropertyGet, {Variant::Int16(int16_t(i))}).ToText()));
        }
        break;
      }
      case Control::Kind::kCheckBox:
        s.value[key] = GetControlProperty(form, name, u"Value").ToInt16();
        break;
      case Control::Kind::kLabel:
      case Control::Kind::kCommandButton:
        break;
    }
  }
  s.loaded = form.loaded();
  return s;
}

bool RecordingFrontEnd::ShowModal(ConfigForm& form) {
  ++calls;
  shown = Snapshot(form);
  return act_ ? act_(form) : false;
}

DebugCapture::DebugCapture() {
  AttachDebugListener([this](std::string_view line) { lines.emplace_back(line); });
}

DebugCapture::~DebugCapture() { AttachDebugListener(nullptr); }

bool PressOk(ConfigForm& form) {
  PutControlProperty(form, u"btOK", u"Value", Variant::Boolean(true));
  return true;
}

}  // namespace comvorlix::testing

#include "dialog/show_dialog.h"

#include <algorithm>

#include "params/item_codes.h"
#include "params/keys.h"
#include "params/parameter_fields.h"
#include "base/debug_output.h"

namespace comvorlix {
namespace {

Variant CheckValue(bool set) { return Variant::Int16(set ? 1 : 0); }

Variant Selection(const CodeList& list, std::string_view code) {
  return Variant::Int16(static_cast<int16_t>(IndexOfCode(list, code)));
}

void PutText(ConfigForm& form, TextView control, std::string_view utf8) {
  PutControlProperty(form, control, u"Text", Variant::FromText(FromUtf8(utf8)));
}

void SetTopMost(ConfigForm& form, bool top_most) { form.set_top_most(top_most); }

// The forms whose dialog is open on this thread.
thread_local std::vector<const ConfigForm*> open_forms;

class OpenForm {
 public:
  explicit OpenForm(const ConfigForm& form) : form_(&form) {
    // A host that calls again while the dialog is open (it can, from inside
    // the modal loop) must not have the open dialog's controls overwritten.
    if (std::find(open_forms.begin(), open_forms.end(), form_) != open_forms.end()) {
      throw AutomationError(Status::kFail, "the configuration dialog is already open");
    }
    open_forms.push_back(form_);
  }
  ~OpenForm() { open_forms.erase(std::find(open_forms.begin(), open_forms.end(), form_)); }
  OpenForm(const OpenForm&) = delete;
  OpenForm& operator=(const OpenForm&) = delete;

 private:
  const ConfigForm* form_;
};

std::optional<Variant> RunDialog(ConfigForm& form, DialogFrontEnd& front_end, const Variant& hostname,
                                 const Variant& timeout, const Variant& parameter, bool announce) {
  const OpenForm open(form);
  try {
    LoadFormFromHost(form, hostname, timeout, parameter);
    if (announce) OutputDebugLine("Showing COM GUI");
    SetTopMost(form, true);
    const bool ok = front_end.ShowModal(form);
    // Closing the window unloads the form as OK does, so the next showing
    // starts from the defaults.
    form.Unload();
    if (!ok) return std::nullopt;
    return Variant::FromText(form.built_parameter());
  } catch (...) {
    form.Unload();
    throw;
  }
}

}  // namespace

void LoadFormFromHost(ConfigForm& form, const Variant& hostname, const Variant& timeout,
                      const Variant& parameter) {
  try {
    // The first put loads the form, so the defaults are in place before any
    // value of the parameter string replaces them.
    PutText(form, u"txtHostname", ToUtf8(TrimBlanks(hostname.ToText())));
    PutText(form, u"txtTimeout", ToUtf8(TrimBlanks(timeout.ToText())));

    // An empty string leaves the load handler's defaults, which are the
    // codec's fields of a new switch.
    const Text p = parameter.ToText();
    if (p.empty()) return;
    // Read and decoded in full before the first control is set.
    const ParameterFields f = ReadParameterFields(ToUtf8(p));

    for (const ParameterKey& row : ParameterKeys()) {
      if (row.control.empty()) continue;
      const Text control = FromUtf8(row.control);
      if (row.kind == ValueKind::kFlag) {
        PutControlProperty(form, control, u"Value", CheckValue(f.*row.flag));
      } else if (row.kind == ValueKind::kList) {
        const CodeList& list = row.codes();
        const std::string& code = f.*row.text;
        const bool listed = std::any_of(list.items.begin(), list.items.end(),
                                        [&code](const CodeItem& item) { return item.code == code; });
        if (!listed && row.keeps_unknown && !code.empty()) {
          // A code no item names (a kind not loaded here) is shown as itself
          // and written back as it was.
          form.combo_box(control).add_item(FromUtf8(code));
          PutControlProperty(form, control, u"ListIndex", Variant::Int16(static_cast<int16_t>(list.items.size())));
        } else {
          PutControlProperty(form, control, u"ListIndex", Selection(list, code));
        }
      } else {
        PutText(form, control, f.*row.text);
      }
    }
  } catch (...) {
    form.Unload();
    throw;
  }
}

std::optional<Variant> ShowConfigurationDialog(ConfigForm& form, const Variant& hostname, const Variant& timeout,
                                               const Variant& parameter) {
  // Resolved first: without a display the form is not touched at all.
  const std::shared_ptr<DialogFrontEnd> front_end = ActiveDialogFrontEnd();
  return ShowConfigurationDialog(form, *front_end, hostname, timeout, parameter);
}

std::optional<Variant> ShowConfigurationDialog(ConfigForm& form, DialogFrontEnd& front_end,
                                               const Variant& hostname, const Variant& timeout,
                                               const Variant& parameter) {
  return RunDialog(form, front_end, hostname, timeout, parameter, true);
}

}  // namespace comvorlix

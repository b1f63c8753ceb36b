// Showing the configuration dialog: the body of qo_showGUI.
//
// The host's three values are put into the form's controls by name through
// the late-bound interface, exactly as from outside the form: the host name
// and time-out trimmed of blanks, and, when the parameter string is not
// empty, every field it holds as the parameter codec reads it
// (params/parameter_fields.h: secret fields decoded, codes turned into item
// selections, the port as its numeric value). Then the form is made
// top-most and shown modally by a front end (front_end.h). OK builds the new
// parameter string (the form's built_parameter()) and unloads the form.
//
// Failure: whatever fails (typically a secret field that is neither cipher
// text nor Base64) raises AutomationError and changes nothing the host can
// see: the form's built_parameter() keeps its value, the dialog is not shown
// (or is closed), and the form is unloaded so that its next use starts from
// the defaults.
//
// Threads: on the thread that owns the form; blocks while the dialog is open.
#pragma once

#include <optional>
#include <vector>

#include "dialog/config_form.h"
#include "dialog/front_end.h"
#include "automation/variant.h"

namespace comvorlix {

// Puts the host's values into the form's controls (loading the form first
// when needed). Raises on failure, leaving the form unloaded.
void LoadFormFromHost(ConfigForm& form, const Variant& hostname, const Variant& timeout,
                      const Variant& parameter);

// Fills the form from the host's properties by name, shows it modally and
// top-most through the active front end, and returns the new parameter
// string (the form's built_parameter()) on OK, or nullopt when the dialog was closed without
// OK (the host then keeps its string). Writes "Showing COM GUI" to the debug
// output just before showing. Raises AutomationError on failure, changing
// nothing; kNoDisplay "no display available ..." when there is no front end
// (checked before the form is touched); kFail "the configuration dialog is
// already open" when this form's dialog is open on this thread (a host
// calling again from inside the modal loop), leaving the open one alone.
std::optional<Variant> ShowConfigurationDialog(ConfigForm& form, const Variant& hostname, const Variant& timeout,
                                               const Variant& parameter);

// The same with an explicit front end.
std::optional<Variant> ShowConfigurationDialog(ConfigForm& form, DialogFrontEnd& front_end,
                                               const Variant& hostname, const Variant& timeout,
                                               const Variant& parameter);


}  // namespace comvorlix

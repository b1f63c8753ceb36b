// The Qt Widgets front end of the configuration dialog.
//
// Shows the form as a real window: a QDialog laid out row by row with the
// labels beside their fields, password echo for the two password boxes,
// editable drop-down combo boxes, the host name and time-out boxes read-only
// and the "&OK" button at the bottom right. Each widget carries the name of
// its control as its objectName. The window is modal, has no owner and stays
// on top when the form is top-most.
//
// Binding: the widgets take the form's contents when the window is built;
// pressing OK writes every widget back into its control (text boxes' texts,
// check states, combo boxes' texts and selections) and then clicks the
// form's btOK, whose handler builds the parameter string and unloads the
// form; the window then closes with OK. Text typed into a combo box leaves it
// without a selected item; picking an item from its list selects it.
// Escape or closing the window ends the dialog without OK. An error of the
// OK handler closes the window and passes to the caller of ShowModal.
//
// Threads: Qt widgets live on the thread that created the QApplication; the
// front end creates one (with a fixed program name, kept for the process's
// life) when none exists, and raises kFail when asked to show from another
// thread. Only compiled when Qt is found (COMVORLIX_HAVE_QT).
#pragma once

#include <memory>
#include <string_view>

class QDialog;

namespace comvorlix {

class DialogFrontEnd;
class ConfigForm;

// Whether this process runs a Qt application with widgets.
bool QtGuiRunning();

// Whether the Qt platform plugin for `platform` ("xcb", "wayland",
// "offscreen", ...) is installed where Qt looks for plugins.
bool QtPlatformPluginPresent(std::string_view platform);

// Creates the QApplication when there is none. Raises kNoDisplay when the
// process runs a Qt application without widgets.
void EnsureQtApplication();

// The Qt Widgets front end (one object shared by the whole process).
std::shared_ptr<DialogFrontEnd> QtDialogFrontEnd();

// Builds the window for `form` with the form's current contents (loading the
// form when needed), not shown. The caller owns it; it needs a QApplication
// (EnsureQtApplication) and must not outlive the form. exec() on it runs the
// dialog as ShowModal does, minus the rethrow of an OK handler error.
std::unique_ptr<QDialog> BuildQtDialog(ConfigForm& form);

}  // namespace comvorlix

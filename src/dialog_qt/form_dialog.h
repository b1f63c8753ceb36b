// The Qt Widgets window of the configuration dialog, built from the form's
// C description (dialog/front_end_module.h).
//
// Shows the form as a real window: a QDialog laid out row by row with the
// labels beside their fields, password echo for text boxes with a password
// character, editable drop-down combo boxes, locked text boxes read-only and
// the "&OK" button at the bottom right. Each widget carries the name of its
// control as its objectName; the window's is "frmmain". The window is modal,
// has no owner and stays on top when the form is top-most. The layout knows
// the form's design by control name; a control it does not place stays out
// of the layout.
//
// Binding: the widgets take the described contents when the window is
// built. Pressing OK (the control named btOK) collects every editable
// widget's value in design order (text boxes' texts, check states, combo
// boxes' texts and the item the operator picked) and hands them to the OK
// callback, which writes them into the form and runs its OK handler. The
// callback's answer decides: the form is finished (the window closes with
// OK), it stays open (the window stays), the values were refused (the window
// stays open with the values as typed and shows the reason in the label
// "lblRefusal" below the fields, hidden until then), or it failed (the
// window closes and the error is kept for the caller). Text typed into a combo box leaves it
// without a picked item; picking an item from its list picks it. Escape or
// closing the window ends the dialog without OK; Enter in a field does not
// press OK.
//
// Lifetime: the description must outlive the window only while it is being
// built (texts are copied); the callback and its context must stay valid
// while the window is open. Threads: the thread of the QApplication.
#pragma once

#include <QDialog>
#include <QString>
#include <map>
#include <vector>

#include "dialog/front_end_module.h"

class QComboBox;
class QLabel;

namespace comvorlix::dialog_qt {

class FormDialog : public QDialog {
 public:
  FormDialog(const comvorlix_dialog_form& form, comvorlix_dialog_ok_fn on_ok, void* context);

  // After exec(): whether OK finished the form, and whether the OK callback
  // failed (then error() says why).
  bool ok_pressed() const { return ok_pressed_; }
  bool failed() const { return failed_; }
  const comvorlix_dialog_error& error() const { return error_; }

 private:
  struct Field {
    QString name;
    int32_t kind;
    int32_t tab_index;
    QWidget* widget;
  };

  QWidget* Make(const comvorlix_dialog_control& control);
  void Arrange();
  void ChainFocus();
  void OnOk();

  comvorlix_dialog_ok_fn on_ok_;
  void* context_;
  std::vector<Field> fields_;  // design order
  std::map<QString, QWidget*> by_name_;
  std::map<QComboBox*, int> picked_;  // the item the operator picked last
  QLabel* refusal_ = nullptr;         // why OK refused the values last
  bool ok_pressed_ = false;
  bool failed_ = false;
  comvorlix_dialog_error error_{};
};

// Writes `text` (UTF-8) into `error`, cut to fit.
void SetError(comvorlix_dialog_error& error, int32_t kind, const char* text);

}  // namespace comvorlix::dialog_qt

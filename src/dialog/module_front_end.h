// The front end that shows the form through a front-end module's C table
// (front_end_module.h): the library's side of the boundary.
//
// ShowModal loads the form, describes its visible controls in design order
// (names, kinds, captions, texts, items, selections, check states, focus
// order, password characters, locked state) and the form's caption and
// top-most state, and calls the table's show_modal. On OK the module calls
// back; the callback writes the values into the controls in the order given
// (a text box's text; a combo box's text, then its picked item when there
// is one; a check box's state), clicks btOK and answers "close" when the
// handler unloaded the form, "stay open" when it left the form loaded, and
// "failed" when anything raised. The raised error is kept and rethrown by
// ShowModal once the window has closed, unchanged; errors of the module
// itself become AutomationError with kNoDisplay or kFail and its text.
//
// Threads: ShowModal runs on the form's thread; the module calls back on it.
#pragma once

#include <memory>

#include "dialog/front_end.h"
#include "dialog/front_end_module.h"

namespace comvorlix {

class ModuleFrontEnd : public DialogFrontEnd {
 public:
  // `table` stays valid as long as the pointer is held (it may share
  // ownership of the module that holds the table).
  explicit ModuleFrontEnd(std::shared_ptr<const comvorlix_dialog_module> table) : table_(std::move(table)) {}
  bool ShowModal(ConfigForm& form) override;

 private:
  std::shared_ptr<const comvorlix_dialog_module> table_;
};

}  // namespace comvorlix

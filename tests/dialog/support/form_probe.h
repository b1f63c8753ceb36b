// Test helpers for the configuration dialog: a snapshot of every control as
// an outsider sees it through the late-bound interface, a front end that
// records what it was shown and then acts, and a capture of debug lines.
#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "dialog/config_form.h"
#include "dialog/front_end.h"

namespace comvorlix::testing {

struct FormSnapshot {
  std::string caption;
  bool top_most = false;
  bool loaded = false;
  std::map<std::string, std::string> text;                // text boxes and combo boxes
  std::map<std::string, int> list_index;                  // combo boxes
  std::map<std::string, int> value;                       // check boxes
  std::map<std::string, std::vector<std::string>> items;  // combo boxes
};

// Reads every control of the form by name (this loads the form).
FormSnapshot Snapshot(ConfigForm& form);

// Records how often it was asked to show and what the form held then, then
// runs `act` (which returns whether OK was pressed); without `act` it
// closes the dialog without OK.
class RecordingFrontEnd : public DialogFrontEnd {
 public:
  explicit RecordingFrontEnd(std::function<bool(ConfigForm&)> act = nullptr) : act_(std::move(act)) {}
  bool ShowModal(ConfigForm& form) override;

  int calls = 0;
  FormSnapshot shown;

 private:
  std::function<bool(ConfigForm&)> act_;
};

// Collects the debug lines written while it exists.
class DebugCapture {
 public:
  DebugCapture();
  ~DebugCapture();
  std::vector<std::string> lines;
};

// Presses OK through the late-bound interface (btOK.Value = True).
bool PressOk(ConfigForm& form);

}  // namespace comvorlix::testing

// Finding and opening the front-end module (front_end_module.h).
//
// The module is libcomvorlix_dialog_qt.so in the folder of the file this
// library was loaded from, so that the build tree and an installation (the
// module in the library's private folder beside libcomvorlix.so) work
// alike. Where this code is linked into the command-line program and no
// module sits beside it, the module is the one in the library's installed
// folder, reached from the program's. The environment variable
// COMVORLIX_DIALOG_MODULE, when set and not empty, names the module's full
// path instead (for tests).
//
// Nothing here loads Qt: the module, and Qt with it, is only opened by
// OpenDialogModule, which the dialog calls when it is about to show a
// window or to ask about a display that the environment names.
//
// Threads: all functions are thread-safe.
#pragma once

#include <memory>
#include <string>

#include "dialog/front_end_module.h"

namespace comvorlix {

// The file name of the module, looked for beside the library.
inline constexpr char kDialogModuleFileName[] = "libcomvorlix_dialog_qt.so";

// An opened module: its dlopen handle and its accepted table. The handle is
// closed when the last reference goes; the module was opened with
// RTLD_NODELETE, since a Qt application it started lives on, so its code
// stays mapped all the same.
class DialogModule {
 public:
  // Closes a dlopen handle.
  struct Closer {
    void operator()(void* handle) const;
  };
  using Handle = std::unique_ptr<void, Closer>;

  DialogModule(Handle handle, const comvorlix_dialog_module& table, std::string path)
      : handle_(std::move(handle)), table_(&table), path_(std::move(path)) {}

  const comvorlix_dialog_module& table() const { return *table_; }
  const std::string& path() const { return path_; }

 private:
  Handle handle_;
  const comvorlix_dialog_module* table_;  // inside the module; not owned
  std::string path_;
};

// Where the module is looked for now (see above). Empty only when the
// library's own file cannot be found.
std::string DialogModulePath();

struct DialogModuleOpening {
  std::shared_ptr<const DialogModule> module;  // null when it failed
  // Why it failed, to follow "no display available to show the
  // configuration dialog: ": "the graphical front end module was not found
  // (looked for PATH)", "... PATH could not be opened: REASON", "... PATH
  // has interface version N, not M".
  std::string problem;
};

// Opens the module at DialogModulePath(). Once opened, the same module is
// returned to every later call for that path; a failure is not remembered
// (the next call tries again).
DialogModuleOpening OpenDialogModule();

// Whether Qt Widgets is already loaded into this process (by the host or by
// the module), found without loading anything.
bool QtWidgetsLoaded();

}  // namespace comvorlix

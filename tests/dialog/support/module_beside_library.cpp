// The dialog tests link the dialog code itself rather than libcomvorlix.so,
// so the module's default place (beside the file that holds that code)
// would be this test program's folder. Before any test runs, point them at
// the module built beside the library, which shares its folder with the
// command-line host, unless whoever runs the tests chose a module already.
// Programs the tests start inherit the choice; tests that need another one
// set it for themselves.
#include <cstdlib>
#include <string>

#include "dialog/dialog_module.h"

namespace {

const bool kModuleChosen = [] {
  const std::string cli = COMVORLIX_CLI_PATH;
  const std::string module = cli.substr(0, cli.rfind('/') + 1) + comvorlix::kDialogModuleFileName;
  return setenv("COMVORLIX_DIALOG_MODULE", module.c_str(), 0) == 0;
}();

}  // namespace

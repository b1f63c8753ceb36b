// The front-end module as a separate file: the library and the program run
// without it (and never load Qt), and the module shares nothing with the
// library but its table.
#include "dialog/dialog_module.h"

#include <unistd.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <sstream>

#include "common/expect_error.h"
#include "common/isolated_home.h"
#include "common/run_cli.h"
#include "common/run_process.h"
#include "common/switchsim_process.h"
#include "common/temp_dir.h"
#include "dialog/show_dialog.h"

namespace comvorlix {
namespace {

using testing::Cli;
using testing::ProcessResult;
using testing::RunProcess;

// Sets an environment variable for one test; children inherit it.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const std::string& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    setenv(name, value.c_str(), 1);
  }
  ~ScopedEnv() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(DialogModuleAbsent, ShowingSaysWhereItLookedAndTheProgramStillChecks) {
  testing::TempDir dir;
  const std::string missing = dir.Path("libcomvorlix_dialog_qt.so");
  const ScopedEnv module("COMVORLIX_DIALOG_MODULE", missing);
  const ScopedEnv platform("QT_QPA_PLATFORM", "offscreen");
  InstallDialogFrontEnd(nullptr);

  EXPECT_FALSE(DefaultFrontEndAvailable());
  ConfigForm form;
  testing::ExpectAutomationError(
      [&] {
        ShowConfigurationDialog(form, Variant::FromText(u"sw1"), Variant::Int16(30),
                                Variant::FromText(u"#USR=x#"));
      },
      Status::kNoDisplay,
      "no display available to show the configuration dialog: the graphical front end module was not found "
      "(looked for " +
          missing + ")");
  EXPECT_FALSE(form.loaded());

  // The program in the same environment writes a parameter file and checks
  // a switch.
  const std::string pw = dir.Write("pw", "s3cret\n");
  testing::SwitchSimProcess sim(
      {"--device", "cisco", "--user", "admin", "--password-file", pw, "--enable-password-file", pw});
  const std::string params = dir.Path("sw1.params");
  ProcessResult configure = Cli({"configure", "--params", params, "--no-gui",
                                 "--user", "admin", "--password-file", pw, "--enable-password-file",
                                 pw, "--port", std::to_string(sim.port()), "--device", "CSCSW"});
  ASSERT_EQ(configure.status, 0) << configure.err;
  ProcessResult check =
      Cli({"check", "--host", "127.0.0.1", "--params", params, "--timeout", "20",
           "--known-hosts", testing::KnownHostsFile()});
  EXPECT_EQ(check.status, 0) << check.out << check.err;
  EXPECT_EQ(check.out.rfind("CONFIG OK - Setting initial CRC (", 0), 0u) << check.out;
}

// The build puts libcomvorlix.so, the command-line host and the module into
// one folder.
std::string BuildFolder() {
  const std::string cli = COMVORLIX_CLI_PATH;
  return cli.substr(0, cli.rfind('/') + 1);
}

std::string RealPath(const std::string& path) {
  char* real = realpath(path.c_str(), nullptr);
  const std::string resolved = real != nullptr ? real : "";
  std::free(real);
  return resolved;
}

std::string Folder(const std::string& path) { return RealPath(path.substr(0, path.rfind('/'))); }

std::set<std::string> DynamicSymbols(const std::string& file, const char* which) {
  const ProcessResult nm = RunProcess({"nm", "-D", which, file});
  EXPECT_EQ(nm.status, 0) << nm.err;
  std::set<std::string> names;
  std::istringstream lines(nm.out);
  for (std::string line; std::getline(lines, line);) names.insert(line.substr(line.rfind(' ') + 1));
  return names;
}

TEST(DialogModuleLookup, WithoutTheVariableTheModuleIsLookedForBesideTheCodeThenWhereTheLibraryIs) {
  const ScopedEnv module("COMVORLIX_DIALOG_MODULE", "");
  const std::string path = DialogModulePath();
  EXPECT_EQ(path.substr(path.rfind('/') + 1), kDialogModuleFileName);
  // This test program holds the dialog code itself, and no module sits
  // beside it, as in the folder of installed programs.
  const std::string folder = Folder(RealPath("/proc/self/exe"));
  ASSERT_NE(access((folder + "/" + kDialogModuleFileName).c_str(), F_OK), 0);
  if (access(path.c_str(), F_OK) == 0) {
    EXPECT_NE(Folder(path), folder) << "found where the library is installed, seen from this folder";
  } else {
    EXPECT_EQ(Folder(path), folder) << "found nowhere: named beside the code";
  }
}

TEST(DialogModuleLinkage, TheLibraryAndTheProgramNeedNoQt) {
  const std::string library = BuildFolder() + "libcomvorlix.so";
  ASSERT_EQ(access(library.c_str(), R_OK), 0) << library;
  // ldd lists every library loaded with them, also the indirect ones.
  for (const std::string& file : {library, std::string(COMVORLIX_CLI_PATH)}) {
    const ProcessResult ldd = RunProcess({"ldd", file});
    ASSERT_EQ(ldd.status, 0) << ldd.err;
    EXPECT_EQ(ldd.out.find("libQt"), std::string::npos) << file << ":\n" << ldd.out;
  }
}

#ifdef COMVORLIX_HAVE_QT
TEST(DialogModuleLinkage, TheModuleSitsBesideTheLibraryHasQtAndOffersOnlyItsTable) {
  const std::string module = BuildFolder() + kDialogModuleFileName;
  const ProcessResult ldd = RunProcess({"ldd", module});
  ASSERT_EQ(ldd.status, 0) << ldd.err;
  EXPECT_NE(ldd.out.find("libQt6Widgets.so"), std::string::npos) << ldd.out;
  EXPECT_EQ(ldd.out.find("libcomvorlix.so"), std::string::npos) << ldd.out;
  EXPECT_EQ(DynamicSymbols(module, "--defined-only"), std::set<std::string>{COMVORLIX_DIALOG_MODULE_ENTRY});
  for (const std::string& name : DynamicSymbols(module, "--undefined-only")) {
    EXPECT_EQ(name.find("comvorlix"), std::string::npos) << "the module uses the library's " << name;
  }
}
#endif

}  // namespace
}  // namespace comvorlix

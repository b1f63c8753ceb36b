#include "dialog/dialog_module.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdlib>
#include <mutex>

namespace comvorlix {
namespace {

// The folder of the file that holds this function: libcomvorlix.so, or the
// program when the library is linked in statically.
std::string OwnFolder() {
  Dl_info info{};
  if (::dladdr(reinterpret_cast<void*>(&DialogModulePath), &info) == 0 || info.dli_fname == nullptr)
    return {};
  const std::string file = info.dli_fname;
  const size_t slash = file.rfind('/');
  return slash == std::string::npos ? std::string(".") : file.substr(0, slash);
}

DialogModuleOpening Open(const std::string& path) {
  constexpr char kModule[] = "the graphical front end module ";
  if (path.empty())
    return {nullptr, std::string(kModule) + "was not found (the library's own folder is unknown)"};
  if (::access(path.c_str(), F_OK) != 0)
    return {nullptr, std::string(kModule) + "was not found (looked for " + path + ")"};
  // RTLD_NODELETE: a Qt application started by the module refers to its
  // code and data until the process ends. RTLD_LOCAL: its symbols must not
  // mix with anyone else's.
  DialogModule::Handle handle(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE));
  if (!handle) {
    const char* reason = ::dlerror();
    return {nullptr,
            std::string(kModule) + path + " could not be opened: " + (reason ? reason : "unknown reason")};
  }
  const auto entry = reinterpret_cast<comvorlix_dialog_module_entry_fn>(
      ::dlsym(handle.get(), COMVORLIX_DIALOG_MODULE_ENTRY));
  if (entry == nullptr) {
    return {nullptr,
            std::string(kModule) + path + " could not be opened: it has no " + COMVORLIX_DIALOG_MODULE_ENTRY};
  }
  const comvorlix_dialog_module* table = entry();
  if (table == nullptr || table->abi_version != COMVORLIX_DIALOG_ABI_VERSION ||
      table->size < sizeof(comvorlix_dialog_module)) {
    const unsigned version = table == nullptr ? 0u : table->abi_version;
    return {nullptr, std::string(kModule) + path + " has interface version " + std::to_string(version) +
                         ", not " + std::to_string(COMVORLIX_DIALOG_ABI_VERSION)};
  }
  return {std::make_shared<const DialogModule>(std::move(handle), *table, path), {}};
}

}  // namespace

void DialogModule::Closer::operator()(void* handle) const { ::dlclose(handle); }

std::string DialogModulePath() {
  const char* chosen = std::getenv("COMVORLIX_DIALOG_MODULE");
  if (chosen != nullptr && *chosen != '\0') return chosen;
  const std::string folder = OwnFolder();
  if (folder.empty()) return {};
  const std::string beside = folder + "/" + kDialogModuleFileName;
  // Linked into the command-line program, this code sits in the folder of
  // programs, and the module where the library is installed.
  const std::string installed = folder + "/" + COMVORLIX_BIN_TO_PRIVATE_LIBDIR + "/" + kDialogModuleFileName;
  return ::access(beside.c_str(), F_OK) != 0 && ::access(installed.c_str(), F_OK) == 0 ? installed : beside;
}

DialogModuleOpening OpenDialogModule() {
  static std::mutex mutex;
  static std::shared_ptr<const DialogModule> opened;
  const std::string path = DialogModulePath();
  std::lock_guard lock(mutex);
  if (opened && opened->path() == path) return {opened, {}};
  DialogModuleOpening result = Open(path);
  if (result.module) opened = result.module;
  return result;
}

bool QtWidgetsLoaded() {
  // RTLD_NOLOAD only finds a library that is loaded already; the module is
  // built against Qt 6.
  void* handle = ::dlopen("libQt6Widgets.so.6", RTLD_LAZY | RTLD_NOLOAD);
  if (handle == nullptr) return false;
  ::dlclose(handle);
  return true;
}

}  // namespace comvorlix

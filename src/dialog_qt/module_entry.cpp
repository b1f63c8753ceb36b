// The module's one exported symbol and the functions of its table
// (dialog/front_end_module.h). Everything else in the module is hidden.
#include <QApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QThread>
#include <exception>

#include "dialog/front_end_module.h"
#include "dialog_qt/form_dialog.h"

namespace comvorlix::dialog_qt {
namespace {

bool GuiRunning() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

int32_t GuiRunningEntry() { return GuiRunning() ? 1 : 0; }

int32_t PlatformAvailable(const char* platform) {
  if (platform == nullptr || *platform == '\0') return 0;
  try {
    QStringList folders;
    const QString paths = qEnvironmentVariable("QT_PLUGIN_PATH");
    for (const QString& p : paths.split(QLatin1Char(':'), Qt::SkipEmptyParts)) folders << p;
    folders << QLibraryInfo::path(QLibraryInfo::PluginsPath);
    const QString prefix = QStringLiteral("libq") + QString::fromUtf8(platform);
    for (const QString& folder : folders) {
      const QDir dir(folder + QStringLiteral("/platforms"));
      if (!dir.entryList({prefix + QStringLiteral("*.so")}, QDir::Files).isEmpty()) return 1;
    }
  } catch (...) {
    // Out of memory while listing folders: no plugin that can be used.
  }
  return 0;
}

// Creates the QApplication when there is none; false (with `error` filled)
// when the process runs Qt without widgets.
bool EnsureApplication(comvorlix_dialog_error& error) {
  if (GuiRunning()) return true;
  if (QCoreApplication::instance() != nullptr) {
    SetError(error, COMVORLIX_DIALOG_ERROR_NO_DISPLAY,
             "no display available to show the configuration dialog: the process runs Qt without widgets");
    return false;
  }
  // QApplication keeps references to argc and argv for its whole life.
  static int argc = 1;
  static char name[] = "comvorlix";
  static char* argv[] = {name, nullptr};
  // Kept until the process ends: destroying it during static destruction
  // would race with Qt's own clean-up (and the library never unloads this
  // module, so argc and argv stay too).
  new QApplication(argc, argv);
  return true;
}

int32_t ShowModal(const comvorlix_dialog_form* form, comvorlix_dialog_ok_fn on_ok, void* context,
                  comvorlix_dialog_error* error) {
  comvorlix_dialog_error scratch{};
  comvorlix_dialog_error& out = error != nullptr ? *error : scratch;
  if (form == nullptr || on_ok == nullptr) {
    SetError(out, COMVORLIX_DIALOG_ERROR_FAIL, "the configuration dialog was asked to show no form");
    return COMVORLIX_DIALOG_SHOW_FAILED;
  }
  try {
    if (!EnsureApplication(out)) return COMVORLIX_DIALOG_SHOW_FAILED;
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
      SetError(out, COMVORLIX_DIALOG_ERROR_FAIL,
               "the configuration dialog can only be shown on the thread that runs the graphical front end");
      return COMVORLIX_DIALOG_SHOW_FAILED;
    }
    FormDialog dialog(*form, on_ok, context);
    dialog.exec();
    if (dialog.failed()) {
      out = dialog.error();
      return COMVORLIX_DIALOG_SHOW_FAILED;
    }
    return dialog.ok_pressed() ? COMVORLIX_DIALOG_SHOW_OK : COMVORLIX_DIALOG_SHOW_CANCELLED;
  } catch (const std::exception& e) {
    SetError(out, COMVORLIX_DIALOG_ERROR_FAIL, e.what());
  } catch (...) {
    SetError(out, COMVORLIX_DIALOG_ERROR_FAIL, "unknown error in the graphical front end");
  }
  return COMVORLIX_DIALOG_SHOW_FAILED;
}

const comvorlix_dialog_module kTable = {
    COMVORLIX_DIALOG_ABI_VERSION,
    sizeof(comvorlix_dialog_module),
    GuiRunningEntry,
    PlatformAvailable,
    ShowModal,
};

}  // namespace
}  // namespace comvorlix::dialog_qt

extern "C" __attribute__((visibility("default"))) const comvorlix_dialog_module*
comvorlix_dialog_module_table() {
  return &comvorlix::dialog_qt::kTable;
}

// render_dialog OUTPUT.png
//
// Draws the configuration dialog as the operator first sees it (host name
// and time-out filled, every other control at its default) into a PNG file.
// Runs on the offscreen platform unless QT_QPA_PLATFORM says otherwise. The
// window is the real dialog, shown the way the library shows it (through the
// front-end module beside the library) inside this program's Qt
// application; it is grabbed as soon as it is up and then closed without
// OK. Since offscreen windows have no decorations, the window title is drawn
// as a plain bar above the grabbed window contents. Fixed style and font
// keep the picture the same from one desktop to the next.
#include <QApplication>
#include <QDialog>
#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <cstdio>
#include <exception>
#include <functional>

#include "dialog/config_form.h"
#include "dialog/show_dialog.h"

namespace {

QImage WithTitleBar(const QPixmap& body, const QString& title, const QPalette& palette) {
  const int bar = 26;
  QImage image(body.width(), body.height() + bar, QImage::Format_ARGB32);
  image.fill(palette.color(QPalette::Window));
  QPainter painter(&image);
  painter.fillRect(0, 0, image.width(), bar, palette.color(QPalette::Highlight));
  QFont font = QApplication::font();
  font.setBold(true);
  painter.setFont(font);
  painter.setPen(palette.color(QPalette::HighlightedText));
  painter.drawText(QRect(8, 0, image.width() - 16, bar), Qt::AlignVCenter | Qt::AlignLeft, title);
  painter.drawPixmap(0, bar, body);
  painter.setPen(palette.color(QPalette::Mid));
  painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
  return image;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: render_dialog OUTPUT.png\n");
    return 2;
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  // The module of this build, unless the caller names another one.
  if (qEnvironmentVariableIsEmpty("COMVORLIX_DIALOG_MODULE")) {
    qputenv("COMVORLIX_DIALOG_MODULE", COMVORLIX_DIALOG_MODULE_PATH);
  }
  QApplication app(argc, argv);
  QApplication::setStyle(QStringLiteral("Fusion"));
  QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 9));
  try {
    QImage image;
    // Waits (at most ten seconds) for the dialog to be up, grabs it and
    // closes it.
    int tries = 0;
    std::function<void()> grab = [&] {
      auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (dialog != nullptr && dialog->isVisible()) {
        QApplication::processEvents();
        image = WithTitleBar(dialog->grab(), dialog->windowTitle(), dialog->palette());
        dialog->reject();
      } else if (++tries < 1000) {
        QTimer::singleShot(10, grab);
      }
    };
    QTimer::singleShot(0, grab);
    comvorlix::ConfigForm form;
    comvorlix::ShowConfigurationDialog(form, comvorlix::Variant::FromText(u"switch01.example.net"),
                                       comvorlix::Variant::Int16(30), comvorlix::Variant());
    if (image.isNull()) {
      std::fprintf(stderr, "render_dialog: the dialog never showed\n");
      return 1;
    }
    if (!image.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
      std::fprintf(stderr, "render_dialog: cannot write %s\n", argv[1]);
      return 1;
    }
  } catch (const std::exception& e) {
    std::fprintf(stderr, "render_dialog: %s\n", e.what());
    return 1;
  }
  return 0;
}

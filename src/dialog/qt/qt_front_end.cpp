#include "dialog/qt/qt_front_end.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLibraryInfo>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <QThread>
#include <algorithm>
#include <exception>
#include <map>

#include "dialog/config_form.h"
#include "dialog/front_end.h"

namespace comvorlix {
namespace {

QString ToQString(const Text& text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

Text FromQString(const QString& s) {
  return Text(reinterpret_cast<const char16_t*>(s.utf16()), static_cast<size_t>(s.size()));
}

// Shows typed characters as the control's password character rather than
// the platform's bullet.
class PasswordCharStyle : public QProxyStyle {
 public:
  explicit PasswordCharStyle(QChar c) : c_(c) {}
  int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                QStyleHintReturn* data) const override {
    if (hint == SH_LineEdit_PasswordCharacter) return c_.unicode();
    return QProxyStyle::styleHint(hint, option, widget, data);
  }

 private:
  QChar c_;
};

class FormDialog : public QDialog {
 public:
  explicit FormDialog(ConfigForm& form);

  bool ok_pressed() const { return ok_pressed_; }
  std::exception_ptr failure() const { return failure_; }

 private:
  QWidget* Make(Control& control);
  void Arrange();
  void ChainFocus();
  void WriteBack();
  void OnOk();

  ConfigForm& form_;
  std::map<Text, QWidget*> widgets_;    // by control name
  std::map<QComboBox*, int> selected_;  // the selection the operator made
  bool ok_pressed_ = false;
  std::exception_ptr failure_;
};

FormDialog::FormDialog(ConfigForm& form) : QDialog(nullptr), form_(form) {
  setObjectName(QStringLiteral("frmmain"));
  setWindowTitle(ToQString(form.caption()));
  Qt::WindowFlags flags = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
  if (form.top_most()) flags |= Qt::WindowStaysOnTopHint;
  setWindowFlags(flags);
  setModal(true);
  for (Control* control : form.controls()) {
    if (!control->visible()) continue;
    if (QWidget* widget = Make(*control)) widgets_[control->name()] = widget;
  }
  Arrange();
  ChainFocus();
}

QWidget* FormDialog::Make(Control& control) {
  QWidget* widget = nullptr;
  switch (control.kind()) {
    case Control::Kind::kLabel:
      widget = new QLabel(ToQString(static_cast<Label&>(control).caption()), this);
      break;
    case Control::Kind::kTextBox: {
      auto& box = static_cast<TextBox&>(control);
      auto* edit = new QLineEdit(ToQString(box.text()), this);
      edit->setReadOnly(box.locked());
      const Text mask = box.password_char();
      if (!mask.empty()) {
        edit->setEchoMode(QLineEdit::Password);
        // Owned by the dialog and created after the field, so it outlives it.
        auto* style = new PasswordCharStyle(QChar(mask[0]));
        style->setParent(this);
        edit->setStyle(style);
      }
      widget = edit;
      break;
    }
    case Control::Kind::kComboBox: {
      auto& combo_box = static_cast<ComboBox&>(control);
      auto* combo = new QComboBox(this);
      combo->setEditable(true);
      combo->setInsertPolicy(QComboBox::NoInsert);
      // Typed text stays as typed: no completion towards an item.
      combo->setCompleter(nullptr);
      // Nor does leaving the field or pressing Enter turn typed text into
      // the item that reads the same: only picking selects.
      QObject::disconnect(combo->lineEdit(), SIGNAL(editingFinished()), combo, nullptr);
      QObject::disconnect(combo->lineEdit(), SIGNAL(returnPressed()), combo, nullptr);
      for (const Text& item : combo_box.items()) combo->addItem(ToQString(item));
      const int index = combo_box.list_index();
      combo->setCurrentIndex(index);
      if (index < 0) combo->setEditText(ToQString(combo_box.text()));
      selected_[combo] = index;
      connect(combo->lineEdit(), &QLineEdit::textEdited, this, [this, combo] { selected_[combo] = -1; });
      connect(combo, &QComboBox::activated, this, [this, combo](int i) { selected_[combo] = i; });
      widget = combo;
      break;
    }
    case Control::Kind::kCheckBox: {
      auto& check_box = static_cast<CheckBox&>(control);
      auto* check = new QCheckBox(ToQString(check_box.caption()), this);
      check->setChecked(check_box.value() == 1);
      widget = check;
      break;
    }
    case Control::Kind::kCommandButton: {
      auto& button = static_cast<CommandButton&>(control);
      auto* push = new QPushButton(ToQString(button.caption()), this);
      // Enter in a field does not press the button; its access key does.
      push->setAutoDefault(false);
      push->setDefault(false);
      if (control.name() == u"btOK") connect(push, &QPushButton::clicked, this, [this] { OnOk(); });
      widget = push;
      break;
    }
  }
  widget->setObjectName(ToQString(control.name()));
  return widget;
}

void FormDialog::Arrange() {
  const auto at = [this](const char16_t* name) -> QWidget* {
    const auto it = widgets_.find(Text(name));
    return it == widgets_.end() ? nullptr : it->second;
  };
  auto* grid = new QGridLayout(this);
  grid->setSizeConstraint(QLayout::SetFixedSize);
  grid->setHorizontalSpacing(10);
  grid->setColumnMinimumWidth(1, 200);
  grid->setColumnMinimumWidth(3, 150);
  const Qt::Alignment label_alignment = Qt::AlignLeft | Qt::AlignVCenter;

  // Label and field pairs: row, column of the label; the field follows it
  // and spans `span` columns.
  struct Pair {
    const char16_t* label;
    const char16_t* field;
    int row, column, span;
  };
  const Pair pairs[] = {
      {u"Label1", u"txtHostname", 0, 0, 3}, {u"Label9", u"cmbProtocol", 1, 0, 1},
      {u"Label10", u"txtPort", 1, 2, 1},    {u"Label2", u"txtUsername", 2, 0, 1},
      {u"Label3", u"txtPassword", 2, 2, 1}, {u"Label15", u"txtKeyfile", 3, 0, 1},
      {u"Label16", u"cmbKeyType", 3, 2, 1}, {u"Label12", u"txtenablepassword", 4, 0, 1},
      {u"Label8", u"cmbDevice", 5, 0, 3},   {u"Label6", u"cmbconfiguration", 6, 0, 3},
  };
  for (const Pair& pair : pairs) {
    if (QWidget* label = at(pair.label)) grid->addWidget(label, pair.row, pair.column, label_alignment);
    if (QWidget* field = at(pair.field)) grid->addWidget(field, pair.row, pair.column + 1, 1, pair.span);
  }
  if (QWidget* reset = at(u"chkReset")) grid->addWidget(reset, 7, 0, 1, 4);
  if (QWidget* debug = at(u"chkdebug")) grid->addWidget(debug, 8, 0);
  if (QWidget* file = at(u"txtdebugfile")) grid->addWidget(file, 8, 1, 1, 3);

  // Last row: the time-out with its unit, and OK at the right end.
  grid->setRowMinimumHeight(9, 8);
  if (QWidget* label = at(u"Label4")) grid->addWidget(label, 10, 0, label_alignment);
  auto* timeout_row = new QHBoxLayout;
  if (QWidget* timeout = at(u"txtTimeout")) {
    timeout->setFixedWidth(60);
    timeout_row->addWidget(timeout);
  }
  if (QWidget* unit = at(u"Label5")) timeout_row->addWidget(unit);
  timeout_row->addStretch(1);
  grid->addLayout(timeout_row, 10, 1);
  if (QWidget* ok = at(u"btOK")) {
    ok->setMinimumWidth(90);
    grid->addWidget(ok, 10, 2, 1, 2, Qt::AlignRight);
  }
}

void FormDialog::ChainFocus() {
  std::vector<Control*> order;
  for (Control* control : form_.controls()) {
    if (control->tab_index() >= 0 && widgets_.count(control->name())) order.push_back(control);
  }
  std::sort(order.begin(), order.end(),
            [](const Control* a, const Control* b) { return a->tab_index() < b->tab_index(); });
  for (size_t i = 1; i < order.size(); ++i) {
    setTabOrder(widgets_[order[i - 1]->name()], widgets_[order[i]->name()]);
  }
  // The first control of the focus order has the focus when the window opens.
  if (!order.empty()) widgets_[order.front()->name()]->setFocus(Qt::OtherFocusReason);
}

void FormDialog::WriteBack() {
  for (const auto& [name, widget] : widgets_) {
    Control& control = form_.control(name);
    switch (control.kind()) {
      case Control::Kind::kTextBox:
        static_cast<TextBox&>(control).set_text(FromQString(static_cast<QLineEdit*>(widget)->text()));
        break;
      case Control::Kind::kComboBox: {
        auto* combo = static_cast<QComboBox*>(widget);
        auto& combo_box = static_cast<ComboBox&>(control);
        combo_box.set_text(FromQString(combo->currentText()));
        const int index = selected_[combo];
        if (index >= 0) combo_box.set_list_index(index);
        break;
      }
      case Control::Kind::kCheckBox:
        static_cast<CheckBox&>(control).set_value(static_cast<QCheckBox*>(widget)->isChecked() ? 1 : 0);
        break;
      case Control::Kind::kLabel:
      case Control::Kind::kCommandButton:
        break;
    }
  }
}

void FormDialog::OnOk() {
  // Exceptions must not cross Qt's event loop: keep the error for the caller.
  try {
    WriteBack();
    form_.command_button(u"btOK").Click();
    // The handler unloads the form when it has built the string.
    if (!form_.loaded()) {
      ok_pressed_ = true;
      accept();
    }
  } catch (...) {
    failure_ = std::current_exception();
    reject();
  }
}

class QtFrontEnd : public DialogFrontEnd {
 public:
  bool ShowModal(ConfigForm& form) override {
    EnsureQtApplication();
    if (QThread::currentThread() != QCoreApplication::instance()->thread()) {
      throw AutomationError(Status::kFail,
                            "the configuration dialog can only be shown on the thread that runs the "
                            "graphical front end");
    }
    FormDialog dialog(form);
    dialog.exec();
    if (dialog.failure()) std::rethrow_exception(dialog.failure());
    return dialog.ok_pressed();
  }
};

}  // namespace

bool QtGuiRunning() { return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr; }

bool QtPlatformPluginPresent(std::string_view platform) {
  if (platform.empty()) return false;
  QStringList folders;
  const QString paths = qEnvironmentVariable("QT_PLUGIN_PATH");
  for (const QString& p : paths.split(QLatin1Char(':'), Qt::SkipEmptyParts)) folders << p;
  folders << QLibraryInfo::path(QLibraryInfo::PluginsPath);
  const QString prefix = QStringLiteral("libq") + QString::fromUtf8(platform.data(), platform.size());
  for (const QString& folder : folders) {
    const QDir dir(folder + QStringLiteral("/platforms"));
    if (!dir.entryList({prefix + QStringLiteral("*.so")}, QDir::Files).isEmpty()) return true;
  }
  return false;
}

void EnsureQtApplication() {
  if (QtGuiRunning()) return;
  if (QCoreApplication::instance() != nullptr) {
    throw AutomationError(Status::kNoDisplay,
                          "no display available to show the configuration dialog: the process runs "
                          "Qt without widgets");
  }
  // QApplication keeps references to argc and argv for its whole life.
  static int argc = 1;
  static char name[] = "comvorlix";
  static char* argv[] = {name, nullptr};
  // Kept until the process ends: destroying it during static destruction
  // would race with Qt's own clean-up.
  new QApplication(argc, argv);
}

std::shared_ptr<DialogFrontEnd> QtDialogFrontEnd() {
  static const std::shared_ptr<DialogFrontEnd> front_end = std::make_shared<QtFrontEnd>();
  return front_end;
}

std::unique_ptr<QDialog> BuildQtDialog(ConfigForm& form) { return std::make_unique<FormDialog>(form); }

}  // namespace comvorlix

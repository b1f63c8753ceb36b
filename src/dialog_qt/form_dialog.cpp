#include "dialog_qt/form_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QPushButton>
#include <algorithm>
#include <cstring>
#include <exception>

namespace comvorlix::dialog_qt {
namespace {

QString ToQString(const comvorlix_dialog_text& text) {
  if (text.size == 0) return QString();
  return QString::fromUtf16(reinterpret_cast<const char16_t*>(text.data), static_cast<qsizetype>(text.size));
}

comvorlix_dialog_text View(const QString& s) {
  return {reinterpret_cast<const uint16_t*>(s.utf16()), static_cast<size_t>(s.size())};
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

}  // namespace

void SetError(comvorlix_dialog_error& error, int32_t kind, const char* text) {
  error.kind = kind;
  const size_t n = std::min(std::strlen(text), sizeof error.text - 1);
  std::memcpy(error.text, text, n);
  error.text[n] = '\0';
}

FormDialog::FormDialog(const comvorlix_dialog_form& form, comvorlix_dialog_ok_fn on_ok, void* context)
    : QDialog(nullptr), on_ok_(on_ok), context_(context) {
  setObjectName(QStringLiteral("frmmain"));
  setWindowTitle(ToQString(form.caption));
  Qt::WindowFlags flags = Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint;
  if (form.top_most) flags |= Qt::WindowStaysOnTopHint;
  setWindowFlags(flags);
  setModal(true);
  for (size_t i = 0; i < form.control_count; ++i) {
    const comvorlix_dialog_control& control = form.controls[i];
    QWidget* widget = Make(control);
    if (widget == nullptr) continue;
    fields_.push_back({widget->objectName(), control.kind, control.tab_index, widget});
    by_name_[widget->objectName()] = widget;
  }
  Arrange();
  ChainFocus();
}

QWidget* FormDialog::Make(const comvorlix_dialog_control& control) {
  QWidget* widget = nullptr;
  switch (control.kind) {
    case COMVORLIX_DIALOG_LABEL:
      widget = new QLabel(ToQString(control.caption), this);
      break;
    case COMVORLIX_DIALOG_TEXT_BOX: {
      auto* edit = new QLineEdit(ToQString(control.text), this);
      edit->setReadOnly(control.read_only != 0);
      if (control.password_char != 0) {
        edit->setEchoMode(QLineEdit::Password);
        // Owned by the dialog and created after the field, so it outlives it.
        auto* style = new PasswordCharStyle(QChar(control.password_char));
        style->setParent(this);
        edit->setStyle(style);
      }
      widget = edit;
      break;
    }
    case COMVORLIX_DIALOG_COMBO_BOX: {
      auto* combo = new QComboBox(this);
      combo->setEditable(true);
      combo->setInsertPolicy(QComboBox::NoInsert);
      // Typed text stays as typed: no completion towards an item.
      combo->setCompleter(nullptr);
      // Nor does leaving the field or pressing Enter turn typed text into
      // the item that reads the same: only picking selects.
      QObject::disconnect(combo->lineEdit(), SIGNAL(editingFinished()), combo, nullptr);
      QObject::disconnect(combo->lineEdit(), SIGNAL(returnPressed()), combo, nullptr);
      for (size_t i = 0; i < control.item_count; ++i) combo->addItem(ToQString(control.items[i]));
      const int index = control.list_index;
      combo->setCurrentIndex(index);
      if (index < 0) combo->setEditText(ToQString(control.text));
      picked_[combo] = index;
      connect(combo->lineEdit(), &QLineEdit::textEdited, this, [this, combo] { picked_[combo] = -1; });
      connect(combo, &QComboBox::activated, this, [this, combo](int i) { picked_[combo] = i; });
      widget = combo;
      break;
    }
    case COMVORLIX_DIALOG_CHECK_BOX: {
      auto* check = new QCheckBox(ToQString(control.caption), this);
      check->setChecked(control.checked != 0);
      widget = check;
      break;
    }
    case COMVORLIX_DIALOG_COMMAND_BUTTON: {
      auto* push = new QPushButton(ToQString(control.caption), this);
      // Enter in a field does not press the button; its access key does.
      push->setAutoDefault(false);
      push->setDefault(false);
      if (ToQString(control.name) == QLatin1String("btOK")) {
        connect(push, &QPushButton::clicked, this, [this] { OnOk(); });
      }
      widget = push;
      break;
    }
    default:
      // A kind this module does not know has no widget.
      return nullptr;
  }
  widget->setObjectName(ToQString(control.name));
  return widget;
}

void FormDialog::Arrange() {
  const auto at = [this](const char* name) -> QWidget* {
    const auto it = by_name_.find(QLatin1String(name));
    return it == by_name_.end() ? nullptr : it->second;
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
    const char* label;
    const char* field;
    int row, column, span;
  };
  const Pair pairs[] = {
      {"Label1", "txtHostname", 0, 0, 3}, {"Label9", "cmbProtocol", 1, 0, 1},
      {"Label10", "txtPort", 1, 2, 1},    {"Label2", "txtUsername", 2, 0, 1},
      {"Label3", "txtPassword", 2, 2, 1}, {"Label15", "txtKeyfile", 3, 0, 1},
      {"Label16", "cmbKeyType", 3, 2, 1}, {"Label12", "txtenablepassword", 4, 0, 1},
      {"Label8", "cmbDevice", 5, 0, 3},   {"Label6", "cmbconfiguration", 6, 0, 3},
  };
  for (const Pair& pair : pairs) {
    if (QWidget* label = at(pair.label)) grid->addWidget(label, pair.row, pair.column, label_alignment);
    if (QWidget* field = at(pair.field)) grid->addWidget(field, pair.row, pair.column + 1, 1, pair.span);
  }
  if (QWidget* reset = at("chkReset")) grid->addWidget(reset, 7, 0, 1, 4);
  if (QWidget* debug = at("chkdebug")) grid->addWidget(debug, 8, 0);
  if (QWidget* file = at("txtdebugfile")) grid->addWidget(file, 8, 1, 1, 3);

  // Last row: the time-out with its unit, and OK at the right end.
  grid->setRowMinimumHeight(9, 8);
  if (QWidget* label = at("Label4")) grid->addWidget(label, 10, 0, label_alignment);
  auto* timeout_row = new QHBoxLayout;
  if (QWidget* timeout = at("txtTimeout")) {
    timeout->setFixedWidth(60);
    timeout_row->addWidget(timeout);
  }
  if (QWidget* unit = at("Label5")) timeout_row->addWidget(unit);
  timeout_row->addStretch(1);
  grid->addLayout(timeout_row, 10, 1);
  if (QWidget* ok = at("btOK")) {
    ok->setMinimumWidth(90);
    grid->addWidget(ok, 10, 2, 1, 2, Qt::AlignRight);
  }

  // Below everything, shown only when OK refused the values.
  refusal_ = new QLabel(this);
  refusal_->setObjectName(QStringLiteral("lblRefusal"));
  refusal_->setWordWrap(true);
  refusal_->setStyleSheet(QStringLiteral("color: #b00020"));
  refusal_->hide();
  grid->addWidget(refusal_, 11, 0, 1, 4);
}

void FormDialog::ChainFocus() {
  std::vector<const Field*> order;
  for (const Field& field : fields_) {
    if (field.tab_index >= 0) order.push_back(&field);
  }
  std::stable_sort(order.begin(), order.end(),
                   [](const Field* a, const Field* b) { return a->tab_index < b->tab_index; });
  for (size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1]->widget, order[i]->widget);
  // The first control of the focus order has the focus when the window opens.
  if (!order.empty()) order.front()->widget->setFocus(Qt::OtherFocusReason);
}

void FormDialog::OnOk() {
  comvorlix_dialog_error error{};
  int32_t result = COMVORLIX_DIALOG_OK_FAILED;
  // Nothing may throw through Qt's event loop.
  try {
    // The texts must stay put while the callback reads them.
    std::vector<QString> texts;
    texts.reserve(fields_.size());
    std::vector<comvorlix_dialog_value> values;
    for (const Field& field : fields_) {
      comvorlix_dialog_value value{View(field.name), {}, -1, 0};
      switch (field.kind) {
        case COMVORLIX_DIALOG_TEXT_BOX:
          texts.push_back(static_cast<QLineEdit*>(field.widget)->text());
          value.text = View(texts.back());
          break;
        case COMVORLIX_DIALOG_COMBO_BOX: {
          auto* combo = static_cast<QComboBox*>(field.widget);
          texts.push_back(combo->currentText());
          value.text = View(texts.back());
          value.list_index = picked_[combo];
          break;
        }
        case COMVORLIX_DIALOG_CHECK_BOX:
          value.checked = static_cast<QCheckBox*>(field.widget)->isChecked() ? 1 : 0;
          break;
        default:
          continue;  // labels and buttons hold no value
      }
      values.push_back(value);
    }
    result = on_ok_(context_, values.data(), values.size(), &error);
  } catch (const std::exception& e) {
    SetError(error, COMVORLIX_DIALOG_ERROR_FAIL, e.what());
  } catch (...) {
    SetError(error, COMVORLIX_DIALOG_ERROR_FAIL, "unknown error while pressing OK");
  }
  switch (result) {
    case COMVORLIX_DIALOG_OK_CLOSE:
      ok_pressed_ = true;
      accept();
      break;
    case COMVORLIX_DIALOG_OK_STAY_OPEN:
      break;
    case COMVORLIX_DIALOG_OK_REFUSED:
      error.text[sizeof error.text - 1] = '\0';
      refusal_->setText(QString::fromUtf8(error.text));
      refusal_->show();
      break;
    default:
      failed_ = true;
      error_ = error;
      if (error_.kind == COMVORLIX_DIALOG_ERROR_NONE) {
        SetError(error_, COMVORLIX_DIALOG_ERROR_FAIL, "pressing OK failed without a reason");
      }
      reject();
      break;
  }
}

}  // namespace comvorlix::dialog_qt

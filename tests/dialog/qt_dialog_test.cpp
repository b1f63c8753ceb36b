// The Qt Widgets dialog on the offscreen platform, shown the way the
// library shows it (the front-end module opened beside the library): what it
// shows, typing, picking, toggling, OK by mouse and by access key, Escape
// and closing. This test program runs the Qt application itself; the module
// finds it and shows its window in it.
#ifdef COMVORLIX_HAVE_QT

#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <thread>

#include "devices/device_table.h"
#include "dialog/show_dialog.h"
#include "params/parameter_string.h"
#include "params/secret_field.h"
#include "common/utf16_params.h"

namespace comvorlix {
namespace {

constexpr char kDefaultString[] =
    "#ENC=T#USR=#PWD=#PROTO=A#PORT=22#KEYF=#KEYT=RSA#EPW=#CFG=RUN#DEV=CSCSW#UCF=F#DBG=F#DBF=#";

Variant V(const char* utf8) { return Variant::FromText(T(utf8)); }

template <class W>
W* Find(QDialog* d, const char* name) {
  W* w = d->findChild<W*>(QString::fromLatin1(name));
  if (w == nullptr) ADD_FAILURE() << "no widget " << name;
  return w;
}

// Replaces the whole text of a line edit by typing, as an operator would.
void TypeOver(QLineEdit* edit, const QString& text) {
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

class QtDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (QCoreApplication::instance() != nullptr) return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // QApplication keeps references to argc and argv; it lives as long as
    // the test program.
    static int argc = 1;
    static char name[] = "qt_dialog_test";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
  }
  void SetUp() override {
    InstallDialogFrontEnd(nullptr);
  }

  // Shows the dialog through the default front end and runs `drive` once it is
  // up; `drive` ends the dialog (OK, Escape, close). A dialog left open is a
  // failure and is closed without OK; a watchdog makes sure nothing waits
  // for ever.
  std::optional<Variant> Show(const Variant& parameter, const std::function<void(QDialog*)>& drive) {
    bool driven = false;
    bool left_open = false;
    int tries = 0;
    std::function<void()> poll = [&] {
      auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget());
      if (d != nullptr && d->isVisible()) {
        driven = true;
        drive(d);
        if (d->isVisible()) {
          left_open = true;
          d->reject();
        }
        return;
      }
      if (++tries < 500) QTimer::singleShot(10, poll);
    };
    QTimer::singleShot(0, poll);
    bool timed_out = false;
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
      timed_out = true;
      if (auto* d = qobject_cast<QDialog*>(QApplication::activeModalWidget())) d->reject();
    });
    watchdog.start(20000);
    const auto out = ShowConfigurationDialog(form, V("sw1"), Variant::Int16(30), parameter);
    EXPECT_TRUE(driven) << "the dialog never showed";
    EXPECT_FALSE(left_open) << "the dialog was left open";
    EXPECT_FALSE(timed_out);
    return out;
  }

  static std::string Text(const std::optional<Variant>& v) {
    EXPECT_TRUE(v.has_value()) << "closed without OK";
    return v ? ToUtf8(v->ToText()) : std::string();
  }

  ConfigForm form;
};

TEST_F(QtDialogTest, ShowsTheDefaultsAndOkBuildsTheDefaultString) {
  const auto out = Show(Variant(), [](QDialog* d) {
    EXPECT_EQ(d->windowTitle().toStdString(), "Network device configuration checker v3.1.49");
    EXPECT_TRUE(d->isModal());
    EXPECT_TRUE(d->windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_EQ(d->parentWidget(), nullptr);
    auto* host = Find<QLineEdit>(d, "txtHostname");
    auto* timeout = Find<QLineEdit>(d, "txtTimeout");
    EXPECT_EQ(host->text(), "sw1");
    EXPECT_TRUE(host->isReadOnly());
    EXPECT_EQ(timeout->text(), "30");
    EXPECT_TRUE(timeout->isReadOnly());
    EXPECT_FALSE(Find<QLineEdit>(d, "txtUsername")->isReadOnly());
    EXPECT_EQ(Find<QLineEdit>(d, "txtPassword")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Find<QLineEdit>(d, "txtenablepassword")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(Find<QLineEdit>(d, "txtUsername")->echoMode(), QLineEdit::Normal);
    EXPECT_EQ(Find<QLineEdit>(d, "txtPort")->text(), "22");
    EXPECT_EQ(Find<QComboBox>(d, "cmbProtocol")->currentText(), "SSH Auto");
    EXPECT_EQ(Find<QComboBox>(d, "cmbKeyType")->currentText(), "RSA");
    EXPECT_EQ(Find<QComboBox>(d, "cmbconfiguration")->currentText(), "Running configuration");
    EXPECT_EQ(Find<QComboBox>(d, "cmbDevice")->currentText(), "Cisco switch");
    EXPECT_EQ(Find<QComboBox>(d, "cmbDevice")->count(), static_cast<int>(AllDeviceKinds().size()));
    EXPECT_TRUE(Find<QComboBox>(d, "cmbDevice")->isEditable());
    EXPECT_FALSE(Find<QCheckBox>(d, "chkReset")->isChecked());
    EXPECT_EQ(Find<QCheckBox>(d, "chkdebug")->text(), "Enable debugging to");
    EXPECT_EQ(Find<QLabel>(d, "Label5")->text(), "seconds");
    EXPECT_EQ(d->findChild<QWidget*>("txtResource"), nullptr) << "the hidden control has no widget";
    QTest::mouseClick(Find<QPushButton>(d, "btOK"), Qt::LeftButton);
  });
  EXPECT_EQ(Text(out), kDefaultString);
  EXPECT_FALSE(form.loaded());
}

TEST_F(QtDialogTest, TypingPickingTogglingAndTheAccessKey) {
  const auto out = Show(Variant(), [](QDialog* d) {
    QTest::keyClicks(Find<QLineEdit>(d, "txtUsername"), " admin ");
    QTest::keyClicks(Find<QLineEdit>(d, "txtPassword"), "s3cr#t");
    EXPECT_EQ(Find<QLineEdit>(d, "txtPassword")->displayText(), "******");
    TypeOver(Find<QLineEdit>(d, "txtPort"), " 2022 ");
    QTest::keyClicks(Find<QLineEdit>(d, "txtKeyfile"), " /home/op/.ssh/id_dsa ");
    QTest::keyClicks(Find<QLineEdit>(d, "txtenablepassword"), "en able");
    QTest::keyClicks(Find<QLineEdit>(d, "txtdebugfile"), " /tmp/ssh debug.log ");
    // Keyboard selection in the lists.
    QTest::keyClick(Find<QComboBox>(d, "cmbProtocol"), Qt::Key_Up);   // SSH Auto -> SSH2
    QTest::keyClick(Find<QComboBox>(d, "cmbKeyType"), Qt::Key_Down);  // RSA -> DSA
    auto* configuration = Find<QComboBox>(d, "cmbconfiguration");
    QTest::keyClick(configuration, Qt::Key_Down);
    QTest::keyClick(configuration, Qt::Key_Down);
    // A pick from the opened list with the mouse.
    auto* device = Find<QComboBox>(d, "cmbDevice");
    device->showPopup();
    QAbstractItemView* view = device->view();
    const QRect item = view->visualRect(view->model()->index(2, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, item.center());
    EXPECT_EQ(device->currentText(), "HP 1920 switch (like JG920A)");
    auto* reset = Find<QCheckBox>(d, "chkReset");
    QTest::mouseClick(reset, Qt::LeftButton, {}, QPoint(8, reset->height() / 2));
    EXPECT_TRUE(reset->isChecked());
    auto* debug = Find<QCheckBox>(d, "chkdebug");
    QTest::keyClick(debug, Qt::Key_Space);
    QTest::keyClick(debug, Qt::Key_Space);
    QTest::keyClick(debug, Qt::Key_Space);
    EXPECT_TRUE(debug->isChecked());
    // Alt+O is the OK button's access key.
    d->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(d));
    QTest::keyClick(d, Qt::Key_O, Qt::AltModifier);
    // The access key clicks the button the animated way, a moment later.
    EXPECT_TRUE(QTest::qWaitFor([d] { return !d->isVisible(); }, 5000));
  });
  const std::string expected = "#ENC=T#USR= admin #PWD=" + ToUtf8(EncodeSecretField(u"s3cr#t", true)) +
                               "#PROTO=2#PORT=2022#KEYF=/home/op/.ssh/id_dsa#KEYT=DSA#EPW=" +
                               ToUtf8(EncodeSecretField(u"en able", true)) +
                               "#CFG=COMPARE#DEV=HP1920SW#UCF=T#DBG=T#DBF=/tmp/ssh debug.log#";
  EXPECT_EQ(Text(out), expected);
}

TEST_F(QtDialogTest, TextTypedIntoComboBoxesLeavesThemWithoutSelection) {
  const auto out = Show(Variant(), [](QDialog* d) {
    auto* device = Find<QComboBox>(d, "cmbDevice");
    TypeOver(device->lineEdit(), "Juniper EX");
    EXPECT_EQ(device->currentText(), "Juniper EX");
    TypeOver(Find<QComboBox>(d, "cmbProtocol")->lineEdit(), "SSH3");
    TypeOver(Find<QComboBox>(d, "cmbKeyType")->lineEdit(), "ED25519");
    // Picking after typing selects again.
    auto* configuration = Find<QComboBox>(d, "cmbconfiguration");
    TypeOver(configuration->lineEdit(), "both");
    QTest::keyClick(configuration, Qt::Key_Down);
    QTest::mouseClick(Find<QPushButton>(d, "btOK"), Qt::LeftButton);
  });
  EXPECT_EQ(Text(out),
            "#ENC=T#USR=#PWD=#PROTO=#PORT=22#KEYF=#KEYT=#EPW=#CFG=START#DEV=CSCSW#UCF=F#DBG=F#DBF=#");
}

TEST_F(QtDialogTest, TextTypedLikeAnItemStaysTypedAfterEnterAndLeaving) {
  const auto out = Show(Variant(), [](QDialog* d) {
    d->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(d));
    auto* protocol = Find<QComboBox>(d, "cmbProtocol");
    protocol->setFocus();
    TypeOver(protocol->lineEdit(), "SSH2");
    QTest::keyClick(protocol->lineEdit(), Qt::Key_Return);
    QTest::keyClick(protocol->lineEdit(), Qt::Key_Tab);
    EXPECT_EQ(protocol->currentText(), "SSH2");
    EXPECT_TRUE(d->isVisible()) << "Enter pressed OK";
    QTest::mouseClick(Find<QPushButton>(d, "btOK"), Qt::LeftButton);
  });
  EXPECT_EQ(Text(out),
            "#ENC=T#USR=#PWD=#PROTO=#PORT=22#KEYF=#KEYT=RSA#EPW=#CFG=RUN#DEV=CSCSW#UCF=F#DBG=F#DBF=#");
}

TEST_F(QtDialogTest, ShowsTheParameterStringAndOkGivesItBack) {
  const std::string p = "#ENC=T#USR=op#PWD=" + ToUtf8(EncodeSecretField(u"pw", true)) +
                        "#PROTO=1#PORT=830#KEYF=/k#KEYT=DSA#EPW=#CFG=START#DEV=HP2510SW#UCF=T#DBG=F#DBF=/d#";
  const auto out = Show(V(p.c_str()), [](QDialog* d) {
    EXPECT_EQ(Find<QLineEdit>(d, "txtUsername")->text(), "op");
    EXPECT_EQ(Find<QLineEdit>(d, "txtPassword")->text(), "pw");
    EXPECT_EQ(Find<QLineEdit>(d, "txtPort")->text(), "830");
    EXPECT_EQ(Find<QComboBox>(d, "cmbProtocol")->currentText(), "SSH1");
    EXPECT_EQ(Find<QComboBox>(d, "cmbKeyType")->currentText(), "DSA");
    EXPECT_EQ(Find<QComboBox>(d, "cmbconfiguration")->currentText(), "Startup configuration");
    EXPECT_EQ(Find<QComboBox>(d, "cmbDevice")->currentText(), "HP 2530 switch (like J9777A)");
    EXPECT_TRUE(Find<QCheckBox>(d, "chkReset")->isChecked());
    EXPECT_FALSE(Find<QCheckBox>(d, "chkdebug")->isChecked());
    QTest::mouseClick(Find<QPushButton>(d, "btOK"), Qt::LeftButton);
  });
  EXPECT_EQ(Text(out), p);
}

TEST_F(QtDialogTest, RefusedValuesKeepTheWindowOpenShowingWhyUntilCorrected) {
  const auto out = Show(Variant(), [](QDialog* d) {
    auto* refusal = Find<QLabel>(d, "lblRefusal");
    EXPECT_FALSE(refusal->isVisible());
    TypeOver(Find<QLineEdit>(d, "txtUsername"), "admin#UCF=T");
    TypeOver(Find<QLineEdit>(d, "txtPort"), "65536");
    QTest::mouseClick(Find<QPushButton>(d, "btOK"), Qt::LeftButton);
    ASSERT_TRUE(d->isVisible());
    EXPECT_TRUE(refusal->isVisible());
    EXPECT_EQ(refusal->text().toStdString(), "the user name must not contain \"#\", CR, LF or NUL");
    EXPECT_EQ(Find<QLineEdit>(d, "txtUsername")->text(), "admin#UCF=T");
    TypeOver(Find<QLineEdit>(d, "txtUsername"), "admin");
    QTest::mouseClick(Find<QPushButton>(d, "btOK"), Qt::LeftButton);
    ASSERT_TRUE(d->isVisible());
    EXPECT_EQ(refusal->text().toStdString(), "the port 65536 is not a TCP port (1-65535)");
    TypeOver(Find<QLineEdit>(d, "txtPort"), "65535");
    QTest::mouseClick(Find<QPushButton>(d, "btOK"), Qt::LeftButton);
  });
  EXPECT_EQ(Text(out),
            "#ENC=T#USR=admin#PWD=#PROTO=A#PORT=65535#KEYF=#KEYT=RSA#EPW=#CFG=RUN#DEV=CSCSW#UCF=F#DBG=F#DBF=#");
}

TEST_F(QtDialogTest, EscapeCancelsAndTheHostKeepsItsString) {
  const auto out = Show(V("#USR=old#"), [](QDialog* d) {
    TypeOver(Find<QLineEdit>(d, "txtUsername"), "new");
    QTest::keyClick(Find<QLineEdit>(d, "txtUsername"), Qt::Key_Escape);
  });
  EXPECT_EQ(out, std::nullopt);
  EXPECT_EQ(form.built_parameter(), u"");  // nothing was built
  EXPECT_FALSE(form.loaded());
}

TEST_F(QtDialogTest, ClosingTheWindowCancels) {
  const auto out = Show(Variant(), [](QDialog* d) {
    QTest::keyClick(Find<QLineEdit>(d, "txtUsername"), Qt::Key_A);
    d->close();
  });
  EXPECT_EQ(out, std::nullopt);
  EXPECT_EQ(form.built_parameter(), u"");  // nothing was built
}

TEST_F(QtDialogTest, EnterInAFieldDoesNotPressOk) {
  const auto out = Show(Variant(), [](QDialog* d) {
    QTest::keyClick(Find<QLineEdit>(d, "txtUsername"), Qt::Key_Return);
    EXPECT_TRUE(d->isVisible());
    QTest::keyClick(d, Qt::Key_Escape);
  });
  EXPECT_EQ(out, std::nullopt);
}

TEST_F(QtDialogTest, RowsLabelsBesideFieldsAndOkAtTheBottomRight) {
  Show(Variant(), [](QDialog* d) {
    const std::pair<const char*, const char*> pairs[] = {
        {"Label1", "txtHostname"},      {"Label9", "cmbProtocol"},        {"Label10", "txtPort"},
        {"Label2", "txtUsername"},      {"Label3", "txtPassword"},        {"Label15", "txtKeyfile"},
        {"Label16", "cmbKeyType"},      {"Label12", "txtenablepassword"}, {"Label8", "cmbDevice"},
        {"Label6", "cmbconfiguration"}, {"Label4", "txtTimeout"},         {"Label5", "btOK"},
        {"chkdebug", "txtdebugfile"},
    };
    for (const auto& [left, right] : pairs) {
      const QRect l = Find<QWidget>(d, left)->geometry();
      const QRect r = Find<QWidget>(d, right)->geometry();
      EXPECT_LT(l.right(), r.left()) << left << " is not left of " << right;
      EXPECT_LE(std::abs(l.center().y() - r.center().y()), 6) << left << " and " << right;
    }
    // Rows from the top, as the form is designed.
    const char* rows[] = {"txtHostname", "cmbProtocol",      "txtUsername", "txtKeyfile", "txtenablepassword",
                          "cmbDevice",   "cmbconfiguration", "chkReset",    "chkdebug",   "btOK"};
    for (size_t i = 1; i < std::size(rows); ++i) {
      EXPECT_LT(Find<QWidget>(d, rows[i - 1])->geometry().center().y(),
                Find<QWidget>(d, rows[i])->geometry().center().y())
          << rows[i - 1] << " above " << rows[i];
    }
    const QRect ok = Find<QWidget>(d, "btOK")->geometry();
    for (QWidget* w : d->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      if (w->objectName().isEmpty() || !w->isVisible()) continue;
      EXPECT_LE(w->geometry().right(), ok.right()) << w->objectName().toStdString();
      EXPECT_LE(w->geometry().bottom(), ok.bottom()) << w->objectName().toStdString();
    }
    QTest::keyClick(d, Qt::Key_Escape);
  });
}

TEST_F(QtDialogTest, FocusMovesInTheDesignedOrder) {
  Show(Variant(), [](QDialog* d) {
    d->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(d));
    std::vector<std::string> order;
    for (int i = 0; i < 15; ++i) {
      QWidget* focus = QApplication::focusWidget();
      // An editable combo box gives the focus to its line edit.
      while (focus != nullptr && focus->objectName().isEmpty()) focus = focus->parentWidget();
      order.push_back(focus ? focus->objectName().toStdString() : "(none)");
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"txtHostname", "cmbProtocol", "txtPort", "txtUsername",
                                               "txtPassword", "txtKeyfile", "cmbKeyType", "txtenablepassword",
                                               "cmbconfiguration", "btOK", "txtTimeout", "cmbDevice",
                                               "chkReset", "chkdebug", "txtdebugfile"}));
    QTest::keyClick(d, Qt::Key_Escape);
  });
}

TEST_F(QtDialogTest, ShowingFromAnotherThreadFailsAndChangesNothing) {
  std::string error = "shown";
  Status status = Status::kOk;
  bool loaded = true;
  std::thread other([&] {
    ConfigForm other_form;
    try {
      ShowConfigurationDialog(other_form, V("sw1"), Variant::Int16(30), V("#USR=x#"));
    } catch (const AutomationError& e) {
      status = e.status();
      error = e.description();
    }
    loaded = other_form.loaded();
  });
  other.join();
  EXPECT_EQ(status, Status::kFail);
  EXPECT_EQ(error,
            "the configuration dialog can only be shown on the thread that runs the graphical front end");
  EXPECT_FALSE(loaded);
}

}  // namespace
}  // namespace comvorlix

#endif  // COMVORLIX_HAVE_QT

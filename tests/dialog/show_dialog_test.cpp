// Showing the dialog without a window: filling the form from the host's
// values, the debug line and top-most state, OK, cancel, failures, and the
// round trip OK -> show -> OK.
#include "dialog/show_dialog.h"
#include "params/item_codes.h"

#include <gtest/gtest.h>

#include "common/expect_error.h"
#include "dialog/support/form_probe.h"
#include "params/parameter_string.h"
#include "params/secret_field.h"
#include "common/utf16_params.h"

namespace comvorlix {
namespace {

using testing::DebugCapture;
using testing::ExpectAutomationError;
using testing::FormSnapshot;
using testing::PressOk;
using testing::RecordingFrontEnd;
using testing::Snapshot;

constexpr char kDefaultString[] =
    "#ENC=T#USR=#PWD=#PROTO=A#PORT=22#KEYF=#KEYT=RSA#EPW=#CFG=RUN#DEV=CSCSW#UCF=F#DBG=F#DBF=#";
Variant V(const char* utf8) { return Variant::FromText(T(utf8)); }

class ShowDialogTest : public ::testing::Test {
 protected:
  void TearDown() override { InstallDialogFrontEnd(nullptr); }

  // Has OK build a string first, so that a later failure can be seen to
  // keep it; returns it.
  Text Kept() {
    OkWith(V("#USR=kept#"));
    return form.built_parameter();
  }

  // Shows with `parameter` and returns what the form held when shown.
  FormSnapshot Shown(const Variant& parameter, const Variant& hostname = V("sw1"),
                     const Variant& timeout = Variant::Int16(30)) {
    RecordingFrontEnd front_end;
    EXPECT_EQ(ShowConfigurationDialog(form, front_end, hostname, timeout, parameter), std::nullopt);
    EXPECT_EQ(front_end.calls, 1);
    return front_end.shown;
  }

  std::string OkWith(const Variant& parameter, std::vector<ControlSetting> settings = {}) {
    ScriptedFrontEnd front_end(std::move(settings));
    const auto out = ShowConfigurationDialog(form, front_end, V("sw1"), Variant::Int16(30), parameter);
    EXPECT_TRUE(out.has_value());
    return out ? ToUtf8(out->ToText()) : std::string();
  }

  ConfigForm form;
};

TEST_F(ShowDialogTest, EmptyParameterFillsOnlyHostAndTimeout) {
  for (const Variant& empty : {Variant(), V("")}) {
    const FormSnapshot s = Shown(empty, V("  switch-01  "), V(" 45 "));
    EXPECT_EQ(s.text.at("txtHostname"), "switch-01");
    EXPECT_EQ(s.text.at("txtTimeout"), "45");
    EXPECT_EQ(s.list_index.at("cmbProtocol"), 2);
    EXPECT_EQ(s.text.at("txtPort"), "22");
    EXPECT_EQ(s.list_index.at("cmbKeyType"), 0);
    EXPECT_EQ(s.list_index.at("cmbconfiguration"), 0);
    EXPECT_EQ(s.list_index.at("cmbDevice"), 0);
    EXPECT_EQ(s.text.at("txtUsername"), "");
    EXPECT_EQ(s.text.at("txtPassword"), "");
    EXPECT_EQ(s.value.at("chkReset"), 0);
    EXPECT_EQ(s.caption, "Network device configuration checker v3.1.49");
  }
}

TEST_F(ShowDialogTest, NumbersAsHostValuesAreShownAsText) {
  const FormSnapshot s = Shown(Variant(), Variant::Int32(10), Variant::FromText(u"2.5"));
  EXPECT_EQ(s.text.at("txtHostname"), "10");
  EXPECT_EQ(s.text.at("txtTimeout"), "2.5");
}

TEST_F(ShowDialogTest, AnnouncesAndShowsTopMost) {
  DebugCapture debug;
  bool top_most_when_shown = false;
  std::vector<std::string> lines_when_shown;
  RecordingFrontEnd front_end([&](ConfigForm& f) {
    top_most_when_shown = f.top_most();
    lines_when_shown = debug.lines;
    return PressOk(f);
  });
  ShowConfigurationDialog(form, front_end, V("sw1"), Variant::Int16(30), Variant());
  EXPECT_TRUE(top_most_when_shown);
  EXPECT_EQ(lines_when_shown, std::vector<std::string>{"Showing COM GUI"});
  EXPECT_EQ(debug.lines, std::vector<std::string>{"Showing COM GUI"});
  EXPECT_FALSE(form.loaded());
}

TEST_F(ShowDialogTest, OkOnTheDefaultsGivesTheDocumentedString) {
  EXPECT_EQ(OkWith(Variant()), kDefaultString);
  EXPECT_EQ(ToUtf8(form.built_parameter()), kDefaultString);
}

TEST_F(ShowDialogTest, InstalledFrontEndIsUsed) {
  auto front_end = std::make_shared<RecordingFrontEnd>(PressOk);
  InstallDialogFrontEnd(front_end);
  EXPECT_EQ(ActiveDialogFrontEnd(), front_end);
  const auto out = ShowConfigurationDialog(form, V("sw1"), Variant::Int16(30), V("#USR=x#"));
  ASSERT_TRUE(out.has_value());
  EXPECT_EQ(front_end->calls, 1);
  EXPECT_EQ(front_end->shown.text.at("txtUsername"), "x");
  EXPECT_EQ(GetKeyValue(out->ToText(), u"USR"), u"x");
}

TEST_F(ShowDialogTest, EveryKeyGoesIntoItsControl) {
  const std::string p =
      "#ENC=T#USR= Admin #PWD=" + ToUtf8(EncodeSecretField(u" pass ", true)) +
      "#PROTO=1#PORT=2222#KEYF= /k/id #KEYT=DSA#EPW=" + ToUtf8(EncodeSecretField(u"en", true)) +
      "#CFG=START#DEV=ARUSW#UCF=T#DBG=T#DBF= /tmp/d.log #OS=ignored#";
  const FormSnapshot s = Shown(V(p.c_str()));
  EXPECT_EQ(s.text.at("txtUsername"), " Admin ");
  EXPECT_EQ(s.text.at("txtPassword"), " pass ");
  EXPECT_EQ(s.text.at("txtKeyfile"), " /k/id ");
  EXPECT_EQ(s.text.at("txtdebugfile"), " /tmp/d.log ");
  EXPECT_EQ(s.text.at("txtenablepassword"), "en");
  EXPECT_EQ(s.text.at("txtPort"), "2222");
  EXPECT_EQ(s.list_index.at("cmbProtocol"), 0);
  EXPECT_EQ(s.list_index.at("cmbKeyType"), 1);
  EXPECT_EQ(s.list_index.at("cmbconfiguration"), 1);
  EXPECT_EQ(s.list_index.at("cmbDevice"), 1);
  EXPECT_EQ(s.text.at("cmbDevice"), "Aruba switch (like J9019A)");
  EXPECT_EQ(s.value.at("chkReset"), 1);
  EXPECT_EQ(s.value.at("chkdebug"), 1);
}

TEST_F(ShowDialogTest, CodesSelectTheirItemsAndUnknownCodesTheFallback) {
  struct Case {
    const char* parameter;
    int protocol, key_type, configuration, device;
  };
  // A device code no loaded kind names is an item of its own, after them.
  const int kept = static_cast<int>(DeviceCodes().items.size());
  const Case cases[] = {
      {"#PROTO=2#KEYT=RSA#CFG=COMPARE#DEV=HP1920SW#", 1, 0, 2, 2},
      {"#PROTO=A#DEV=HP2510SW#", 2, 0, 0, 3},
      {"#PROTO=a#KEYT=dsa#CFG=run#DEV=cscsw#", 2, 0, 0, kept},
      {"#PROTO=x#KEYT=ECDSA#CFG=BOTH#DEV=HP2530SW#", 2, 0, 0, kept},
      {"#PROTO= 1#KEYT=DSA #", 2, 0, 0, 0},
      {"#USR=u#", 2, 0, 0, 0},
  };
  for (const Case& c : cases) {
    const FormSnapshot s = Shown(V(c.parameter));
    EXPECT_EQ(s.list_index.at("cmbProtocol"), c.protocol) << c.parameter;
    EXPECT_EQ(s.list_index.at("cmbKeyType"), c.key_type) << c.parameter;
    EXPECT_EQ(s.list_index.at("cmbconfiguration"), c.configuration) << c.parameter;
    EXPECT_EQ(s.list_index.at("cmbDevice"), c.device) << c.parameter;
  }
}

TEST_F(ShowDialogTest, MissingPortShowsZeroAndPortShowsItsNumber) {
  EXPECT_EQ(Shown(V("#USR=u#")).text.at("txtPort"), "0");
  EXPECT_EQ(Shown(V("#PORT=22#")).text.at("txtPort"), "22");
  EXPECT_EQ(Shown(V("#PORT= 0 2 2 x#")).text.at("txtPort"), "22");
  EXPECT_EQ(Shown(V("#PORT=ssh#")).text.at("txtPort"), "0");
  EXPECT_EQ(Shown(V("#PORT=#")).text.at("txtPort"), "0");
}

TEST_F(ShowDialogTest, CheckBoxesOnlyForCapitalT) {
  for (const char* p : {"#DBG=t#UCF=t#", "#DBG=TRUE#UCF=F#", "#DBG= T#UCF=T #", "#DBG=#"}) {
    const FormSnapshot s = Shown(V(p));
    EXPECT_EQ(s.value.at("chkdebug"), 0) << p;
    EXPECT_EQ(s.value.at("chkReset"), 0) << p;
  }
  const FormSnapshot s = Shown(V("#dbg=T#ucf=T#"));
  EXPECT_EQ(s.value.at("chkdebug"), 1);
  EXPECT_EQ(s.value.at("chkReset"), 1);
}

TEST_F(ShowDialogTest, CipherAndBase64PasswordsShowTheSameClearText) {
  // "c2VjcmV0" is the RFC 4648 Base64 form of "secret" (as `base64` prints
  // it); "cORzcyB3" that of the Windows-1252 bytes of "päss w".
  const FormSnapshot old_form = Shown(V("#PWD=c2VjcmV0#EPW=cORzcyB3#"));
  const std::string cipher = "#PWD=" + ToUtf8(EncodeSecretField(u"secret", true)) +
                             "#EPW=" + ToUtf8(EncodeSecretField(T("päss w"), true)) + "#";
  const FormSnapshot new_form = Shown(V(cipher.c_str()));
  EXPECT_EQ(old_form.text.at("txtPassword"), "secret");
  EXPECT_EQ(new_form.text.at("txtPassword"), "secret");
  EXPECT_EQ(old_form.text.at("txtenablepassword"), "päss w");
  EXPECT_EQ(new_form.text.at("txtenablepassword"), "päss w");
}

TEST_F(ShowDialogTest, UndecodableSecretFieldFailsAndChangesNothing) {
  const Text kept = Kept();
  for (const char* p : {"#USR=u#PWD==#", "#USR=u#PWD=#EPW==#"}) {
    DebugCapture debug;
    RecordingFrontEnd front_end(PressOk);
    ExpectAutomationError([&] { ShowConfigurationDialog(form, front_end, V("sw1"), Variant::Int16(30), V(p)); },
                Status::kInvalidArgument, "Invalid procedure call or argument");
    EXPECT_EQ(front_end.calls, 0) << p;
    EXPECT_TRUE(debug.lines.empty()) << p;
    EXPECT_EQ(form.built_parameter(), kept) << p;
    EXPECT_FALSE(form.loaded()) << p;
    // The half-filled form is gone: the next showing starts from the defaults.
    EXPECT_EQ(Shown(Variant()).text.at("txtHostname"), "sw1");
    EXPECT_EQ(Shown(Variant()).text.at("txtUsername"), "");
  }
}

TEST_F(ShowDialogTest, CancelKeepsTheHostStringAndUnloads) {
  const Text kept = Kept();
  ScriptedFrontEnd front_end({{u"txtUsername", u"Text", V("changed")}}, false);
  EXPECT_EQ(ShowConfigurationDialog(form, front_end, V("sw1"), Variant::Int16(30), V("#USR=old#")),
            std::nullopt);
  EXPECT_EQ(form.built_parameter(), kept);
  EXPECT_FALSE(form.loaded());
  EXPECT_EQ(Shown(Variant()).text.at("txtUsername"), "");
}

TEST_F(ShowDialogTest, ShowingAgainWhileOpenFailsAndLeavesTheOpenDialogAlone) {
  RecordingFrontEnd front_end([&](ConfigForm& f) {
    RecordingFrontEnd inner(PressOk);
    ExpectAutomationError([&] { ShowConfigurationDialog(f, inner, V("other"), Variant::Int16(5), V("#USR=other#")); },
                Status::kFail, "the configuration dialog is already open");
    EXPECT_EQ(inner.calls, 0);
    EXPECT_TRUE(f.loaded());
    EXPECT_EQ(f.text_box(u"txtUsername").text(), u"mine");
    return PressOk(f);
  });
  const auto out = ShowConfigurationDialog(form, front_end, V("sw1"), Variant::Int16(30), V("#USR=mine#"));
  ASSERT_TRUE(out.has_value());
  EXPECT_EQ(GetKeyValue(out->ToText(), u"USR"), u"mine");
  // Closed again: the next showing works.
  EXPECT_EQ(Shown(Variant()).text.at("txtHostname"), "sw1");
}

TEST_F(ShowDialogTest, OkAfterCancelStillBuildsFromTheDefaults) {
  ScriptedFrontEnd cancel({{u"chkdebug", u"Value", Variant::Int16(1)}}, false);
  ShowConfigurationDialog(form, cancel, V("sw1"), Variant::Int16(30), Variant());
  EXPECT_EQ(OkWith(Variant()), kDefaultString);
}

TEST_F(ShowDialogTest, BlanksAroundPortAndFilesAreRemovedAroundNamesKept) {
  const std::string out = OkWith(Variant(), {{u"txtUsername", u"Text", V("  u  ")},
                                             {u"txtPassword", u"Text", V(" p ")},
                                             {u"txtPort", u"Text", V("  23  ")},
                                             {u"txtKeyfile", u"Text", V("  /k  ")},
                                             {u"txtdebugfile", u"Text", V("  /d  ")}});
  EXPECT_EQ(GetKeyValue(T(out), u"USR"), u"  u  ");
  EXPECT_EQ(GetKeyValue(T(out), u"PORT"), u"23");
  EXPECT_EQ(GetKeyValue(T(out), u"KEYF"), u"/k");
  EXPECT_EQ(GetKeyValue(T(out), u"DBF"), u"/d");
  EXPECT_EQ(DecodeSecretField(GetKeyValue(T(out), u"PWD"), true), u" p ");
}

TEST_F(ShowDialogTest, TypedComboTextLeavesNoSelectionAndLoadsBackAsFallback) {
  const std::string out = OkWith(Variant(), {{u"cmbDevice", u"Text", V("Juniper")},
                                             {u"cmbProtocol", u"Text", V("SSH2")},
                                             {u"cmbKeyType", u"Text", V("RSA")},
                                             {u"cmbconfiguration", u"Text", V("x")}});
  EXPECT_EQ(out, "#ENC=T#USR=#PWD=#PROTO=#PORT=22#KEYF=#KEYT=#EPW=#CFG=#DEV=CSCSW#UCF=F#DBG=F#DBF=#");
  const FormSnapshot s = Shown(V(out.c_str()));
  EXPECT_EQ(s.list_index.at("cmbProtocol"), 2);
  EXPECT_EQ(s.list_index.at("cmbKeyType"), 0);
  EXPECT_EQ(s.list_index.at("cmbconfiguration"), 0);
  EXPECT_EQ(s.list_index.at("cmbDevice"), 0);
}

TEST_F(ShowDialogTest, KeysTheDialogDoesNotShowAreNotCarriedOver) {
  const std::string out = OkWith(V("#USR=u#@@CRC=1A2B#CMD=c2VjcmV0#CCO=x#CON=y#RRE=z#OS=w#"));
  EXPECT_EQ(out, "#ENC=T#USR=u#PWD=#PROTO=A#PORT=0#KEYF=#KEYT=RSA#EPW=#CFG=RUN#DEV=CSCSW#UCF=F#DBG=F#DBF=#");
}

// Every combination of selections and check states survives OK -> show ->
// OK unchanged; texts come back as documented. (A port with leading zeros
// would come back as its number; that is checked above.)
TEST_F(ShowDialogTest, RoundTripRestoresEverySelection) {
  for (int16_t protocol = 0; protocol < 3; ++protocol) {
    for (int16_t key_type = 0; key_type < 2; ++key_type) {
      for (int16_t configuration = 0; configuration < 3; ++configuration) {
        for (int16_t device = 0; device < 4; ++device) {
          const int16_t reset = (protocol + device) % 2;
          const int16_t debug = (key_type + configuration) % 2;
          const std::string first =
              OkWith(Variant(), {{u"cmbProtocol", u"ListIndex", Variant::Int16(protocol)},
                                 {u"cmbKeyType", u"ListIndex", Variant::Int16(key_type)},
                                 {u"cmbconfiguration", u"ListIndex", Variant::Int16(configuration)},
                                 {u"cmbDevice", u"ListIndex", Variant::Int16(device)},
                                 {u"chkReset", u"Value", Variant::Int16(reset)},
                                 {u"chkdebug", u"Value", Variant::Int16(debug)},
                                 {u"txtUsername", u"Text", V(" admin ")},
                                 {u"txtPassword", u"Text", V(" pw#1 ")},
                                 {u"txtenablepassword", u"Text", V("en=able")},
                                 {u"txtPort", u"Text", V(" 2222 ")},
                                 {u"txtKeyfile", u"Text", V(" /home/u/.ssh/id ")},
                                 {u"txtdebugfile", u"Text", V(" /tmp/ssh.log ")}});
          const FormSnapshot s = Shown(V(first.c_str()));
          EXPECT_EQ(s.list_index.at("cmbProtocol"), protocol);
          EXPECT_EQ(s.list_index.at("cmbKeyType"), key_type);
          EXPECT_EQ(s.list_index.at("cmbconfiguration"), configuration);
          EXPECT_EQ(s.list_index.at("cmbDevice"), device);
          EXPECT_EQ(s.value.at("chkReset"), reset);
          EXPECT_EQ(s.value.at("chkdebug"), debug);
          EXPECT_EQ(s.text.at("txtUsername"), " admin ");
          EXPECT_EQ(s.text.at("txtPassword"), " pw#1 ");
          EXPECT_EQ(s.text.at("txtenablepassword"), "en=able");
          EXPECT_EQ(s.text.at("txtPort"), "2222");
          EXPECT_EQ(s.text.at("txtKeyfile"), "/home/u/.ssh/id");
          EXPECT_EQ(s.text.at("txtdebugfile"), "/tmp/ssh.log");
          EXPECT_EQ(OkWith(V(first.c_str())), first);
        }
      }
    }
  }
}

}  // namespace
}  // namespace comvorlix

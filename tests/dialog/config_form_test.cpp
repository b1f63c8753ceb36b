// The form as a model: controls reached by name, load on first use, the
// load handler's defaults, unloading, control property rules, extensions
// and the OK handler's string.
#include "dialog/config_form.h"

#include <gtest/gtest.h>


#include "common/expect_error.h"
#include "dialog/front_end.h"
#include "dialog/support/form_probe.h"
#include "params/secret_field.h"
#include "common/utf16_params.h"

namespace comvorlix {
namespace {

using testing::ExpectAutomationError;
using testing::FormSnapshot;
using testing::PressOk;
using testing::Snapshot;

// The string OK builds from the untouched defaults, as the dialog's
// documentation gives it.
constexpr char kDefaultString[] =
    "#ENC=T#USR=#PWD=#PROTO=A#PORT=22#KEYF=#KEYT=RSA#EPW=#CFG=RUN#DEV=CSCSW#UCF=F#DBG=F#DBF=#";

class FormTest : public ::testing::Test {
 protected:
  std::string Out() const { return ToUtf8(form.built_parameter()); }
  ConfigForm form;
};

void ExpectDefaults(const FormSnapshot& s) {
  EXPECT_EQ(s.caption, "Network device configuration checker v3.1.49");
  EXPECT_EQ(s.items.at("cmbProtocol"), (std::vector<std::string>{"SSH1", "SSH2", "SSH Auto"}));
  EXPECT_EQ(s.list_index.at("cmbProtocol"), 2);
  EXPECT_EQ(s.text.at("cmbProtocol"), "SSH Auto");
  EXPECT_EQ(s.text.at("txtPort"), "22");
  EXPECT_EQ(s.items.at("cmbKeyType"), (std::vector<std::string>{"RSA", "DSA"}));
  EXPECT_EQ(s.list_index.at("cmbKeyType"), 0);
  EXPECT_EQ(s.items.at("cmbconfiguration"),
            (std::vector<std::string>{"Running configuration", "Startup configuration",
                                      "Compare running and startup configuration"}));
  EXPECT_EQ(s.list_index.at("cmbconfiguration"), 0);
  EXPECT_EQ(s.text.at("cmbconfiguration"), "Running configuration");
  EXPECT_EQ(s.items.at("cmbDevice"),
            (std::vector<std::string>{"Cisco switch", "Aruba switch (like J9019A)",
                                      "HP 1920 switch (like JG920A)", "HP 2530 switch (like J9777A)",
                                      "Cisco NX-OS switch (Nexus)", "Arista EOS switch", "Juniper Junos device",
                                      "Aruba AOS-CX switch", "HPE/H3C Comware 7 switch", "MikroTik RouterOS device"}));
  EXPECT_EQ(s.list_index.at("cmbDevice"), 0);
  EXPECT_EQ(s.text.at("cmbDevice"), "Cisco switch");
  for (const char* name : {"txtHostname", "txtTimeout", "txtUsername", "txtPassword", "txtKeyfile",
                           "txtenablepassword", "txtdebugfile", "txtResource"}) {
    EXPECT_EQ(s.text.at(name), "") << name;
  }
  EXPECT_EQ(s.value.at("chkReset"), 0);
  EXPECT_EQ(s.value.at("chkdebug"), 0);
}

TEST_F(FormTest, FirstUseOfAControlLoadsTheFormWithItsDefaults) {
  EXPECT_FALSE(form.loaded());
  EXPECT_EQ(GetControlProperty(form, u"txtPort", u"Text").ToText(), u"22");
  EXPECT_TRUE(form.loaded());
  ExpectDefaults(Snapshot(form));
}

TEST_F(FormTest, DesignedCaptionBeforeLoadVersionCaptionAfter) {
  // Listing the controls does not load the form; the caption it was
  // designed with is replaced by the load handler.
  EXPECT_EQ(form.controls().size(), 28u);
  EXPECT_FALSE(form.loaded());
  EXPECT_EQ(ToUtf8(form.caption()), "Network device configuration checker v3.1.49");
  form.Unload();
  EXPECT_FALSE(form.loaded());
  form.set_caption(u"x");  // a use loads it again first
  EXPECT_EQ(form.caption(), u"x");
}

TEST_F(FormTest, LoadingAgainAfterUnloadGivesTheSameListsWithoutDuplicates) {
  const FormSnapshot first = Snapshot(form);
  form.Unload();
  form.Unload();  // unloading an unloaded form changes nothing
  const FormSnapshot second = Snapshot(form);
  EXPECT_EQ(first.items, second.items);
  EXPECT_EQ(first.list_index, second.list_index);
  ExpectDefaults(second);
}

TEST_F(FormTest, UnloadDiscardsWhatTheControlsHeld) {
  PutControlProperty(form, u"txtUsername", u"Text", Variant::FromText(u"admin"));
  PutControlProperty(form, u"txtPort", u"Text", Variant::FromText(u"2222"));
  PutControlProperty(form, u"chkReset", u"Value", Variant::Int16(1));
  PutControlProperty(form, u"cmbDevice", u"ListIndex", Variant::Int16(3));
  PutControlProperty(form, u"cmbKeyType", u"Text", Variant::FromText(u"ECDSA"));
  PutControlProperty(form, u"txtResource", u"Text", Variant::FromText(u"res"));
  form.set_top_most(true);
  form.Unload();
  EXPECT_FALSE(form.loaded());
  const FormSnapshot s = Snapshot(form);
  ExpectDefaults(s);
  EXPECT_FALSE(s.top_most);
}

TEST_F(FormTest, ControlsAreReachedByNameWithoutRegardToCase) {
  PutControlProperty(form, u"TXTUSERNAME", u"text", Variant::FromText(u"Admin"));
  EXPECT_EQ(form.text_box(u"txtUsername").text(), u"Admin");
  const auto object = CallByName(form, u"txtusername", InvokeKind::kPropertyGet).ToObject();
  EXPECT_EQ(CallByName(*object, u"Name", InvokeKind::kPropertyGet).ToText(), u"txtUsername");
  EXPECT_EQ(CallByName(form, u"name", InvokeKind::kPropertyGet).ToText(), u"frmmain");
}

TEST_F(FormTest, UnknownControlOrPropertyIsAnUnknownName) {
  ExpectAutomationError([&] { PutControlProperty(form, u"txtNothing", u"Text", Variant::FromText(u"x")); },
               Status::kUnknownName, "Object doesn't support this property or method: txtNothing");
  ExpectAutomationError([&] { PutControlProperty(form, u"chkdebug", u"Text", Variant::FromText(u"x")); },
               Status::kUnknownName, "Object doesn't support this property or method: Text");
  ExpectAutomationError([&] { form.text_box(u"cmbDevice"); }, Status::kTypeMismatch, "cmbDevice is not a text box");
  ExpectAutomationError([&] { form.control(u"Label99"); }, Status::kUnknownName,
               "the form has no control named Label99");
}

TEST_F(FormTest, DispatchIdsAreTheDocumentedOnes) {
  EXPECT_EQ(form.GetIdOfName(u"Caption"), kDispIdFormCaption);
  EXPECT_EQ(form.GetIdOfName(u"Label1"), kDispIdFirstControl);
  EXPECT_EQ(form.GetIdOfName(u"txtHostname"), kDispIdFirstControl + 1);
  EXPECT_EQ(form.GetIdOfName(u"btOK"), kDispIdFirstControl + 26);
  EXPECT_EQ(form.GetIdOfName(u"txtResource"), kDispIdFirstControl + 27);
  EXPECT_EQ(form.GetIdOfName(u"Get_mount_list"), std::nullopt);
  Control& combo = form.control(u"cmbDevice");
  EXPECT_EQ(combo.GetIdOfName(u"Text"), kDispIdDefault);
  EXPECT_EQ(combo.GetIdOfName(u"ListIndex"), kDispIdListIndex);
  EXPECT_EQ(form.control(u"chkReset").GetIdOfName(u"Value"), kDispIdDefault);
  EXPECT_EQ(form.control(u"Label5").GetIdOfName(u"Caption"), kDispIdDefault);
}

TEST_F(FormTest, ComboTextTypedLeavesNoItemSelectedEvenWhenItReadsLikeAnItem) {
  PutControlProperty(form, u"cmbProtocol", u"Text", Variant::FromText(u"SSH2"));
  EXPECT_EQ(GetControlProperty(form, u"cmbProtocol", u"ListIndex").ToInt16(), -1);
  EXPECT_EQ(GetControlProperty(form, u"cmbProtocol", u"Text").ToText(), u"SSH2");
  PutControlProperty(form, u"cmbProtocol", u"ListIndex", Variant::Int16(1));
  EXPECT_EQ(GetControlProperty(form, u"cmbProtocol", u"Text").ToText(), u"SSH2");
  PutControlProperty(form, u"cmbProtocol", u"ListIndex", Variant::Int16(-1));
  EXPECT_EQ(GetControlProperty(form, u"cmbProtocol", u"Text").ToText(), u"");
  // A text that converts to a number is still a number for ListIndex.
  PutControlProperty(form, u"cmbProtocol", u"ListIndex", Variant::FromText(u" 0 "));
  EXPECT_EQ(GetControlProperty(form, u"cmbProtocol", u"Text").ToText(), u"SSH1");
}

TEST_F(FormTest, ComboListMethodsByName) {
  const auto combo = CallByName(form, u"cmbKeyType", InvokeKind::kPropertyGet).ToObject();
  CallByName(*combo, u"Clear", InvokeKind::kMethod);
  EXPECT_EQ(CallByName(*combo, u"ListCount", InvokeKind::kPropertyGet).ToInt16(), 0);
  EXPECT_EQ(CallByName(*combo, u"ListIndex", InvokeKind::kPropertyGet).ToInt16(), -1);
  CallByName(*combo, u"AddItem", InvokeKind::kMethod, {Variant::FromText(u"ED25519")});
  EXPECT_EQ(CallByName(*combo, u"List", InvokeKind::kPropertyGet, {Variant::Int16(0)}).ToText(), u"ED25519");
  EXPECT_EQ(CallByName(*combo, u"List", InvokeKind::kPropertyGet, {Variant::Int16(1)}).ToText(), u"");
  EXPECT_EQ(CallByName(*combo, u"ListIndex", InvokeKind::kPropertyGet).ToInt16(), -1);
}

TEST_F(FormTest, InvalidPropertyValuesAreRefusedAndChangeNothing) {
  const std::string invalid = "Invalid property value";
  for (int16_t bad : {3, -2, 300}) {
    ExpectAutomationError([&] { PutControlProperty(form, u"cmbProtocol", u"ListIndex", Variant::Int16(bad)); },
                 Status::kInvalidArgument, invalid);
  }
  ExpectAutomationError([&] { PutControlProperty(form, u"cmbProtocol", u"ListIndex", Variant::Int32(70000)); },
               Status::kInvalidArgument, invalid);
  EXPECT_EQ(form.combo_box(u"cmbProtocol").list_index(), 2);
  for (const Variant& bad : {Variant::Int16(2), Variant::Boolean(true), Variant::Int16(-1)}) {
    ExpectAutomationError([&] { PutControlProperty(form, u"chkdebug", u"Value", bad); }, Status::kInvalidArgument,
                 invalid);
  }
  EXPECT_EQ(form.check_box(u"chkdebug").value(), 0);
  ExpectAutomationError([&] { form.text_box(u"txtPassword").set_password_char(u"**"); }, Status::kInvalidArgument,
               invalid);
  EXPECT_EQ(form.text_box(u"txtPassword").password_char(), u"*");
}

// Secrets are typed into masked fields; the fields the host fills are
// locked; the resource text is never shown.
TEST_F(FormTest, SecretFieldsAreMaskedAndHostFieldsLocked) {
  for (const char16_t* name : {u"txtHostname", u"txtTimeout"}) {
    EXPECT_TRUE(GetControlProperty(form, name, u"Locked").ToBool()) << ToUtf8(name);
  }
  for (const char16_t* name : {u"txtPort", u"txtUsername", u"txtPassword", u"txtKeyfile", u"txtdebugfile"}) {
    EXPECT_FALSE(GetControlProperty(form, name, u"Locked").ToBool()) << ToUtf8(name);
  }
  EXPECT_EQ(GetControlProperty(form, u"txtPassword", u"PasswordChar").ToText(), u"*");
  EXPECT_EQ(GetControlProperty(form, u"txtenablepassword", u"PasswordChar").ToText(), u"*");
  EXPECT_EQ(GetControlProperty(form, u"txtUsername", u"PasswordChar").ToText(), u"");
  EXPECT_FALSE(GetControlProperty(form, u"txtResource", u"Visible").ToBool());
  EXPECT_TRUE(GetControlProperty(form, u"txtUsername", u"Visible").ToBool());
}

TEST_F(FormTest, OkOnTheDefaultsBuildsTheDocumentedStringAndUnloads) {
  PressOk(form);
  EXPECT_EQ(Out(), kDefaultString);
  EXPECT_FALSE(form.loaded());
  // A command button's Value reads False; putting False does not click.
  EXPECT_FALSE(GetControlProperty(form, u"btOK", u"Value").ToBool());
  PutControlProperty(form, u"btOK", u"Value", Variant::Boolean(false));
  EXPECT_EQ(Out(), kDefaultString);
  EXPECT_TRUE(form.loaded());
}

TEST_F(FormTest, OkTakesEveryControlAsDocumented) {
  form.text_box(u"txtUsername").set_text(u" ad min ");
  form.text_box(u"txtPassword").set_text(u" pw ");
  form.text_box(u"txtenablepassword").set_text(u"en");
  form.text_box(u"txtPort").set_text(u"  2222 ");
  form.text_box(u"txtKeyfile").set_text(u"  /home/a b/id_rsa  ");
  form.text_box(u"txtdebugfile").set_text(u" /tmp/x.log ");
  form.combo_box(u"cmbProtocol").set_list_index(1);
  form.combo_box(u"cmbKeyType").set_list_index(1);
  form.combo_box(u"cmbconfiguration").set_list_index(2);
  form.combo_box(u"cmbDevice").set_list_index(3);
  form.check_box(u"chkReset").set_value(1);
  form.check_box(u"chkdebug").set_value(1);
  form.command_button(u"btOK").Click();
  const std::string expected =
      "#ENC=T#USR= ad min #PWD=" + ToUtf8(EncodeSecretField(u" pw ", true)) +
      "#PROTO=2#PORT=2222#KEYF=/home/a b/id_rsa#KEYT=DSA#EPW=" + ToUtf8(EncodeSecretField(u"en", true)) +
      "#CFG=COMPARE#DEV=HP2510SW#UCF=T#DBG=T#DBF=/tmp/x.log#";
  EXPECT_EQ(Out(), expected);
  // The secret fields are hexadecimal and read back as typed, blanks kept.
  const Text out = form.built_parameter();
  const size_t pwd = out.find(u"#PWD=") + 5;
  const Text stored = out.substr(pwd, out.find(u'#', pwd) - pwd);
  EXPECT_FALSE(stored.empty());
  EXPECT_EQ(stored.find_first_not_of(u"0123456789ABCDEF"), Text::npos);
  EXPECT_EQ(DecodeSecretField(stored, true), u" pw ");
}

TEST_F(FormTest, OkWithTypedComboTextsWritesTheNoSelectionCodes) {
  for (const char16_t* name : {u"cmbProtocol", u"cmbKeyType", u"cmbconfiguration", u"cmbDevice"}) {
    form.combo_box(name).set_text(u"typed");
  }
  PressOk(form);
  EXPECT_EQ(Out(), "#ENC=T#USR=#PWD=#PROTO=#PORT=22#KEYF=#KEYT=#EPW=#CFG=#DEV=CSCSW#UCF=F#DBG=F#DBF=#");
}

TEST_F(FormTest, OkRefusesValuesThatCannotBeStoredAndKeepsTheFormAsTyped) {
  form.text_box(u"txtUsername").set_text(u"a#UCF=T");
  form.text_box(u"txtPort").set_text(u"70000");
  testing::ExpectAutomationError([&] { form.command_button(u"btOK").Click(); }, Status::kInvalidArgument,
                                 "the user name must not contain \"#\", CR, LF or NUL");
  EXPECT_TRUE(form.loaded());
  EXPECT_EQ(form.text_box(u"txtUsername").text(), u"a#UCF=T");
  form.text_box(u"txtUsername").set_text(u"admin");
  testing::ExpectAutomationError([&] { form.command_button(u"btOK").Click(); }, Status::kInvalidArgument,
                                 "the port 70000 is not a TCP port (1-65535)");
  EXPECT_EQ(form.built_parameter(), u"");
  form.text_box(u"txtPort").set_text(u"65535");
  form.command_button(u"btOK").Click();
  EXPECT_EQ(Out(),
            "#ENC=T#USR=admin#PWD=#PROTO=A#PORT=65535#KEYF=#KEYT=RSA#EPW=#CFG=RUN#DEV=CSCSW#UCF=F#DBG=F#DBF=#");
}

TEST_F(FormTest, ControlThatOutlivesItsFormFails) {
  std::shared_ptr<Dispatch> kept;
  {
    ConfigForm short_lived;
    kept = CallByName(short_lived, u"txtUsername", InvokeKind::kPropertyGet).ToObject();
  }
  ExpectAutomationError([&] { CallByName(*kept, u"Text", InvokeKind::kPropertyGet); }, Status::kFail,
               "the form of control txtUsername no longer exists");
}

TEST_F(FormTest, ResourceTextIsKeptByNameOnTheHiddenControl) {
  // What SetResource of the public class does with its text.
  PutControlProperty(form, u"txtResource", u"Text", Variant::FromText(u"resource text"));
  EXPECT_EQ(GetControlProperty(form, u"txtResource", u"Text").ToText(), u"resource text");
  EXPECT_EQ(form.control(u"txtResource").tab_index(), -1);
  // OK ignores it.
  PressOk(form);
  EXPECT_EQ(Out(), kDefaultString);
}

}  // namespace
}  // namespace comvorlix

// The form and the command line build parameter strings through one codec:
// whatever fields are put into the real form, OK writes what the codec
// builds for them, and loading a string shows the fields the codec reads.
#include <gtest/gtest.h>

#include <algorithm>

#include "dialog/config_form.h"
#include "dialog/front_end.h"
#include "dialog/show_dialog.h"
#include "dialog/support/form_probe.h"
#include "params/item_codes.h"
#include "params/parameter_fields.h"

namespace comvorlix {
namespace {

using testing::PressOk;

Variant V(const Text& text) { return Variant::FromText(text); }
Variant V(const std::string& utf8) { return Variant::FromText(FromUtf8(utf8)); }

Variant Index(const CodeList& list, const std::string& code) {
  return Variant::Int16(static_cast<int16_t>(IndexOfCode(list, code)));
}

// Puts `f` into the form's controls by name, as an operator would fill it.
void Fill(ConfigForm& form, const ParameterFields& f) {
  PutControlProperty(form, u"txtUsername", u"Text", V(f.user));
  PutControlProperty(form, u"txtPassword", u"Text", V(f.password));
  PutControlProperty(form, u"cmbProtocol", u"ListIndex", Index(ProtocolCodes(), f.protocol));
  PutControlProperty(form, u"txtPort", u"Text", V(f.port));
  PutControlProperty(form, u"txtKeyfile", u"Text", V(f.key_file));
  PutControlProperty(form, u"cmbKeyType", u"ListIndex", Index(KeyTypeCodes(), f.key_type));
  PutControlProperty(form, u"txtenablepassword", u"Text", V(f.enable_password));
  PutControlProperty(form, u"cmbconfiguration", u"ListIndex", Index(ConfigurationCodes(), f.configuration));
  PutControlProperty(form, u"cmbDevice", u"ListIndex", Index(DeviceCodes(), f.device));
  PutControlProperty(form, u"chkReset", u"Value", Variant::Int16(f.update_changed ? 1 : 0));
  PutControlProperty(form, u"chkdebug", u"Value", Variant::Int16(f.debug ? 1 : 0));
  PutControlProperty(form, u"txtdebugfile", u"Text", V(f.debug_file));
}

// Field sets that reach every item of every list, both states of each flag,
// and values with blanks, "#" and "=".
std::vector<ParameterFields> Samples() {
  const CodeList* lists[] = {&ProtocolCodes(), &KeyTypeCodes(), &ConfigurationCodes(), &DeviceCodes()};
  size_t rounds = 0;
  for (const CodeList* list : lists) rounds = std::max(rounds, list->items.size());
  std::vector<ParameterFields> samples;
  for (size_t i = 0; i < rounds; ++i) {
    ParameterFields f;
    const auto pick = [i](const CodeList& list) { return list.items[i % list.items.size()].code; };
    f.protocol = pick(ProtocolCodes());
    f.key_type = pick(KeyTypeCodes());
    f.configuration = pick(ConfigurationCodes());
    f.device = pick(DeviceCodes());
    f.update_changed = i % 2 == 0;
    f.debug = i % 2 == 1;
    f.user = i == 0 ? std::string() : " admin " + std::string(i, 'x');
    f.password = i == 0 ? std::string() : " pw#" + std::string(i, '=') + "\u00e4\u20ac";
    f.enable_password = i % 2 == 0 ? std::string() : "en=able";
    f.port = i == 0 ? std::string("22") : "  2" + std::string(i % 4, '0') + " ";
    f.key_file = " /home/u/.ssh/id ";
    f.debug_file = i == 1 ? std::string() : " /tmp/ssh.log";
    samples.push_back(f);
  }
  return samples;
}

TEST(FormCodec, OkWritesWhatTheCodecBuildsForTheSameFields) {
  for (const ParameterFields& f : Samples()) {
    ConfigForm form;
    Fill(form, f);
    PressOk(form);
    EXPECT_EQ(ToUtf8(form.built_parameter()), BuildParameterString(f));
  }
}

TEST(FormCodec, LoadingShowsWhatTheCodecReadsAndOkWritesItBack) {
  for (const ParameterFields& f : Samples()) {
    const std::string p = BuildParameterString(f);
    ConfigForm form;
    LoadFormFromHost(form, V(u"sw1"), Variant::Int16(30), V(p));
    const ParameterFields read = ReadParameterFields(p);
    EXPECT_EQ(ToUtf8(form.text_box(u"txtPort").text()), read.port);
    EXPECT_EQ(form.combo_box(u"cmbDevice").list_index(), IndexOfCode(DeviceCodes(), read.device));
    EXPECT_EQ(ToUtf8(form.text_box(u"txtPassword").text()), read.password);
    PressOk(form);
    EXPECT_EQ(ToUtf8(form.built_parameter()), BuildParameterString(read));
  }
}

TEST(FormCodec, ADeviceCodeNoLoadedKindNamesIsShownAsItselfAndWrittenBack) {
  ParameterFields f;
  f.user = "admin";
  f.device = "LABSW7";
  const std::string p = BuildParameterString(f);
  ASSERT_NE(p.find("#DEV=LABSW7#"), std::string::npos) << p;
  ConfigForm form;
  LoadFormFromHost(form, V(u"sw1"), Variant::Int16(30), V(FromUtf8(p)));
  ComboBox& devices = form.combo_box(u"cmbDevice");
  ASSERT_EQ(devices.items().size(), DeviceCodes().items.size() + 1);
  EXPECT_EQ(devices.items().back(), u"LABSW7");
  EXPECT_EQ(devices.list_index(), static_cast<int>(DeviceCodes().items.size()));
  PressOk(form);
  EXPECT_EQ(ToUtf8(form.built_parameter()), p);

  // Chosen away from, it is gone: the form writes the kind chosen.
  ConfigForm again;
  LoadFormFromHost(again, V(u"sw1"), Variant::Int16(30), V(FromUtf8(p)));
  again.combo_box(u"cmbDevice").set_list_index(0);
  PressOk(again);
  EXPECT_NE(ToUtf8(again.built_parameter()).find("#DEV=" + DeviceCodes().items[0].code + "#"), std::string::npos);
}

}  // namespace
}  // namespace comvorlix

// The parameter codec: reading a string as the form shows it, building it
// as the form's OK writes it, and the round trips between the two.
#include "params/parameter_fields.h"

#include <gtest/gtest.h>

#include "common/expect_error.h"
#include "params/item_codes.h"
#include "params/parameter_string.h"
#include "params/secret_field.h"

namespace comvorlix {
namespace {

using testing::ExpectAutomationError;

}  // namespace

// Readable failures.
void PrintTo(const ParameterFields& f, std::ostream* os) {
  *os << "{" << ToUtf8(f.user) << "|" << ToUtf8(f.password) << "|" << ToUtf8(f.protocol) << "|" << ToUtf8(f.port)
      << "|" << ToUtf8(f.key_file) << "|" << ToUtf8(f.key_type) << "|" << ToUtf8(f.enable_password) << "|"
      << ToUtf8(f.configuration) << "|" << ToUtf8(f.device) << "|" << f.update_changed << "|" << f.debug << "|"
      << ToUtf8(f.debug_file) << "}";
}

namespace {

constexpr char kNewSwitch[] =
    "#ENC=T#USR=#PWD=#PROTO=A#PORT=22#KEYF=#KEYT=RSA#EPW=#CFG=RUN#DEV=CSCSW#UCF=F#DBG=F#DBF=#";

ParameterFields Sample() {
  ParameterFields f;
  f.user = u" ad min ";
  f.password = T("pä#ss=w ");
  f.protocol = u"2";
  f.port = u"2222";
  f.key_file = u"/home/a b/id_rsa";
  f.key_type = u"DSA";
  f.enable_password = u"en";
  f.configuration = u"COMPARE";
  f.device = u"HP2510SW";
  f.update_changed = true;
  f.debug = true;
  f.debug_file = u"/tmp/x.log";
  return f;
}

TEST(ParameterFields, EmptyStringIsANewSwitchAndBuildsTheDocumentedString) {
  EXPECT_EQ(ReadParameterFields(u""), ParameterFields());
  EXPECT_EQ(ToUtf8(BuildParameterString(ParameterFields())), kNewSwitch);
}

TEST(ParameterFields, BuildWritesEveryFieldInTheFormsOrder) {
  const ParameterFields f = Sample();
  const Text p = BuildParameterString(f);
  EXPECT_EQ(ToUtf8(p), "#ENC=T#USR= ad min #PWD=" + ToUtf8(EncodeSecretField(f.password, true)) +
                           "#PROTO=2#PORT=2222#KEYF=/home/a b/id_rsa#KEYT=DSA#EPW=" +
                           ToUtf8(EncodeSecretField(u"en", true)) +
                           "#CFG=COMPARE#DEV=HP2510SW#UCF=T#DBG=T#DBF=/tmp/x.log#");
}

TEST(ParameterFields, ReadThenBuildThenReadGivesTheSameFields) {
  ParameterFields f = Sample();
  for (const CodeItem& device : DeviceCodes().items) {
    for (const CodeItem& protocol : ProtocolCodes().items) {
      f.device = device.code;
      f.protocol = protocol.code;
      f.update_changed = !f.update_changed;
      const Text built = BuildParameterString(f);
      const ParameterFields read = ReadParameterFields(built);
      EXPECT_EQ(read, f) << ToUtf8(built);
      EXPECT_EQ(BuildParameterString(read), built);
    }
  }
}

TEST(ParameterFields, ReadNormalisesAsTheFormShows) {
  const ParameterFields f = ReadParameterFields(
      u"#usr= u #PROTO=a#PORT= 0 2 2 x#KEYF= /k #KEYT=ECDSA#CFG=BOTH#DEV=HP2530SW#UCF=t#DBG=T#DBF= /d #@@CRC=1#");
  EXPECT_EQ(f.user, u" u ");
  EXPECT_EQ(f.protocol, u"A");
  EXPECT_EQ(f.port, u"22");
  EXPECT_EQ(f.key_file, u" /k ");
  EXPECT_EQ(f.key_type, u"RSA");
  EXPECT_EQ(f.configuration, u"RUN");
  EXPECT_EQ(f.device, u"CSCSW");
  EXPECT_FALSE(f.update_changed);
  EXPECT_TRUE(f.debug);
  EXPECT_EQ(f.debug_file, u" /d ");
  // Blanks around the port and files go when written; the user keeps them.
  EXPECT_EQ(ToUtf8(BuildParameterString(f)),
            "#ENC=T#USR= u #PWD=#PROTO=A#PORT=22#KEYF=/k#KEYT=RSA#EPW=#CFG=RUN#DEV=CSCSW#UCF=F#DBG=T#DBF=/d#");
  // A non-empty string without PORT has port 0, not the default.
  EXPECT_EQ(ReadParameterFields(u"#USR=u#").port, u"0");
}

TEST(ParameterFields, CodesAreWrittenAsGivenEvenOutsideTheirList) {
  ParameterFields f;
  f.protocol = CodeOfIndex(ProtocolCodes(), -1);
  f.device = u"JUNIPER";
  const Text p = BuildParameterString(f);
  EXPECT_EQ(GetKeyValue(p, u"PROTO"), u"");
  EXPECT_EQ(GetKeyValue(p, u"DEV"), u"JUNIPER");
  EXPECT_EQ(ReadParameterFields(p).protocol, u"A");
  EXPECT_EQ(ReadParameterFields(p).device, u"CSCSW");
}

TEST(ParameterFields, ValuesThatCannotBeStoredAreRefused) {
  // "#" would begin an entry of its own (here UCF=T), CR, LF and NUL would
  // cut the one-line file: each is refused in each free-text field.
  struct Field {
    Text ParameterFields::*member;
    const char* text;
  };
  for (const Field field : {Field{&ParameterFields::user, "the user name must not contain \"#\", CR, LF or NUL"},
                            Field{&ParameterFields::key_file, "the key file must not contain \"#\", CR, LF or NUL"},
                            Field{&ParameterFields::debug_file,
                                  "the debug file must not contain \"#\", CR, LF or NUL"}}) {
    for (const Text& bad : {Text(u"admin#UCF=T"), Text(u"a\rb"), Text(u"a\n"), Text(u"a\0b", 3)}) {
      ParameterFields f = Sample();
      f.*field.member = bad;
      ExpectAutomationError([&] { BuildParameterString(f); }, Status::kInvalidArgument, field.text);
    }
  }
}

TEST(ParameterFields, PortIsEmptyOrATcpPort) {
  ParameterFields f = Sample();
  for (const char16_t* good : {u"", u"0", u" 1 ", u"40000", u"65535", u"00443"}) {
    f.port = good;
    EXPECT_EQ(GetKeyValue(BuildParameterString(f), u"PORT"), TrimBlanks(good));
  }
  for (const char16_t* bad : {u"65536", u"-1", u"22#UCF=T", u"2 2", u"ssh", u"+22", u"999999999999"}) {
    f.port = bad;
    ExpectAutomationError([&] { BuildParameterString(f); }, Status::kInvalidArgument,
                          "the port " + ToUtf8(bad) + " is not a TCP port (1-65535)");
  }
}

TEST(ParameterFields, UndecodableSecretFieldsFailToRead) {
  for (const char16_t* p : {u"#USR=u#PWD==#", u"#USR=u#PWD=#EPW==#"}) {
    ExpectAutomationError([&] { ReadParameterFields(p); }, Status::kInvalidArgument,
                          "Invalid procedure call or argument");
  }
  // The older Base64 form still reads: "c2VjcmV0" is "secret".
  EXPECT_EQ(ReadParameterFields(u"#PWD=c2VjcmV0#").password, u"secret");
}

}  // namespace
}  // namespace comvorlix

// The parameter codec: reading a string as the form shows it, building it
// as the form's OK writes it, and the round trips between the two.
#include "params/parameter_fields.h"

#include <gtest/gtest.h>

#include "common/expect_error.h"
#include "params/item_codes.h"
#include "params/parameter_string.h"
#include "params/secret_field.h"
#include "automation/text.h"

namespace comvorlix {
namespace {

using testing::ExpectAutomationError;

}  // namespace

// Readable failures.
void PrintTo(const ParameterFields& f, std::ostream* os) {
  *os << "{" << (f.user) << "|" << (f.password) << "|" << (f.protocol) << "|" << (f.port)
      << "|" << (f.key_file) << "|" << (f.key_type) << "|" << (f.enable_password) << "|"
      << (f.configuration) << "|" << (f.device) << "|" << f.update_changed << "|" << f.debug << "|"
      << (f.debug_file) << "}";
}

namespace {

constexpr char kNewSwitch[] =
    "#ENC=T#USR=#PWD=#PROTO=A#PORT=22#KEYF=#KEYT=RSA#EPW=#CFG=RUN#DEV=CSCSW#UCF=F#DBG=F#DBF=#";

ParameterFields Sample() {
  ParameterFields f;
  f.user = " ad min ";
  f.password = "pä#ss=w ";
  f.protocol = "2";
  f.port = "2222";
  f.key_file = "/home/a b/id_rsa";
  f.key_type = "DSA";
  f.enable_password = "en";
  f.configuration = "COMPARE";
  f.device = "HP2510SW";
  f.update_changed = true;
  f.debug = true;
  f.debug_file = "/tmp/x.log";
  return f;
}

TEST(ParameterFields, EmptyStringIsANewSwitchAndBuildsTheDocumentedString) {
  EXPECT_EQ(ReadParameterFields(""), ParameterFields());
  EXPECT_EQ((BuildParameterString(ParameterFields())), kNewSwitch);
}

TEST(ParameterFields, BuildWritesEveryFieldInTheFormsOrder) {
  const ParameterFields f = Sample();
  const std::string p = BuildParameterString(f);
  EXPECT_EQ((p), "#ENC=T#USR= ad min #PWD=" + (EncodeSecretField(f.password, true)) +
                           "#PROTO=2#PORT=2222#KEYF=/home/a b/id_rsa#KEYT=DSA#EPW=" +
                           (EncodeSecretField("en", true)) +
                           "#CFG=COMPARE#DEV=HP2510SW#UCF=T#DBG=T#DBF=/tmp/x.log#");
}

TEST(ParameterFields, ReadThenBuildThenReadGivesTheSameFields) {
  ParameterFields f = Sample();
  for (const CodeItem& device : DeviceCodes().items) {
    for (const CodeItem& protocol : ProtocolCodes().items) {
      f.device = device.code;
      f.protocol = protocol.code;
      f.update_changed = !f.update_changed;
      const std::string built = BuildParameterString(f);
      const ParameterFields read = ReadParameterFields(built);
      EXPECT_EQ(read, f) << (built);
      EXPECT_EQ(BuildParameterString(read), built);
    }
  }
}

TEST(ParameterFields, ReadNormalisesAsTheFormShows) {
  const ParameterFields f = ReadParameterFields(
      "#usr= u #PROTO=a#PORT= 0 2 2 x#KEYF= /k #KEYT=ECDSA#CFG=BOTH#DEV=HP2530SW#UCF=t#DBG=T#DBF= /d #@@CRC=1#");
  EXPECT_EQ(f.user, " u ");
  EXPECT_EQ(f.protocol, "A");
  EXPECT_EQ(f.port, "22");
  EXPECT_EQ(f.key_file, " /k ");
  EXPECT_EQ(f.key_type, "RSA");
  EXPECT_EQ(f.configuration, "RUN");
  EXPECT_EQ(f.device, "HP2530SW") << "a kind not loaded here is kept";
  EXPECT_FALSE(f.update_changed);
  EXPECT_TRUE(f.debug);
  EXPECT_EQ(f.debug_file, " /d ");
  // Blanks around the port and files go when written; the user keeps them.
  EXPECT_EQ((BuildParameterString(f)),
            "#ENC=T#USR= u #PWD=#PROTO=A#PORT=22#KEYF=/k#KEYT=RSA#EPW=#CFG=RUN#DEV=HP2530SW#UCF=F#DBG=T#DBF=/d#");
  // A non-empty string without PORT has port 0, not the default.
  EXPECT_EQ(ReadParameterFields("#USR=u#").port, "0");
}

TEST(ParameterFields, CodesAreWrittenAsGivenEvenOutsideTheirList) {
  ParameterFields f;
  f.protocol = CodeOfIndex(ProtocolCodes(), -1);
  f.device = "JUNIPER";
  const std::string p = BuildParameterString(f);
  EXPECT_EQ(GetKeyValue(p, "PROTO"), "");
  EXPECT_EQ(GetKeyValue(p, "DEV"), "JUNIPER");
  EXPECT_EQ(ReadParameterFields(p).protocol, "A");
  EXPECT_EQ(ReadParameterFields(p).device, "JUNIPER");
  EXPECT_EQ(ReadParameterFields("#USR=u#DEV=#").device, "CSCSW") << "no device: the default";
}

TEST(ParameterFields, ValuesThatCannotBeStoredAreRefused) {
  // "#" would begin an entry of its own (here UCF=T), CR, LF and NUL would
  // cut the one-line file: each is refused in each free-text field.
  struct Field {
    std::string ParameterFields::*member;
    const char* text;
  };
  for (const Field field : {Field{&ParameterFields::user, "the user name must not contain \"#\", CR, LF or NUL"},
                            Field{&ParameterFields::key_file, "the key file must not contain \"#\", CR, LF or NUL"},
                            Field{&ParameterFields::debug_file,
                                  "the debug file must not contain \"#\", CR, LF or NUL"}}) {
    for (const std::string& bad : {std::string("admin#UCF=T"), std::string("a\rb"), std::string("a\n"), std::string("a\0b", 3)}) {
      ParameterFields f = Sample();
      f.*field.member = bad;
      ExpectAutomationError([&] { BuildParameterString(f); }, Status::kInvalidArgument, field.text);
    }
  }
}

TEST(ParameterFields, PortIsEmptyOrATcpPort) {
  ParameterFields f = Sample();
  for (const char* good : {"", "0", " 1 ", "40000", "65535", "00443"}) {
    f.port = good;
    EXPECT_EQ(GetKeyValue(BuildParameterString(f), "PORT"), TrimBlanks(std::string_view(good)));
  }
  for (const char* bad : {"65536", "-1", "22#UCF=T", "2 2", "ssh", "+22", "999999999999"}) {
    f.port = bad;
    ExpectAutomationError([&] { BuildParameterString(f); }, Status::kInvalidArgument,
                          std::string("the port ") + bad + " is not a TCP port (1-65535)");
  }
}

TEST(ParameterFields, UndecodableSecretFieldsFailToRead) {
  for (const char* p : {"#USR=u#PWD==#", "#USR=u#PWD=#EPW==#"}) {
    ExpectAutomationError([&] { ReadParameterFields(p); }, Status::kInvalidArgument,
                          "Invalid procedure call or argument");
  }
  // The older Base64 form still reads: "c2VjcmV0" is "secret".
  EXPECT_EQ(ReadParameterFields("#PWD=c2VjcmV0#").password, "secret");
}

}  // namespace
}  // namespace comvorlix

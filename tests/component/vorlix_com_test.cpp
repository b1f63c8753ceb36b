// The public class as a host sees it: properties, late binding, entry
// points, the checks that end before any session is started, and one check
// through the adapter against the emulator.
#include "component/vorlix_com.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "automation/class_registry.h"
#include "base/message_queue.h"
#include "common/switchsim_process.h"
#include "common/temp_dir.h"
#include "component/entry_points.h"
#include "dialog/config_form.h"
#include "params/parameter_string.h"
#include "params/secret_field.h"
#include "common/utf16_params.h"

namespace comvorlix {
namespace {

using Property = VorlixCom::Property;

Text ResultOf(VorlixCom& c) { return c.Get(Property::kResult).ToText(); }

TEST(VorlixComProperties, FreshObjectHasFourEmptyValues) {
  VorlixCom c;
  for (Property p : {Property::kHostname, Property::kTimeout, Property::kParameter, Property::kResult}) {
    EXPECT_TRUE(c.Get(p).is_empty());
  }
}

TEST(VorlixComProperties, PutByReferenceKeepsTheSameObject) {
  auto object = std::make_shared<ConfigForm>();
  VorlixCom c;
  c.PutRef(Property::kResult, Variant::Object(object));
  EXPECT_EQ(c.Get(Property::kResult).ToObject(), object);
  EXPECT_THROW(c.PutRef(Property::kResult, Variant::FromText(u"x")), AutomationError);
}

TEST(VorlixComProperties, LateBoundMembersHaveTheirDispatchIds) {
  VorlixCom c;
  EXPECT_EQ(c.GetIdOfName(u"qo_docheck"), 0x60030004);
  EXPECT_EQ(c.GetIdOfName(u"QO_SHOWGUI"), 0x60030005);
  EXPECT_EQ(c.GetIdOfName(u"qo_result"), 0x68030003);
  EXPECT_EQ(c.GetIdOfName(u"qo_parameter"), 0x68030002);
  EXPECT_EQ(c.GetIdOfName(u"qo_timeout"), 0x68030001);
  EXPECT_EQ(c.GetIdOfName(u"qo_hostname"), 0x68030000);
  EXPECT_EQ(c.GetIdOfName(u"SetResource"), 0x60030008);
  EXPECT_FALSE(c.GetIdOfName(u"AdaptOutput").has_value()) << "private";
  CallByName(c, u"qo_hostname", InvokeKind::kPropertyPut, {Variant::FromText(u"sw1")});
  EXPECT_EQ(CallByName(c, u"qo_hostname", InvokeKind::kPropertyGet).ToText(), u"sw1");
}

TEST(VorlixComProperties, SetResourceStoresTheTextOnTheForm) {
  VorlixCom c;
  CallByName(c, u"SetResource", InvokeKind::kMethod, {Variant::FromText(u"res")});
  Variant control = CallByName(c.form(), u"txtResource", InvokeKind::kPropertyGet);
  EXPECT_EQ(CallByName(*control.ToObject(), u"Text", InvokeKind::kPropertyGet).ToText(), u"res");
}

TEST(EntryPoints, RegisterCreateAndUnloadFromTheLiveObjectCount) {
  ASSERT_EQ(DllRegisterServer(), 0);
  const void* factory = nullptr;
  EXPECT_EQ(DllGetClassObject("comvorlix.vorlixCom", &factory), 0);
  EXPECT_NE(factory, nullptr);
  EXPECT_EQ(DllCanUnloadNow(), 0);
  {
    auto object = CreateObject(u"comvorlix.vorlixCom");
    EXPECT_EQ(DllCanUnloadNow(), 1);
  }
  EXPECT_EQ(DllCanUnloadNow(), 0);
  EXPECT_EQ(DllUnregisterServer(), 0);
  EXPECT_NE(DllGetClassObject("comvorlix.vorlixCom", &factory), 0);
  EXPECT_EQ(factory, nullptr);
  EXPECT_THROW(CreateObject(u"comvorlix.vorlixCom"), AutomationError);
}

TEST(CheckBeforeSession, FreshObjectNeedsAUserName) {
  VorlixCom c;
  EXPECT_EQ(c.qo_docheck(), kVariantFalse);
  EXPECT_EQ(ResultOf(c), u"ERR: can't connect to an SSH server without a USERNAME");
}

TEST(CheckBeforeSession, UserWithoutPasswordOrKeyFile) {
  VorlixCom c;
  c.Put(Property::kParameter, Variant::FromText(u"#USR=admin#PWD=#KEYF=#"));
  EXPECT_EQ(c.qo_docheck(), kVariantFalse);
  EXPECT_EQ(ResultOf(c), u"ERR: can't connect to an SSH server without a PASSWORD");
  EXPECT_EQ(c.Get(Property::kParameter).ToText(), u"#USR=admin#PWD=#KEYF=#");
}

TEST(CheckBeforeSession, TimeOutOutOfRangeFailsAtItsStep) {
  VorlixCom c;
  c.Put(Property::kTimeout, Variant::Int32(40000));
  c.Put(Property::kParameter, Variant::FromText(u"#USR=a#"));
  EXPECT_EQ(c.qo_docheck(), kVariantFalse);
  EXPECT_EQ(ResultOf(c), u"ERR: Overflow: value does not fit into a 16-bit integer(20)");
}

TEST(CheckBeforeSession, PortOutOfRangeFailsAtItsStep) {
  VorlixCom c;
  c.Put(Property::kParameter, Variant::FromText(u"#USR=a#PORT=65536#"));
  EXPECT_EQ(c.qo_docheck(), kVariantFalse);
  EXPECT_EQ(ResultOf(c), u"ERR: the port 65536 is not a TCP port (1-65535)(70)");
}

TEST(CheckBeforeSession, UndecodableSecretFieldFailsAtItsStep) {
  VorlixCom c;
  c.Put(Property::kParameter, Variant::FromText(u"#USR=a#PWD=x#EPW==#"));
  EXPECT_EQ(c.qo_docheck(), kVariantFalse);
  const std::string result = ToUtf8(ResultOf(c));
  EXPECT_EQ(result.rfind("ERR: ", 0), 0u);
  EXPECT_EQ(result.substr(result.size() - 5), "(100)");
}

TEST(CheckBeforeSession, TimeOutThatIsNoNumberFailsAtItsStep) {
  VorlixCom c;
  c.Put(Property::kTimeout, Variant::FromText(u"soon"));
  EXPECT_EQ(c.qo_docheck(), kVariantFalse);
  EXPECT_EQ(ResultOf(c), u"ERR: Type mismatch: text is not a number(20)");
}

TEST(CheckBeforeSession, AParameterThatIsNoTextFailsAtTheFirstKey) {
  VorlixCom c;
  c.Put(Property::kParameter, Variant::Object(std::make_shared<ConfigForm>()));
  EXPECT_EQ(c.qo_docheck(), kVariantFalse);
  EXPECT_EQ(ResultOf(c), u"ERR: Type mismatch: an object has no text(40)");
}

class AdapterWithSwitch : public ::testing::Test {
 protected:
  void SetUp() override {
    sim_ = std::make_unique<testing::SwitchSimProcess>(std::vector<std::string>{
        "--device", "cisco", "--user", "admin", "--password-file", dir_.Write("pw", "s3cret\n"),
        "--enable-password-file", dir_.Write("epw", "en4ble\n")});
    params_ = T("#USR=admin#PWD=" + ToUtf8(EncodeSecretField(u"s3cret", true)) + "#PORT=" +
                std::to_string(sim_->port()) + "#EPW=" + ToUtf8(EncodeSecretField(u"en4ble", true)) +
                "#DEV=CSCSW#CFG=RUN#");
    c_.Put(Property::kHostname, Variant::FromText(u"127.0.0.1"));
    c_.Put(Property::kTimeout, Variant::FromText(u" 5 "));
    c_.Put(Property::kParameter, Variant::FromText(params_));
  }

  testing::TempDir dir_;
  std::unique_ptr<testing::SwitchSimProcess> sim_;
  Text params_;
  VorlixCom c_;
};

TEST_F(AdapterWithSwitch, PropertiesInVerdictOutAndTheStringReplacedOnlyToRemember) {
  ASSERT_EQ(c_.qo_docheck(), kVariantTrue) << ToUtf8(ResultOf(c_));
  const Text remembered = c_.Get(Property::kParameter).ToText();
  const Text crc = GetKeyValue(remembered, u"@@CRC");
  EXPECT_EQ(ResultOf(c_), u"Setting initial CRC (" + crc + u")");
  EXPECT_EQ(remembered, params_ + u"@@CRC=" + crc + u"#");

  EXPECT_EQ(c_.qo_docheck(), kVariantTrue);
  EXPECT_EQ(ResultOf(c_), u"configuration unchanged (" + crc + u")");
  EXPECT_EQ(c_.Get(Property::kParameter).ToText(), remembered);
}

TEST_F(AdapterWithSwitch, TheCheckRunsTheThreadsMessagesWhileItWaits) {
  bool queued_ran = false;
  CurrentThreadQueue().Post([&] { queued_ran = true; });
  std::atomic<bool> posted_ran{false};
  const std::thread::id check_thread = std::this_thread::get_id();
  std::thread::id ran_on;
  std::shared_ptr<MessagePoster> poster = CurrentThreadPoster();
  std::thread other([&] {
    poster->Post([&] {
      ran_on = std::this_thread::get_id();
      posted_ran = true;
    });
  });
  other.join();
  EXPECT_EQ(c_.qo_docheck(), kVariantTrue) << ToUtf8(ResultOf(c_));
  EXPECT_TRUE(queued_ran) << "a message pending before the check";
  EXPECT_TRUE(posted_ran) << "a message posted from another thread";
  EXPECT_EQ(ran_on, check_thread);
  EXPECT_FALSE(CurrentThreadQueue().HasPendingMessages());
}

TEST_F(AdapterWithSwitch, ChecksOnTwoThreadsAtOnceShareNothing) {
  Text other_result;
  std::thread other([&] {
    VorlixCom c;
    c.Put(Property::kHostname, Variant::FromText(u"127.0.0.1"));
    c.Put(Property::kTimeout, Variant::Int16(5));
    c.Put(Property::kParameter, Variant::FromText(SetKeyValue(params_, u"CFG", u"COMPARE")));
    c.qo_docheck();
    other_result = ResultOf(c);
  });
  EXPECT_EQ(c_.qo_docheck(), kVariantTrue);
  other.join();
  EXPECT_EQ(ResultOf(c_).rfind(u"Setting initial CRC (", 0), 0u) << ToUtf8(ResultOf(c_));
  EXPECT_EQ(other_result.rfind(u"Running and startup configuration are ", 0), 0u) << ToUtf8(other_result);
}

}  // namespace
}  // namespace comvorlix

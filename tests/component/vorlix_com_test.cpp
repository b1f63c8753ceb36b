// The public class as a host sees it: properties, late binding, entry
// points, and the checks that end before any session is started.
#include "component/vorlix_com.h"

#include <gtest/gtest.h>

#include <thread>

#include "component/check_state.h"
#include "component/entry_points.h"
#include "dialog/config_form.h"
#include "automation/class_registry.h"

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
  c.Put(Property::kParameter, Variant::FromText(u"#USR=a#PORT=40000#"));
  EXPECT_EQ(c.qo_docheck(), kVariantFalse);
  EXPECT_EQ(ResultOf(c), u"ERR: Overflow: value does not fit into a 16-bit integer(70)");
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

TEST(CheckState, EachThreadHasItsOwn) {
  ThreadCheckState().gDevice = u"CSCSW";
  Text seen_elsewhere = u"unset";
  std::thread([&] { seen_elsewhere = ThreadCheckState().gDevice; }).join();
  EXPECT_EQ(seen_elsewhere, u"");
  EXPECT_EQ(ThreadCheckState().gDevice, u"CSCSW");
}

TEST(CheckState, SettingsAreWrittenAnewByEveryCheck) {
  VorlixCom c;
  ThreadCheckState().gDebug = kVariantTrue;
  ThreadCheckState().gReceived = u"left over";
  c.Put(Property::kParameter, Variant::FromText(u"#USR=a#"));
  c.qo_docheck();
  EXPECT_EQ(ThreadCheckState().gDebug, kVariantFalse);
  EXPECT_EQ(ThreadCheckState().gReceived, u"left over") << "validation failures leave the buffers untouched";
}

}  // namespace
}  // namespace comvorlix

// Late binding through DispatchTable and CallByName, and the class registry.
#include "automation/dispatch.h"

#include <gtest/gtest.h>

#include "automation/class_registry.h"

namespace comvorlix {
namespace {

class Counter : public Dispatch {
 public:
  Counter() {
    table_.Add({u"Value", 7, nullptr, [this](std::vector<Variant>&) { return Variant::Int32(value_); },
                [this](std::vector<Variant>& a) {
                  value_ = a[0].ToInt16();
                  return Variant();
                },
                nullptr});
    table_.Add(MethodMember(u"Fail", 8, [](std::vector<Variant>&) -> Variant {
      throw AutomationError(Status::kInvalidArgument, "bad call");
    }));
  }
  std::optional<DispId> GetIdOfName(TextView name) const override { return table_.IdOf(name); }
  Status Invoke(DispId id, InvokeKind kind, std::vector<Variant>& args, Variant* result, ErrorInfo* error) override {
    return table_.Invoke(id, kind, args, result, error);
  }

 private:
  DispatchTable table_;
  int32_t value_ = 0;
};

TEST(LateBinding, NamesAreCaseInsensitive) {
  Counter c;
  EXPECT_EQ(c.GetIdOfName(u"vALUE"), 7);
  CallByName(c, u"value", InvokeKind::kPropertyPut, {Variant::FromText(u"41")});
  EXPECT_EQ(CallByName(c, u"VALUE", InvokeKind::kPropertyGet).ToInt16(), 41);
}

TEST(LateBinding, UnknownNameAndUnsupportedKindAreReported) {
  Counter c;
  try {
    CallByName(c, u"Nope", InvokeKind::kMethod);
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.status(), Status::kUnknownName);
    EXPECT_EQ(e.description(), "Object doesn't support this property or method: Nope");
  }
  std::vector<Variant> args{Variant()};
  ErrorInfo error;
  EXPECT_EQ(c.Invoke(7, InvokeKind::kPropertyPutRef, args, nullptr, &error), Status::kMemberNotFound);
  EXPECT_EQ(error.description, "Member not found: Value does not support this call");
}

TEST(LateBinding, AMembersErrorComesBackAsStatusAndDescription) {
  Counter c;
  std::vector<Variant> none;
  ErrorInfo error;
  EXPECT_EQ(c.Invoke(8, InvokeKind::kMethod, none, nullptr, &error), Status::kInvalidArgument);
  EXPECT_EQ(error.description, "bad call");
}

TEST(LateBinding, PutNeedsExactlyOneValue) {
  Counter c;
  std::vector<Variant> two{Variant(), Variant()};
  ErrorInfo error;
  EXPECT_EQ(c.Invoke(7, InvokeKind::kPropertyPut, two, nullptr, &error), Status::kBadParamCount);
}

TEST(ClassRegistry, CreatesRegisteredClassesOnly) {
  RegisterClassFactory(u"test.Counter", [] { return std::make_shared<Counter>(); });
  auto object = CreateObject(u"TEST.counter");
  ASSERT_NE(object, nullptr);
  EXPECT_TRUE(object->GetIdOfName(u"Value").has_value());
  EXPECT_TRUE(UnregisterClassFactory(u"test.Counter"));
  EXPECT_FALSE(UnregisterClassFactory(u"test.Counter"));
  try {
    CreateObject(u"test.Counter");
    FAIL();
  } catch (const AutomationError& e) {
    EXPECT_EQ(e.status(), Status::kClassNotRegistered);
    EXPECT_EQ(e.description(), "cannot create object: test.Counter is not registered");
  }
}

}  // namespace
}  // namespace comvorlix

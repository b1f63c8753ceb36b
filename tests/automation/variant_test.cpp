// Conversions of the automation variant.
#include "automation/variant.h"

#include <gtest/gtest.h>

#include "automation/dispatch.h"

namespace comvorlix {
namespace {

TEST(VariantConversion, EmptyGivesZeroAndTheEmptyText) {
  Variant v;
  EXPECT_TRUE(v.is_empty());
  EXPECT_EQ(v.ToInt16(), 0);
  EXPECT_EQ(v.ToText(), u"");
  EXPECT_FALSE(v.ToBool());
}

TEST(VariantConversion, TextReadsAsNumberAllowingBlanks) {
  EXPECT_EQ(Variant::FromText(u" 40 ").ToInt16(), 40);
  EXPECT_EQ(Variant::FromText(u"-7").ToInt16(), -7);
  EXPECT_DOUBLE_EQ(Variant::FromText(u"2.5").ToDouble(), 2.5);
}

TEST(VariantConversion, TextThatIsNoNumberIsATypeMismatch) {
  for (const char16_t* bad : {u"", u"abc", u"12x", u"0x10"}) {
    try {
      Variant::FromText(bad).ToInt16();
      FAIL() << ToUtf8(bad);
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.status(), Status::kTypeMismatch);
      EXPECT_EQ(e.description(), "Type mismatch: text is not a number");
    }
  }
}

TEST(VariantConversion, WholeNumbersRoundHalfToEven) {
  EXPECT_EQ(Variant::FromText(u"2.5").ToInt16(), 2);
  EXPECT_EQ(Variant::FromText(u"3.5").ToInt16(), 4);
  EXPECT_EQ(Variant::FromText(u"-2.5").ToInt16(), -2);
  EXPECT_EQ(Variant::FromText(u"0.5").ToInt16(), 0);
  EXPECT_EQ(Variant::FromText(u"2.6").ToInt16(), 3);
}

TEST(VariantConversion, SixteenBitOverflowIsAnErrorAtBothEnds) {
  EXPECT_EQ(Variant::Int32(32767).ToInt16(), 32767);
  EXPECT_EQ(Variant::Int32(-32768).ToInt16(), -32768);
  EXPECT_EQ(Variant::FromText(u"32767.4").ToInt16(), 32767);
  for (Variant v : {Variant::Int32(40000), Variant::Int32(-32769), Variant::FromText(u"32767.5")}) {
    try {
      v.ToInt16();
      FAIL();
    } catch (const AutomationError& e) {
      EXPECT_EQ(e.status(), Status::kOverflow);
      EXPECT_EQ(e.description(), "Overflow: value does not fit into a 16-bit integer");
    }
  }
}

TEST(VariantConversion, BooleanTrueIsMinusOne) {
  EXPECT_EQ(Variant::Boolean(true).ToInt16(), -1);
  EXPECT_EQ(Variant::Boolean(false).ToInt16(), 0);
  EXPECT_EQ(Variant::Boolean(true).ToText(), u"True");
  EXPECT_TRUE(Variant::FromText(u"true").ToBool());
}

TEST(VariantConversion, NumbersToText) {
  EXPECT_EQ(Variant::Int16(-5).ToText(), u"-5");
  EXPECT_EQ(Variant::Int32(-70000).ToText(), u"-70000");
}

TEST(VariantObject, HasNoTextAndComparesByIdentity) {
  class Nothing : public Dispatch {
    std::optional<DispId> GetIdOfName(TextView) const override { return std::nullopt; }
    Status Invoke(DispId, InvokeKind, std::vector<Variant>&, Variant*, ErrorInfo*) override { return Status::kFail; }
  };
  auto a = std::make_shared<Nothing>();
  Variant v = Variant::Object(a);
  EXPECT_EQ(v.ToObject(), a);
  EXPECT_THROW(v.ToText(), AutomationError);
  EXPECT_EQ(v, Variant::Object(a));
  EXPECT_FALSE(v == Variant::Object(std::make_shared<Nothing>()));
}

}  // namespace
}  // namespace comvorlix

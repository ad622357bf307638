#include <gtest/gtest.h>

#include "platform/com/Variant.h"
#include "platform/rtl/Exception.h"

namespace qm::platform {
namespace {

TEST(Variant, DefaultIsEmptyAndNullIsDistinct) {
  Variant v;
  EXPECT_TRUE(v.IsEmpty());
  EXPECT_TRUE(Variant::Null().IsNull());
  EXPECT_FALSE(Variant::Null().IsEmpty());
  EXPECT_NE(v, Variant::Null());
  EXPECT_TRUE(Variant::Null().IsEmptyOrNull());
}

TEST(Variant, BooleanIsTheSixteenBitAutomationValue) {
  EXPECT_EQ(Variant::FromBool(true).AsBool16(), -1);
  EXPECT_EQ(Variant::FromBool(false).AsBool16(), 0);
  EXPECT_EQ(Variant::FromBool(true).AsInt32(), -1);
  EXPECT_TRUE(Variant::FromInt32(5).AsBool());
  EXPECT_EQ(Variant::FromBool(true).ToText(), u"True");
}

TEST(Variant, ArraysKeepTheirExplicitBounds) {
  Variant bytes = Variant::FromBytes({1, 2, 3}, 5);
  EXPECT_TRUE(bytes.IsArray());
  EXPECT_EQ(bytes.LowBound(), 5);
  EXPECT_EQ(bytes.HighBound(), 7);
  EXPECT_EQ(bytes.ArrayElement(2).AsInt32(), 3);

  Variant empty = Variant::FromBytes({});
  EXPECT_EQ(empty.LowBound(), 0);
  EXPECT_EQ(empty.HighBound(), -1);

  Variant strings = Variant::FromStrings({u"a", u"b"});
  EXPECT_EQ(strings.ArrayElement(1).AsString(), u"b");
  Variant nested = Variant::FromVariants({Variant::FromInt32(1), strings});
  EXPECT_EQ(nested.ArrayElement(1), strings);
  EXPECT_EQ(nested.AsVariantArray().Items[1].AsStringArray().Items[0], u"a");
}

TEST(Variant, ReadingAsAnotherKindRaises) {
  try {
    Variant::FromInt32(1).AsString();
    FAIL();
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message(), u"Invalid variant type conversion");
  }
  EXPECT_THROW(Variant().LowBound(), Exception);
  EXPECT_THROW(Variant::FromStrings({u"a"}).AsByteArray(), Exception);
  EXPECT_THROW(Variant::FromStrings({u"a"}).ArrayElement(1), Exception);
  EXPECT_THROW(Variant::FromBytes({1}).ToText(), Exception);
}

TEST(Variant, CopiesAreDeep) {
  Variant a = Variant::FromStrings({u"x"});
  Variant b = a;
  b = Variant::FromStrings({u"y"});
  EXPECT_EQ(a.AsStringArray().Items[0], u"x");
}

}  // namespace
}  // namespace qm::platform

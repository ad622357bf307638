#include "core/Common/QMCommonUtils.h"

#include <gtest/gtest.h>

#include "core/Common/TextUtils.h"
#include "testsupport/QmTesting.h"

namespace qm {
namespace {

using platform::Exception;

using Items = std::vector<std::u16string>;

TEST(WideWords, KeepsInnerEmptyPiecesButNotAnEmptyTail) {
  TWideWords words(u",");
  words.Split(u"a,,b,");
  EXPECT_EQ(words.ToVector(), (Items{u"a", u"", u"b"}));
}

TEST(WideWords, OnlySeparatorsGiveOneEmptyPieceEach) {
  TWideWords words(u",;");
  words.Split(u",;,");
  EXPECT_EQ(words.ToVector(), (Items{u"", u"", u""}));
}

TEST(WideWords, WithoutSeparatorsTheTextIsOnePiece) {
  TWideWords words;
  words.Split(u"a b");
  EXPECT_EQ(words.ToVector(), Items{u"a b"});
  words.Split(u"");
  EXPECT_EQ(words.Count(), 0);
}

TEST(Words, SplitsSingleByteTextTheSameWay) {
  TWords words(",;");
  words.Split("0; URL=a,b;");
  EXPECT_EQ(words.Items(), (std::vector<std::string>{"0", " URL=a", "b"}));
}

TEST(SplitNameValue, CutsAtTheFirstSeparatorOnly) {
  EXPECT_EQ(SplitNameValue(u"a=b=c"), (std::pair<std::u16string, std::u16string>{u"a", u"b=c"}));
  EXPECT_EQ(SplitNameValue(u"abc"), (std::pair<std::u16string, std::u16string>{u"abc", u""}));
  EXPECT_EQ(SplitNameValue(u"=x"), (std::pair<std::u16string, std::u16string>{u"", u"x"}));
}

TEST(VariantToList, EmptyAndNullGiveNothing) {
  TWideStringList list{u"old"};
  VariantToList(platform::Variant(), list);
  EXPECT_EQ(list.Count(), 0);
  list.Add(u"old");
  VariantToList(platform::Variant::Null(), list);
  EXPECT_EQ(list.Count(), 0);
}

TEST(VariantToList, TakesElementsFromLowToHighBound) {
  TWideStringList list;
  VariantToList(platform::Variant::FromStrings({u"x", u"y"}, 1), list);
  EXPECT_EQ(list.ToVector(), (Items{u"x", u"y"}));
  VariantToList(platform::Variant::FromVariants({platform::Variant::FromInt32(3),
                                                 platform::Variant::FromString(u"s"),
                                                 platform::Variant::Null()}),
                list);
  EXPECT_EQ(list.ToVector(), (Items{u"3", u"s", u""}));
  EXPECT_THROW(VariantToList(platform::Variant::FromInt32(1), list), Exception);
}

TEST(TextUtils, LowerCaseAndCaseInsensitiveComparisonAgree) {
  EXPECT_EQ(LowerCase(u"First-NAME \u00C9T\u00C9 \u0130"), u"first-name \u00E9t\u00E9 i\u0307");
  EXPECT_TRUE(SameTextIgnoreCase(u"\u00C9t\u00E9", u"\u00E9T\u00C9"));
  EXPECT_LT(CompareTextIgnoreCase(u"add on s", u"ADD ONS"), 0);
  EXPECT_EQ(AsciiLowerCase(u"INPUT \u00C9"), u"input \u00C9");
}

TEST(TextUtils, LocaleEqualRespectsCase) {
  EXPECT_TRUE(LocaleEqual(u"Visa", u"Visa"));
  EXPECT_FALSE(LocaleEqual(u"Visa", u"visa"));
  // Canonically equivalent spellings compare equal under the collator.
  EXPECT_TRUE(LocaleEqual(u"\u00E9", u"e\u0301"));
  EXPECT_FALSE(LocaleEqual(u"e", u"\u00E9"));
}

TEST(TextUtils, TrimRemovesControlsAndSpacesAtTheEndsOnly) {
  EXPECT_EQ(Trim(u" \t a\tb \r\n"), u"a\tb");
  EXPECT_EQ(Trim(u"   "), u"");
  EXPECT_EQ(TrimLeft(u"  a "), u"a ");
  EXPECT_EQ(TrimRight(u"  a "), u"  a");
}

TEST(TextUtils, IntegerConversionIsStrict) {
  EXPECT_EQ(TextToInt(u"-12"), -12);
  EXPECT_EQ(TextToInt(u"2147483647"), 2147483647);
  EXPECT_EQ(TextToInt(u"-2147483648"), -2147483647 - 1);
  int32_t v = 0;
  EXPECT_FALSE(TryTextToInt(u"2147483648", v));
  EXPECT_FALSE(TryTextToInt(u"", v));
  EXPECT_FALSE(TryTextToInt(u"-", v));
  EXPECT_FALSE(TryTextToInt(u" 5", v));
  testing::ExpectThrowsExactly<Exception>([] { TextToInt(u"x1"); },
                                          u"'x1' is not a valid integer value");
}

}  // namespace
}  // namespace qm

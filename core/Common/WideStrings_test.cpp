#include "core/Common/WideStrings.h"

#include <gtest/gtest.h>

#include "testsupport/QmTesting.h"

namespace qm {
namespace {

using platform::Exception;

using Items = std::vector<std::u16string>;

TEST(CommaText, JoinsWithCommasAndKeepsInnerEmptyItems) {
  EXPECT_EQ(CommaText({u"a", u"", u"b"}), u"a,,b");
  EXPECT_EQ(ParseCommaText(u"a,,b"), (Items{u"a", u"", u"b"}));
}

TEST(CommaText, EmptyListAndSingleEmptyItemDiffer) {
  EXPECT_EQ(CommaText({}), u"");
  EXPECT_EQ(CommaText({u""}), u"\"\"");
  EXPECT_EQ(ParseCommaText(u""), Items{});
  EXPECT_EQ(ParseCommaText(u"\"\""), Items{u""});
}

TEST(CommaText, QuotesItemsWithSpacesQuotesCommasOrControls) {
  EXPECT_EQ(CommaText({u"New York", u"x"}), u"\"New York\",x");
  EXPECT_EQ(CommaText({u"say \"hi\""}), u"\"say \"\"hi\"\"\"");
  EXPECT_EQ(CommaText({u"a,b", u"tab\there"}), u"\"a,b\",\"tab\there\"");
  for (const Items& items : {Items{u"New York", u"a,b", u"q\"q"}, Items{u" lead", u"trail "},
                             Items{u"\u00E9t\u00E9", u"", u"x"}}) {
    EXPECT_EQ(ParseCommaText(CommaText(items)), items);
  }
}

TEST(CommaText, TrailingEmptyItemIsLost) {
  EXPECT_EQ(CommaText({u"a", u""}), u"a,");
  EXPECT_EQ(ParseCommaText(u"a,"), Items{u"a"});
}

TEST(CommaText, ParsingSkipsBlanksAndSplitsUnquotedItemsAtThem) {
  EXPECT_EQ(ParseCommaText(u"  a ,  b"), (Items{u"a", u"b"}));
  EXPECT_EQ(ParseCommaText(u"a b"), (Items{u"a", u"b"}));
  EXPECT_EQ(ParseCommaText(u"\"x\"y"), (Items{u"x", u"y"}));
  EXPECT_EQ(ParseCommaText(u"\"unterminated"), Items{u"unterminated"});
}

TEST(CommaText, NulCharacterEndsTheTextInsteadOfHanging) {
  EXPECT_EQ(ParseCommaText(std::u16string(u"a,b\0c,d", 7)), (Items{u"a", u"b"}));
}

TEST(WideStringList, SortedListIgnoresCaseAndDuplicatesByPolicy) {
  TWideStringList list;
  list.SetSorted(true);
  list.Add(u"beta");
  list.Add(u"Alpha");
  EXPECT_EQ(list.Add(u"ALPHA"), 0);  // ignored, existing index
  EXPECT_EQ(list.ToVector(), (Items{u"Alpha", u"beta"}));
  EXPECT_EQ(list.IndexOf(u"BETA"), 1);

  list.SetDuplicates(TDuplicates::Error);
  testing::ExpectThrowsExactly<Exception>([&] { list.Add(u"beta"); },
                                          u"String list does not allow duplicates");
  list.SetDuplicates(TDuplicates::Accept);
  list.Add(u"BETA");
  EXPECT_EQ(list.Count(), 3);
}

TEST(WideStringList, CaseInsensitiveLookupUsesFullUnicodeLowerCase) {
  TWideStringList list;
  list.SetSorted(true);
  list.Add(u"\u00C9COLE");
  EXPECT_TRUE(list.Contains(u"\u00E9cole"));
  list.SetCaseSensitive(true);
  EXPECT_FALSE(list.Contains(u"\u00E9cole"));
}

TEST(WideStringList, UnsortedListKeepsOrderAndMarks) {
  TWideStringList list{u"b", u"a", u"b"};
  EXPECT_EQ(list.Count(), 3);
  list.SetObject(2, 1);
  EXPECT_EQ(list.IndexOf(u"B"), 0);
  EXPECT_EQ(list.Objects(2), 1);
  list.Insert(0, u"z");
  list.Delete(1);
  EXPECT_EQ(list.ToVector(), (Items{u"z", u"a", u"b"}));
  testing::ExpectThrowsExactly<Exception>([&] { (void)list[3]; }, u"List index out of bounds (3)");
}

TEST(WideStringList, TextSplitsAtAnyLineBreak) {
  TWideStringList list;
  list.SetText(u"a\r\nb\nc\rd");
  EXPECT_EQ(list.ToVector(), (Items{u"a", u"b", u"c", u"d"}));
  EXPECT_EQ(list.Text(), u"a\r\nb\r\nc\r\nd\r\n");
}

}  // namespace
}  // namespace qm

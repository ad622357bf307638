#include "addon/BHO/ClickTarget.h"

#include <gtest/gtest.h>

#include "testsupport/BhoTesting.h"

namespace qm {
namespace {

using bho_testing::ById;
using bho_testing::LoadPage;

TEST(PartialMatchCode, AStepThatNoLongerNamesOneElementIsNotFound) {
  EXPECT_EQ(PartialMatchCode(0, 0), ClickTargetNotFound);
  // Value only: the element with a changed name, however many.
  EXPECT_EQ(PartialMatchCode(1, 0), ClickTargetByValue);
  EXPECT_EQ(PartialMatchCode(3, 0), ClickTargetByValue);
  // One name-only candidate is the element with a changed value.
  EXPECT_EQ(PartialMatchCode(0, 1), ClickTargetByName);
  // Several, or half-matches of both kinds: no one element to ask about.
  EXPECT_EQ(PartialMatchCode(0, 2), ClickTargetNotFound);
  EXPECT_EQ(PartialMatchCode(1, 1), ClickTargetNotFound);
  EXPECT_EQ(PartialMatchCode(2, 1), ClickTargetNotFound);
}

class EnumReceiver : public ::testing::Test {
protected:
  void SetUp() override {
    page = LoadPage(
        "<button id=a name=go value=next>A</button><button id=b name=go value=back>B</button>"
        "<button id=c name=stop value=next>C</button><button id=d name=go value=next>D</button>");
  }
  ComPtr<PageElement> Element(std::u16string_view id) { return ById(page, id); }

  ComPtr<memdom::MemDocument> page;
};

TEST_F(EnumReceiver, AnExactMatchWinsOverTheFirstPartialOneAndEndsTheWalk) {
  TEnumReceiver receiver(u"go", u"next");
  EXPECT_FALSE(receiver.MatchButton(u"go", u"back", Element(u"b")));
  EXPECT_FALSE(receiver.MatchButton(u"stop", u"next", Element(u"c")));
  EXPECT_EQ(receiver.NameMatches, 1);
  EXPECT_EQ(receiver.ValueMatches, 1);
  EXPECT_EQ(receiver.Found.Get(), Element(u"b").Get()) << "the first partial match is kept";
  EXPECT_TRUE(receiver.MatchButton(u"go", u"next", Element(u"d")));
  EXPECT_EQ(receiver.Found.Get(), Element(u"d").Get());
  EXPECT_EQ(receiver.NameMatches, 0);
  EXPECT_EQ(receiver.ValueMatches, 0);
  EXPECT_EQ(receiver.Code(), ClickTargetExact);
}

TEST_F(EnumReceiver, ComparesWithLetterCaseAndCountsEachKindOfHalfMatch) {
  TEnumReceiver receiver(u"go", u"next");
  EXPECT_FALSE(receiver.MatchButton(u"Go", u"Next", Element(u"a")));
  EXPECT_FALSE(receiver.Found) << "neither text is equal when letter case differs";
  EXPECT_FALSE(receiver.MatchButton(u"go", u"back", Element(u"b")));
  EXPECT_EQ(receiver.Code(), ClickTargetByName);
  EXPECT_FALSE(receiver.MatchButton(u"go", u"other", Element(u"d")));
  EXPECT_EQ(receiver.NameMatches, 2);
  EXPECT_EQ(receiver.Code(), ClickTargetNotFound);
  EXPECT_EQ(receiver.Found.Get(), Element(u"b").Get());
}

TEST_F(EnumReceiver, TheWalkCallbacksReadButtonsAndOnlyInputsOfTypeButton) {
  const auto inputs = LoadPage(
      "<input id=s type=submit name=go value=next><input id=t name=go value=next>"
      "<input id=i type=button name=go value=next>");
  TEnumReceiver receiver(u"go", u"next");
  TWBEnumerator walker;
  EXPECT_TRUE(receiver.OnInputButton(walker, ById(inputs, u"s")));
  EXPECT_TRUE(receiver.OnInputButton(walker, ById(inputs, u"t")));
  EXPECT_FALSE(receiver.Found) << "a submit or text input is no input button";
  EXPECT_FALSE(receiver.OnInputButton(walker, ById(inputs, u"i"))) << "exact: stop";
  EXPECT_EQ(receiver.Code(), ClickTargetExact);

  TEnumReceiver buttons(u"go", u"back");
  EXPECT_TRUE(buttons.OnButton(walker, Element(u"a")));
  EXPECT_FALSE(buttons.OnButton(walker, Element(u"b")));
  // An element without the view is passed over.
  EXPECT_TRUE(buttons.OnButton(walker, ById(inputs, u"i")));
}

}  // namespace
}  // namespace qm

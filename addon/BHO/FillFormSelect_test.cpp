#include <gtest/gtest.h>

#include <memory>

#include "testsupport/BhoTesting.h"
#include "addon/BHO/FillFormUtils.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/VxSystem.h"
#include "testsupport/QmTesting.h"

namespace qm {
namespace {

using namespace bho_testing;
using memdom::ScriptBindings;
using memdom::ScriptContext;
using platform::PageOptionElement;
using platform::PageSelectElement;
using testing::ExpectThrowsExactly;
using testing::Trail;

class SelectFilling : public ::testing::Test {
protected:
  ComPtr<MemDocument> Load(std::string_view html) {
    return LoadPage(html, u"http://example.com/p.html", nullptr, scripts_);
  }
  bool Fill(std::u16string_view id, int32_t kind, const std::u16string& value,
            const TValueList& values = {}) {
    return FillSelect(ById(doc_, id), kind, value, lexicon_, values);
  }
  // The texts of the selected options, in order.
  std::vector<std::u16string> Chosen(std::u16string_view id) {
    std::vector<std::u16string> texts;
    auto select = ViewById<PageSelectElement>(doc_, id);
    for (int32_t i = 0; i < select->length(); ++i) {
      auto option = select->item(i).As<PageOptionElement>();
      if (option->selected()) texts.push_back(option->text());
    }
    return texts;
  }
  using Texts = std::vector<std::u16string>;

  std::shared_ptr<ScriptBindings> scripts_ = std::make_shared<ScriptBindings>();
  TLexicon lexicon_;
  ComPtr<MemDocument> doc_;
};

TEST_F(SelectFilling, LiteralItemsMatchNormalisedTextOrValue) {
  doc_ = Load(
      "<select id=s multiple><option value=vc>Visa   Card<option value=mc>Master Card"
      "<option value=am>Amex</select>");
  EXPECT_TRUE(Fill(u"s", ValueKindLiteral, u"\" VISA card \",AM"));
  EXPECT_EQ(Chosen(u"s"), (Texts{u"Visa Card", u"Amex"}));
}

TEST_F(SelectFilling, ALiteralMissReportsFalseAndLeavesNothingSelected) {
  doc_ = Load("<select id=s><option selected>Peru<option>Chile</select>");
  EXPECT_FALSE(Fill(u"s", ValueKindLiteral, u"Kiwi"));
  EXPECT_EQ(ViewById<PageSelectElement>(doc_, u"s")->selectedIndex(), -1);
}

TEST_F(SelectFilling, OneMissDoesNotStopTheOtherWantedOptions) {
  doc_ = Load("<select id=s multiple><option>A<option>B</select>");
  EXPECT_FALSE(Fill(u"s", ValueKindLiteral, u"Z,B"));
  EXPECT_EQ(Chosen(u"s"), Texts{u"B"});
}

TEST_F(SelectFilling, AValueOfSpacesSelectsNothingAndReportsTrue) {
  doc_ = Load("<select id=s><option selected>Peru<option>Chile</select>");
  EXPECT_TRUE(Fill(u"s", ValueKindLiteral, u"\"   \""));
  EXPECT_EQ(ViewById<PageSelectElement>(doc_, u"s")->selectedIndex(), -1);
  EXPECT_TRUE(Fill(u"s", ValueKindLiteral, u""));
}

TEST_F(SelectFilling, WordsPickTheClosestSingleOption) {
  doc_ = Load("<select id=s><option>Visa Card<option>Visa<option>Other</select>");
  EXPECT_TRUE(Fill(u"s", ValueKindWords, u"", {u"visa"}));
  EXPECT_EQ(Chosen(u"s"), Texts{u"Visa"});
}

TEST_F(SelectFilling, WordsPreferMoreHitsThenTheLongerTextThenTheEarlierOption) {
  doc_ = Load(
      "<select id=hits><option>York<option>New York City</select>"
      "<select id=longer><option>c x<option>ab x</select>"
      "<select id=earlier><option>q one<option>q two</select>");
  EXPECT_TRUE(Fill(u"hits", ValueKindWords, u"", {u"new", u"york"}));
  EXPECT_EQ(Chosen(u"hits"), Texts{u"New York City"});
  // Both keep " x"; the option that had more text wins.
  EXPECT_TRUE(Fill(u"longer", ValueKindWords, u"", {u"ab", u"c"}));
  EXPECT_EQ(Chosen(u"longer"), Texts{u"ab x"});
  EXPECT_TRUE(Fill(u"earlier", ValueKindWords, u"", {u"q"}));
  EXPECT_EQ(Chosen(u"earlier"), Texts{u"q one"});
}

TEST_F(SelectFilling, WordsSelectEveryMatchingOptionOfAMultipleSelect) {
  doc_ = Load(
      "<select id=s multiple><option>Red apple<option>Green pear<option selected>Red-wine"
      "<option>Redwood</select>");
  EXPECT_TRUE(Fill(u"s", ValueKindWords, u"", {u"red"}));
  EXPECT_EQ(Chosen(u"s"), (Texts{u"Red apple", u"Red-wine"}));
  EXPECT_FALSE(Fill(u"s", ValueKindWords, u"", {u"blue"}));
  EXPECT_TRUE(Chosen(u"s").empty());
}

TEST_F(SelectFilling, ALiteralHitComesBeforeWordsAndValuesAreNotTriedForLiteralKind) {
  doc_ = Load("<select id=s><option>Visa Card<option>Visa</select>");
  EXPECT_TRUE(Fill(u"s", ValueKindWords, u"visa card", {u"visa"}));
  EXPECT_EQ(Chosen(u"s"), Texts{u"Visa Card"});
  EXPECT_FALSE(Fill(u"s", ValueKindLiteral, u"Amex", {u"visa"}));
  EXPECT_TRUE(Chosen(u"s").empty());
  EXPECT_FALSE(Fill(u"s", 2, u"", {u"visa"})) << "other kinds stop after the literal step";
}

TEST_F(SelectFilling, LexiconKindMatchesNormalisedWordSequencesAndExpandsTemplates) {
  doc_ = Load(
      "<select id=s><option>Canada<option>U.S.A.<option>Mexico</select>"
      "<select id=m multiple><option>Add-ons<option>Plug ins<option>Addons<option>Themes"
      "</select><select id=one><option>Add-ons<option>Addons</select>");
  EXPECT_TRUE(Fill(u"s", ValueKindLexicon, u"", {u"nowhere", u"u s a"}));
  EXPECT_EQ(Chosen(u"s"), Texts{u"U.S.A."});
  EXPECT_FALSE(Fill(u"s", ValueKindLexicon, u"", {u"USA"})) << "case counts";
  // The initial lexicon's "addons" expands to addons, add on s, add ons.
  const std::u16string placeholder =
      std::u16string(1, PlaceholderMark) + u"addons" + std::u16string(1, PlaceholderMark);
  EXPECT_TRUE(Fill(u"m", ValueKindLexicon, u"", {placeholder}));
  EXPECT_EQ(Chosen(u"m"), (Texts{u"Add-ons", u"Addons"}));
  // A single select takes the first candidate that names an option.
  EXPECT_TRUE(Fill(u"one", ValueKindLexicon, u"", {placeholder}));
  EXPECT_EQ(Chosen(u"one"), Texts{u"Addons"});
}

TEST_F(SelectFilling, FindDelimitedWordWantsSeparatorsAroundTheFirstOccurrence) {
  EXPECT_EQ(FindDelimitedWord(u"york", u"new york", u" ,"), 5);
  EXPECT_EQ(FindDelimitedWord(u"york", u"new,york", u" ,"), 5);
  EXPECT_EQ(FindDelimitedWord(u"york", u"newyork", u" ,"), 0);
  EXPECT_EQ(FindDelimitedWord(u"york", u"yorkshire york", u" ,"), 0) << "later ones not tried";
  EXPECT_EQ(FindDelimitedWord(u"york", u"york", u" "), 1);
  EXPECT_EQ(FindDelimitedWord(u"", u"york", u" "), 0);
  EXPECT_EQ(FindDelimitedWord(u"York", u"new york", u" "), 0);
}

TEST_F(SelectFilling, NormalizeOptionTextTrimsLowersAndCollapsesSpacesOnly) {
  EXPECT_EQ(NormalizeOptionText(u"\t  New   YORK \x01"), u"new york");
  EXPECT_EQ(NormalizeOptionText(u"A\tB"), u"a\tb");
  EXPECT_EQ(NormalizeOptionText(u"ÄRGER"), u"ärger");
  EXPECT_EQ(NormalizeOptionText(u"   "), u"");
}

TEST_F(SelectFilling, ChoosingRunsTheChangeScriptThroughAClickAndRestoresOnclick) {
  int changes = 0, clicks = 0;
  scripts_->Bind(u"changed()", [&](ScriptContext&) { ++changes; });
  scripts_->Bind(u"clicked()", [&](ScriptContext&) { ++clicks; });
  doc_ = Load(
      "<select id=s onchange='changed()' onclick='clicked()'><option>A<option>B</select>"
      "<select id=n onchange='changed()'><option>A<option>B</select>"
      "<select id=m multiple onchange='changed()'><option>A<option>B</select>");
  EXPECT_TRUE(Fill(u"s", ValueKindLiteral, u"B"));
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(clicks, 0);
  ById(doc_, u"s")->click();
  EXPECT_EQ(clicks, 1) << "the page's own click script is back";
  EXPECT_EQ(changes, 1);

  EXPECT_TRUE(Fill(u"n", ValueKindLiteral, u"B"));
  EXPECT_EQ(changes, 2);
  EXPECT_TRUE(ById(doc_, u"n")->onclick().IsEmptyOrNull()) << "no click script was made up";

  EXPECT_TRUE(Fill(u"m", ValueKindLiteral, u"A,B"));
  EXPECT_EQ(changes, 2) << "a multiple select is filled without firing";
}

TEST_F(SelectFilling, TheOptionIsChosenAgainAfterTheChangeScript) {
  scripts_->Bind(u"reset(this)", [](ScriptContext& context) {
    context.Element.As<PageSelectElement>()->setSelectedIndex(0);
  });
  doc_ = Load("<select id=s onchange='reset(this)'><option>A<option>B</select>");
  EXPECT_TRUE(Fill(u"s", ValueKindLiteral, u"B"));
  EXPECT_EQ(Chosen(u"s"), Texts{u"B"});
}

TEST_F(SelectFilling, ClearSelectionRunsNoScript) {
  int changes = 0;
  scripts_->Bind(u"changed()", [&](ScriptContext&) { ++changes; });
  doc_ = Load(
      "<select id=s multiple onchange='changed()'><option selected>A<option selected>B"
      "</select>");
  ClearSelection(ById(doc_, u"s"));
  EXPECT_TRUE(Chosen(u"s").empty());
  EXPECT_EQ(changes, 0);
}

TEST_F(SelectFilling, AnElementWithoutTheSelectViewRaisesWithTheCode) {
  doc_ = Load("<div id=d></div>");
  ExpectThrowsExactly<Exception>([&] { Fill(u"d", ValueKindLiteral, u"x"); },
                                 Trail(u"Interface not supported", {loc::FillSelect}));
  ExpectThrowsExactly<Exception>([&] { ClearSelection(ById(doc_, u"d")); },
                                 Trail(u"Interface not supported", {loc::ClearSelection}));
  EXPECT_NO_THROW(SetOptionSelected(ById(doc_, u"d"), ById(doc_, u"d"), true, true));
}

}  // namespace
}  // namespace qm

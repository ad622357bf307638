#include "addon/BHO/FillFormUtils.h"

#include <gtest/gtest.h>

#include <memory>

#include "testsupport/BhoTesting.h"
#include "addon/BHO/ElementTracker.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/VxSystem.h"
#include "testsupport/QmTesting.h"

namespace qm {
namespace {

using namespace bho_testing;
using memdom::ScriptBindings;
using memdom::ScriptContext;
using platform::PageInputElement;
using platform::PageSelectElement;
using platform::PageTextAreaElement;
using testing::ExpectThrowsExactly;
using testing::Trail;

class Filling : public ::testing::Test {
protected:
  ComPtr<MemDocument> Load(std::string_view html) {
    doc_ = LoadPage(html, u"http://example.com/p.html", nullptr, scripts_);
    return doc_;
  }
  std::u16string Value(std::u16string_view id) { return GetElementInfo(ById(doc_, id)).Value; }
  bool Checked(std::u16string_view id) { return ViewById<PageInputElement>(doc_, id)->checked(); }
  bool Marked(std::u16string_view id) {
    return ById(doc_, id)->style()->backgroundColor() == BoundBackgroundColor;
  }
  TTransitField& AddField(TTransitFormCard& card, int32_t index, std::u16string name,
                          std::u16string tag, std::u16string type, std::u16string value,
                          std::u16string profile = {}) {
    TTransitField& field = card.Fields.Add();
    field.ElementIndex = index;
    field.Name = std::move(name);
    field.TagName = std::move(tag);
    field.InputType = std::move(type);
    field.Value = std::move(value);
    field.ProfileField = std::move(profile);
    return field;
  }

  std::shared_ptr<ScriptBindings> scripts_ = std::make_shared<ScriptBindings>();
  TLexicon lexicon_;
  TElementChangingTracker tracker_;
  ComPtr<MemDocument> doc_;
};

TEST_F(Filling, TextIsCutToMaxLengthWithoutSplittingAPair) {
  Load("<input id=a maxlength=5><input id=b maxlength=2><input id=c type=password>");
  EXPECT_TRUE(FillInput(ById(doc_, u"a"), ValueKindLiteral, u"abcdefgh", {}));
  EXPECT_EQ(Value(u"a"), u"abcde");
  EXPECT_TRUE(FillInput(ById(doc_, u"b"), ValueKindLiteral, u"a\U0001F600", {}));
  EXPECT_EQ(Value(u"b"), u"a");
  EXPECT_TRUE(FillInput(ById(doc_, u"c"), ValueKindWords, u"", {u"first", u"second"}));
  EXPECT_EQ(Value(u"c"), u"first");
}

TEST_F(Filling, CheckboxesFollowTrueExactlyAndAreClickedOnce) {
  int clicks = 0;
  scripts_->Bind(u"count()", [&](ScriptContext&) { ++clicks; });
  Load(
      "<input type=checkbox id=a checked onclick='count()'>"
      "<input type=checkbox id=b checked onclick='count()'>"
      "<input type=checkbox id=c onclick='count()'>");
  EXPECT_TRUE(FillInput(ById(doc_, u"a"), ValueKindLiteral, u"false", {}));
  EXPECT_TRUE(FillInput(ById(doc_, u"b"), ValueKindLiteral, u"yes", {}));
  EXPECT_TRUE(FillInput(ById(doc_, u"c"), ValueKindLiteral, u"true", {}));
  EXPECT_FALSE(Checked(u"a"));
  EXPECT_FALSE(Checked(u"b"));
  EXPECT_TRUE(Checked(u"c"));
  EXPECT_EQ(clicks, 3);
  EXPECT_TRUE(FillInput(ById(doc_, u"c"), ValueKindLiteral, u"true", {}));
  EXPECT_EQ(clicks, 3) << "a box already right is not clicked";
}

TEST_F(Filling, RadiosAreOnlyEverChecked) {
  Load("<input type=radio name=r id=a checked><input type=radio name=r id=b>");
  EXPECT_TRUE(FillInput(ById(doc_, u"a"), ValueKindLiteral, u"false", {}));
  EXPECT_TRUE(Checked(u"a"));
  EXPECT_TRUE(FillInput(ById(doc_, u"b"), ValueKindLiteral, u"true", {}));
  EXPECT_TRUE(Checked(u"b"));
  EXPECT_FALSE(Checked(u"a"));
}

TEST_F(Filling, InputsThatTakeNoTextAreLeftAlone) {
  Load(
      "<input type=hidden id=h value=keep><input type=submit id=s value=Go>"
      "<input type=email id=e><input type=file id=f><input type=number id=n>");
  EXPECT_FALSE(FillInput(ById(doc_, u"h"), ValueKindLiteral, u"new", {}));
  EXPECT_FALSE(FillInput(ById(doc_, u"s"), ValueKindLiteral, u"new", {}));
  EXPECT_FALSE(FillInput(ById(doc_, u"f"), ValueKindLiteral, u"/etc/passwd", {}));
  EXPECT_EQ(Value(u"h"), u"keep");
  EXPECT_EQ(Value(u"s"), u"Go");
  EXPECT_TRUE(FillInput(ById(doc_, u"e"), ValueKindLiteral, u"jo@example.com", {}));
  EXPECT_EQ(Value(u"e"), u"jo@example.com");
  EXPECT_TRUE(FillInput(ById(doc_, u"n"), ValueKindLiteral, u"42", {}));
  EXPECT_EQ(Value(u"n"), u"42");
}

TEST_F(Filling, TextareasTakeTheFirstCandidateForWordAndLexiconKinds) {
  Load("<textarea id=t>old</textarea>");
  FillTextArea(ById(doc_, u"t"), ValueKindWords, u"value", {u"one", u"two"});
  EXPECT_EQ(Value(u"t"), u"one");
  FillTextArea(ById(doc_, u"t"), ValueKindLexicon, u"value", {});
  EXPECT_EQ(Value(u"t"), u"");
  FillTextArea(ById(doc_, u"t"), 2, u"value", {u"one"});
  EXPECT_EQ(Value(u"t"), u"value");
}

TEST_F(Filling, FillElementGoesByTagAndCarriesTheTrail) {
  Load("<div id=d></div><select id=s><option>A<option>B</select>");
  EXPECT_FALSE(FillElement(ById(doc_, u"d"), ValueKindLiteral, u"x", lexicon_, {}));
  EXPECT_TRUE(FillElement(ById(doc_, u"s"), ValueKindLiteral, u"B", lexicon_, {}));
  EXPECT_EQ(Value(u"s"), u"B");
  auto broken = platform::MakeCom<BrokenElement>(u"INPUT");
  ExpectThrowsExactly<Exception>(
      [&] { FillElement(AsElement(broken), ValueKindLiteral, u"x", lexicon_, {}); },
      Trail(u"Interface not supported", {loc::FillInput, loc::FillElement}));
  ExpectThrowsExactly<Exception>(
      [&] { FillTextArea(ById(doc_, u"d"), ValueKindLiteral, u"x", {}); },
      Trail(u"Interface not supported", {loc::FillTextArea}));
}

TEST_F(Filling, MarkingBindsAndAnEmptyNameUnbinds) {
  Load("<input id=i style='background-color: yellow' title=hint>");
  MarkBoundElement(ById(doc_, u"i"), u"City", tracker_);
  EXPECT_TRUE(Marked(u"i"));
  EXPECT_EQ(ById(doc_, u"i")->title(), u"bind with <City>");
  EXPECT_EQ(AttributeText(ById(doc_, u"i"), ProfileFieldAttribute), u"City");
  ASSERT_EQ(tracker_.Count(), 1);
  EXPECT_TRUE(tracker_.Items(0).Connected());
  MarkBoundElement(ById(doc_, u"i"), u"", tracker_);
  EXPECT_EQ(ById(doc_, u"i")->style()->backgroundColor(), u"");
  EXPECT_EQ(ById(doc_, u"i")->title(), u"");
  EXPECT_EQ(AttributeText(ById(doc_, u"i"), ProfileFieldAttribute), u"");
  EXPECT_FALSE(tracker_.Items(0).Connected());
  EXPECT_NO_THROW(MarkBoundElement(nullptr, u"City", tracker_));
}

// --- from a card ---

TEST_F(Filling, ACardFillsByPositionAndMarksBoundFields) {
  Load(
      "<form id=f><input name=user><input type=hidden name=tok value=t>"
      "<select name=size><option>S<option>M</select><textarea name=note></textarea>"
      "<input type=checkbox name=news></form>");
  TTransitFormCard card;
  AddField(card, 0, u"user", u"input", u"text", u"jo", u"Login");
  AddField(card, -1, u"tok", u"input", u"hidden", u"changed");
  AddField(card, 1, u"size", u"select", u"", u"M");
  AddField(card, 2, u"note", u"textarea", u"", u"hello");
  AddField(card, 3, u"news", u"input", u"checkbox", u"true");
  const TCardFillResult result = FillFormFromCard(ById(doc_, u"f"), card, tracker_, lexicon_);
  EXPECT_TRUE(result.Complete);
  EXPECT_FALSE(result.SubmitControl);
  TTransitFormCard read;
  ReadFormFields(ById(doc_, u"f"), nullptr, read);
  EXPECT_EQ(read.Fields[0].Value, u"jo");
  EXPECT_EQ(read.Fields[0].ProfileField, u"Login");
  EXPECT_EQ(read.Fields[1].Value, u"t") << "hidden inputs are never filled";
  EXPECT_EQ(read.Fields[2].Value, u"M");
  EXPECT_EQ(read.Fields[3].Value, u"hello");
  EXPECT_EQ(read.Fields[4].Value, u"true");
  EXPECT_EQ(tracker_.Count(), 1);
}

TEST_F(Filling, ACardThatDoesNotFitTheFormIsIncompleteButFillsWhatFits) {
  Load(
      "<form id=f><input name=a><select name=s><option>A</select><input name=c>"
      "<textarea name=t></textarea></form>");
  TTransitFormCard card;
  AddField(card, 0, u"a", u"input", u"text", u"1");
  AddField(card, 1, u"s", u"select", u"", u"Z");         // no such option
  AddField(card, 2, u"other", u"input", u"text", u"3");  // another name
  AddField(card, 3, u"t", u"input", u"text", u"4");      // another tag
  AddField(card, 9, u"x", u"input", u"text", u"5");      // no such control
  const TCardFillResult result = FillFormFromCard(ById(doc_, u"f"), card, tracker_, lexicon_);
  EXPECT_FALSE(result.Complete);
  TTransitFormCard read;
  ReadFormFields(ById(doc_, u"f"), nullptr, read);
  EXPECT_EQ(read.Fields[0].Value, u"1");
  EXPECT_EQ(read.Fields[2].Value, u"");
  EXPECT_EQ(read.Fields[3].Value, u"");
}

TEST_F(Filling, ControlsThatAnEarlierFillRevealsAreFoundWhereTheCardExpectsThem) {
  scripts_->Bind(u"reveal()", [&](ScriptContext&) {
    doc_->AppendHtml(*doc_->ElementById(u"extra"), "<input name=street>");
  });
  Load(
      "<form id=f><input type=checkbox name=ship onclick='reveal()'><div id=extra></div>"
      "<input name=last></form>");
  TTransitFormCard card;
  AddField(card, 0, u"ship", u"input", u"checkbox", u"true");
  AddField(card, 1, u"street", u"input", u"text", u"Main St 1");
  AddField(card, 2, u"last", u"input", u"text", u"Jo");
  EXPECT_TRUE(FillFormFromCard(ById(doc_, u"f"), card, tracker_, lexicon_).Complete);
  TTransitFormCard read;
  ReadFormFields(ById(doc_, u"f"), nullptr, read);
  ASSERT_EQ(read.Fields.Count(), 3);
  EXPECT_EQ(read.Fields[1].Value, u"Main St 1");
  EXPECT_EQ(read.Fields[2].Value, u"Jo");
}

TEST_F(Filling, ACardNamesTheControlThatSubmittedTheStoredForm) {
  Load(
      "<form id=f><input name=q><input type=submit name=a value=Back id=back>"
      "<input type=submit name=b value=Next id=next></form>");
  TTransitFormCard card;
  AddField(card, 0, u"q", u"input", u"text", u"x");
  AddField(card, 1, u"a", u"input", u"submit", u"Back");
  AddField(card, 2, u"b", u"input", u"submit", u"Next");
  card.SubmitFieldIndex = 2;
  const TCardFillResult result = FillFormFromCard(ById(doc_, u"f"), card, tracker_, lexicon_);
  EXPECT_TRUE(result.Complete);
  EXPECT_EQ(platform::ComIdentity(result.SubmitControl),
            platform::ComIdentity(ById(doc_, u"next")));
  card.SubmitFieldIndex = 5;  // a damaged card names nothing
  EXPECT_FALSE(FillFormFromCard(ById(doc_, u"f"), card, tracker_, lexicon_).SubmitControl);
}

TEST_F(Filling, AFieldWithoutProfileFieldRemovesAnEarlierMark) {
  Load("<form id=f><input id=i name=city></form>");
  MarkBoundElement(ById(doc_, u"i"), u"City", tracker_);
  TTransitFormCard card;
  AddField(card, 0, u"city", u"input", u"text", u"Lima");
  EXPECT_TRUE(FillFormFromCard(ById(doc_, u"f"), card, tracker_, lexicon_).Complete);
  EXPECT_FALSE(Marked(u"i"));
  EXPECT_EQ(AttributeText(ById(doc_, u"i"), ProfileFieldAttribute), u"");
  EXPECT_FALSE(tracker_.Items(0).Connected());
  EXPECT_EQ(Value(u"i"), u"Lima");
}

TEST_F(Filling, AFailingSelectEndsTheCardFillWithBothCodes) {
  auto broken = platform::MakeCom<BrokenElement>(u"SELECT");
  auto form = platform::MakeCom<ListForm>(std::vector<ComPtr<PageElement>>{AsElement(broken)});
  TTransitFormCard card;
  AddField(card, 0, u"", u"select", u"", u"x");
  ExpectThrowsExactly<Exception>(
      [&] { FillFormFromCard(AsElement(form), card, tracker_, lexicon_); },
      Trail(u"Interface not supported", {loc::FillSelect, loc::FillFormFromCard}));
}

// --- from a set ---

class SetFilling : public Filling {
protected:
  void SetUp() override {
    Load(
        "<form id=f><input name=name id=name><input name=city id=city value='   '>"
        "<input name=zip id=zip value=123><input type=checkbox name=news id=news>"
        "<input type=radio name=r id=r value=a><input type=hidden name=h id=h>"
        "<select name=size id=size><option value=''>choose<option>M</select>"
        "<select name=tone id=tone><option value=''></option><option>Dark</select>"
        "<textarea name=t id=t></textarea></form>");
    TTransitFormCard& card = set_.Add();
    AddField(card, 0, u"name", u"input", u"text", u"Jo", u"First name");
    AddField(card, 1, u"city", u"input", u"text", u"Lima");
    AddField(card, 2, u"zip", u"input", u"text", u"999");
    AddField(card, 3, u"news", u"input", u"checkbox", u"true");
    AddField(card, 4, u"r", u"input", u"radio", u"true");
    AddField(card, -1, u"h", u"input", u"hidden", u"");
    AddField(card, 5, u"size", u"select", u"", u"M");
    AddField(card, 6, u"tone", u"select", u"", u"Dark");
    AddField(card, 7, u"t", u"textarea", u"", u"text", u"Note");
  }
  TTransitFormSet set_;
};

TEST_F(SetFilling, OnlyEmptyLeavesBoxesRadiosAndChosenSelectsAlone) {
  FillFormFromSet(ById(doc_, u"f"), set_, lexicon_, tracker_, true);
  EXPECT_EQ(Value(u"name"), u"Jo");
  EXPECT_EQ(Value(u"city"), u"Lima") << "spaces count as empty";
  EXPECT_EQ(Value(u"zip"), u"123");
  EXPECT_FALSE(Checked(u"news"));
  EXPECT_FALSE(Checked(u"r"));
  EXPECT_EQ(Value(u"size"), u"choose") << "its option has a text";
  EXPECT_EQ(Value(u"tone"), u"Dark") << "its option has neither value nor text";
  EXPECT_EQ(Value(u"t"), u"text");
  EXPECT_TRUE(Marked(u"name"));
  EXPECT_TRUE(Marked(u"t"));
  EXPECT_FALSE(Marked(u"city"));
}

TEST_F(SetFilling, WithoutOnlyEmptyEveryKnownControlIsFilled) {
  FillFormFromSet(ById(doc_, u"f"), set_, lexicon_, tracker_, false);
  EXPECT_EQ(Value(u"zip"), u"999");
  EXPECT_TRUE(Checked(u"news"));
  EXPECT_TRUE(Checked(u"r"));
  EXPECT_EQ(Value(u"size"), u"M");
}

TEST_F(SetFilling, AFailingControlEndsTheWalkQuietly) {
  auto broken = platform::MakeCom<BrokenElement>(u"SELECT");
  auto form = platform::MakeCom<ListForm>(
      std::vector<ComPtr<PageElement>>{ById(doc_, u"name"), AsElement(broken), ById(doc_, u"t")});
  TTransitFormCard& card = set_[0];
  AddField(card, 8, u"", u"select", u"", u"x");
  EXPECT_NO_THROW(FillFormFromSet(AsElement(form), set_, lexicon_, tracker_, false));
  EXPECT_EQ(Value(u"name"), u"Jo");
  EXPECT_EQ(Value(u"t"), u"") << "the walk ended at the broken select";
  ExpectThrowsExactly<Exception>(
      [&] { FillFormFromSet(ById(doc_, u"name"), set_, lexicon_, tracker_, false); },
      Trail(u"Interface not supported", {loc::FormItemFillFromSet}));
}

}  // namespace
}  // namespace qm

#include <gtest/gtest.h>

#include "testsupport/BhoTesting.h"
#include "addon/BHO/ElementTracker.h"
#include "addon/BHO/FillFormUtils.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/VxSystem.h"
#include "core/Common/WideStrings.h"
#include "testsupport/QmTesting.h"

namespace qm {
namespace {

using namespace bho_testing;
using platform::PageOptionElement;
using platform::PageSelectElement;
using testing::ExpectThrowsExactly;
using testing::Trail;

TTransitFormCard Read(const ComPtr<MemDocument>& doc, std::u16string_view form,
                      std::u16string_view submitter = {}) {
  TTransitFormCard card;
  card.SubmitFieldIndex = 7;
  card.Fields.Add();  // whatever was there goes
  ReadFormFields(ById(doc, form), submitter.empty() ? nullptr : ById(doc, submitter), card);
  return card;
}

TEST(ReadFormShape, ReadsOnlyTheValuesMatchingLooksAtAndScoresAsTheWholeCard) {
  auto doc = LoadPage(
      "<form id=f><input name=user value=jo><input type=hidden name=token value=t1>"
      "<input type=checkbox name=keep checked><select name=c type=x><option selected>Chile"
      "</select><textarea name=note>hi</textarea><input id=go type=submit name=go value=Go>"
      "</form>");
  const TTransitFormCard whole = Read(doc, u"f", u"go");
  TTransitFormCard shape;
  ReadFormShape(ById(doc, u"f"), ById(doc, u"go"), shape);
  ASSERT_EQ(shape.Fields.Count(), whole.Fields.Count());
  EXPECT_EQ(shape.SubmitFieldIndex, whole.SubmitFieldIndex);
  for (int i = 0; i < shape.Fields.Count(); ++i) {
    const TTransitField& s = shape.Fields[i];
    const TTransitField& w = whole.Fields[i];
    EXPECT_EQ(s.ElementIndex, w.ElementIndex);
    EXPECT_EQ(s.Name, w.Name);
    EXPECT_EQ(s.TagName, w.TagName);
    EXPECT_EQ(s.InputType, w.InputType);
    const bool looked = w.InputType == u"hidden" || w.InputType == u"submit";
    EXPECT_EQ(s.Value, looked ? w.Value : u"") << "field " << i;
  }
  // Stored cards score the shape as they score the whole card.
  TTransitFormCard otherToken = whole;
  otherToken.Fields[1].Value = u"t2";
  TTransitFormCard otherText = whole;
  otherText.Fields[0].Value = u"someone else";
  for (const TTransitFormCard& stored : {whole, otherToken, otherText}) {
    EXPECT_EQ(stored.Compare(shape), stored.Compare(whole));
  }
  EXPECT_EQ(whole.Compare(shape), 100);
  EXPECT_LT(otherToken.Compare(shape), 100);
}

TEST(ReadFormFields, HiddenInputsAreNotCountedAndOtherFieldsNumberFromZero) {
  auto doc = LoadPage(
      "<form id=f><input name=user value=jo><input type=hidden name=token value=t1>"
      "<select name=country><option>Peru<option selected>Chile</select></form>");
  const TTransitFormCard card = Read(doc, u"f");
  ASSERT_EQ(card.Fields.Count(), 3);
  EXPECT_EQ(card.Fields[0].ElementIndex, 0);
  EXPECT_EQ(card.Fields[1].ElementIndex, -1);
  EXPECT_EQ(card.Fields[2].ElementIndex, 1);
  EXPECT_EQ(card.Fields[0].Name, u"user");
  EXPECT_EQ(card.Fields[0].TagName, u"input");
  EXPECT_EQ(card.Fields[0].InputType, u"text");
  EXPECT_EQ(card.Fields[0].Value, u"jo");
  EXPECT_EQ(card.Fields[1].Value, u"t1");
  EXPECT_EQ(card.Fields[2].TagName, u"select");
  EXPECT_EQ(card.Fields[2].Value, u"Chile");
  EXPECT_EQ(card.Fields[2].ValueKind, ValueKindLiteral);
  EXPECT_EQ(card.SubmitFieldIndex, -1);
}

TEST(ReadFormFields, ASubmitInputIsAFieldButAButtonTagIsNone) {
  auto doc = LoadPage(
      "<form id=f><input type=hidden name=h><input name=q><input type=submit id=go name=go "
      "value=Search></form>"
      "<form id=g><input name=q><button id=b type=submit>Go</button></form>");
  const TTransitFormCard withInput = Read(doc, u"f", u"go");
  ASSERT_EQ(withInput.Fields.Count(), 3);
  EXPECT_EQ(withInput.SubmitFieldIndex, 2) << "the index in Fields, hidden ones included";
  EXPECT_EQ(withInput.Fields[2].ElementIndex, 1);
  EXPECT_EQ(withInput.Fields[2].InputType, u"submit");
  EXPECT_EQ(withInput.Fields[2].Value, u"Search");

  const TTransitFormCard withButton = Read(doc, u"g", u"b");
  ASSERT_EQ(withButton.Fields.Count(), 1);
  EXPECT_EQ(withButton.SubmitFieldIndex, -1);
}

TEST(ReadFormFields, AFormWithoutControlsGivesNoFields) {
  auto doc = LoadPage("<form id=f><p>nothing to fill</p><button>x</button></form>");
  const TTransitFormCard card = Read(doc, u"f");
  EXPECT_TRUE(card.Fields.Empty());
  EXPECT_EQ(card.SubmitFieldIndex, -1);
}

TEST(ReadFormFields, ABoundControlReadsBackItsProfileField) {
  auto doc = LoadPage("<form id=f><input id=mail name=mail><textarea name=t></textarea></form>");
  TElementChangingTracker tracker;
  MarkBoundElement(ById(doc, u"mail"), u"E-mail", tracker);
  const TTransitFormCard card = Read(doc, u"f");
  EXPECT_EQ(card.Fields[0].ProfileField, u"E-mail");
  EXPECT_EQ(card.Fields[1].ProfileField, u"");
}

TEST(ReadFormFields, AFailingWalkLeavesNoFieldsAndNoSubmitIndex) {
  auto doc = LoadPage("<input id=a name=a><input type=submit id=s>");
  auto form = platform::MakeCom<ListForm>(
      std::vector<ComPtr<PageElement>>{ById(doc, u"a"), ById(doc, u"s"), ById(doc, u"a")});
  form->RaiseAt = 2;
  TTransitFormCard card;
  ReadFormFields(AsElement(form), ById(doc, u"s"), card);
  EXPECT_TRUE(card.Fields.Empty());
  EXPECT_EQ(card.SubmitFieldIndex, -1) << "an index into fields that are gone";
}

TEST(ReadFormFields, AnElementThatIsNoFormRaisesWithItsCode) {
  auto doc = LoadPage("<div id=d></div>");
  TTransitFormCard card;
  ExpectThrowsExactly<Exception>([&] { ReadFormFields(ById(doc, u"d"), nullptr, card); },
                                 Trail(u"Interface not supported", {loc::ReadFormFields}));
}

TEST(GetElementInfo, CheckboxesAndRadiosReadTheirStateNotTheirValue) {
  auto doc =
      LoadPage("<input type=checkbox id=c value=yes checked><input type=RADIO id=r value=true>");
  const TElementInfo box = GetElementInfo(ById(doc, u"c"));
  EXPECT_EQ(box.Tag, u"input");
  EXPECT_EQ(box.Type, u"checkbox");
  EXPECT_EQ(box.Value, u"true");
  const TElementInfo radio = GetElementInfo(ById(doc, u"r"));
  EXPECT_EQ(radio.Type, u"radio");
  EXPECT_EQ(radio.Value, u"false");
}

TEST(GetElementInfo, AMultipleSelectGivesTheCommaTextOfValuesElseTrimmedTexts) {
  auto doc = LoadPage(
      "<select multiple id=s name=m><option value=x selected>X</option>"
      "<option value='' selected>  B  </option><option value=z>C</option>"
      "<option value='' selected></option></select>");
  const TElementInfo info = GetElementInfo(ById(doc, u"s"));
  EXPECT_EQ(info.Tag, u"select");
  EXPECT_EQ(info.Name, u"m");
  EXPECT_EQ(info.Value, u"x,B");
}

TEST(GetElementInfo, ATextareaHasNoTypeAndOtherElementsAreNoFields) {
  auto doc = LoadPage("<textarea id=t name=n>hello</textarea><button id=b name=x>b</button>");
  const TElementInfo area = GetElementInfo(ById(doc, u"t"));
  EXPECT_EQ(area.Tag, u"textarea");
  EXPECT_EQ(area.Name, u"n");
  EXPECT_EQ(area.Value, u"hello");
  EXPECT_EQ(area.Type, u"");
  EXPECT_EQ(GetElementInfo(ById(doc, u"b")).Tag, u"");
  EXPECT_EQ(GetElementInfo(nullptr).Tag, u"");
}

TEST(GetElementInfo, AnInputWithoutItsViewKeepsWhatWasRead) {
  auto broken = platform::MakeCom<BrokenElement>(u"INPUT");
  const TElementInfo info = GetElementInfo(AsElement(broken));
  EXPECT_EQ(info.Tag, u"input");
  EXPECT_EQ(info.Name, u"");
}

TEST(GetSelectInfo, TellsWhetherTheLastChosenOptionIsThePagesDefault) {
  auto doc = LoadPage(
      "<select id=s name=size type=Drop><option>S<option selected>M<option>L</select>"
      "<select id=e name=e><option value=''></option></select>");
  TSelectInfo info = GetSelectInfo(ById(doc, u"s"));
  EXPECT_EQ(info.Name, u"size");
  EXPECT_EQ(info.Type, u"drop");
  EXPECT_EQ(info.Value, u"M");
  EXPECT_TRUE(info.DefaultSelected);
  ViewById<PageSelectElement>(doc, u"s")->setSelectedIndex(2);
  info = GetSelectInfo(ById(doc, u"s"));
  EXPECT_EQ(info.Value, u"L");
  EXPECT_FALSE(info.DefaultSelected);
  // The only option is chosen, but it has neither value nor text.
  info = GetSelectInfo(ById(doc, u"e"));
  EXPECT_EQ(info.Value, u"");
  EXPECT_FALSE(info.DefaultSelected);
}

TEST(GetSelectedOptionTexts, KeepsEmptyTextsAndGivesNothingWithoutASelection) {
  auto doc = LoadPage(
      "<select multiple id=s><option selected></option><option selected>B b</option>"
      "<option>C</option></select><select multiple id=n><option>A</select>");
  EXPECT_EQ(GetSelectedOptionTexts(ById(doc, u"s")), CommaText({u"", u"B b"}));
  EXPECT_EQ(GetSelectedOptionTexts(ById(doc, u"n")), u"");
}

TEST(AttributeText, AbsentIsNotFoundAnEmptyTextIsKept) {
  auto doc = LoadPage("<input id=i type=TeXt>");
  auto input = ById(doc, u"i");
  std::u16string text = u"stale";
  EXPECT_FALSE(GetAttributeText(input, ProfileFieldAttribute, text));
  EXPECT_EQ(text, u"");
  SetAttributeText(input, ProfileFieldAttribute, u"");
  EXPECT_TRUE(GetAttributeText(input, u"PROFILE FIELD", text));
  EXPECT_EQ(text, u"");
  input->setAttribute(u"n", Variant::FromInt32(42));
  EXPECT_TRUE(GetAttributeText(input, u"n", text));
  EXPECT_EQ(text, u"42");
  EXPECT_EQ(GetTypeAttribute(input), u"text");
}

TEST(AttributeText, FailuresAreDropped) {
  auto broken = platform::MakeCom<BrokenElement>(u"INPUT");
  broken->RaiseOnAttributes = true;
  std::u16string text;
  EXPECT_FALSE(GetAttributeText(AsElement(broken), u"type", text));
  EXPECT_NO_THROW(SetAttributeText(AsElement(broken), u"type", u"x"));
  EXPECT_EQ(GetTypeAttribute(AsElement(broken)), u"");
}

}  // namespace
}  // namespace qm

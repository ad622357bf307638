#include <gtest/gtest.h>

#include "engines/memdom/MemdomTesting.h"
#include "platform/rtl/Exception.h"

namespace qm::memdom {
namespace {

using namespace qm::memdom::testing;
using platform::PageAnchorElement;
using platform::PageAreaElement;
using platform::PageButtonElement;
using platform::PageFormElement;
using platform::PageInputElement;
using platform::PageMetaElement;
using platform::PageOptionElement;
using platform::PageSelectElement;
using platform::PageTextAreaElement;

TEST(MemInput, TypeIsLowerCasedAndUnknownTypesAreText) {
  auto doc = LoadPage(
      "<input id=a><input id=b type=CHECKBOX><input id=c type=datetime><input id=d type=' text'>");
  EXPECT_EQ(ViewById<PageInputElement>(doc, u"a")->type(), u"text");
  EXPECT_EQ(ViewById<PageInputElement>(doc, u"b")->type(), u"checkbox");
  EXPECT_EQ(ViewById<PageInputElement>(doc, u"c")->type(), u"text");
  EXPECT_EQ(ViewById<PageInputElement>(doc, u"d")->type(), u"text");
  EXPECT_EQ(ById(doc, u"a")->tagName(), u"INPUT");
}

TEST(MemInput, ValueFollowsTheAttributeUntilWrittenThenStaysDirty) {
  auto doc = LoadPage("<input id=a value='first'>");
  auto input = ViewById<PageInputElement>(doc, u"a");
  auto element = ById(doc, u"a");
  EXPECT_EQ(input->value(), u"first");
  element->setAttribute(u"value", Variant::FromString(u"second"));
  EXPECT_EQ(input->value(), u"second");
  input->setValue(u"typed\r\nline");
  EXPECT_EQ(input->value(), u"typedline");  // one-line controls drop line breaks
  element->setAttribute(u"value", Variant::FromString(u"third"));
  EXPECT_EQ(input->value(), u"typedline");
  EXPECT_EQ(input->defaultValue(), u"third");
  // Serialisation shows the markup's state, not the typed value.
  EXPECT_EQ(ById(doc, u"a")->parentElement()->innerHTML(), u"<input id=\"a\" value=\"third\">");
}

TEST(MemInput, DefaultModeTypesReadAndWriteTheAttribute) {
  auto doc =
      LoadPage("<input id=h type=hidden value=x><input id=c type=checkbox><input id=f type=file>");
  auto hidden = ViewById<PageInputElement>(doc, u"h");
  hidden->setValue(u"y");
  EXPECT_EQ(ById(doc, u"h")->getAttribute(u"value"), Variant::FromString(u"y"));
  EXPECT_EQ(ViewById<PageInputElement>(doc, u"c")->value(), u"on");
  auto file = ViewById<PageInputElement>(doc, u"f");
  EXPECT_NO_THROW(file->setValue(u""));
  EXPECT_THROW(file->setValue(u"/etc/passwd"), platform::Exception);
  EXPECT_EQ(file->value(), u"");
}

TEST(MemInput, CheckednessFollowsTheAttributeUntilWritten) {
  auto doc = LoadPage("<input id=c type=checkbox checked>");
  auto box = ViewById<PageInputElement>(doc, u"c");
  EXPECT_TRUE(box->checked());
  EXPECT_TRUE(box->defaultChecked());
  ById(doc, u"c")->removeAttribute(u"checked");
  EXPECT_FALSE(box->checked());
  box->setChecked(true);
  ById(doc, u"c")->removeAttribute(u"checked");
  EXPECT_TRUE(box->checked());
}

TEST(MemInput, MaxLengthIsHugeWhenAbsentOrInvalid) {
  auto doc = LoadPage(
      "<input id=a><input id=b maxlength=5><input id=c maxlength=x><input id=d maxlength=' 7px'>"
      "<input id=e maxlength=99999999999>");
  EXPECT_EQ(ViewById<PageInputElement>(doc, u"a")->maxLength(), platform::UnlimitedMaxLength);
  EXPECT_EQ(ViewById<PageInputElement>(doc, u"b")->maxLength(), 5);
  EXPECT_EQ(ViewById<PageInputElement>(doc, u"c")->maxLength(), platform::UnlimitedMaxLength);
  EXPECT_EQ(ViewById<PageInputElement>(doc, u"d")->maxLength(), 7);
  EXPECT_EQ(ViewById<PageInputElement>(doc, u"e")->maxLength(), platform::UnlimitedMaxLength);
}

TEST(MemRadio, TheLastCheckedOfAGroupWinsAndGroupsArePerFormAndName) {
  auto doc = LoadPage(
      "<form><input id=a type=radio name=r checked><input id=b type=radio name=r checked>"
      "<input id=c type=radio name=s checked></form>"
      "<form><input id=d type=radio name=r checked></form>"
      "<input id=e type=radio name=r checked>");
  EXPECT_FALSE(ViewById<PageInputElement>(doc, u"a")->checked());
  EXPECT_TRUE(ViewById<PageInputElement>(doc, u"b")->checked());
  EXPECT_TRUE(ViewById<PageInputElement>(doc, u"c")->checked());
  EXPECT_TRUE(ViewById<PageInputElement>(doc, u"d")->checked());
  EXPECT_TRUE(ViewById<PageInputElement>(doc, u"e")->checked());
  ViewById<PageInputElement>(doc, u"a")->setChecked(true);
  EXPECT_TRUE(ViewById<PageInputElement>(doc, u"a")->checked());
  EXPECT_FALSE(ViewById<PageInputElement>(doc, u"b")->checked());
  EXPECT_TRUE(ViewById<PageInputElement>(doc, u"c")->checked());
  EXPECT_TRUE(ViewById<PageInputElement>(doc, u"d")->checked());
  EXPECT_TRUE(ViewById<PageInputElement>(doc, u"e")->checked());
}

TEST(MemRadio, ClickChecksAndUnchecksTheRestWhileACancelledClickRestores) {
  auto doc = LoadPage(
      "<input id=a type=radio name=r checked><input id=b type=radio name=r onclick='return "
      "false'><input id=c type=radio name=r>");
  ById(doc, u"c")->click();
  EXPECT_TRUE(ViewById<PageInputElement>(doc, u"c")->checked());
  EXPECT_FALSE(ViewById<PageInputElement>(doc, u"a")->checked());
  ById(doc, u"b")->click();
  EXPECT_FALSE(ViewById<PageInputElement>(doc, u"b")->checked());
  EXPECT_TRUE(ViewById<PageInputElement>(doc, u"c")->checked());
}

TEST(MemCheckbox, ClickTogglesUnlessCancelled) {
  auto doc =
      LoadPage("<input id=a type=checkbox><input id=b type=checkbox onclick='return false'>");
  ById(doc, u"a")->click();
  EXPECT_TRUE(ViewById<PageInputElement>(doc, u"a")->checked());
  ById(doc, u"a")->click();
  EXPECT_FALSE(ViewById<PageInputElement>(doc, u"a")->checked());
  ById(doc, u"b")->click();
  EXPECT_FALSE(ViewById<PageInputElement>(doc, u"b")->checked());
}

TEST(MemSelect, ASingleSelectShowsItsFirstEnabledOptionAndKeepsTheLastOfSeveral) {
  auto doc = LoadPage(
      "<select id=a><option disabled>x<option>y<option>z</select>"
      "<select id=b><option selected>x<option selected>y<option>z</select>"
      "<select id=c multiple><option>x<option>y</select>"
      "<select id=d size=3><option>x<option>y</select>");
  EXPECT_EQ(ViewById<PageSelectElement>(doc, u"a")->selectedIndex(), 1);
  EXPECT_EQ(ViewById<PageSelectElement>(doc, u"b")->selectedIndex(), 1);
  EXPECT_EQ(ViewById<PageSelectElement>(doc, u"c")->selectedIndex(), -1);
  EXPECT_EQ(ViewById<PageSelectElement>(doc, u"d")->selectedIndex(), -1);
  EXPECT_EQ(ViewById<PageSelectElement>(doc, u"c")->value(), u"");
}

TEST(MemSelect, OptionsInsideOptgroupCountAndValueSettingSelectsOneOrNone) {
  auto doc = LoadPage(
      "<select id=s><option value=1>One<optgroup label=g><option value=2>Two"
      "<option>Three</optgroup></select>");
  auto select = ViewById<PageSelectElement>(doc, u"s");
  ASSERT_EQ(select->length(), 3);
  EXPECT_EQ(select->item(2).As<PageOptionElement>()->value(), u"Three");
  EXPECT_EQ(select->item(2).As<PageOptionElement>()->index(), 2);
  select->setValue(u"Three");
  EXPECT_EQ(select->selectedIndex(), 2);
  select->setValue(u"nothing");
  EXPECT_EQ(select->selectedIndex(), -1);
  EXPECT_EQ(select->value(), u"");
  select->setSelectedIndex(1);
  EXPECT_EQ(select->value(), u"2");
  select->setSelectedIndex(7);
  EXPECT_EQ(select->selectedIndex(), -1);
}

TEST(MemSelect, MultipleSelectKeepsEverySelectedOption) {
  auto doc = LoadPage("<select id=s multiple><option id=a>a<option id=b>b<option id=c>c</select>");
  ViewById<PageOptionElement>(doc, u"a")->setSelected(true);
  ViewById<PageOptionElement>(doc, u"c")->setSelected(true);
  auto select = ViewById<PageSelectElement>(doc, u"s");
  EXPECT_TRUE(select->multiple());
  EXPECT_TRUE(ViewById<PageOptionElement>(doc, u"a")->selected());
  EXPECT_TRUE(ViewById<PageOptionElement>(doc, u"c")->selected());
  EXPECT_EQ(select->selectedIndex(), 0);
}

TEST(MemSelect, SelectingAnOptionOfASingleSelectDeselectsTheOthers) {
  auto doc = LoadPage("<select id=s><option id=a>a<option id=b selected>b</select>");
  ViewById<PageOptionElement>(doc, u"a")->setSelected(true);
  EXPECT_FALSE(ViewById<PageOptionElement>(doc, u"b")->selected());
  EXPECT_TRUE(ViewById<PageOptionElement>(doc, u"b")->defaultSelected());
  EXPECT_EQ(ViewById<PageSelectElement>(doc, u"s")->selectedIndex(), 0);
}

TEST(MemOption, TextIsStrippedAndCollapsedAndValueFallsBackToIt) {
  auto doc = LoadPage(
      "<select><option id=a>  Visa \n\t Card  <script>x</script></option>"
      "<option id=b value=''>B</option></select>");
  EXPECT_EQ(ViewById<PageOptionElement>(doc, u"a")->text(), u"Visa Card");
  EXPECT_EQ(ViewById<PageOptionElement>(doc, u"a")->value(), u"Visa Card");
  EXPECT_EQ(ViewById<PageOptionElement>(doc, u"b")->value(), u"");
}

TEST(MemTextArea, ValueComesFromItsContentUntilWritten) {
  auto doc = LoadPage("<textarea id=t>\nline one\r\nline &amp; two</textarea>");
  auto area = ViewById<PageTextAreaElement>(doc, u"t");
  EXPECT_EQ(area->value(), u"line one\nline & two");
  area->setValue(u"new\r\ntext");
  EXPECT_EQ(area->value(), u"new\ntext");
  EXPECT_EQ(area->defaultValue(), u"line one\nline & two");
}

TEST(MemButton, TypeDefaultsToSubmit) {
  auto doc = LoadPage(
      "<button id=a>a</button><button id=b type=RESET>b</button>"
      "<button id=c type=odd>c</button>");
  EXPECT_EQ(ViewById<PageButtonElement>(doc, u"a")->type(), u"submit");
  EXPECT_EQ(ViewById<PageButtonElement>(doc, u"b")->type(), u"reset");
  EXPECT_EQ(ViewById<PageButtonElement>(doc, u"c")->type(), u"submit");
}

TEST(MemLinks, HrefResolvesAgainstTheDocumentAndItsBase) {
  auto doc = LoadPage(
      "<a id=a href='next.html?x=1'>n</a><a id=b>no href</a><a id=c href='mailto:me@x.org'>m</a>"
      "<map><area id=d href='/img.png' alt='Pic'></map><a id=e href='a b.html'>s</a>");
  EXPECT_EQ(ViewById<PageAnchorElement>(doc, u"a")->href(),
            u"http://example.com/dir/next.html?x=1");
  EXPECT_EQ(ViewById<PageAnchorElement>(doc, u"b")->href(), u"");
  EXPECT_EQ(ViewById<PageAnchorElement>(doc, u"c")->href(), u"mailto:me@x.org");
  EXPECT_EQ(ViewById<PageAreaElement>(doc, u"d")->href(), u"http://example.com/img.png");
  EXPECT_EQ(ViewById<PageAreaElement>(doc, u"d")->alt(), u"Pic");
  EXPECT_EQ(ViewById<PageAnchorElement>(doc, u"e")->href(), u"http://example.com/dir/a%20b.html");
  auto based = LoadPage("<base href='http://other.org/root/'><a id=a href='x'>x</a>");
  EXPECT_EQ(ViewById<PageAnchorElement>(based, u"a")->href(), u"http://other.org/root/x");
}

TEST(MemMeta, HttpEquivAndContentRead) {
  auto doc = LoadPage("<meta id=m http-equiv='Refresh' content='0; URL=next.html'>");
  auto meta = ViewById<PageMetaElement>(doc, u"m");
  EXPECT_EQ(meta->httpEquiv(), u"Refresh");
  EXPECT_EQ(meta->content(), u"0; URL=next.html");
  ASSERT_EQ(doc->all()->tags(u"META")->length(), 1);
}

TEST(MemViews, AnElementAnswersOnlyTheViewsOfItsKind) {
  auto doc = LoadPage("<form id=f><input id=i><select id=s></select></form><div id=d></div>");
  EXPECT_TRUE(ViewById<PageInputElement>(doc, u"i"));
  EXPECT_FALSE(ViewById<PageSelectElement>(doc, u"i"));
  EXPECT_FALSE(ViewById<PageFormElement>(doc, u"d"));
  EXPECT_FALSE(ViewById<PageInputElement>(doc, u"d"));
  EXPECT_TRUE(ViewById<PageFormElement>(doc, u"f"));
  // Every view leads back to the one element object.
  EXPECT_EQ(platform::ComIdentity(ViewById<PageInputElement>(doc, u"i")),
            platform::ComIdentity(ById(doc, u"i")));
}

TEST(MemAttributes, NamesIgnoreCaseMayHoldSpacesAndIntegersReadBackAsIntegers) {
  auto doc = LoadPage("<form id=f formid=7><input id=i></form>");
  auto form = ById(doc, u"f");
  EXPECT_EQ(form->getAttribute(u"FormID"), Variant::FromString(u"7"));
  form->setAttribute(u"FormID", Variant::FromInt32(12));
  EXPECT_EQ(form->getAttribute(u"formid"), Variant::FromInt32(12));
  auto input = ById(doc, u"i");
  input->setAttribute(u"Profile field", Variant::FromString(u"Last name"));
  EXPECT_EQ(input->getAttribute(u"profile FIELD"), Variant::FromString(u"Last name"));
  EXPECT_TRUE(input->getAttribute(u"Missing").IsNull());
  input->setAttribute(u"SinkID", Variant::FromInt32(3));
  // The name with a space can't be written as markup, so it is left out;
  // the rest reads back as the same element.
  EXPECT_EQ(form->innerHTML(), u"<input id=\"i\" sinkid=\"3\">");
  EXPECT_THROW(input->setAttribute(u"", Variant::FromString(u"x")), platform::Exception);
  EXPECT_TRUE(input->removeAttribute(u"SINKID"));
  EXPECT_FALSE(input->removeAttribute(u"SinkID"));
}

TEST(MemStyle, BackgroundColorRoundTripsThroughTheStyleAttribute) {
  auto doc = LoadPage("<input id=i style='color: red; BACKGROUND-COLOR: yellow'>");
  auto element = ById(doc, u"i");
  EXPECT_EQ(element->style()->backgroundColor(), u"yellow");
  element->style()->setBackgroundColor(u"lightblue");
  EXPECT_EQ(element->style()->backgroundColor(), u"lightblue");
  EXPECT_EQ(element->getAttribute(u"style"),
            Variant::FromString(u"color: red; background-color: lightblue;"));
  element->style()->setBackgroundColor(u"");
  EXPECT_EQ(element->style()->backgroundColor(), u"");
  EXPECT_EQ(element->getAttribute(u"style"), Variant::FromString(u"color: red;"));
  element->style()->setBackgroundColor(u"red; display: none");
  EXPECT_EQ(element->getAttribute(u"style"), Variant::FromString(u"color: red;"));
}

TEST(MemTitle, TitleIsTheTooltipAttribute) {
  auto doc = LoadPage("<title> The  page </title><input id=i title=tip>");
  auto element = ById(doc, u"i");
  EXPECT_EQ(element->title(), u"tip");
  element->setTitle(u"bind with <Name>");
  EXPECT_EQ(element->title(), u"bind with <Name>");
  EXPECT_EQ(doc->title(), u"The page");
}

TEST(MemSerialize, InnerHtmlEscapesTextAndAttributesAndKeepsRawText) {
  auto doc = LoadPage(
      "<div id=d a='x&quot;y&amp;'>1 &lt; 2 &amp;&nbsp;3<br><!--c--><script>if (a<b) "
      "x();</script><svg viewBox='0 0 1 1'><foreignObject></foreignObject></svg></div>");
  EXPECT_EQ(ById(doc, u"d")->parentElement()->innerHTML(),
            u"<div id=\"d\" a=\"x&quot;y&amp;\">1 &lt; 2 &amp;&nbsp;3<br><!--c--><script>if (a<b) "
            u"x();</script><svg viewBox=\"0 0 1 1\"><foreignObject></foreignObject></svg></div>");
}

TEST(MemText, InnerTextCollapsesSpacesAndBreaksBlocks) {
  auto doc = LoadPage(
      "<div id=d>  Hello \n <b>big</b>   world<p>para</p><br>after<script>no</script>"
      "<table><tr><td>a</td><td>b</td></tr></table><pre> x\n y</pre></div>");
  // The paragraph's two line breaks and the br's own one add up, as in a
  // browser.
  EXPECT_EQ(ById(doc, u"d")->innerText(),
            u"Hello big world\r\n\r\npara\r\n\r\n\r\nafter\r\na\tb\r\n x\r\n y");
}

}  // namespace
}  // namespace qm::memdom

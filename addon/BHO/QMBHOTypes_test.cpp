// The page's form items as the helper object keeps them, on real pages.
#include <gtest/gtest.h>

#include "engines/memdom/UserActions.h"
#include "testsupport/BhoWindow.h"

namespace qm {
namespace {

using platform::ComPtr;
using platform::PageElement;
using platform::Variant;
using testing::TBhoEnvironment;
using testing::TBhoWindow;

class FormItems : public ::testing::Test {
protected:
  TBhoWindow& Window() { return env.Window; }
  TVxBrowserHelperObject& Helper() { return env.Window.Helper(); }
  TPageFormSet& Forms() { return Helper().PageForms(); }
  std::vector<int32_t> FormIds() {
    std::vector<int32_t> ids;
    for (const auto& item : Forms().Snapshot())
      ids.push_back(item->FormId);
    return ids;
  }

  TBhoEnvironment env;
};

TEST_F(FormItems, FormsAreNumberedAcrossFramesAndKeepTheirNumbersOverRescans) {
  Window().AddPage(u"http://h/", "<frameset><frame name=a src=a.html><frame name=b src=b.html>");
  Window().AddPage(u"http://h/a.html", "<form id=f action=x></form>");
  Window().AddPage(u"http://h/b.html", "<form id=f action=y></form>");
  Window().Load(u"http://h/");
  EXPECT_EQ(FormIds(), (std::vector<int32_t>{1, 2}));
  const ComPtr<PageElement> formB = Window().Element(Window().FrameDocument(u"b"), u"f");
  EXPECT_EQ(formB->getAttribute(FormIDAttribute), Variant::FromInt32(2));
  Helper().RescanForms();
  EXPECT_EQ(FormIds(), (std::vector<int32_t>{1, 2}));

  // One frame loads again: its new form takes the next number, and the
  // old item goes at the next rescan.
  Window().Browser()->Frames()[0]->Navigate(u"http://h/a.html", {}, {}, {}, {});
  Window().RunPending();
  EXPECT_EQ(FormIds(), (std::vector<int32_t>{2, 3}));
  EXPECT_EQ(Helper().NextFormId(), 4);
  // A form that a script adds is found by the next rescan, with the next
  // number; one that a script removes goes.
  const auto doc = Window().FrameDocument(u"b");
  doc->AppendHtml(*doc->Body(), "<form action=z></form>");
  doc->RemoveElement(*doc->ElementById(u"f"));
  Helper().RescanForms();
  EXPECT_EQ(FormIds(), (std::vector<int32_t>{3, 4}));
}

TEST_F(FormItems, ARelativeActionJoinsThePageAddressAsItStands) {
  Window().AddPage(u"http://h/dir/", "<form action=post.cgi></form><form></form>");
  Window().AddPage(u"http://h/dir/page.html?x=1",
                   "<form action='../up.cgi?a=b'></form><form action='#top'></form>");
  Window().Load(u"http://h/dir/");
  ASSERT_EQ(Forms().Count(), 2);
  EXPECT_EQ(Forms()[0].ActionUrl, u"http://h/dir/post.cgi");
  EXPECT_EQ(Forms()[1].ActionUrl, u"http://h/dir") << "no action: the page itself, normalised";
  Window().Load(u"http://h/dir/page.html?x=1");
  ASSERT_EQ(Forms().Count(), 2);
  EXPECT_EQ(Forms()[0].ActionUrl, u"http://h/up.cgi");
  EXPECT_EQ(Forms()[1].ActionUrl, u"http://h/dir/page.html") << "the query goes, and all after";
}

TEST_F(FormItems, APageOwnNumberIsKeptAndOneThatIsNoNumberSkipsTheForm) {
  Window().AddPage(u"http://h/",
                   "<form FormID=7 id=a></form><form FormID=abc></form><form FormID=7 id=b>"
                   "</form><form id=c></form>");
  Window().Load(u"http://h/");
  EXPECT_EQ(FormIds(), (std::vector<int32_t>{7, 1})) << "the two forms numbered 7 share one item";
  EXPECT_EQ(Window().Element(u"c")->getAttribute(FormIDAttribute), Variant::FromInt32(1));
}

TEST_F(FormItems, APressedSubmitControlBecomesTheSubmitterAndOnlyOneFormIsCurrent) {
  Window().AddPage(u"http://h/",
                   "<form id=one><input name=q><input id=img type=image name=i>"
                   "<button id=reset type=reset>R</button><input id=plain name=p></form>"
                   "<form id=two><button id=send>Send</button></form>");
  Window().Load(u"http://h/");
  TFormItem& one = Forms()[0];
  TFormItem& two = Forms()[1];
  memdom::PressMouse(Window().Element(u"img"));
  EXPECT_EQ(platform::ComIdentity(one.Submitter()), platform::ComIdentity(Window().Element(u"img")));
  memdom::PressMouse(Window().Element(u"reset"));
  memdom::PressMouse(Window().Element(u"plain"));
  EXPECT_EQ(platform::ComIdentity(one.Submitter()), platform::ComIdentity(Window().Element(u"img")))
      << "a reset button or a text field doesn't submit";
  memdom::PressMouse(Window().Element(u"send"));
  EXPECT_TRUE(two.Submitter());

  one.SetCurrent(true);
  two.SetCurrent(true);
  EXPECT_FALSE(one.Current());
  EXPECT_FALSE(one.Submitter()) << "a form that is no longer current has no submitter";
  EXPECT_TRUE(two.Current());
}

TEST_F(FormItems, AUserSubmissionMakesItsFormCurrentAndIsHandledOnce) {
  Window().AddPage(u"http://h/", "<form action=a><input name=q></form>"
                                 "<form action=b method=post><input name=r>"
                                 "<input id=go type=submit></form>");
  Window().AddPage(u"http://h/b", "done");
  Window().Load(u"http://h/");
  bool duringNavigation = false;
  Window().Scripts().Bind(u"noop", [](memdom::ScriptContext&) {});
  TFormItem& second = Forms()[1];
  second.OnSubmitted = [&](TFormItem& item) {
    EXPECT_EQ(&item, &second);
    Helper().OnFormSubmitted(item);
    duringNavigation = Helper().SubmitInProgress();
  };
  memdom::ClickAsUser(Window().Element(u"go"));
  EXPECT_TRUE(duringNavigation);
  EXPECT_TRUE(second.Current());
  EXPECT_FALSE(Helper().SubmitInProgress()) << "ended by the navigation's BeforeNavigate2";
  EXPECT_TRUE(Helper().NavigationStarted());
}

TEST_F(FormItems, TheTransitSetOfOneFormMarksItCurrentAndCarriesTheAskedParts) {
  Window().AddPage(u"http://h/p",
                   "<meta charset=windows-1252><form action=s method=POST "
                   "FormSysID='{8DDD182B-AE09-4CB3-BA9A-DA3A0AA0AC4A}'><input name=q value=v>"
                   "<input type=hidden name=t value=1></form>");
  Window().Load(u"http://h/p");
  TTransitFormSet set;
  Forms().BuildTransitSet(set, CardPartsAll);
  ASSERT_EQ(set.Count(), 1);
  const TTransitFormCard& card = set[0];
  EXPECT_TRUE(card.CurrentForm) << "the only form of the page";
  EXPECT_EQ(card.Url, u"http://h/s");
  EXPECT_EQ(card.Method, u"post");
  EXPECT_EQ(card.Charset, u"windows-1252");
  EXPECT_NE(card.FormHtml.find(u"name=\"q\""), std::u16string::npos);
  EXPECT_EQ(platform::GuidToString(card.FormSysID), u"{8DDD182B-AE09-4CB3-BA9A-DA3A0AA0AC4A}");
  ASSERT_EQ(card.Fields.Count(), 2);
  EXPECT_EQ(card.Fields[1].ElementIndex, -1);
  Forms().BuildTransitSet(set, CardPartsFieldsOnly);
  EXPECT_EQ(set[0].Url, u"");
  EXPECT_EQ(set[0].Method, u"");
  EXPECT_EQ(set[0].FormHtml, u"");
}

TEST_F(FormItems, ClearingEmptiesTypedValuesBoxesAndSelectionsAndLeavesTheRest) {
  Window().AddPage(u"http://h/",
                   "<form><input id=t name=t value=a><input id=m type=email name=m value=b>"
                   "<input id=h type=hidden name=h value=c><input id=c type=checkbox checked>"
                   "<select id=s><option>x<option selected>y</select><textarea id=ta>z"
                   "</textarea><input id=go type=submit value=Go></form>");
  Window().Load(u"http://h/");
  Window().Element(u"t")->setAttribute(u"Profile field", Variant::FromString(u"First name"));
  Helper().Agent().ClearForms();  // the toolbar's "Clear forms"
  EXPECT_EQ(Window().Value(u"t"), u"");
  EXPECT_EQ(Window().Value(u"m"), u"");
  EXPECT_EQ(Window().Value(u"h"), u"c");
  EXPECT_FALSE(Window().Element(u"c").As<platform::PageInputElement>()->checked());
  EXPECT_EQ(Window().Element(u"s").As<platform::PageSelectElement>()->selectedIndex(), -1);
  EXPECT_EQ(Window().Value(u"ta"), u"");
  EXPECT_EQ(Window().Value(u"go"), u"Go");
  EXPECT_EQ(Window().Element(u"t")->getAttribute(u"Profile field").ToText(), u"");
}

TEST_F(FormItems, ADeletedItemIsInertAndSafeForWhoeverStillHoldsIt) {
  Window().AddPage(u"http://h/", "<form><input name=q></form>");
  Window().AddPage(u"http://h/2", "<p>no forms</p>");
  Window().Load(u"http://h/");
  const auto held = Forms().Snapshot();
  ASSERT_EQ(held.size(), 1u);
  Window().Load(u"http://h/2");
  EXPECT_EQ(Forms().Count(), 0);
  EXPECT_EQ(held[0]->Owner(), nullptr);
  EXPECT_FALSE(held[0]->FormElement());
  held[0]->SetCurrent(true);  // belongs to no set: touches nobody
  held[0]->Submit(nullptr);
  EXPECT_EQ(held[0]->GetFormSysID(), platform::GUID_NULL);
}

}  // namespace
}  // namespace qm

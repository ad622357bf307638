// The page processing end to end: a browser window of the built-in engine
// with the helper object attached, the real manager in process on a
// temporary store, and the scripted user.
#include <gtest/gtest.h>

#include <cstdio>

#include "addon/dialogs/QMDialogUnit.h"
#include "engines/memdom/UserActions.h"
#include "testsupport/BhoWindow.h"

namespace qm {
namespace {

using platform::ComPtr;
using platform::PageElement;
using testing::SavePageForms;
using testing::TBhoEnvironment;
using testing::TBhoWindow;
using JournalKind = platform::ui::TJournalEntry::TKind;
using Action = platform::ui::TUserAction;

constexpr char LoginPage[] =
    "<form action='check' method=post><input id=user name=user>"
    "<input id=pass type=password name=pass>"
    "<select id=lang name=lang><option>English<option>Deutsch<option>Français</select>"
    "<input id=go type=submit name=go value=Go></form>";

class PageProcessing : public ::testing::Test {
protected:
  TBhoWindow& Window() { return env.Window; }
  TVxBrowserHelperObject& Helper() { return env.Window.Helper(); }
  IQoraServer& Server() { return env.Manager.Server(); }
  int FillDialogShows() const {
    int shows = 0;
    for (const auto& entry : env.Backend.Entries(JournalKind::FormShown))
      shows += entry.Form == u"QMDialog";
    return shows;
  }
  // The user types into the page and the forms are stored as name.
  void TypeAndSave(const std::u16string& user, const std::u16string& pass,
                   const std::u16string& name) {
    memdom::TypeText(Window().Element(u"user"), user);
    memdom::TypeText(Window().Element(u"pass"), pass);
    memdom::ChooseOption(Window().Element(u"lang"), 2);
    SavePageForms(Window(), Server(), name);
  }

  TBhoEnvironment env;
};

TEST_F(PageProcessing, AStoredCardFillsItsPageOnTheNextLoad) {
  Window().AddPage(u"http://www.shop.example/login", LoginPage);
  Window().Load(u"http://www.shop.example/login");
  ASSERT_EQ(Helper().PageForms().Count(), 1);
  EXPECT_EQ(Helper().Agent().PageKey(), u"http://shop.example/login");
  TypeAndSave(u"ada", u"secret", u"Ada's login");

  Window().Load(u"http://www.shop.example/login");
  EXPECT_EQ(Window().Value(u"user"), u"ada");
  EXPECT_EQ(Window().Value(u"pass"), u"secret");
  EXPECT_EQ(Window().Value(u"lang"), u"Français");
  const TFormItem& item = Helper().PageForms()[0];
  EXPECT_EQ(item.MatchScore, 100);
  EXPECT_TRUE(item.Filled);
  EXPECT_EQ(item.ActionUrl, u"http://www.shop.example/check");
  // Filled from a stored card: the dialog has nothing to offer.
  EXPECT_EQ(FillDialogShows(), 0);
  // The agent lists what the manager matched.
  ASSERT_EQ(Helper().Agent().FormCards().Count(), 1);
  EXPECT_EQ(Helper().Agent().FormCards()[0].FormSetName(), u"http://shop.example/login");
  EXPECT_FALSE(TVxBrowserHelperObject::PageProcessingBusy());
}

TEST_F(PageProcessing, ACardThatNoLongerFitsIsOfferedInTheFillDialog) {
  Window().AddPage(u"http://shop.example/login", LoginPage);
  Window().Load(u"http://shop.example/login");
  TypeAndSave(u"ada", u"secret", u"Ada");
  // The site changed its form: the stored card scores nothing now.
  Window().AddPage(u"http://shop.example/login",
                   "<form action=check method=post><input name=email><input type=submit></form>");
  Window().Load(u"http://shop.example/login");
  EXPECT_EQ(Window().Value(u"user"), u"");
  EXPECT_EQ(FillDialogShows(), 1);
  const TQMDialog* dialog = Helper().Agent().FillDialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_EQ(dialog->Entries().size(), 1u);
  EXPECT_EQ(dialog->Entries()[0].Name, u"Ada");

  // The user dismissed it: the next load of the same page key shows it
  // again, as leaving the page forgets the dismissal.
  Helper().Agent().ShowDialog(false);
  Window().Load(u"http://shop.example/login");
  EXPECT_EQ(FillDialogShows(), 2);
}

TEST_F(PageProcessing, APageWithoutACardIsFilledFieldByFieldFromTheProfile) {
  env.Manager.SetFieldValue(u"First name", u"Ada");
  env.Manager.SetFieldValue(u"E-mail", u"ada@example.com");
  Window().AddPage(u"http://club.example/join",
                   "<form><input id=fn name=first_name><input id=mail type=email name=email>"
                   "<input id=nick name=nickname value='  '><input id=kept name=last_name "
                   "value=Lovelace></form>");
  Window().Load(u"http://club.example/join");
  EXPECT_EQ(Window().Value(u"fn"), u"Ada");
  EXPECT_EQ(Window().Value(u"mail"), u"ada@example.com");
  EXPECT_EQ(Window().Value(u"kept"), u"Lovelace") << "only empty fields are filled";
  // Filled without AutoBind: no marks.
  EXPECT_EQ(Window().Element(u"fn")->getAttribute(u"Profile field").ToText(), u"");
}

TEST_F(PageProcessing, WithoutAutoFillNewAPageWithoutACardIsLeftAlone) {
  env.Manager.SetFieldValue(u"First name", u"Ada");
  env.Manager.SetOptions(0x59 & ~0x10);
  Window().AddPage(u"http://club.example/join", "<form><input id=fn name=first_name></form>");
  Window().Load(u"http://club.example/join");
  EXPECT_EQ(Window().Value(u"fn"), u"");
}

TEST_F(PageProcessing, WithTheSwitchOffNothingIsFilled) {
  env.Manager.SetFieldValue(u"First name", u"Ada");
  Window().AddPage(u"http://club.example/join", "<form><input id=fn name=first_name></form>");
  Window().Load(u"http://club.example/join");
  ASSERT_EQ(Window().Value(u"fn"), u"Ada");
  Helper().Agent().SetActive(false);
  Window().Load(u"http://club.example/join");
  EXPECT_EQ(Window().Value(u"fn"), u"");
}

TEST_F(PageProcessing, FormsInFramesAreFilledFromOneStoredSet) {
  Window().AddPage(u"http://bank.example/",
                   "<frameset><frame name=top src=head.html><frame name=main src=main.html>"
                   "</frameset>");
  Window().AddPage(u"http://bank.example/head.html",
                   "<form action=search><input id=q name=q></form>");
  Window().AddPage(u"http://bank.example/main.html",
                   "<iframe name=inner src=inner.html></iframe>"
                   "<form action=pay method=post><input id=amount name=amount></form>");
  Window().AddPage(u"http://bank.example/inner.html",
                   "<form action=/login method=post><input id=acct name=account></form>");
  Window().Load(u"http://bank.example/");
  ASSERT_EQ(Helper().PageForms().Count(), 3);
  const auto head = Window().FrameDocument(u"top");
  const auto main = Window().FrameDocument(u"main");
  const auto inner = Window().FrameDocument(u"inner");
  memdom::TypeText(Window().Element(head, u"q"), u"rates");
  memdom::TypeText(Window().Element(main, u"amount"), u"12.50");
  memdom::TypeText(Window().Element(inner, u"acct"), u"DE00 1234");
  SavePageForms(Window(), Server(), u"Bank");

  Window().Load(u"http://bank.example/");
  auto value = [&](const char16_t* frame, const char16_t* id) {
    return Window().Element(Window().FrameDocument(frame), id).As<platform::PageInputElement>()
        ->value();
  };
  EXPECT_EQ(value(u"top", u"q"), u"rates");
  EXPECT_EQ(value(u"main", u"amount"), u"12.50");
  EXPECT_EQ(value(u"inner", u"acct"), u"DE00 1234");
  for (const auto& item : Helper().PageForms().Snapshot())
    EXPECT_EQ(item->MatchScore, 100);
}

TEST_F(PageProcessing, TheFillDialogOpenedByHandListsThePageAndFillsFromAProfile) {
  env.Manager.SetOptions(0x59 & ~0x08 & ~0x01);  // no automatic show, no automatic fill
  env.Manager.SetFieldValue(u"First name", u"Ada");
  Window().AddPage(u"http://shop.example/login", LoginPage);
  Window().Load(u"http://shop.example/login");
  TypeAndSave(u"ada", u"secret", u"Mine");
  Window().Load(u"http://shop.example/login");
  EXPECT_EQ(FillDialogShows(), 0);
  EXPECT_EQ(Helper().Agent().FormCards().Count(), 1) << "matched, though nothing is offered";

  // The toolbar's "Fill form": the page is processed again for the dialog,
  // which lists the stored card and the profiles.
  Helper().Agent().ResetPage();
  Helper().Agent().ShowDialog(true);
  const TQMDialog* dialog = Helper().Agent().FillDialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_EQ(dialog->Entries().size(), 1u);
  EXPECT_EQ(dialog->Entries()[0].Name, u"Mine");
  EXPECT_EQ(dialog->ProfileListBox.Count(), 1);

  // Choosing the profile and no card fills the page from the profile.
  Window().AddPage(u"http://club.example/join", "<form><input id=fn name=first_name></form>");
  Window().Load(u"http://club.example/join");
  Helper().Agent().ShowDialog(true);
  env.Backend.Perform(*Helper().Agent().FillDialog(),
                      Action::Select(u"ProfileListBox", u"Default"));
  env.Backend.Perform(*Helper().Agent().FillDialog(), Action::Click(u"BitBtn2"));
  EXPECT_EQ(Window().Value(u"fn"), u"Ada");
}

TEST_F(PageProcessing, TwoWindowsOfOneProcessNeverProcessAtTheSameTime) {
  Window().AddPage(u"http://a.example/", LoginPage);
  TBhoWindow other;
  other.AddPage(u"http://b.example/", LoginPage);
  Window().Load(u"http://a.example/");
  TypeAndSave(u"ann", u"a", u"A");
  other.Load(u"http://b.example/");
  memdom::TypeText(other.Element(u"user"), u"bob");
  SavePageForms(other, Server(), u"B");

  // While the first window fills its page, a script of that page makes
  // the second window load its page: that page is left unprocessed.
  bool busyInside = false;
  Window().Scripts().Bind(u"openOther", [&](memdom::ScriptContext&) {
    busyInside = TVxBrowserHelperObject::PageProcessingBusy();
    other.Load(u"http://b.example/");
  });
  Window().AddPage(u"http://a.example/",
                   "<form action='check' method=post><input id=user name=user>"
                   "<input id=pass type=password name=pass><select id=lang name=lang "
                   "onchange=openOther><option>English<option>Deutsch<option>Français</select>"
                   "<input id=go type=submit name=go value=Go></form>");
  Window().Load(u"http://a.example/");
  EXPECT_TRUE(busyInside);
  EXPECT_EQ(Window().Value(u"user"), u"ann");
  EXPECT_EQ(other.Value(u"user"), u"") << "the second page was not processed";
  EXPECT_FALSE(TVxBrowserHelperObject::PageProcessingBusy());
  other.Load(u"http://b.example/");
  EXPECT_EQ(other.Value(u"user"), u"bob");
}

TEST_F(PageProcessing, AFillWhoseChangeScriptNavigatesGoesOnWithTheNextPage) {
  env.Manager.SetOptions(0x59 & ~0x01);  // no automatic fill: the user asks
  // Choosing a language reloads the booking page in that language, as
  // sites do; the reloaded page has the same form.
  constexpr char form[] =
      "<form action='check' method=post><select id=lang name=lang %s><option>English"
      "<option>Deutsch<option>Français</select><input id=user name=user>"
      "<input id=pass type=password name=pass><input id=go type=submit name=go value=Go></form>";
  char withScript[512];
  char without[512];
  std::snprintf(withScript, sizeof withScript, form, "onchange=reloadInLanguage");
  std::snprintf(without, sizeof without, form, "");
  Window().AddPage(u"http://travel.example/book", withScript);
  Window().AddPage(u"http://travel.example/book-fr", without);
  int reloads = 0;
  Window().Scripts().Bind(u"reloadInLanguage", [&](memdom::ScriptContext& context) {
    ++reloads;
    context.Navigate(u"book-fr");
  });
  Window().Load(u"http://travel.example/book");
  memdom::TypeText(Window().Element(u"user"), u"ada");
  memdom::TypeText(Window().Element(u"pass"), u"pw");
  Window().Element(u"lang").As<platform::PageSelectElement>()->setSelectedIndex(2);
  SavePageForms(Window(), Server(), u"Booking");

  // The dialog offers the card (a stored card, no automatic fill); the
  // user picks it and presses Fill. Choosing the language navigates; the
  // request is kept and carried out on the next page.
  env.Backend.ClearJournal();
  env.Backend.Script(u"QMDialog", {Action::Select(u"FormSetListBox", u"Booking"),
                                   Action::SetChecked(u"OnlyEmptyCheckBox", false),
                                   Action::Click(u"BitBtn2")});
  EXPECT_EQ(Window().Load(u"http://travel.example/book"), 2u);
  EXPECT_EQ(FillDialogShows(), 2) << "offered on both pages: nothing fills them by itself";
  EXPECT_EQ(reloads, 1);
  EXPECT_EQ(Window().Browser()->LocationURL(), u"http://travel.example/book-fr");
  EXPECT_EQ(Window().Value(u"user"), u"ada");
  EXPECT_EQ(Window().Value(u"pass"), u"pw");
  EXPECT_EQ(Window().Value(u"lang"), u"Français");
  EXPECT_FALSE(Helper().PendingFill()) << "carried out, then forgotten";
}

}  // namespace
}  // namespace qm

// Saving what the user submits, end to end: a browser window of the
// built-in engine, the real manager in process on a temporary store, and
// the scripted user answering the store dialog. What was stored is read
// back through the manager's own interface.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addon/dialogs/QMDialogUnit.h"
#include "core/Common/QMCommonUtils.h"
#include "core/Common/QMTransitUtils.h"
#include "core/Common/WideStrings.h"
#include "engines/memdom/UserActions.h"
#include "manager/service/QoraManager.h"
#include "platform/com/ErrorInfo.h"
#include "platform/rtl/Utf.h"
#include "testsupport/BhoWindow.h"

namespace qm {
namespace {

using platform::ComPtr;
using platform::PageElement;
using testing::TBhoEnvironment;
using testing::TBhoWindow;
using Action = platform::ui::TUserAction;
using JournalKind = platform::ui::TJournalEntry::TKind;
namespace ui = platform::ui;

constexpr char16_t LoginUrl[] = u"http://www.site.example/login";
constexpr char16_t LoginKey[] = u"http://site.example/login";
constexpr char LoginForm[] =
    "<form id=f action=welcome method=post><input id=user name=user>"
    "<input id=pass type=password name=pass><input id=go type=submit name=go value=Go></form>";
constexpr char16_t SelectFormQuestion[] =
    u"There are more than one form on the page.\r\nAre you want to select a form to submit?";

class Saving : public ::testing::Test {
protected:
  void SetUp() override {
    Window().AddPage(LoginUrl, LoginForm);
    Window().AddPage(u"http://www.site.example/welcome", "<p>Welcome</p>");
  }

  TBhoWindow& Window() { return env.Window; }
  TVxBrowserHelperObject& Helper() { return env.Window.Helper(); }
  IQoraServer& Server() { return env.Manager.Server(); }

  // The user fills the login form and presses Go; the page it leads to
  // is loaded.
  void TypeAndSubmit(const std::u16string& user, const std::u16string& pass) {
    memdom::TypeText(Window().Element(u"user"), user);
    memdom::TypeText(Window().Element(u"pass"), pass);
    memdom::ClickAsUser(Window().Element(u"go"));
    Window().RunPending();
  }
  // The next store dialog is answered with name and Ok.
  void AnswerStoreDialog(const std::u16string& name) {
    env.Backend.Script(u"QMStoreDialog",
                       {Action::Type(u"FormSetNameEdit", name), Action::Click(u"Button1")});
  }
  std::vector<ui::TJournalEntry> Shown(const std::u16string& form) const {
    std::vector<ui::TJournalEntry> shown;
    for (const auto& entry : env.Backend.Entries(JournalKind::FormShown))
      if (entry.Form == form) shown.push_back(entry);
    return shown;
  }
  std::vector<std::u16string> Messages() const {
    std::vector<std::u16string> texts;
    for (const auto& entry : env.Backend.Entries(JournalKind::Message))
      texts.push_back(entry.Text);
    return texts;
  }
  // The page's cards as the manager lists them for the store dialog.
  std::u16string ExistingNames(const std::u16string& key) {
    String existing;
    String proposed;
    platform::OleCheck(Server().GetDefaultCardNames(key, existing, proposed));
    return existing;
  }
  // The value of a control as a stored form set holds it.
  std::u16string StoredValue(const std::u16string& key, const std::u16string& name,
                             const std::u16string& control) {
    Variant stream;
    bool passwordNeeded = false;
    platform::OleCheck(Server().LoadFormSet(key, name, stream, passwordNeeded));
    EXPECT_FALSE(passwordNeeded);
    TMemoryStream bytes;
    VariantToStream(stream, bytes);
    bytes.SetPosition(0);
    TTransitFormSet set;
    EXPECT_TRUE(set.ReadFromStream(bytes));
    for (int c = 0; c < set.Count(); ++c) {
      for (int f = 0; f < set[c].Fields.Count(); ++f) {
        if (set[c].Fields[f].Name == control) return set[c].Fields[f].Value;
      }
    }
    ADD_FAILURE() << "no control of that name stored";
    return {};
  }
  void ProtectActiveProfile() {
    auto& store = env.Manager.Store();
    store.SetPassword(store.ActiveProfile().Id, u"s3cret");
  }
  void AnswerPassword(const std::u16string& password) {
    env.Backend.Script(u"Enter password",
                       {Action::Type(u"PasswordEdit", password), Action::Click(u"OKButton")});
  }

  TBhoEnvironment env;
};

TEST_F(Saving, ASubmittedFormIsNamedInTheStoreDialogAndFillsTheNextVisit) {
  Window().Load(LoginUrl);
  AnswerStoreDialog(u"Ada's login");
  TypeAndSubmit(u"ada", u"secret");
  EXPECT_EQ(Window().Browser()->LocationURL(), u"http://www.site.example/welcome")
      << "saving does not hold the submission up";

  const auto dialogs = Shown(u"QMStoreDialog");
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].Caption, u"Save form-card");
  // Proposed by the manager for a page without cards: its host.
  EXPECT_NE(dialogs[0].Text.find(u"site.example"), std::u16string::npos)
      << platform::U8(dialogs[0].Text);
  EXPECT_EQ(env.Manager.FormSetNames(LoginKey), std::vector<String>{u"Ada's login"});
  EXPECT_EQ(StoredValue(LoginKey, u"Ada's login", u"user"), u"ada");
  EXPECT_EQ(StoredValue(LoginKey, u"Ada's login", u"pass"), u"secret");
  // The dialog's default choice is "all profiles".
  EXPECT_EQ(ExistingNames(LoginKey), u"\"1=Ada's login\"");

  Window().Load(LoginUrl);
  EXPECT_EQ(Window().Value(u"user"), u"ada");
  EXPECT_EQ(Window().Value(u"pass"), u"secret");
  EXPECT_EQ(Helper().PageForms()[0].MatchScore, 100);
}

TEST_F(Saving, ASubmissionTheStoredSetAlreadyHoldsSavesNothingAndAsksNothing) {
  Window().Load(LoginUrl);
  AnswerStoreDialog(u"Login");
  TypeAndSubmit(u"ada", u"secret");
  env.Backend.ClearJournal();

  // Filled from the card and submitted as it is: nothing new.
  Window().Load(LoginUrl);
  ASSERT_EQ(Window().Value(u"user"), u"ada");
  memdom::ClickAsUser(Window().Element(u"go"));
  Window().RunPending();
  EXPECT_TRUE(Shown(u"QMStoreDialog").empty());
  EXPECT_TRUE(Messages().empty());
  EXPECT_EQ(env.Manager.FormSetNames(LoginKey), std::vector<String>{u"Login"});

  // Another user's values are something new.
  Window().Load(LoginUrl);
  AnswerStoreDialog(u"Grace");
  memdom::TypeText(Window().Element(u"user"), u"grace");
  memdom::ClickAsUser(Window().Element(u"go"));
  Window().RunPending();
  EXPECT_EQ(Shown(u"QMStoreDialog").size(), 1u);
  EXPECT_EQ(env.Manager.FormSetNames(LoginKey).size(), 2u);
}

TEST_F(Saving, WithSaveAtOnceASubmissionIsStoredUnderTheProposedNameWithoutDefault) {
  env.Manager.SetOptions(0x19 | 0x80);
  Window().Load(LoginUrl);
  ASSERT_EQ(Helper().Agent().OnSubmit(), 2);
  TypeAndSubmit(u"ada", u"secret");
  EXPECT_TRUE(env.Backend.Entries(JournalKind::FormShown).empty());
  EXPECT_EQ(env.Manager.FormSetNames(LoginKey), std::vector<String>{u"site.example"});
  EXPECT_EQ(ExistingNames(LoginKey), u"0=site.example");
  EXPECT_EQ(StoredValue(LoginKey, u"site.example", u"user"), u"ada");
}

TEST_F(Saving, NothingIsStoredWhenTheUserSwitchedOffOrCancelled) {
  Window().Load(LoginUrl);
  Helper().Agent().SetActive(false);
  TypeAndSubmit(u"ada", u"secret");
  EXPECT_TRUE(env.Backend.Entries(JournalKind::FormShown).empty());
  Helper().Agent().SetActive(true);
  Window().Load(LoginUrl);
  env.Backend.Script(u"QMStoreDialog",
                     {Action::Type(u"FormSetNameEdit", u"X"), Action::Click(u"Button2")});
  TypeAndSubmit(u"ada", u"secret");
  EXPECT_EQ(Shown(u"QMStoreDialog").size(), 1u);
  EXPECT_TRUE(env.Manager.FormSetNames(LoginKey).empty());
}

TEST_F(Saving, WithSubmitsIgnoredNothingIsAskedOrStored) {
  env.Manager.SetOptions(0x19);  // OnSubmit 0
  Window().Load(LoginUrl);
  ASSERT_EQ(Helper().Agent().OnSubmit(), 0);
  TypeAndSubmit(u"ada", u"secret");
  EXPECT_TRUE(env.Backend.Entries(JournalKind::FormShown).empty());
  EXPECT_TRUE(env.Manager.FormSetNames(LoginKey).empty());
}

TEST_F(Saving, TheStoreDialogCarriesTheManagersBannerWhenItShowsOne) {
  env.Manager.Store().SetBannerMode(1);
  Window().Load(LoginUrl);
  ASSERT_EQ(Helper().Agent().BannerMode(), 1);
  env.Backend.Script(u"QMStoreDialog", {Action::Click(u"Button2")});
  Helper().Agent().SaveForms();
  const auto dialogs = Shown(u"QMStoreDialog");
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_NE(dialogs[0].Text.find(u"BannerPanel"), std::u16string::npos)
      << platform::U8(dialogs[0].Text);
}

TEST_F(Saving, SaveFormsOnAPageWithoutFormsSaysSo) {
  Window().Load(u"http://www.site.example/welcome");
  Helper().Agent().SaveForms();
  ASSERT_EQ(Messages(), std::vector<std::u16string>{u"There are not forms on the page!"});
  EXPECT_EQ(env.Backend.Entries(JournalKind::Message)[0].Caption, u"Quillora");
  EXPECT_TRUE(Shown(u"QMStoreDialog").empty());
}

TEST_F(Saving, SaveFormsOnTwoFormsOffersTheManagerAtTheNewSet) {
  Window().AddPage(u"http://site.example/two",
                   "<form action=a><input name=q></form><form action=b method=post>"
                   "<input id=mail name=mail></form>");
  Window().Load(u"http://site.example/two");
  memdom::TypeText(Window().Element(u"mail"), u"ada@site.example");
  AnswerStoreDialog(u"Both");
  env.Backend.Answer(ui::IDYES);
  Helper().Agent().SaveForms();
  ASSERT_EQ(Messages(), std::vector<std::u16string>{SelectFormQuestion});
  const auto question = env.Backend.Entries(JournalKind::Message)[0];
  EXPECT_EQ(question.Caption, u"Question");
  EXPECT_EQ(question.Icon, ui::TMsgIcon::Question);
  const auto requests = env.Manager.Manager().ShowRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].Kind, 0);
  EXPECT_EQ(requests[0].Url, u"http://site.example/two");
  EXPECT_EQ(requests[0].Name, u"Both");
  EXPECT_EQ(StoredValue(u"http://site.example/two", u"Both", u"mail"), u"ada@site.example");

  // No leaves the manager alone.
  AnswerStoreDialog(u"Again");
  env.Backend.Answer(ui::IDNO);
  Helper().Agent().SaveForms();
  EXPECT_EQ(env.Manager.Manager().ShowRequests().size(), 1u);
}

TEST_F(Saving, AProtectedProfileAsksForThePasswordAndARefusedLogInAsksForAnotherName) {
  ProtectActiveProfile();
  Window().Load(LoginUrl);
  env.Backend.ClearJournal();  // the page's fill asked for the password too
  // The save needs the log-in: refused, nothing is stored and nothing said.
  AnswerStoreDialog(u"Mine");
  env.Backend.Script(u"Enter password", {Action::Click(u"CancelButton")});
  Helper().Agent().SaveForms();
  EXPECT_TRUE(Messages().empty());
  EXPECT_TRUE(env.Manager.FormSetNames(LoginKey).empty());
  env.Backend.ClearJournal();
  // Given, the card is saved.
  AnswerStoreDialog(u"Mine");
  AnswerPassword(u"s3cret");
  memdom::TypeText(Window().Element(u"user"), u"ada");
  Helper().Agent().SaveForms();
  EXPECT_EQ(Shown(u"EnterPasswordForm").size(), 1u);
  EXPECT_EQ(env.Manager.FormSetNames(LoginKey), std::vector<String>{u"Mine"});
  EXPECT_EQ(StoredValue(LoginKey, u"Mine", u"user"), u"ada");

  // Logged out, the protected card of that name can't be replaced: the
  // refused log-in brings the store dialog back, and the other name is
  // saved after the log-in it needs.
  Helper().Agent().SetLoggedIn(false);
  env.Backend.ClearJournal();
  AnswerStoreDialog(u"Mine");
  env.Backend.Script(u"Enter password", {Action::Click(u"CancelButton")});
  AnswerStoreDialog(u"Other");
  AnswerPassword(u"s3cret");
  memdom::TypeText(Window().Element(u"user"), u"x");
  Helper().Agent().SaveForms();
  EXPECT_EQ(Shown(u"QMStoreDialog").size(), 2u);
  EXPECT_FALSE(env.Backend.ScriptsLeft());
  const auto names = env.Manager.FormSetNames(LoginKey);
  EXPECT_EQ(names.size(), 2u);
  EXPECT_EQ(StoredValue(LoginKey, u"Mine", u"user"), u"ada") << "the old card stays";
  EXPECT_EQ(StoredValue(LoginKey, u"Other", u"user"), u"adax");
}

TEST_F(Saving, PostDataThatLeavesWithoutASubmitEventIsOfferedForSaving) {
  Window().Load(LoginUrl);
  memdom::TypeText(Window().Element(u"user"), u"ada");
  env.Backend.Answer(ui::IDYES);
  AnswerStoreDialog(u"Scripted");
  // A page script submits without raising onsubmit.
  Window().Element(u"f").As<platform::PageFormElement>()->submit();
  Window().RunPending();
  ASSERT_EQ(Messages(), std::vector<std::u16string>{u"May be form submition!\r\nSave it?"});
  EXPECT_EQ(env.Backend.Entries(JournalKind::Message)[0].Caption, u"Question");
  EXPECT_EQ(StoredValue(LoginKey, u"Scripted", u"user"), u"ada");
}

TEST_F(Saving, NamesWithQuotesCommasLineBreaksAndOtherScriptsArriveIntact) {
  const std::u16string name = u"Ада \"main\", login\r\nsecond line";
  Window().Load(LoginUrl);
  AnswerStoreDialog(name);
  TypeAndSubmit(u"ada", u"secret");
  EXPECT_EQ(env.Manager.FormSetNames(LoginKey), std::vector<String>{name});
  // The next store dialog lists it as it is.
  Window().Load(LoginUrl);
  memdom::TypeText(Window().Element(u"user"), u"other");
  env.Backend.Script(u"QMStoreDialog", {Action::Click(u"Button2")});
  Helper().Agent().SaveForms();
  const auto dialogs = Shown(u"QMStoreDialog");
  ASSERT_EQ(dialogs.size(), 2u);
  EXPECT_NE(dialogs[1].Text.find(u"Ада \"main\", login"), std::u16string::npos)
      << platform::U8(dialogs[1].Text);
}

TEST_F(Saving, ASubmissionWhoseNameTheManagerRefusesIsToldAndStillSubmitted) {
  Window().Load(LoginUrl);
  AnswerStoreDialog(std::u16string(10000, u'n'));
  TypeAndSubmit(u"ada", u"secret");
  const auto messages = env.Backend.Entries(JournalKind::Message);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].Caption, u"Error");
  EXPECT_NE(messages[0].Text.find(u"too long"), std::u16string::npos)
      << platform::U8(messages[0].Text);
  EXPECT_TRUE(env.Manager.FormSetNames(LoginKey).empty());
  EXPECT_EQ(Window().Browser()->LocationURL(), u"http://www.site.example/welcome");
}

TEST_F(Saving, FormsTooLargeForTheManagerAreRefusedBeforeTheCardOfThatNameIsTouched) {
  Window().AddPage(u"http://site.example/notes",
                   "<form action=keep method=post><input id=title name=title>"
                   "<textarea id=body name=body></textarea></form>");
  Window().Load(u"http://site.example/notes");
  memdom::TypeText(Window().Element(u"title"), u"kept");
  AnswerStoreDialog(u"Notes");
  Helper().Agent().SaveForms();
  ASSERT_EQ(StoredValue(u"http://site.example/notes", u"Notes", u"title"), u"kept");

  // More than the manager takes in one stream, to be stored as Notes.
  Window().Element(u"body").As<platform::PageTextAreaElement>()->setValue(
      std::u16string(9'000'000, u'x'));
  AnswerStoreDialog(u"Notes");
  EXPECT_THROW(Helper().Agent().SaveForms(), std::exception);
  EXPECT_TRUE(env.Backend.ScriptsLeft()) << "refused before the user was asked";
  EXPECT_EQ(env.Manager.FormSetNames(u"http://site.example/notes"), std::vector<String>{u"Notes"});
  EXPECT_EQ(StoredValue(u"http://site.example/notes", u"Notes", u"title"), u"kept");
}

TEST_F(Saving, TheDefaultAndDeleteCommandsChangeTheStoredCards) {
  env.Manager.SetOptions(0x19 | 0x80);
  Window().Load(LoginUrl);
  TypeAndSubmit(u"ada", u"secret");
  Window().Load(LoginUrl);
  memdom::TypeText(Window().Element(u"user"), u"grace");
  AnswerStoreDialog(u"Grace");
  Helper().Agent().SaveForms();  // the command asks even when submits are saved at once
  EXPECT_EQ(Shown(u"QMStoreDialog").size(), 1u);
  ASSERT_EQ(env.Manager.FormSetNames(LoginKey).size(), 2u);

  // Grace, named in the dialog, is the default for all profiles; the fill
  // dialog's menu makes the first the active profile's own, drops that,
  // and deletes a card.
  auto& store = env.Manager.Store();
  const auto profile = store.ActiveProfile().Id;
  EXPECT_EQ(store.DefaultCardName(0, LoginKey, profile), u"Grace");
  Helper().Agent().ShowDialog(true);
  TQMDialog* dialog = Helper().Agent().FillDialog();
  ASSERT_NE(dialog, nullptr);
  ASSERT_TRUE(dialog->Visible());
  env.Backend.Perform(*dialog, Action::Select(u"FormSetListBox", u"site.example"));
  env.Backend.Perform(*dialog,
                      Action::ContextMenu(u"FormSetListBox", u"Set default for active profile"));
  EXPECT_EQ(store.DefaultCardName(0, LoginKey, profile), u"site.example");
  env.Backend.Perform(*dialog, Action::Select(u"FormSetListBox", u"site.example"));
  env.Backend.Perform(*dialog, Action::ContextMenu(u"FormSetListBox",
                                                   u"Drop default form card for active profile"));
  EXPECT_EQ(store.DefaultCardName(0, LoginKey, profile), u"Grace");
  env.Backend.Perform(*dialog, Action::Select(u"FormSetListBox", u"site.example"));
  env.Backend.Perform(*dialog, Action::ContextMenu(u"FormSetListBox", u"Delete"));
  EXPECT_EQ(env.Manager.FormSetNames(LoginKey), std::vector<String>{u"Grace"});
  // The dialog lists what is left.
  EXPECT_EQ(dialog->FormSetListBox.Count(), 1);
}

TEST_F(Saving, DeletingAProtectedCardLogsInFirst) {
  ProtectActiveProfile();
  Window().Load(LoginUrl);
  AnswerStoreDialog(u"Mine");
  AnswerPassword(u"s3cret");
  Helper().Agent().SaveForms();
  ASSERT_EQ(env.Manager.FormSetNames(LoginKey).size(), 1u);
  Helper().Agent().SetLoggedIn(false);
  env.Backend.Script(u"Enter password", {Action::Click(u"CancelButton")});
  Helper().DeleteCardCommand(LoginKey, u"Mine");
  EXPECT_EQ(env.Manager.FormSetNames(LoginKey).size(), 1u) << "cancelled: kept";
  AnswerPassword(u"s3cret");
  Helper().DeleteCardCommand(LoginKey, u"Mine");
  EXPECT_TRUE(env.Manager.FormSetNames(LoginKey).empty());
}

TEST_F(Saving, AStoppedRecordingIsNamedAndStoredAsANavigationCard) {
  Window().Load(LoginUrl);
  const Variant recording = Variant::FromBytes({1, 2, 3, 4});
  env.Backend.Script(u"QMStoreDialog",
                     {Action::Type(u"FormSetNameEdit", u"To welcome"), Action::Click(u"Button1")});
  Helper().SaveNavigations(LoginKey, recording);
  const auto dialogs = Shown(u"QMStoreDialog");
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].Caption, u"Save navigations");
  Variant list;
  String selected;
  platform::OleCheck(Server().ListCards(CardKindNavigation, LoginKey, list, selected));
  EXPECT_EQ(selected, u"To welcome") << "the default choice is the active profile";
  Variant data;
  bool passwordNeeded = false;
  platform::OleCheck(
      Server().LoadCard(CardKindNavigation, LoginKey, u"To welcome", data, passwordNeeded));
  ASSERT_TRUE(data.IsArray());
  EXPECT_EQ(data.ArrayCount(), 4);

  // The same recording again: the dialog proposes the name it has.
  env.Backend.Script(u"QMStoreDialog", {Action::Click(u"Button2")});
  Helper().SaveNavigations(LoginKey, recording);
  EXPECT_NE(Shown(u"QMStoreDialog")[1].Text.find(u"To welcome"), std::u16string::npos);
  // Nothing to store without an address or a recording: no dialog.
  Helper().SaveNavigations(u"", recording);
  Helper().SaveNavigations(LoginKey, Variant());
  EXPECT_EQ(Shown(u"QMStoreDialog").size(), 2u);
}

TEST_F(Saving, ARecordingForAProtectedProfileIsStoredAfterTheLogIn) {
  ProtectActiveProfile();
  Window().Load(LoginUrl);
  env.Backend.ClearJournal();
  AnswerStoreDialog(u"Steps");
  env.Backend.Script(u"Enter password",
                     {Action::Type(u"PasswordEdit", u"wrong"), Action::Click(u"OKButton")});
  // Refused: the store dialog isn't asked again and again.
  Helper().SaveNavigations(LoginKey, Variant::FromBytes({7}));
  EXPECT_EQ(Shown(u"QMStoreDialog").size(), 1u);
  EXPECT_FALSE(env.Backend.ScriptsLeft());
  AnswerStoreDialog(u"Steps");
  AnswerPassword(u"s3cret");
  AnswerStoreDialog(u"Steps");
  Helper().SaveNavigations(LoginKey, Variant::FromBytes({7}));
  EXPECT_FALSE(env.Backend.ScriptsLeft()) << "asked again once logged in";
  Variant list;
  String selected;
  platform::OleCheck(Server().ListCards(CardKindNavigation, LoginKey, list, selected));
  ASSERT_TRUE(list.IsArray());
  EXPECT_EQ(list.ArrayCount(), 1);
  EXPECT_EQ(selected, u"Steps");
}

TEST_F(Saving, APageNoteIsFetchedOncePerPageKey) {
  env.Manager.Store().SetPageNote({LoginKey, u"Closed", u"Back on Monday"});
  Window().Load(LoginUrl);
  EXPECT_EQ(Helper().Agent().NoteText(), u"======\r\nClosed\r\n------\r\nBack on Monday\r\n");
  ASSERT_NE(Helper().Agent().FillDialog(), nullptr);
  EXPECT_TRUE(Helper().Agent().IsDialogVisible()) << "the note is shown in the fill dialog";
  // Changed in the manager meanwhile: the cached note stands for the key.
  env.Manager.Store().SetPageNote({LoginKey, u"Open", u"Again"});
  Window().Load(LoginUrl);
  EXPECT_EQ(Helper().Agent().NoteText(), u"======\r\nClosed\r\n------\r\nBack on Monday\r\n");
  // Another key fetches; a note without text shows nothing.
  env.Manager.Store().SetPageNote({u"http://site.example/welcome", u"Title only", u""});
  Window().Load(u"http://www.site.example/welcome");
  EXPECT_EQ(Helper().Agent().NoteText(), u"");
  // A fill request clears it.
  Window().Load(LoginUrl);
  Helper().UpdatePageNote(false);
  EXPECT_EQ(Helper().Agent().NoteText(), u"");
}

}  // namespace
}  // namespace qm

// The field commands end to end: the focus in a page control of the
// built-in engine, the command raised through the agent as the toolbar
// raises it, the bind-field dialog answered by the scripted user, and the
// real manager in process, whose store is read back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "addon/BHO/FillFormUtils.h"
#include "engines/memdom/UserActions.h"
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

constexpr char16_t PageUrl[] = u"http://forms.example/profile";
constexpr char Page[] =
    "<form action=save method=post><input id=handle name=zq_handle>"
    "<input id=town name=town value='Lund'>"
    "<select id=langs name=langs multiple><option selected>One<option>Two<option selected>"
    "Two words</select>"
    "<select id=pick name=pick><option>One<option>Two</select>"
    "<input id=upload type=file name=upload><textarea id=notes name=notes></textarea></form>"
    "<p id=text>Text</p>";

class FieldCommands : public ::testing::Test {
protected:
  void SetUp() override {
    env.Manager.SetFieldValue(u"Nickname", u"adalove");
    env.Manager.SetFieldValue(u"Last name", u"Lovelace");
    Window().AddPage(PageUrl, Page);
    Window().Load(PageUrl);
    env.Backend.ClearJournal();
  }

  TBhoWindow& Window() { return env.Window; }
  TVxBrowserHelperObject& Helper() { return env.Window.Helper(); }
  TQuillmateAgent& Agent() { return env.Window.Agent(); }
  void Focus(const std::u16string& id) { memdom::FocusElement(Window().Element(id)); }
  // The next bind-field dialog picks caption in the list and says OK.
  void Pick(const std::u16string& caption) {
    env.Backend.Script(u"ProfileBindFieldForm",
                       {Action::Select(u"TextListBox", caption), Action::Click(u"OKButton")});
  }
  std::vector<ui::TJournalEntry> BindDialogs() const {
    std::vector<ui::TJournalEntry> shown;
    for (const auto& entry : env.Backend.Entries(JournalKind::FormShown))
      if (entry.Form == u"ProfileBindFieldForm") shown.push_back(entry);
    return shown;
  }
  std::u16string Attribute(const std::u16string& id) {
    std::u16string text;
    GetAttributeText(Window().Element(id), ProfileFieldAttribute, text);
    return text;
  }
  // Whether a list in a dialog's picture shows entry selected.
  static bool ShowsSelected(const std::u16string& picture, const std::u16string& entry) {
    size_t at = 0;
    while ((at = picture.find(u": " + entry + u"\n", at)) != std::u16string::npos) {
      const size_t line = picture.rfind(u'\n', at);
      const size_t mark = picture.find(u'>', line == std::u16string::npos ? 0 : line);
      if (mark < at) return true;
      ++at;
    }
    return false;
  }
  manager::TFieldValue StoredField(const std::u16string& caption) {
    auto& store = env.Manager.Store();
    return store.FieldValue(store.ActiveProfile().Id, store.FieldCaptioned(caption));
  }

  TBhoEnvironment env;
};

TEST_F(FieldCommands, BindFieldFillsAndMarksTheControlAndRemembersTheChoice) {
  Focus(u"handle");
  Pick(u"Last name");
  Agent().BindField();
  ASSERT_EQ(BindDialogs().size(), 1u);
  EXPECT_EQ(BindDialogs()[0].Caption, u"Bind field");
  EXPECT_EQ(Window().Value(u"handle"), u"Lovelace");
  EXPECT_EQ(Attribute(u"handle"), u"Last name");
  EXPECT_EQ(Window().Element(u"handle")->style()->backgroundColor(), BoundBackgroundColor);

  // A field without binding opens at the group and field chosen last.
  Focus(u"town");
  env.Backend.Script(u"ProfileBindFieldForm", {Action::Click(u"CancelButton")});
  Agent().BindField();
  const auto dialogs = BindDialogs();
  ASSERT_EQ(dialogs.size(), 2u);
  EXPECT_TRUE(ShowsSelected(dialogs[1].Text, u"Last name")) << platform::U8(dialogs[1].Text);
  EXPECT_EQ(Window().Value(u"town"), u"Lund") << "cancelled: untouched";
  EXPECT_EQ(Attribute(u"town"), u"");
}

TEST_F(FieldCommands, BindFieldOnABoundControlPreselectsItsBinding) {
  // Chosen last: Nickname; the control is bound to Last name.
  Focus(u"town");
  Pick(u"Nickname");
  Agent().BindField();
  ASSERT_EQ(Attribute(u"town"), u"Nickname");
  SetAttributeText(Window().Element(u"handle"), ProfileFieldAttribute, u"Last name");
  Focus(u"handle");
  env.Backend.Script(u"ProfileBindFieldForm", {Action::Click(u"OKButton")});
  Agent().BindField();
  const auto dialogs = BindDialogs();
  ASSERT_EQ(dialogs.size(), 2u);
  EXPECT_TRUE(ShowsSelected(dialogs[1].Text, u"Last name")) << platform::U8(dialogs[1].Text);
  EXPECT_EQ(Window().Value(u"handle"), u"Lovelace");
}

TEST_F(FieldCommands, UnbindFieldTakesTheMarkAwayWithoutTellingTheManager) {
  Focus(u"handle");
  Pick(u"Last name");
  Agent().BindField();
  ASSERT_EQ(Attribute(u"handle"), u"Last name");
  Agent().UnbindField();
  EXPECT_EQ(Attribute(u"handle"), u"");
  EXPECT_EQ(Window().Element(u"handle")->style()->backgroundColor(), u"");
  EXPECT_EQ(Window().Element(u"handle")->title(), u"");
  EXPECT_EQ(Window().Value(u"handle"), u"Lovelace");
}

TEST_F(FieldCommands, ASynonymMakesAnotherPagesControlOfThatNameFillFromTheProfile) {
  Window().AddPage(u"http://other.example/join",
                   "<form action=join><input id=nick name=zq_handle></form>");
  Window().Load(u"http://other.example/join");
  ASSERT_EQ(Window().Value(u"nick"), u"") << "the name means nothing yet";

  Window().Load(PageUrl);
  Focus(u"handle");
  Pick(u"Nickname");
  Agent().AddSynonym();
  const auto dialogs = BindDialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].Caption, u"Add field synonim");
  EXPECT_NE(dialogs[0].Text.find(u"zq_handle"), std::u16string::npos)
      << platform::U8(dialogs[0].Text);

  Window().Load(u"http://other.example/join");
  EXPECT_EQ(Window().Value(u"nick"), u"adalove");
}

TEST_F(FieldCommands, TheEditedSynonymIsWhatTheManagerLearns) {
  Focus(u"handle");
  env.Backend.Script(u"ProfileBindFieldForm",
                     {Action::Type(u"SynonimEdit", u"  zq_moniker  "),
                      Action::Select(u"TextListBox", u"Nickname"), Action::Click(u"OKButton")});
  Agent().AddSynonym();
  Window().AddPage(u"http://other.example/join",
                   "<form action=join><input id=a name=zq_moniker><input id=b name=zq_handle>"
                   "</form>");
  Window().Load(u"http://other.example/join");
  EXPECT_EQ(Window().Value(u"a"), u"adalove");
  EXPECT_EQ(Window().Value(u"b"), u"");
}

TEST_F(FieldCommands, AddValueSendsTheSelectedOptionsOfAMultipleSelectAsOneCommaText) {
  Focus(u"langs");
  Pick(u"City");
  Agent().AddValue();
  const auto dialogs = BindDialogs();
  ASSERT_EQ(dialogs.size(), 1u);
  EXPECT_EQ(dialogs[0].Caption, u"Add field value");
  EXPECT_NE(dialogs[0].Text.find(u"\"One,\"\"Two words\"\"\""), std::u16string::npos)
      << platform::U8(dialogs[0].Text);
  const auto stored = StoredField(u"City");
  EXPECT_EQ(ParseCommaText(stored.Candidates), (std::vector<std::u16string>{u"One", u"Two words"}));
}

TEST_F(FieldCommands, AddValueOfAnInputAddsItsValueNotTheEditedLine) {
  Focus(u"town");
  env.Backend.Script(u"ProfileBindFieldForm",
                     {Action::Type(u"SynonimEdit", u"Malmö"),
                      Action::Select(u"TextListBox", u"City"), Action::Click(u"OKButton")});
  Agent().AddValue();
  EXPECT_EQ(ParseCommaText(StoredField(u"City").Candidates), std::vector<std::u16string>{u"Lund"});
  // An empty control has no value to add: no dialog.
  Focus(u"handle");
  Agent().AddValue();
  EXPECT_EQ(BindDialogs().size(), 1u);
}

TEST_F(FieldCommands, AValueWithCommasQuotesLineBreaksAndOtherScriptsArrivesAsOneValue) {
  const std::u16string value = u"Malmö, \"Skåne\"\r\nГород";
  Window().Element(u"notes").As<platform::PageTextAreaElement>()->setValue(value);
  Focus(u"notes");
  Pick(u"City");
  Agent().AddValue();
  // The page holds the line break as a textarea does (a line feed).
  const std::u16string held = Window().Value(u"notes");
  ASSERT_NE(held.find(u'\n'), std::u16string::npos);
  EXPECT_EQ(ParseCommaText(StoredField(u"City").Candidates), std::vector<std::u16string>{held});
}

TEST_F(FieldCommands, AddAllValuesHandsEveryOptionToTheManager) {
  Focus(u"pick");
  Agent().AddAllValues();
  Focus(u"town");
  Agent().AddAllValues();
  std::vector<std::u16string> collected;
  for (const auto& value : env.Manager.Store().CollectedValues())
    collected.push_back(value.Value);
  EXPECT_EQ(collected, (std::vector<std::u16string>{u"One", u"Two", u"Lund"}));
  EXPECT_TRUE(BindDialogs().empty());
}

TEST_F(FieldCommands, TheFocusInAFileInputIsRefused) {
  Focus(u"upload");
  Agent().BindField();
  Agent().AddSynonym();
  Agent().AddValue();
  Agent().AddAllValues();
  const auto messages = env.Backend.Entries(JournalKind::Message);
  ASSERT_EQ(messages.size(), 4u);
  for (const auto& message : messages) {
    EXPECT_EQ(message.Text, u"Cannot bind this field!");
    EXPECT_EQ(message.Caption, u"Warning");
  }
  EXPECT_TRUE(BindDialogs().empty());
  EXPECT_TRUE(env.Manager.Store().CollectedValues().empty());
  // Unbinding looks at nothing but the mark.
  Agent().UnbindField();
  EXPECT_EQ(env.Backend.Entries(JournalKind::Message).size(), 4u);
}

TEST_F(FieldCommands, WithoutAFocusedFieldNothingHappens) {
  Focus(u"text");
  Agent().BindField();
  Agent().AddValue();
  Agent().AddAllValues();
  Window().AddPage(u"http://forms.example/none", "<p>No forms</p>");
  Window().Load(u"http://forms.example/none");
  Agent().AddSynonym();
  EXPECT_TRUE(env.Backend.Journal().empty());
  EXPECT_TRUE(env.Manager.Store().CollectedValues().empty());
}

TEST_F(FieldCommands, ACancelledLogInForTheProfileFieldsEndsWithoutADialog) {
  auto& store = env.Manager.Store();
  store.SetPassword(store.ActiveProfile().Id, u"s3cret");
  Focus(u"handle");
  env.Backend.Script(u"EnterPasswordForm", {Action::Click(u"CancelButton")});
  Agent().BindField();
  EXPECT_TRUE(BindDialogs().empty());
  EXPECT_EQ(Window().Value(u"handle"), u"");
  // Logged in, the list comes.
  env.Backend.Script(u"EnterPasswordForm",
                     {Action::Type(u"PasswordEdit", u"s3cret"), Action::Click(u"OKButton")});
  env.Backend.Script(u"ProfileBindFieldForm", {Action::Click(u"CancelButton")});
  Agent().BindField();
  EXPECT_EQ(BindDialogs().size(), 1u);
}

TEST_F(FieldCommands, ASynonymTheManagerRefusesReachesTheCallerAsAFailure) {
  Focus(u"handle");
  env.Backend.Script(u"ProfileBindFieldForm",
                     {Action::Type(u"SynonimEdit", std::u16string(10000, u'q')),
                      Action::Select(u"TextListBox", u"Nickname"), Action::Click(u"OKButton")});
  try {
    Agent().AddSynonym();
    ADD_FAILURE() << "a refused synonym passed as added";
  } catch (const std::exception& e) {
    EXPECT_NE(std::string(e.what()).find("too long"), std::string::npos) << e.what();
  }
}

}  // namespace
}  // namespace qm

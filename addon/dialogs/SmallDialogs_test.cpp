// The modal dialogs driven through the scripted backend: store, settings,
// bind-field and password.
#include <gtest/gtest.h>

#include <sstream>

#include "addon/dialogs/EnterPaswordUnit.h"
#include "addon/dialogs/ProfileBindFieldUnit.h"
#include "addon/dialogs/QMSettingsDlgUnit.h"
#include "addon/dialogs/StoreDialogUnit.h"
#include "platform/rtl/Utf.h"
#include "platform/ui/ScriptedBackend.h"
#include "platform/ui/TerminalBackend.h"

namespace qm {
namespace {

using platform::ui::TBackendScope;
using platform::ui::TScriptedBackend;
using platform::ui::TUserAction;
using Action = TUserAction;

class DialogTest : public ::testing::Test {
protected:
  TScriptedBackend backend;
  TBackendScope scope{backend};
};

// --- store dialog ---

using StoreDialog = DialogTest;

TEST_F(StoreDialog, ExistingNamesAreFlagEqualsNameEntriesOfACommaText) {
  TQMStoreDialog dialog(platform::NoWindow);
  backend.Script(u"QMStoreDialog",
                 {Action::Select(u"FormSetListBox", u"My card"), Action::Click(u"Button1")});
  int mode = DefaultForNobody;
  bool fillOnlyEmpty = false;
  std::u16string name = u"shop.example";
  ASSERT_TRUE(dialog.ExecuteWithFillOption(u"Save form-card", u"0=Login,\"1=My card\"", mode,
                                           fillOnlyEmpty, name, u"Home"));
  ASSERT_EQ(dialog.FormSetListBox.Count(), 2);
  EXPECT_EQ(dialog.FormSetListBox.Item(0).Text, u"Login");
  EXPECT_FALSE(dialog.FormSetListBox.Item(0).Flag);
  EXPECT_EQ(dialog.FormSetListBox.Item(1).Text, u"My card");
  EXPECT_TRUE(dialog.FormSetListBox.Item(1).Flag);
  EXPECT_EQ(name, u"My card");
  EXPECT_EQ(mode, DefaultForAllProfiles);
  EXPECT_FALSE(fillOnlyEmpty) << "the caller's flag was loaded into the box and read back";
  EXPECT_EQ(dialog.Caption(), u"Save form-card");
  EXPECT_EQ(dialog.DefRadioGroup.Items()[1], u"active profile \"Home\"");
}

TEST_F(StoreDialog, PickingANameWithoutTheFlagSelectsTheActiveProfile) {
  TQMStoreDialog dialog(platform::NoWindow);
  backend.Script(u"",
                 {Action::Select(u"FormSetListBox", 0), Action::PressKey(platform::ui::VK_RETURN)});
  int mode = DefaultForAllProfiles;
  std::u16string name;
  ASSERT_TRUE(dialog.Execute(u"Save navigations", u"0=Login", mode, name, u"Home"));
  EXPECT_EQ(name, u"Login");
  EXPECT_EQ(mode, DefaultForActiveProfile);
  EXPECT_FALSE(dialog.FillOnlyEmptyPanel.Visible());
}

TEST_F(StoreDialog, CancelLeavesTheCallersValuesAsTheyWereEvenAfterEdits) {
  TQMStoreDialog dialog(platform::NoWindow);
  backend.Script(u"",
                 {Action::Type(u"FormSetNameEdit", u"Other"), Action::Select(u"DefRadioGroup", 2),
                  Action::SetChecked(u"FillOnlyEmptyCheckBox", false), Action::Click(u"Button2")});
  int mode = DefaultForActiveProfile;
  bool fillOnlyEmpty = true;
  std::u16string name = u"Mine";
  EXPECT_FALSE(
      dialog.ExecuteWithFillOption(u"Save form-card", u"", mode, fillOnlyEmpty, name, u"Home"));
  EXPECT_EQ(name, u"Mine");
  EXPECT_EQ(mode, DefaultForActiveProfile);
  EXPECT_TRUE(fillOnlyEmpty);
  EXPECT_EQ(dialog.FormSetNameEdit.Text(), u"Other");
}

TEST_F(StoreDialog, AnEntryWithoutEqualsSignIsAnEmptyNameWithTheFlagSet) {
  TQMStoreDialog dialog(platform::NoWindow);
  int mode = 7;  // out of range: the last item, as the platform's group does
  std::u16string name;
  dialog.Execute(u"Save mail card", u"Lonely", mode, name, u"Home");
  ASSERT_EQ(dialog.FormSetListBox.Count(), 1);
  EXPECT_EQ(dialog.FormSetListBox.Item(0).Text, u"");
  EXPECT_TRUE(dialog.FormSetListBox.Item(0).Flag);
  EXPECT_EQ(dialog.DefRadioGroup.ItemIndex(), DefaultForAllProfiles);
}

TEST_F(StoreDialog, LayoutIsCentredWithItsMinimumSize) {
  platform::SetDesktopRect({0, 0, 1024, 768});
  TQMStoreDialog dialog(platform::NoWindow);
  EXPECT_EQ(dialog.Width(), 253);
  EXPECT_EQ(dialog.Height(), 225);
  EXPECT_EQ(dialog.Constraints().MinWidth, 230);
  EXPECT_EQ(dialog.FormSetNameEdit.Height(), 21);
  EXPECT_EQ(dialog.FormSetNameEdit.Width(), dialog.ClientWidth());
  EXPECT_EQ(dialog.DefRadioGroup.Height(), 72);
  EXPECT_EQ(dialog.DefRadioGroup.Caption(), u" Set as default to ");
  int mode = 0;
  std::u16string name;
  dialog.Execute(u"Save form-card", u"", mode, name, u"");
  const auto shown = backend.Entries(platform::ui::TJournalEntry::TKind::FormShown);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].Text.find(u"<Ok> Button1 (default)"), std::u16string::npos);
  EXPECT_EQ(dialog.Left(), (1024 - 253) / 2);
}

TEST(StoreDialogTerminal, APersonPicksAnExistingNameAtTheTerminal) {
  std::istringstream in("show\nselect FormSetListBox \"My card\"\nclick Button1\n");
  std::ostringstream out;
  platform::ui::TTerminalBackend terminal(in, out);
  TBackendScope scope(terminal);
  TQMStoreDialog dialog(platform::NoWindow);
  int mode = 0;
  bool fillOnlyEmpty = true;
  std::u16string name = u"new";
  ASSERT_TRUE(dialog.ExecuteWithFillOption(u"Save form-card", u"0=Login,\"1=My card\"", mode,
                                           fillOnlyEmpty, name, u"Home"));
  EXPECT_EQ(name, u"My card");
  EXPECT_EQ(mode, DefaultForAllProfiles);
  const std::string text = out.str();
  EXPECT_NE(text.find("== Save form-card ==\nFormSetNameEdit: \"new\"\n"
                      "[x] FillOnlyEmptyCheckBox: Fill only empty forms\n"
                      "DefRadioGroup:  Set as default to \n"
                      "  (*) 0: none\n  ( ) 1: active profile \"Home\"\n  ( ) 2: all profiles\n"
                      "FormSetListBox:\n    0: Login\n    1: My card\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("FormSetNameEdit: \"My card\""), std::string::npos);
}

// --- settings dialog ---

using SettingsDialog = DialogTest;

TEST_F(SettingsDialog, ASubmitOptionWithoutAutoFillStaysCheckedButDisabledAndIsReadBack) {
  TQMSettingsDialog dialog(platform::NoWindow);
  backend.Script(u"Quillora settings", {Action::Click(u"OKButton")});
  TQMOptions options;
  options.AutoFill = 0;
  options.AutoSubmit = 1;
  bool setAsDefault = false;
  ASSERT_TRUE(dialog.Execute(options, setAsDefault));
  EXPECT_TRUE(dialog.AutoSubmitCheckBox.Checked());
  EXPECT_FALSE(dialog.AutoSubmitCheckBox.Enabled());
  EXPECT_FALSE(dialog.AskConfirmCheckBox.Enabled());
  EXPECT_EQ(options.AutoSubmit, 1);
  EXPECT_TRUE(setAsDefault);
}

TEST_F(SettingsDialog, ADisabledDependentBoxCannotBeClicked) {
  TQMSettingsDialog dialog(platform::NoWindow);
  backend.Script(u"", {Action::SetChecked(u"AskConfirmCheckBox", true)});
  TQMOptions options;  // AutoSubmit off: AskConfirm is disabled
  bool setAsDefault = true;
  EXPECT_THROW(dialog.Execute(options, setAsDefault), platform::ui::EUserAction);
  EXPECT_FALSE(dialog.Visible());
}

TEST_F(SettingsDialog, DependenciesFollowEveryClick) {
  TQMSettingsDialog dialog(platform::NoWindow);
  backend.Script(u"",
                 {Action::SetChecked(u"AutoSubmitCheckBox", true),
                  Action::SetChecked(u"AskConfirmCheckBox", true),
                  Action::SetChecked(u"AutFillCheckBox", false),
                  Action::SetChecked(u"AutoFillNewCheckBox", false), Action::Click(u"OKButton")});
  TQMOptions options;
  bool setAsDefault = false;
  ASSERT_TRUE(dialog.Execute(options, setAsDefault));
  EXPECT_FALSE(dialog.AutoSubmitCheckBox.Enabled());
  EXPECT_FALSE(dialog.AskConfirmCheckBox.Enabled()) << "re-evaluated when AutoFill was clicked";
  EXPECT_FALSE(dialog.AutoBindCheckBox.Enabled());
  EXPECT_EQ(options, (TQMOptions{0, 1, 1, 1, 0, 0, 1}));
}

TEST_F(SettingsDialog, AnOnSubmitOfThreeChecksNoRadioButtonAndOkWritesZero) {
  TQMSettingsDialog dialog(platform::NoWindow);
  backend.Script(u"", {Action::PressKey(platform::ui::VK_RETURN)});
  TQMOptions options = TQMOptions::FromWord(0x1D1);
  ASSERT_EQ(options.OnSubmit, 3);
  bool setAsDefault = false;
  ASSERT_TRUE(dialog.Execute(options, setAsDefault));
  EXPECT_FALSE(dialog.NoneOnSubmitRadioButton.Checked());
  EXPECT_FALSE(dialog.AutoSaveOnSubmitRadioButton.Checked());
  EXPECT_FALSE(dialog.DialogOnSubmitRadioButton.Checked());
  EXPECT_EQ(options.OnSubmit, 0);
}

TEST_F(SettingsDialog, OnSubmitMapsToItsRadioButtonBothWays) {
  TQMSettingsDialog dialog(platform::NoWindow);
  backend.Script(
      u"", {Action::SetChecked(u"AutoSaveOnSubmitRadioButton", true), Action::Click(u"OKButton")});
  TQMOptions options;
  bool setAsDefault = false;
  ASSERT_TRUE(dialog.Execute(options, setAsDefault));
  EXPECT_EQ(options.OnSubmit, OnSubmitSaveAtOnce);
  EXPECT_FALSE(dialog.DialogOnSubmitRadioButton.Checked());
  backend.Script(u"", {Action::Click(u"OKButton")});
  options.OnSubmit = OnSubmitNothing;
  ASSERT_TRUE(dialog.Execute(options, setAsDefault));
  EXPECT_TRUE(dialog.NoneOnSubmitRadioButton.Checked());
}

TEST_F(SettingsDialog, CancelKeepsTheRecordAndAnswersNoDefault) {
  TQMSettingsDialog dialog(platform::NoWindow);
  backend.Script(u"",
                 {Action::SetChecked(u"AutoShowCheckBox", false), Action::Click(u"CancelButton")});
  TQMOptions options;
  bool setAsDefault = true;
  EXPECT_FALSE(dialog.Execute(options, setAsDefault));
  EXPECT_EQ(options, TQMOptions{});
  EXPECT_FALSE(setAsDefault);
}

TEST_F(SettingsDialog, UncheckingSetAsDefaultStillChangesTheRecord) {
  TQMSettingsDialog dialog(platform::NoWindow);
  backend.Script(u"",
                 {Action::SetChecked(u"AutoShowCheckBox", false),
                  Action::SetChecked(u"SetDefaultCheckBox", false), Action::Click(u"OKButton")});
  TQMOptions options;
  bool setAsDefault = true;
  ASSERT_TRUE(dialog.Execute(options, setAsDefault));
  EXPECT_EQ(options.AutoShow, 0);
  EXPECT_FALSE(setAsDefault);
}

TEST_F(SettingsDialog, LayoutMatchesTheDesign) {
  TQMSettingsDialog dialog(platform::NoWindow);
  EXPECT_EQ(dialog.Caption(), u"Quillora settings");
  EXPECT_EQ(dialog.ClientWidth(), 305);
  EXPECT_EQ(dialog.ClientHeight(), 277);
  EXPECT_EQ(dialog.AskConfirmCheckBox.BoundsRect().Left, 56);
  EXPECT_EQ(dialog.DialogOnSubmitRadioButton.Top(), 168);
  EXPECT_TRUE(dialog.Label2.Font().Bold);
  EXPECT_EQ(dialog.OKButton.Width(), 75);
  EXPECT_EQ(dialog.OKButton.Height(), 25);
  EXPECT_TRUE(dialog.SetDefaultCheckBox.Checked());
  EXPECT_EQ(dialog.OKButton.ScreenRect().Right + 8 + 75 + 8,
            dialog.ClientOrigin().X + dialog.ClientWidth())
      << "OK and Cancel stand at the bottom right";
}

// --- bind-field dialog ---

using BindFieldDialog = DialogTest;

const TFieldGroups SampleGroups = {{u"Personal", u"First name", u"Last name"},
                                   {u"Address", u"City"}};

std::vector<std::u16string> ListTexts(const platform::ui::TListBox& list) {
  std::vector<std::u16string> out;
  for (int i = 0; i < list.Count(); ++i)
    out.push_back(list.Item(i).Text);
  return out;
}

TEST_F(BindFieldDialog, AllFieldsIsSortedAndAGroupKeepsItsOrder) {
  TProfileBindFieldForm dialog(platform::NoWindow);
  backend.Script(u"ProfileBindFieldForm",
                 {Action::Select(u"GroupsComboBox", u"Personal"), Action::Click(u"OKButton")});
  const std::u16string chosen =
      dialog.Execute({{u"Personal", u"last name", u"First name"}, {u"Address", u"City"}});
  EXPECT_EQ(chosen, u"last name") << "the group's first entry is selected";
  EXPECT_EQ(ListTexts(dialog.TextListBox),
            (std::vector<std::u16string>{u"last name", u"First name"}));
  const auto shown = backend.Entries(platform::ui::TJournalEntry::TKind::FormShown);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].Text.find(u"TextListBox:\n  > 0: City\n    1: First name\n    2: last name\n"),
            std::u16string::npos)
      << platform::U8(shown[0].Text);
  EXPECT_EQ(dialog.GroupsComboBox.Items(),
            (std::vector<std::u16string>{u"All fields", u"Personal", u"Address"}));
}

TEST_F(BindFieldDialog, AGroupListsItsCaptionsAndSelectsTheFirst) {
  TProfileBindFieldForm dialog(platform::NoWindow);
  backend.Script(u"", {Action::Select(u"GroupsComboBox", 1), Action::Click(u"OKButton")});
  EXPECT_EQ(dialog.Execute(SampleGroups), u"First name");
  EXPECT_EQ(ListTexts(dialog.TextListBox),
            (std::vector<std::u16string>{u"First name", u"Last name"}));
}

TEST_F(BindFieldDialog, ADoubleClickAnswersThatEntryAsOkDoes) {
  TProfileBindFieldForm dialog(platform::NoWindow);
  backend.Script(u"", {Action::DoubleClick(u"TextListBox", u"Last name")});
  EXPECT_EQ(dialog.Execute(SampleGroups), u"Last name");
  EXPECT_EQ(dialog.ActiveControl(), &dialog.TextListBox);
}

TEST_F(BindFieldDialog, CancelAnswersEmptyButTheSynonymStaysReadable) {
  TProfileBindFieldForm dialog(platform::NoWindow);
  EXPECT_EQ(dialog.Synonym(), u"") << "the text line is hidden";
  dialog.ShowSynonym(u"fname");
  EXPECT_EQ(dialog.SynonimEdit.Width(), dialog.SynonimPanel.Width() - 8);
  EXPECT_EQ(dialog.GroupsPanel.Top(), dialog.SynonimPanel.Height()) << "the line comes first";
  backend.Script(u"",
                 {Action::Type(u"SynonimEdit", u"first_name"), Action::Click(u"CancelButton")});
  EXPECT_EQ(dialog.Execute(SampleGroups), u"");
  EXPECT_EQ(dialog.Synonym(), u"first_name");
}

TEST_F(BindFieldDialog, PreselectionPicksGroupAndCaptionOrFallsBackToAllFields) {
  TProfileBindFieldForm dialog(platform::NoWindow);
  dialog.Preselect(u"personal", u"LAST NAME");
  backend.Script(u"", {Action::Click(u"OKButton")});
  EXPECT_EQ(dialog.Execute(SampleGroups), u"Last name");
  EXPECT_EQ(dialog.GroupsComboBox.ItemIndex(), 1);

  TProfileBindFieldForm other(platform::NoWindow);
  other.Preselect(u"Gone", u"Nickname");
  backend.Script(u"", {Action::Click(u"OKButton")});
  EXPECT_EQ(other.Execute(SampleGroups), u"") << "a caption that isn't there selects nothing";
  EXPECT_EQ(other.GroupsComboBox.Text(), u"All fields");
  EXPECT_EQ(other.TextListBox.Count(), 3);
}

TEST_F(BindFieldDialog, TheComboFollowsThePanelWidth) {
  TProfileBindFieldForm dialog(platform::NoWindow);
  EXPECT_EQ(dialog.Width(), 336);
  EXPECT_EQ(dialog.Height(), 428);
  const auto check = [&] {
    EXPECT_EQ(dialog.GroupsComboBox.Width(),
              dialog.GroupsPanel.Width() - dialog.GroupsComboBox.Left() - 10);
  };
  check();
  dialog.SetBounds(0, 0, 500, 428);
  check();
  EXPECT_EQ(dialog.OKButton.Width(), 80);
}

TEST(BindFieldGroups, GroupsAreMadeWhenFirstMetFromTheFlatTriples) {
  const TFieldGroups groups =
      BuildFieldGroups({u"First name", u"FirstName", u"Personal", u"City", u"City", u"Address",
                        u"Last name", u"LastName", u"Personal", u"dangling", u"x"});
  EXPECT_EQ(groups,
            (TFieldGroups{{u"Personal", u"First name", u"Last name"}, {u"Address", u"City"}}));
}

// --- password dialog ---

using PasswordDialog = DialogTest;

TEST_F(PasswordDialog, APasswordOfSpacesComesBackEmpty) {
  TEnterPasswordForm dialog(platform::NoWindow);
  backend.Script(u"Enter password",
                 {Action::Type(u"PasswordEdit", u"    "), Action::Click(u"OKButton")});
  std::u16string password = u"old";
  ASSERT_TRUE(dialog.Execute(password));
  EXPECT_EQ(password, u"");
}

TEST_F(PasswordDialog, ThePasswordIsTrimmedAndShownAsStars) {
  TEnterPasswordForm dialog(platform::NoWindow);
  dialog.PasswordEdit.SetText(u"left over");
  backend.Script(u"", {Action::Type(u"PasswordEdit", u" s3cret\t"),
                       Action::PressKey(platform::ui::VK_RETURN)});
  std::u16string password;
  ASSERT_TRUE(dialog.Execute(password));
  EXPECT_EQ(password, u"s3cret");
  EXPECT_EQ(dialog.PasswordEdit.DisplayText(), u"********");
  const auto shown = backend.Entries(platform::ui::TJournalEntry::TKind::FormShown);
  EXPECT_NE(shown[0].Text.find(u"PasswordEdit: \"\""), std::u16string::npos)
      << "the field is emptied before the dialog opens";
  EXPECT_EQ(dialog.ClientWidth(), 384);
  EXPECT_EQ(dialog.ClientHeight(), 72);
  EXPECT_EQ(dialog.BorderIcons(), 0);
}

TEST_F(PasswordDialog, CancelAnswersFalseAndKeepsThePassword) {
  TEnterPasswordForm dialog(platform::NoWindow);
  backend.Script(u"",
                 {Action::Type(u"PasswordEdit", u"x"), Action::PressKey(platform::ui::VK_ESCAPE)});
  std::u16string password = u"kept";
  EXPECT_FALSE(dialog.Execute(password));
  EXPECT_EQ(password, u"kept");
}

// --- the same dialogs worked by a person at the terminal ---

struct TerminalSession {
  explicit TerminalSession(const char* typed) : in(typed) {}
  std::istringstream in;
  std::ostringstream out;
  platform::ui::TTerminalBackend terminal{in, out};
  TBackendScope scope{terminal};
};

TEST(DialogsAtTheTerminal, SettingsDependenciesFollowTheTypedClicks) {
  TerminalSession session("uncheck AutoFillCheckBox\ncheck AutoFillCheckBox\n"
                          "check AutoSubmitCheckBox\nclick OKButton\n");
  TQMSettingsDialog dialog(platform::NoWindow);
  TQMOptions options;
  options.AutoFill = 1;
  options.AutoSubmit = 0;
  bool setAsDefault = false;
  ASSERT_TRUE(dialog.Execute(options, setAsDefault)) << session.out.str();
  EXPECT_EQ(options.AutoFill, 1);
  EXPECT_EQ(options.AutoSubmit, 1);
  EXPECT_NE(session.out.str().find("Quillora settings"), std::string::npos);
}

TEST(DialogsAtTheTerminal, BindFieldAnswersTheEntryChosenInAGroup) {
  TerminalSession session("select GroupsComboBox \"Personal\"\n"
                          "select TextListBox \"Last name\"\nclick OKButton\n");
  TProfileBindFieldForm dialog(platform::NoWindow);
  EXPECT_EQ(dialog.Execute(SampleGroups), u"Last name") << session.out.str();
}

TEST(DialogsAtTheTerminal, PasswordIsTypedAndTheEndOfInputCancels) {
  {
    TerminalSession session("type PasswordEdit  s3cret \nkey enter\n");
    TEnterPasswordForm dialog(platform::NoWindow);
    std::u16string password;
    ASSERT_TRUE(dialog.Execute(password)) << session.out.str();
    EXPECT_EQ(password, u"s3cret");
    EXPECT_EQ(session.out.str().find("s3cret"), std::string::npos)
        << "the password is never echoed: " << session.out.str();
  }
  TerminalSession session("type PasswordEdit x\n");
  TEnterPasswordForm dialog(platform::NoWindow);
  std::u16string password = u"kept";
  EXPECT_FALSE(dialog.Execute(password));
  EXPECT_EQ(password, u"kept");
}

}  // namespace
}  // namespace qm

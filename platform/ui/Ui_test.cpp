#include <gtest/gtest.h>

#include <sstream>

#include "platform/rtl/Utf.h"
#include "platform/ui/Backend.h"
#include "platform/ui/ScriptedBackend.h"
#include "platform/ui/TerminalBackend.h"
#include "platform/ui/UserActions.h"

namespace qm::platform::ui {
namespace {

using TKind = TJournalEntry::TKind;

// A small dialog: an edit, a check box controlling another, two radio
// buttons, a list with a menu, and OK / Cancel in a bottom panel.
struct TSample {
  TForm Form{u"SampleForm", NoWindow};
  TEdit* Edit;
  TCheckBox* Master;
  TCheckBox* Slave;
  TRadioButton* RadioA;
  TRadioButton* RadioB;
  TListBox* List;
  TPanel* Bottom;
  TButton* Ok;
  TButton* Cancel;
  TPopupMenu* Menu;
  std::vector<std::u16string> events;

  TSample() {
    Form.SetCaption(u"Sample");
    Form.SetClientSize(300, 200);
    Edit = &Form.Add<TEdit>(u"NameEdit");
    Edit->SetAlign(TAlign::Top);
    Edit->SetHeight(21);
    Edit->OnChange = [this](TComponent&) { events.push_back(u"change"); };
    Master = &Form.Add<TCheckBox>(u"MasterBox");
    Slave = &Form.Add<TCheckBox>(u"SlaveBox");
    Slave->SetEnabled(false);
    Master->OnClick = [this](TComponent&) { Slave->SetEnabled(Master->Checked()); };
    RadioA = &Form.Add<TRadioButton>(u"RadioA");
    RadioB = &Form.Add<TRadioButton>(u"RadioB");
    Bottom = &Form.Add<TPanel>(u"BottomPanel");
    Bottom->SetHeight(37);
    Bottom->SetAlign(TAlign::Bottom);
    Ok = &Bottom->Add<TButton>(u"OkButton");
    Ok->SetCaption(u"&OK");
    Ok->SetBounds(140, 6, 75, 25);
    Ok->SetAnchors(akRight | akTop);
    Ok->SetDefault(true);
    Ok->SetModalResult(mrOk);
    Cancel = &Bottom->Add<TButton>(u"CancelButton");
    Cancel->SetCaption(u"Cancel");
    Cancel->SetBounds(220, 6, 75, 25);
    Cancel->SetAnchors(akRight | akTop);
    Cancel->SetCancel(true);
    Cancel->SetModalResult(mrCancel);
    List = &Form.Add<TListBox>(u"ItemList");
    List->SetAlign(TAlign::Client);
    List->AddItem(u"first");
    List->AddItem(u"second");
    List->OnEnter = [this](TComponent&) { events.push_back(u"enter list"); };
    Edit->OnEnter = [this](TComponent&) { events.push_back(u"enter edit"); };
    Menu = &Form.AddPopupMenu(u"ListMenu");
    Menu->OnPopup = [this](TComponent&) {
      Menu->Clear();
      Menu->AddItem(
          u"Open",
          [this](TComponent& item) {
            events.push_back(u"open " + List->Item(static_cast<int>(item.Tag())).Text);
          },
          List->ItemIndex());
      Menu->AddItem(u"-");
      Menu->AddItem(u"Remove");
    };
    List->SetPopupMenu(Menu);
  }
};

TEST(UiLayout, AlignedControlsShareTheClientAreaAndAnchoredOnesFollowTheRightEdge) {
  TSample s;
  EXPECT_EQ(s.Form.Width(), 308);
  EXPECT_EQ(s.Form.Height(), 227);
  EXPECT_EQ(s.Edit->BoundsRect(), TRect::FromSize(0, 0, 300, 21));
  EXPECT_EQ(s.Bottom->BoundsRect(), TRect::FromSize(0, 163, 300, 37));
  EXPECT_EQ(s.List->BoundsRect(), TRect::FromSize(0, 21, 300, 142));
  s.Form.SetClientSize(400, 300);
  EXPECT_EQ(s.Bottom->BoundsRect(), TRect::FromSize(0, 263, 400, 37));
  EXPECT_EQ(s.Ok->Left(), 240);
  EXPECT_EQ(s.Cancel->Left(), 320);
  EXPECT_EQ(s.List->Height(), 242);
  s.Edit->SetVisible(false);
  EXPECT_EQ(s.List->Top(), 0);
}

TEST(UiLayout, BottomAlignedControlsMadeInReadingOrderStackByTheirPosition) {
  TForm form(u"StackForm", NoWindow);
  form.SetClientSize(200, 300);
  auto& upper = form.Add<TPanel>(u"Upper");
  upper.SetBounds(0, 200, 200, 54);
  upper.SetAlign(TAlign::Bottom);
  auto& lower = form.Add<TPanel>(u"Lower");
  lower.SetBounds(0, 260, 200, 37);
  lower.SetAlign(TAlign::Bottom);
  EXPECT_EQ(lower.BoundsRect(), TRect::FromSize(0, 263, 200, 37));
  EXPECT_EQ(upper.BoundsRect(), TRect::FromSize(0, 209, 200, 54));
  form.SetClientSize(200, 400);
  EXPECT_EQ(upper.Top(), 309) << "the order survives a resize";
}

TEST(UiLayout, ConstraintsClampTheOuterSizeAtOnce) {
  TSample s;
  s.Form.SetConstraints({476, 190, 0, 0});
  EXPECT_EQ(s.Form.Width(), 476);
  s.Form.SetBounds(0, 0, 100, 100);
  EXPECT_EQ(s.Form.Width(), 476);
  EXPECT_EQ(s.Form.Height(), 190);
  s.Form.SetBorderStyle(TBorderStyle::Dialog);  // keeps the client size, but not below the minimum
  EXPECT_EQ(s.Form.Width(), 476);
  EXPECT_EQ(s.Form.ClientWidth(), 476 - 6);
}

TEST(UiLayout, PositionRulesCentreOnTheDesktopOrTheOwner) {
  SetDesktopRect({0, 0, 1000, 800});
  TSample s;
  s.Form.SetPosition(TPosition::ScreenCenter);
  s.Form.Show();
  EXPECT_EQ(s.Form.Left(), (1000 - 308) / 2);
  EXPECT_EQ(s.Form.Top(), (800 - 227) / 2);
  TRect window;
  ASSERT_TRUE(GetWindowRect(s.Form.Handle(), window));
  EXPECT_EQ(window, s.Form.BoundsRect());
  EXPECT_TRUE(IsWindowVisible(s.Form.Handle()));
  s.Form.Hide();
  EXPECT_FALSE(IsWindowVisible(s.Form.Handle()));
}

TEST(UiControls, SettingCheckedRunsTheClickHandlingOnlyOnAChange) {
  TSample s;
  int clicks = 0;
  s.Slave->OnClick = [&](TComponent&) { ++clicks; };
  s.Slave->SetChecked(false);
  EXPECT_EQ(clicks, 0);
  s.Slave->SetChecked(true);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(s.Slave->Enabled()) << "a disabled box keeps its state and is still read";
  s.Master->SetChecked(true);
  EXPECT_TRUE(s.Slave->Enabled());
}

TEST(UiControls, CheckingARadioButtonUnchecksItsSiblings) {
  TSample s;
  s.RadioA->SetChecked(true);
  s.RadioB->SetChecked(true);
  EXPECT_FALSE(s.RadioA->Checked());
  EXPECT_TRUE(s.RadioB->Checked());
}

TEST(UiControls, SortedListUsesItsCompareAndKeepsTheSelectionOnItsItem) {
  TSample s;
  s.List->Clear();
  s.List->SortCompare = [](std::u16string_view a, std::u16string_view b) {
    return SameName(a, b) ? 0 : (std::u16string(a) < std::u16string(b) ? -1 : 1);
  };
  s.List->AddItem(u"b");
  s.List->SetItemIndex(0);
  s.List->SetSorted(true);
  s.List->AddItem(u"a");
  EXPECT_EQ(s.List->Item(0).Text, u"a");
  EXPECT_EQ(s.List->ItemIndex(), 1);
  EXPECT_THROW(s.List->SetItemIndex(2), Exception);
  EXPECT_NO_THROW(s.List->SetItemIndex(-1));
}

TEST(UiControls, UserGesturesOnHiddenOrDisabledControlsAreRefused) {
  TSample s;
  EXPECT_THROW(s.Ok->UserClick(), EUserAction) << "the form is not showing";
  s.Form.Show();
  EXPECT_THROW(s.Slave->UserClick(), EUserAction);
  s.Bottom->SetEnabled(false);
  EXPECT_THROW(s.Ok->UserClick(), EUserAction);
  EXPECT_THROW(s.Form.Get<TListBox>(u"OkButton"), EUserAction);
}

TEST(UiControls, FocusMovesRaiseEnterOnTheNewControl) {
  TSample s;
  s.Form.Show();
  s.List->UserSelect(1);
  s.Edit->UserType(u"x");
  s.List->UserSelect(0);
  EXPECT_EQ(s.events,
            (std::vector<std::u16string>{u"enter list", u"enter edit", u"change", u"enter list"}));
}

TEST(UiKeys, EnterPressesTheDefaultButtonAndEscapeTheCancelButtonUnlessConsumed) {
  TSample s;
  s.Form.Show();
  s.Form.UserKeyDown(VK_RETURN);
  EXPECT_EQ(s.Form.ModalResult(), mrOk);
  s.Form.SetModalResult(mrNone);
  s.Form.SetKeyPreview(true);
  s.Form.OnKeyDown = [](TComponent&, uint16_t& key) {
    if (key == VK_ESCAPE) key = 0;
  };
  s.Form.UserKeyDown(VK_ESCAPE);
  EXPECT_EQ(s.Form.ModalResult(), mrNone);
  s.Form.SetKeyPreview(false);
  s.Form.UserKeyDown(VK_ESCAPE);
  EXPECT_EQ(s.Form.ModalResult(), mrCancel);
}

TEST(UiBackends, WithoutABackendModalFormsEndCancelledAndMessagesGetTheirCancelAnswer) {
  TSample s;
  EXPECT_EQ(s.Form.ShowModal(), mrCancel);
  EXPECT_FALSE(s.Form.Visible());
  EXPECT_EQ(MessageBox(NoWindow, u"Save?", u"Question", TMsgIcon::Question, TMsgButtons::YesNo),
            IDNO);
  EXPECT_EQ(MessageBox(NoWindow, u"Saved", u"Quillora", TMsgIcon::None, TMsgButtons::Ok), IDOK);
}

TEST(UiScripted, ModalScriptRunsUntilTheResultAndTheJournalKeepsWhatWasShown) {
  TScriptedBackend backend;
  TBackendScope scope(backend);
  TSample s;
  backend.Script(u"SampleForm",
                 {TUserAction::Type(u"NameEdit", u"Home"),
                  TUserAction::SetChecked(u"MasterBox", true), TUserAction::Click(u"SlaveBox"),
                  TUserAction::PressKey(VK_RETURN), TUserAction::Click(u"CancelButton")});
  EXPECT_EQ(s.Form.ShowModal(), mrOk);
  EXPECT_EQ(s.Edit->Text(), u"Home");
  EXPECT_TRUE(s.Slave->Checked());
  const auto shown = backend.Entries(TKind::FormShown);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].Caption, u"Sample");
  EXPECT_NE(shown[0].Text.find(u"[ ] SlaveBox:  (disabled)"), std::u16string::npos)
      << platform::U8(shown[0].Text);
  EXPECT_NE(shown[0].Text.find(u"<OK> OkButton (default)"), std::u16string::npos);
  EXPECT_EQ(backend.Entries(TKind::Action).size(), 4u) << "the last action is never reached";
  EXPECT_EQ(backend.Entries(TKind::ModalEnded)[0].Result, mrOk);
}

TEST(UiScripted, AModalFormWhoseScriptRunsOutIsClosed) {
  TScriptedBackend backend;
  TBackendScope scope(backend);
  TSample s;
  backend.Script(u"", {TUserAction::Type(u"NameEdit", u"x")});
  EXPECT_EQ(s.Form.ShowModal(), mrCancel);
  EXPECT_EQ(s.Form.ShowModal(), mrCancel) << "no script at all";
}

TEST(UiScripted, AFailingActionLeavesTheModalLoopAndTheFormHidden) {
  TScriptedBackend backend;
  TBackendScope scope(backend);
  TSample s;
  backend.Script(u"Sample", {TUserAction::Click(u"SlaveBox")});
  EXPECT_THROW(s.Form.ShowModal(), EUserAction);
  EXPECT_FALSE(s.Form.Visible());
  EXPECT_FALSE(s.Form.Modal());
}

TEST(UiScripted, MessagesTakeQueuedAnswersThenTheirCancelAnswer) {
  TScriptedBackend backend;
  TBackendScope scope(backend);
  backend.Answer(IDYES);
  backend.Answer(IDOK);  // not a button of a yes/no box
  EXPECT_EQ(MessageBox(7, u"Store?", u"Question", TMsgIcon::Question, TMsgButtons::YesNo), IDYES);
  EXPECT_EQ(MessageBox(7, u"Again?", u"Question", TMsgIcon::Question, TMsgButtons::YesNo), IDNO);
  EXPECT_EQ(MessageBox(7, u"Once more?", u"Warning", TMsgIcon::Warning, TMsgButtons::YesNoCancel),
            IDCANCEL);
  const auto messages = backend.Entries(TKind::Message);
  ASSERT_EQ(messages.size(), 3u);
  EXPECT_EQ(messages[0].Text, u"Store?");
  EXPECT_EQ(messages[2].Caption, u"Warning");
  EXPECT_EQ(messages[2].Items, (std::vector<std::u16string>{u"Yes", u"No", u"Cancel"}));
}

TEST(UiScripted, ModelessScriptRunsAtIdleOnlyWhileTheFormIsUp) {
  TScriptedBackend backend;
  TBackendScope scope(backend);
  auto s = std::make_unique<TSample>();
  backend.Script(u"SampleForm",
                 {TUserAction::Select(u"ItemList", u"second"), TUserAction::PressKey(VK_ESCAPE)});
  s->Form.Show();
  EXPECT_EQ(s->List->ItemIndex(), -1) << "nothing happens before the loop is idle";
  s->List->AddItem(u"third");
  backend.Idle();
  EXPECT_EQ(s->List->ItemIndex(), 1);
  backend.Script(u"SampleForm", {TUserAction::Click(u"OkButton")});
  s->Form.Show();  // still visible: no new show, the script waits
  s->Form.Hide();
  s->Form.Show();
  s.reset();  // destroyed before the loop gets idle
  EXPECT_NO_THROW(backend.Idle());
  EXPECT_EQ(backend.Entries(TKind::FormHidden).size(), 1u);
}

TEST(UiScripted, ContextMenuPicksTheNamedItemOfTheRebuiltMenu) {
  TScriptedBackend backend;
  TBackendScope scope(backend);
  TSample s;
  s.Form.Show();
  s.List->SetItemIndex(1);
  backend.Perform(s.Form, TUserAction::ContextMenu(u"ItemList", u"Open"));
  EXPECT_EQ(s.events.back(), u"open second");
  const auto menus = backend.Entries(TKind::Menu);
  ASSERT_EQ(menus.size(), 1u);
  EXPECT_EQ(menus[0].Items, (std::vector<std::u16string>{u"Open", u"-", u"Remove"}));
  EXPECT_THROW(backend.Perform(s.Form, TUserAction::ContextMenu(u"ItemList", u"Rename")),
               EUserAction);
  backend.Perform(s.Form, TUserAction::ContextMenu(u"ItemList"));
  EXPECT_EQ(backend.Entries(TKind::Menu).back().Result, -1);
}

TEST(UiActions, ParsesCommandsWithQuotedTextAndRejectsNonsense) {
  std::u16string error;
  auto a = ParseUserAction(u"select GroupsComboBox \"Credit \"\"gold\"\"\"", error);
  ASSERT_TRUE(a) << platform::U8(error);
  EXPECT_EQ(a->Kind, TUserAction::TKind::Select);
  EXPECT_EQ(a->Text, u"Credit \"gold\"");
  a = ParseUserAction(u"  dblclick  TextListBox 12 ", error);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->Index, 12);
  a = ParseUserAction(u"type PasswordEdit \"   \"", error);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->Text, u"   ");
  a = ParseUserAction(u"type NameEdit My card  ", error);
  ASSERT_TRUE(a);
  EXPECT_EQ(a->Text, u"My card");
  EXPECT_EQ(a->ToText(), u"type NameEdit \"My card\"");
  EXPECT_FALSE(ParseUserAction(u"", error));
  EXPECT_TRUE(error.empty());
  EXPECT_FALSE(ParseUserAction(u"jump Box", error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(ParseUserAction(u"select Box \"open", error));
  EXPECT_EQ(error, u"missing closing quote");
  EXPECT_FALSE(ParseUserAction(u"select Box", error));
  EXPECT_FALSE(ParseUserAction(u"key space", error));
}

TEST(UiTerminal, APersonDrivesAModalFormAndGetsReasonsForMistakes) {
  std::istringstream in(
      "type NameEdit Home\ncheck SlaveBox\ncheck MasterBox\n"
      "menu ItemList\n1\nselect ItemList second\nfly away\nclick OkButton\n");
  std::ostringstream out;
  TTerminalBackend backend(in, out);
  TBackendScope scope(backend);
  TSample s;
  EXPECT_EQ(s.Form.ShowModal(), mrOk);
  EXPECT_EQ(s.Edit->Text(), u"Home");
  EXPECT_TRUE(s.Master->Checked());
  EXPECT_EQ(s.List->ItemIndex(), 1);
  EXPECT_EQ(s.events.back(), u"enter list");
  const std::string text = out.str();
  EXPECT_NE(text.find("== Sample =="), std::string::npos);
  EXPECT_NE(text.find("! 'SlaveBox' is disabled"), std::string::npos) << text;
  EXPECT_NE(text.find("  1. Open"), std::string::npos);
  EXPECT_NE(text.find("! unknown command 'fly'"), std::string::npos);
  EXPECT_NE(text.find("  > 1: second"), std::string::npos);
}

TEST(UiTerminal, TheEndOfInputClosesFormsAndAnswersMessagesWithCancel) {
  std::istringstream in("maybe\n2\n");
  std::ostringstream out;
  TTerminalBackend backend(in, out);
  TBackendScope scope(backend);
  EXPECT_EQ(MessageBox(0, u"Store the card?", u"Question", TMsgIcon::Question, TMsgButtons::YesNo),
            IDNO);
  EXPECT_NE(out.str().find("-- Question -- (question)\nStore the card?\n[1] Yes  [2] No"),
            std::string::npos)
      << out.str();
  EXPECT_EQ(MessageBox(0, u"Again?", u"Question", TMsgIcon::Question, TMsgButtons::OkCancel),
            IDCANCEL);
  TSample s;
  EXPECT_EQ(s.Form.ShowModal(), mrCancel);
}

TEST(UiTerminal, ModelessFormsAreWorkedWithAtIdleUntilDone) {
  std::istringstream in("select ItemList 0\ndone\n");
  std::ostringstream out;
  TTerminalBackend backend(in, out);
  TBackendScope scope(backend);
  TSample s;
  s.Form.Show();
  backend.Idle();
  EXPECT_EQ(s.List->ItemIndex(), 0);
  EXPECT_TRUE(s.Form.Visible());
  backend.Idle();  // nothing shown since: nothing read
  EXPECT_TRUE(in.good());
}

}  // namespace
}  // namespace qm::platform::ui

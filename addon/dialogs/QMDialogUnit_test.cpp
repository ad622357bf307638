#include "addon/dialogs/QMDialogUnit.h"

#include <gtest/gtest.h>

#include <sstream>

#include "platform/rtl/Utf.h"
#include "platform/ui/ScriptedBackend.h"
#include "platform/ui/TerminalBackend.h"

namespace qm {
namespace {

using platform::ui::TBackendScope;
using platform::ui::TColor;
using platform::ui::TJournalEntry;
using platform::ui::TScriptedBackend;
using Action = platform::ui::TUserAction;

constexpr char16_t PageKey[] = u"shop.example/cart";

class FillDialog : public ::testing::Test {
protected:
  FillDialog() {
    TWideStringList entries{u"shop.example/cart=Home", u"shop.example/cart=Work",
                            u"other.example/=Spare"};
    cards.AddEntries(entries, u"shop.example/cart", u"Work");
    navigation.Add(u"Checkout", 1);
    mail.Add(u"Support");
    profiles.Add(u"Default");
    profiles.Add(u"Home", 1);
    dialog.SetOnFillCard([this](TQMDialog&, const std::u16string& owner, bool onlyEmpty,
                                bool submit, const std::u16string& card) {
      calls.push_back(u"fill " + owner + u" " + card + (onlyEmpty ? u" empty" : u" all") +
                      (submit ? u" submit" : u""));
    });
    dialog.SetOnFillProfile([this](TQMDialog&, const std::u16string& profile, bool onlyEmpty) {
      calls.push_back(u"profile " + profile + (onlyEmpty ? u" empty" : u" all"));
    });
    dialog.SetOnPlayNavigation(
        [this](TQMDialog&, const std::u16string& owner, const std::u16string& card) {
          calls.push_back(u"play " + owner + u" " + card);
        });
    dialog.SetOnSendMail(
        [this](TQMDialog&, const std::u16string& owner, const std::u16string& card) {
          calls.push_back(u"mail " + owner + u" " + card);
        });
    dialog.SetOnSetDefault(
        [this](TQMDialog&, const std::u16string& owner, const std::u16string& card) {
          calls.push_back(u"default " + owner + u" [" + card + u"]");
        });
    dialog.SetOnDelete([this](TQMDialog&, const std::u16string& owner, const std::u16string& card) {
      calls.push_back(u"delete " + owner + u" " + card);
    });
    dialog.SetOnSetActiveProfile([this](TQMDialog&, const std::u16string& profile) {
      calls.push_back(u"active " + profile);
    });
    dialog.OnHide = [this](platform::ui::TComponent&) { calls.push_back(u"hidden"); };
  }

  void ShowRefreshed() {
    dialog.Show();
    dialog.Refresh(PageKey, cards, navigation, mail, profiles);
  }
  int EntryIndex(const std::u16string& name) { return dialog.FormSetListBox.IndexOf(name); }

  TScriptedBackend backend;
  TBackendScope scope{backend};
  TQMDialog dialog{platform::NoWindow};
  TFormCards cards;
  TWideStringList navigation, mail, profiles;
  std::vector<std::u16string> calls;
};

TEST_F(FillDialog, RefreshListsCardsThenNavigationThenMailWithTheirOwnerKeys) {
  ShowRefreshed();
  const auto& entries = dialog.Entries();
  ASSERT_EQ(entries.size(), 5u);
  EXPECT_EQ(entries[0].Name, u"Home");
  EXPECT_EQ(entries[1].Name, u"Work");
  EXPECT_TRUE(entries[1].Marked);
  EXPECT_EQ(entries[2].OwnerKey, u"other.example/");
  EXPECT_EQ(entries[3].Kind, EntryNavigationCard);
  EXPECT_EQ(entries[3].OwnerKey, PageKey);
  EXPECT_TRUE(entries[3].Marked);
  EXPECT_EQ(entries[4].Kind, EntryMailCard);
  EXPECT_EQ(dialog.ProfileListBox.Count(), 2);
  EXPECT_TRUE(dialog.ProfileListBox.Item(1).Flag);
  dialog.Clear();
  EXPECT_EQ(dialog.FormSetListBox.Count(), 0);
  EXPECT_TRUE(dialog.Entries().empty());
  EXPECT_EQ(dialog.ProfileListBox.Count(), 0);
}

TEST_F(FillDialog, EntriesAreDrawnWithKindPrefixBoldForThePageAndHotLightWhenMarked) {
  ShowRefreshed();
  auto& list = dialog.FormSetListBox;
  auto home = list.DrawItem(0);
  EXPECT_EQ(home.Text, u"[C] Home [shop.example/cart]");
  EXPECT_TRUE(home.Font.Bold);
  EXPECT_EQ(home.Font.Color, TColor::WindowText);
  EXPECT_EQ(home.X, 2);
  auto work = list.DrawItem(1);
  EXPECT_EQ(work.Font.Color, TColor::HotLight);
  EXPECT_EQ(list.Canvas().Font.Color, TColor::WindowText) << "the colour is set back";
  EXPECT_FALSE(list.Canvas().Font.Bold) << "bold is switched off again";
  auto spare = list.DrawItem(2);
  EXPECT_EQ(spare.Text, u"[C] Spare [other.example/]");
  EXPECT_FALSE(spare.Font.Bold) << "another page's card is drawn plain";
  EXPECT_EQ(list.DrawItem(3).Text, u"[N] Checkout");
  EXPECT_EQ(list.DrawItem(4).Text, u"[M] Support");
  EXPECT_EQ(list.DrawItem(4).Y, 4 * 16);
  list.SetItemIndex(2);
  spare = list.DrawItem(2);
  EXPECT_EQ(spare.Font.Color, TColor::HighlightText);
  EXPECT_EQ(spare.Background, TColor::Highlight);
  EXPECT_TRUE(dialog.ProfileListBox.DrawItem(1).Font.Bold);
  EXPECT_FALSE(dialog.ProfileListBox.DrawItem(0).Font.Bold);
}

TEST_F(FillDialog, FillOnAFormCardFillsWithTheCheckBoxStateAndHides) {
  ShowRefreshed();
  backend.Perform(dialog, Action::SetChecked(u"OnlyEmptyCheckBox", false));
  backend.Perform(dialog, Action::Select(u"FormSetListBox", EntryIndex(u"Spare")));
  backend.Perform(dialog, Action::Click(u"BitBtn2"));
  EXPECT_EQ(calls, (std::vector<std::u16string>{u"fill other.example/ Spare all", u"hidden"}));
  EXPECT_FALSE(dialog.Visible());
}

TEST_F(FillDialog, FillAndSubmitFillsSubmitsPlaysOrSendsByKind) {
  ShowRefreshed();
  backend.Perform(dialog, Action::Select(u"FormSetListBox", 0));
  backend.Perform(dialog, Action::Click(u"BitBtn3"));
  ShowRefreshed();
  backend.Perform(dialog, Action::Select(u"FormSetListBox", u"[N] Checkout"));
  backend.Perform(dialog, Action::Click(u"BitBtn2"));
  EXPECT_TRUE(dialog.Visible()) << "Fill on a navigation card does nothing";
  backend.Perform(dialog, Action::Click(u"BitBtn3"));
  ShowRefreshed();
  backend.Perform(dialog, Action::Select(u"FormSetListBox", u"Support"));
  backend.Perform(dialog, Action::Click(u"BitBtn3"));
  EXPECT_EQ(calls,
            (std::vector<std::u16string>{u"fill shop.example/cart Home empty submit", u"hidden",
                                         u"play shop.example/cart Checkout", u"hidden",
                                         u"mail shop.example/cart Support", u"hidden"}));
}

TEST_F(FillDialog, WithNothingSelectedTheButtonsDoNothing) {
  ShowRefreshed();
  backend.Perform(dialog, Action::Click(u"BitBtn2"));
  backend.Perform(dialog, Action::Click(u"BitBtn3"));
  EXPECT_TRUE(calls.empty());
  EXPECT_TRUE(dialog.Visible());
}

TEST_F(FillDialog, AProfileFillsWhenNoCardIsSelectedAndEnteringAListClearsTheOther) {
  ShowRefreshed();
  backend.Perform(dialog, Action::Select(u"FormSetListBox", 0));
  backend.Perform(dialog, Action::Select(u"ProfileListBox", u"Home"));
  EXPECT_EQ(dialog.FormSetListBox.ItemIndex(), -1);
  backend.Perform(dialog, Action::PressKey(platform::ui::VK_RETURN));
  EXPECT_EQ(calls, (std::vector<std::u16string>{u"profile Home empty", u"hidden"}));
  ShowRefreshed();
  backend.Perform(dialog, Action::Select(u"ProfileListBox", 0));
  backend.Perform(dialog, Action::Select(u"FormSetListBox", 1));
  EXPECT_EQ(dialog.ProfileListBox.ItemIndex(), -1);
}

TEST_F(FillDialog, DoubleClicksFillCardsAndProfilesOnlyAndHideEvenWithoutHandlers) {
  ShowRefreshed();
  backend.Perform(dialog, Action::DoubleClick(u"FormSetListBox", u"Checkout"));
  EXPECT_TRUE(calls.empty());
  backend.Perform(dialog, Action::DoubleClick(u"FormSetListBox", u"Work"));
  ShowRefreshed();
  backend.Perform(dialog, Action::DoubleClick(u"ProfileListBox", u"Default"));
  EXPECT_EQ(calls, (std::vector<std::u16string>{u"fill shop.example/cart Work empty", u"hidden",
                                                u"profile Default empty", u"hidden"}));
  TQMDialog bare(platform::NoWindow);
  bare.Show();
  bare.Refresh(PageKey, cards, navigation, mail, profiles);
  backend.Perform(bare, Action::DoubleClick(u"FormSetListBox", 0));
  EXPECT_FALSE(bare.Visible());
}

TEST_F(FillDialog, CloseAndEscapeHide) {
  ShowRefreshed();
  backend.Perform(dialog, Action::PressKey(platform::ui::VK_ESCAPE));
  EXPECT_FALSE(dialog.Visible());
  ShowRefreshed();
  backend.Perform(dialog, Action::Click(u"BitBtn1"));
  EXPECT_EQ(calls, (std::vector<std::u16string>{u"hidden", u"hidden"}));
}

TEST_F(FillDialog, MenuOfAPageCardOffersDefaultsAndOfAnotherPagesCardOnlyDelete) {
  ShowRefreshed();
  backend.Perform(dialog, Action::Select(u"FormSetListBox", u"Work"));
  backend.Perform(
      dialog, Action::ContextMenu(u"FormSetListBox", u"Drop default form card for active profile"));
  backend.Perform(dialog,
                  Action::ContextMenu(u"FormSetListBox", u"Set default for active profile"));
  backend.Perform(dialog, Action::Select(u"FormSetListBox", u"Spare"));
  backend.Perform(dialog, Action::ContextMenu(u"FormSetListBox", u"Delete"));
  const auto menus = backend.Entries(TJournalEntry::TKind::Menu);
  ASSERT_EQ(menus.size(), 3u);
  EXPECT_EQ(menus[0].Items, (std::vector<std::u16string>{
                                u"Set default for active profile",
                                u"Drop default form card for active profile", u"-", u"Delete"}));
  EXPECT_EQ(menus[2].Items, (std::vector<std::u16string>{u"Delete"}));
  EXPECT_EQ(calls, (std::vector<std::u16string>{u"default shop.example/cart []",
                                                u"default shop.example/cart [Work]",
                                                u"delete other.example/ Spare"}));
  EXPECT_TRUE(dialog.Visible()) << "menu commands leave the dialog open";
}

TEST_F(FillDialog, RightClickWithoutSelectionOpensNoMenu) {
  ShowRefreshed();
  backend.Perform(dialog, Action::ContextMenu(u"FormSetListBox"));
  backend.Perform(dialog, Action::ContextMenu(u"ProfileListBox"));
  EXPECT_TRUE(backend.Entries(TJournalEntry::TKind::Menu).empty());
}

TEST_F(FillDialog, ProfileMenuMakesTheProfileActive) {
  ShowRefreshed();
  backend.Perform(dialog, Action::Select(u"ProfileListBox", u"Default"));
  backend.Perform(dialog, Action::ContextMenu(u"ProfileListBox", u"Set profile as active"));
  EXPECT_EQ(calls, (std::vector<std::u16string>{u"active Default"}));
}

TEST_F(FillDialog, AMenuItemActsOnTheEntryItWasBuiltFor) {
  ShowRefreshed();
  dialog.FormSetListBox.SetItemIndex(1);
  dialog.PopupMenu1.OnPopup = [this](platform::ui::TComponent&) {
    dialog.FormSetListBox.SetItemIndex(0);  // the selection moves while the menu is up
  };
  backend.Perform(dialog, Action::ContextMenu(u"FormSetListBox", u"Delete"));
  EXPECT_EQ(calls, (std::vector<std::u16string>{u"delete shop.example/cart Work"}));
}

TEST_F(FillDialog, ShowingPlacesTheTopRightCornerOnTheOwners) {
  platform::TWindowParams browser;
  browser.Rect = platform::TRect::FromSize(100, 50, 800, 600);
  const platform::HWND owner = platform::CreateWindow(browser);
  dialog.SetOwnerWindow(owner);
  dialog.Show();
  EXPECT_EQ(dialog.Left(), 900 - 260);
  EXPECT_EQ(dialog.Top(), 50);
  EXPECT_EQ(dialog.Height(), 278);
  dialog.Hide();
  platform::DestroyWindow(owner);
  dialog.SetLeft(5);
  dialog.Show();
  EXPECT_EQ(dialog.Left(), 5) << "without the owner's rectangle it stays where it is";
}

TEST_F(FillDialog, LayoutStacksListsCheckBoxAndButtons) {
  EXPECT_EQ(dialog.Caption(), u"Quillora");
  EXPECT_EQ(dialog.Constraints().MinHeight, 190);
  EXPECT_EQ(dialog.Constraints().MinWidth, 260);
  EXPECT_TRUE(dialog.KeyPreview());
  EXPECT_TRUE(dialog.OnlyEmptyCheckBox.Checked());
  EXPECT_EQ(dialog.ButtonPanel.Height(), 37);
  EXPECT_EQ(dialog.ButtonPanel.Top() + 37, dialog.ClientHeight());
  EXPECT_EQ(dialog.OnlyEmptyCheckBox.Top() + dialog.OnlyEmptyCheckBox.Height(),
            dialog.ButtonPanel.Top());
  EXPECT_EQ(dialog.ProfileListBox.Height(), 54);
  EXPECT_EQ(dialog.Splitter1.Top() + 3, dialog.ProfileListBox.Top());
  EXPECT_EQ(dialog.FormSetListBox.Top(), 0);
  EXPECT_EQ(dialog.FormSetListBox.Top() + dialog.FormSetListBox.Height(), dialog.Splitter1.Top());
  EXPECT_LT(dialog.BitBtn2.Left(), dialog.BitBtn3.Left());
  EXPECT_LT(dialog.BitBtn3.Left(), dialog.BitBtn1.Left());
  EXPECT_EQ(dialog.BitBtn1.Width(), 75);
  EXPECT_EQ(dialog.BitBtn1.Height(), 24);
  dialog.SetConstraints({476, 190, 0, 0});
  EXPECT_EQ(dialog.BitBtn1.Left() + 75 + 6, dialog.ButtonPanel.Width()) << "right-aligned";
}

TEST_F(FillDialog, AScriptForTheShownDialogRunsOnceTheLoopIsIdle) {
  backend.Script(u"QMDialog",
                 {Action::Select(u"FormSetListBox", u"Home"), Action::Click(u"BitBtn2")});
  ShowRefreshed();
  EXPECT_TRUE(calls.empty());
  backend.Idle();
  EXPECT_EQ(calls, (std::vector<std::u16string>{u"fill shop.example/cart Home empty", u"hidden"}));
  const auto shown = backend.Entries(TJournalEntry::TKind::FormShown);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_NE(shown[0].Text.find(u"<Fill & submit> BitBtn3"), std::u16string::npos)
      << platform::U8(shown[0].Text);
}

TEST_F(FillDialog, APersonWorksWithTheShownDialogAtTheTerminal) {
  std::istringstream in(
      "select FormSetListBox 1\nmenu FormSetListBox\n2\n"
      "dblclick ProfileListBox Home\n");
  std::ostringstream out;
  platform::ui::TTerminalBackend terminal(in, out);
  TBackendScope terminalScope(terminal);
  ShowRefreshed();
  terminal.Idle();
  EXPECT_EQ(calls, (std::vector<std::u16string>{u"default shop.example/cart []",
                                                u"profile Home empty", u"hidden"}));
  const std::string text = out.str();
  EXPECT_NE(text.find("    1: [C] Work [shop.example/cart] (bold, HotLight)\n"), std::string::npos)
      << text;
  EXPECT_NE(text.find("  1. Set default for active profile\n"
                      "  2. Drop default form card for active profile\n   ---\n  4. Delete\n"),
            std::string::npos);
  EXPECT_NE(text.find("(Quillora closed)"), std::string::npos);
}

}  // namespace
}  // namespace qm

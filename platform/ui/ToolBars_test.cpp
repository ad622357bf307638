// Tool bars, timers, parented forms and their messages.
#include "platform/ui/ToolBars.h"

#include <gtest/gtest.h>

#include <chrono>
#include <sstream>
#include <stdexcept>

#include "platform/ui/Backend.h"
#include "platform/ui/Forms.h"
#include "platform/ui/ScriptedBackend.h"
#include "platform/ui/TerminalBackend.h"
#include "platform/ui/Timers.h"
#include "platform/ui/UserActions.h"
#include "platform/rtl/Utf.h"

namespace qm::platform::ui {
namespace {

using namespace std::chrono_literals;
using TKind = TJournalEntry::TKind;

// Two 16 by 16 pictures and one that is not a picture.
constexpr uint8_t Png16[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H',
                             'D',  'R', 0,   0,   0,    16,   0,    0,    0, 16, 8, 6, 0, 0, 0};
constexpr uint8_t Png24[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H',
                             'D',  'R', 0,   0,   0,    24,   0,    0,    0, 24, 8, 6, 0, 0, 0};
constexpr uint8_t NotPng[] = {'G', 'I', 'F', '8', '9', 'a', 0, 0, 0, 0, 0, 0, 0, 0, 0,
                              0,   0,   0,   0,   0,   0,   0, 0, 0, 0, 0, 0, 0, 0};
constexpr TResource TestResources[] = {
    {"Z1", Png16, sizeof Png16}, {"Big", Png24, sizeof Png24}, {"Bad", NotPng, sizeof NotPng}};
constexpr TModule TestModule{TestResources};

TEST(Resources, IconsAreFoundByNameWithTheSizeTheirPictureGives) {
  const HICON icon = LoadIconA(&TestModule, "z1");
  ASSERT_TRUE(icon);
  EXPECT_EQ(icon->Name, "Z1");
  EXPECT_EQ(icon->Width, 16);
  EXPECT_EQ(icon->Height, 16);
  EXPECT_EQ(icon->Png.size(), sizeof Png16);
  EXPECT_FALSE(LoadIconA(&TestModule, "Z2"));
  EXPECT_FALSE(LoadIconA(&TestModule, "Bad"));
  EXPECT_FALSE(LoadIconA(nullptr, "Z1"));
  int w = 0;
  int h = 0;
  EXPECT_FALSE(PngSize(std::span<const uint8_t>(Png16, 20), w, h)) << "cut inside the header";
}

TEST(Resources, AnImageListTakesOnlyIconsOfItsSize) {
  TImageList list(u"Images");
  EXPECT_EQ(list.AddIcon(LoadIconA(&TestModule, "Z1")), 0);
  EXPECT_EQ(list.AddIcon(LoadIconA(&TestModule, "Z1")), 1);
  EXPECT_THROW(list.AddIcon(LoadIconA(&TestModule, "Big")), Exception);
  EXPECT_THROW(list.AddIcon(nullptr), Exception);
  EXPECT_EQ(list.Count(), 2);
  EXPECT_THROW(list.Icon(2), Exception);
}

class ToolBarTest : public ::testing::Test {
protected:
  ToolBarTest() {
    form.SetBorderStyle(TBorderStyle::None);
    form.SetClientSize(268, 22);
    bar.SetImages(&images);
    bar.SetList(true);
    bar.SetShowCaptions(true);
    bar.SetAutoSize(true);
    images.AddIcon(LoadIconA(&TestModule, "Z1"));
  }

  TScriptedBackend backend;
  TBackendScope scope{backend};
  TForm form{u"BandForm", NoWindow};
  TToolBar& bar = form.Add<TToolBar>(u"Bar");
  TImageList images{u"Images"};
};

TEST_F(ToolBarTest, ButtonsLineUpLeftToRightAndTheBarFitsThem) {
  TToolButton& b = bar.AddButton(u"B");
  TToolButton& a = bar.InsertButtonInFront(u"A");
  a.SetAutoSize(true);
  b.SetAutoSize(true);
  a.SetCaption(u"Fill form");
  b.SetCaption(u"Options");
  EXPECT_EQ(&bar.Button(0), &a);
  EXPECT_EQ(a.Left(), 0);
  EXPECT_EQ(b.Left(), a.Width());
  EXPECT_GT(a.Width(), b.Width()) << "a longer caption makes a wider button";
  EXPECT_EQ(bar.Width(), a.Width() + b.Width());
  a.SetCaption(u"Formular ausfuellen");
  EXPECT_EQ(b.Left(), a.Width()) << "a new caption moves the buttons after it";
  EXPECT_EQ(bar.Width(), a.Width() + b.Width());
}

TEST_F(ToolBarTest, ACheckButtonTogglesBeforeItsClickAndADisabledOneRefuses) {
  TToolButton& check = bar.AddButton(u"Check");
  check.SetStyle(TToolButtonStyle::Check);
  form.Show();
  std::vector<bool> seen;
  check.OnClick = [&](TComponent&) { seen.push_back(check.Down()); };
  backend.Perform(form, TUserAction::Click(u"Check"));
  backend.Perform(form, TUserAction::Click(u"Check"));
  EXPECT_EQ(seen, (std::vector<bool>{true, false}));
  check.SetEnabled(false);
  EXPECT_THROW(backend.Perform(form, TUserAction::Click(u"Check")), EUserAction);
  EXPECT_EQ(seen.size(), 2u);
}

TEST_F(ToolBarTest, ADropDownButtonsMenuIsPickedFromThroughItsClick) {
  TToolButton& drop = bar.AddButton(u"Drop");
  drop.SetStyle(TToolButtonStyle::DropDown);
  TPopupMenu& menu = form.AddPopupMenu(u"DropMenu");
  std::vector<int> picked;
  for (int i = 0; i < 3; ++i) {
    menu.AddItem(u"Item " + std::u16string(1, static_cast<char16_t>(u'0' + i)),
                 [&picked, i](TComponent&) { picked.push_back(i); });
  }
  drop.SetDropdownMenu(&menu);
  drop.OnClick = [&](TComponent&) { drop.DropdownMenu()->Popup(GetCursorPos()); };
  form.Show();
  backend.Perform(form, TUserAction::ContextMenu(u"Drop", u"Item 1"));
  EXPECT_EQ(picked, std::vector<int>{1});
  const auto menus = backend.Entries(TKind::Menu);
  ASSERT_EQ(menus.size(), 1u);
  EXPECT_EQ(menus[0].Items.size(), 3u);
}

TEST_F(ToolBarTest, ThePictureShowsCaptionsAndStates) {
  TToolButton& check = bar.AddButton(u"Check");
  check.SetStyle(TToolButtonStyle::Check);
  check.SetCaption(u"Record");
  check.SetDown(true);
  TToolButton& drop = bar.AddButton(u"Drop");
  drop.SetStyle(TToolButtonStyle::DropDown);
  drop.SetCaption(u"Add");
  drop.SetEnabled(false);
  TToolButton& plain = bar.AddButton(u"Plain");
  plain.SetCaption(u"Save && go");
  form.Show();
  const std::u16string picture = DescribeForm(form);
  EXPECT_NE(picture.find(u"[Record] Check (pressed)\n"), std::u16string::npos) << Utf16ToUtf8(picture);
  EXPECT_NE(picture.find(u"[Add] Drop (menu, disabled)\n"), std::u16string::npos);
  EXPECT_NE(picture.find(u"[Save & go] Plain\n"), std::u16string::npos);
}

TEST_F(ToolBarTest, MovingThePointerOverAControlMovesThePlatformsPointer) {
  TToolButton& b = bar.AddButton(u"B");
  form.SetBounds(100, 200, 268, 22);
  form.Show();
  TPoint heard{-1, -1};
  b.OnMouseMove = [&](TComponent&, TPoint p) { heard = p; };
  b.UserMouseMove({3, 4});
  EXPECT_EQ(heard, (TPoint{3, 4}));
  EXPECT_EQ(GetCursorPos(), (TPoint{103, 204}));
  form.Hide();
  EXPECT_THROW(b.UserMouseMove({3, 4}), EUserAction);
}

TEST(Timers, TicksArriveFromTheMessageLoopOnlyWhileEnabled) {
  TTimer timer(u"Timer");
  int ticks = 0;
  timer.OnTimer = [&](TComponent&) { ++ticks; };
  timer.SetInterval(1);
  ASSERT_TRUE(PumpMessagesUntil([&] { return ticks >= 2; }, 10s));
  timer.SetEnabled(false);
  const int before = ticks;
  timer.Tick();
  EXPECT_FALSE(PumpMessagesUntil([&] { return ticks > before; }, 20ms));
  timer.SetEnabled(true);
  timer.Tick();
  EXPECT_EQ(ticks, before + 1);
  timer.SetInterval(0);
  timer.Tick();
  EXPECT_EQ(ticks, before + 1);
}

class TMessageForm : public TForm {
public:
  using TForm::TForm;
  std::vector<UINT> Heard;

protected:
  LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam) override {
    Heard.push_back(message);
    if (message == WM_USER + 1) throw Exception(u"the handler failed");
    return TForm::WndProc(message, wParam, lParam);
  }
};

TEST(ParentedForms, LiveInTheirParentsCoordinatesAndHearTheirMessages) {
  TScriptedBackend backend;
  TBackendScope scope(backend);
  TWindowParams browserParams;
  browserParams.Rect = TRect::FromSize(50, 60, 800, 600);
  browserParams.Visible = true;
  const HWND browser = CreateWindow(browserParams);
  {
    TMessageForm band(u"Band", TForm::TParented{browser});
    band.SetBorderStyle(TBorderStyle::None);
    band.SetBounds(0, 30, 268, 22);
    EXPECT_EQ(GetParent(band.Handle()), browser);
    EXPECT_EQ(band.ClientOrigin(), (TPoint{50, 90}));
    TRect r;
    ASSERT_TRUE(GetWindowRect(band.Handle(), r));
    EXPECT_EQ(r, TRect::FromSize(50, 90, 268, 22));
    EXPECT_THROW(band.ShowModal(), Exception);
    PostMessageA(band.Handle(), WM_USER, 0, 0);
    PostMessageA(band.Handle(), WM_USER + 1, 0, 0);
    EXPECT_EQ(PumpWaitingMessages(), 2);
    EXPECT_EQ(band.Heard, (std::vector<UINT>{WM_USER, WM_USER + 1}));
    const auto messages = backend.Entries(TKind::Message);
    ASSERT_EQ(messages.size(), 1u) << "the failure is shown, the loop goes on";
    EXPECT_EQ(messages[0].Text, u"the handler failed");
    EXPECT_EQ(messages[0].Icon, TMsgIcon::Error);
  }
  EXPECT_TRUE(GetChildWindows(browser).empty());
  EXPECT_THROW(TForm(u"Orphan", TForm::TParented{0x7FFFFFF0u}), Exception);
  DestroyWindow(browser);
}

TEST(ParentedForms, TheTerminalPrintsAParentedFormButLeavesItsInputToTheProgram) {
  std::istringstream in("click B\ndone\n");
  std::ostringstream out;
  TTerminalBackend backend(in, out);
  TBackendScope scope(backend);
  TWindowParams browserParams;
  browserParams.Visible = true;
  const HWND browser = CreateWindow(browserParams);
  {
    TForm band(u"Band", TForm::TParented{browser});
    auto& bar = band.Add<TToolBar>(u"Bar");
    bar.AddButton(u"B").SetCaption(u"Record");
    band.Show();
    EXPECT_NE(out.str().find("[Record] B\n"), std::string::npos) << out.str();
    backend.Idle();
    EXPECT_EQ(out.str().find("> "), std::string::npos) << "no prompt for the band";
    std::string rest;
    std::getline(in, rest);
    EXPECT_EQ(rest, "click B") << "its input is left for the program";
  }
  DestroyWindow(browser);
}

}  // namespace
}  // namespace qm::platform::ui

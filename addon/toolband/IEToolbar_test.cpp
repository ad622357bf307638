// The toolbar in a browser window of the helper object's test world: the
// built-in engine's browser with the helper object attached (which
// publishes the agent) and the real manager in this process, started when
// a test says so.
#include "addon/toolband/IEToolbar.h"

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "addon/Common/LibraryModule.h"
#include "addon/Common/QMAgentObject.h"
#include "addon/toolband/IEBandRegistry.h"
#include "manager/service/QoraManager.h"
#include "platform/com/ClassFactory.h"
#include "platform/com/RunningObjects.h"
#include "platform/registry/Registry.h"
#include "platform/rtl/Utf.h"
#include "platform/ui/UserActions.h"
#include "testsupport/BandSite.h"
#include "testsupport/BhoWindow.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using namespace platform;
using platform::ui::TToolButton;
using platform::ui::TUserAction;
using TKind = platform::ui::TJournalEntry::TKind;

class Toolbar : public ::testing::Test {
protected:
  void SetUp() override {
    // The toolbar looks its automation object up in the registry: a private
    // one, empty unless the test registers something.
    char pattern[] = "/tmp/qm-toolbar-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder = pattern;
    SetRegistryFile(folder + "/registry");
    ASSERT_NO_FATAL_FAILURE(Register());
    RegisterActiveObjectProvider(CLASS_QoraServer, {});  // this process's manager only
    SetDesktopRect({0, 0, 1024, 768});
    site = MakeCom<testing::TBandSite>(window.Window(), ComPtr<PageBrowser>(window.Browser().Get()));
    ASSERT_EQ(band->SetSite(site.As<IUnknown>().Get()), S_OK);
    ASSERT_EQ(band->ShowDW(true), S_OK);
    PumpWaitingMessages();  // the refresh the form asked for when it came up
    FitToBand();
  }
  // What the band site does with a band: gives it the width it asks for.
  void FitToBand() {
    DESKBANDINFO info;
    info.Mask = DBIM_MINSIZE;
    ASSERT_EQ(band->GetBandInfo(0, 0, info), S_OK);
    Form().SetBounds(0, 0, info.MinSize.X, info.MinSize.Y);
  }
  void TearDown() override {
    band->CloseDW(0);
    band->SetSite(nullptr);
    SetRegistryFile("");
    std::filesystem::remove_all(folder);
  }
  // What the test has registered before the toolbar comes up.
  virtual void Register() {}

  TKtIEToolBandForm& Form() const { return static_cast<TKtIEToolBandForm&>(*band->Form()); }
  TToolButton& Button(int index) const { return Form().KtMngToolBar().Button(index); }
  // What the host does when the user brings the browser window to the front.
  void ActivateBrowser() {
    SendActivation(window.Window(), WA_ACTIVE, false);
    PumpWaitingMessages();
  }
  void Press(int index) { backend.Perform(Form(), TUserAction::Click(Button(index).Name())); }

  std::string folder;
  platform::ui::TScriptedBackend backend;
  platform::ui::TBackendScope scope{backend};
  testing::TTestManager manager{false};
  testing::TBhoWindow window;
  ComPtr<testing::TBandSite> site;
  ComPtr<TIEToolbar> band = MakeCom<TIEToolbar>();
};

const std::vector<String> EnglishCaptions{
    u"Activate",   u"Quillora Manager",     u"Save forms",  u"Fill form", u"Bind field",
    u"Unbind field", u"Add to profile field", u"Clear forms", u"Record",    u"Options"};

TEST_F(Toolbar, WithoutAManagerEveryButtonIsDisabledInEnglishUntilTheNextActivationAfterItStarts) {
  ASSERT_EQ(Form().KtMngToolBar().ButtonCount(), 10);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(Button(i).Caption(), EnglishCaptions[static_cast<size_t>(i)]);
    EXPECT_EQ(Button(i).Hint(), EnglishCaptions[static_cast<size_t>(i)]);
    EXPECT_FALSE(Button(i).Enabled()) << i;
    EXPECT_FALSE(Button(i).Down()) << i;
  }
  manager.Start();
  EXPECT_FALSE(Button(2).Enabled()) << "nothing tells the toolbar before the window is activated";
  ActivateBrowser();
  for (int i = 0; i < 10; ++i)
    EXPECT_TRUE(Button(i).Enabled()) << i;
  EXPECT_TRUE(Button(0).Down()) << "the agent is active";
  EXPECT_THROW(Press(10), Exception);
}

TEST_F(Toolbar, ButtonsAreBuiltOnceFromTheActionList) {
  const auto& bar = Form().KtMngToolBar();
  EXPECT_EQ(Form().HotImageList().Count(), 10);
  EXPECT_EQ(Form().ImageList().Count(), 10);
  for (int i = 0; i < 10; ++i) {
    EXPECT_EQ(bar.Button(i).Tag(), i);
    EXPECT_EQ(bar.Button(i).ImageIndex(), 9 - i) << "built from the last action to the first";
    EXPECT_EQ(bar.Button(i).Left(), i == 0 ? 0 : bar.Button(i - 1).Left() + bar.Button(i - 1).Width());
  }
  EXPECT_EQ(Form().HotImageList().Icon(9)->Name, "Z100");
  EXPECT_EQ(Form().ImageList().Icon(9)->Name, "Z101");
  EXPECT_EQ(Form().HotImageList().Icon(0)->Name, "Z124");
  using platform::ui::TToolButtonStyle;
  EXPECT_EQ(Button(0).Style(), TToolButtonStyle::Check);
  EXPECT_EQ(Button(8).Style(), TToolButtonStyle::Check);
  EXPECT_EQ(Button(6).Style(), TToolButtonStyle::DropDown);
  EXPECT_EQ(Button(3).Style(), TToolButtonStyle::Button);
  EXPECT_EQ(Form().Height(), 22);
}

TEST_F(Toolbar, EveryButtonPictureIsAPairOfSixteenPixelIcons) {
  for (int number = 100; number <= 125; ++number) {
    const std::string name = "Z" + std::to_string(number);
    const HICON icon = LoadIconA(&LibraryModule(), name.c_str());
    ASSERT_TRUE(icon) << name;
    EXPECT_EQ(icon->Width, 16) << name;
    EXPECT_EQ(icon->Height, 16) << name;
  }
  EXPECT_FALSE(LoadIconA(&LibraryModule(), "Z126"));
}

TEST_F(Toolbar, ActivateAndRecordShowPressedExactlyWhenTheAgentSaysSo) {
  manager.Start();
  ActivateBrowser();
  EXPECT_TRUE(Button(0).Down());
  Press(0);
  EXPECT_FALSE(window.Agent().GetActive());
  EXPECT_FALSE(Button(0).Down());
  Press(0);
  EXPECT_TRUE(window.Agent().GetActive());
  EXPECT_TRUE(Button(0).Down());

  EXPECT_FALSE(Button(8).Down());
  window.Agent().SetRecording(true);  // started elsewhere
  EXPECT_FALSE(Button(8).Down());
  ActivateBrowser();
  EXPECT_TRUE(Button(8).Down());
  window.Agent().SetOnRecordingStopped({});
  Press(8);
  EXPECT_FALSE(window.Agent().IsRecording());
  EXPECT_FALSE(Button(8).Down());
  // The manager quits: a click on a check button then reaches no command
  // and the button shows what the agent says, not what the click toggled.
  manager.Manager().AnnounceQuit();
  manager.Stop();
  ASSERT_TRUE(PumpMessagesUntil([&] { return !window.Agent().IsConnected(); }, 10s));
  ASSERT_TRUE(Button(0).Enabled()) << "not refreshed yet";
  Press(0);
  EXPECT_TRUE(window.Agent().GetActive());
  EXPECT_FALSE(Button(0).Down());
  EXPECT_FALSE(Button(0).Enabled());
}

TEST_F(Toolbar, AddToProfileFieldOpensAMenuOfItsThreeCommands) {
  manager.Start();
  ActivateBrowser();
  TToolButton& add = Button(6);
  ASSERT_NE(add.DropdownMenu(), nullptr);
  const auto& menu = *add.DropdownMenu();
  ASSERT_EQ(menu.Count(), 3);
  EXPECT_EQ(menu.Item(0).Caption(), u"Add synonim");
  EXPECT_EQ(menu.Item(1).Caption(), u"Add value");
  EXPECT_EQ(menu.Item(2).Caption(), u"Add all values");
  EXPECT_EQ(menu.Item(2).Hint(), u"Add all values");
  std::vector<String> heard;
  window.Agent().SetOnAddSynonym([&](TQuillmateAgent&) { heard.push_back(u"synonym"); });
  window.Agent().SetOnAddValue([&](TQuillmateAgent&) { heard.push_back(u"value"); });
  window.Agent().SetOnAddAllValues([&](TQuillmateAgent&) { heard.push_back(u"all"); });
  backend.Perform(Form(), TUserAction::ContextMenu(add.Name(), u"Add value"));
  backend.Perform(Form(), TUserAction::ContextMenu(add.Name(), u"Add all values"));
  backend.Perform(Form(), TUserAction::ContextMenu(add.Name()));  // dismissed
  EXPECT_EQ(heard, (std::vector<String>{u"value", u"all"}));
  const auto menus = backend.Entries(TKind::Menu);
  ASSERT_EQ(menus.size(), 3u);
  EXPECT_EQ(menus[0].Items,
            (std::vector<String>{u"Add synonim", u"Add value", u"Add all values"}));
}

TEST_F(Toolbar, CaptionsFollowTheManagersLanguageInAnyScript) {
  manager.Start();
  ActivateBrowser();
  manager.Store().SetTranslation({u"de", u"Record", u"Aufnahme"});
  manager.Store().SetTranslation({u"de", u"Add value", u"Wert hinzufügen"});
  manager.Store().SetTranslation({u"de", u"Options", u"Параметры"});
  manager.Store().SetLanguage(u"de");
  manager.Manager().CheckForChanges();
  ASSERT_TRUE(PumpMessagesUntil(
      [&] { return window.Agent().Translate(u"Record") == u"Aufnahme"; }, 10s));
  EXPECT_EQ(Button(8).Caption(), u"Record") << "until the window is activated again";
  ActivateBrowser();
  EXPECT_EQ(Button(8).Caption(), u"Aufnahme");
  EXPECT_EQ(Button(8).Hint(), u"Aufnahme");
  EXPECT_EQ(Button(9).Caption(), u"Параметры");
  EXPECT_EQ(Button(3).Caption(), u"Fill form") << "no translation: the English caption";
  EXPECT_EQ(Button(6).DropdownMenu()->Item(1).Caption(), u"Wert hinzufügen");
  EXPECT_GT(Button(8).Width(), 0);
  EXPECT_EQ(Button(9).Left(), Button(8).Left() + Button(8).Width()) << "laid out again";
}

TEST_F(Toolbar, AFailingCommandIsShownToTheUserAndTheToolbarGoesOn) {
  manager.Start();
  ActivateBrowser();
  window.Agent().SetOnSaveForms([](TQuillmateAgent&) { throw Exception(u"The disk is full"); });
  Press(2);
  const auto messages = backend.Entries(TKind::Message);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].Text.find(u"The disk is full"), String::npos);
  EXPECT_TRUE(Button(2).Enabled());
}

TEST_F(Toolbar, WithoutAHelperObjectInTheWindowNothingIsEnabled) {
  manager.Start();
  window.Detach();
  window.Browser()->PutProperty(AgentPropertyName(), Variant());
  ActivateBrowser();
  EXPECT_FALSE(Button(0).Enabled());
  EXPECT_EQ(Button(0).Caption(), u"Activate");
}

TEST_F(Toolbar, TheBandIsTheQuilloraToolbarAsWideAsItsButtons) {
  DESKBANDINFO info;
  info.Mask = DBIM_TITLE | DBIM_MINSIZE | DBIM_MAXSIZE;
  ASSERT_EQ(band->GetBandInfo(0, 0, info), S_OK);
  EXPECT_EQ(String(info.Title), u"Quillora");
  EXPECT_EQ(info.MinSize.X, Form().KtMngToolBar().Width());
  EXPECT_GT(info.MinSize.X, 268) << "ten captioned buttons need more than the designed width";
  EXPECT_EQ(info.MinSize.Y, 22);
  EXPECT_EQ(info.MaxSize, (TPoint{-1, 22}));
  CLSID id;
  band->GetClassID(id);
  EXPECT_EQ(id, CLASS_IEToolbar);
  const auto toolbar = ComPtr<IDeskBand>(band.Get()).As<IIEToolbar>();
  ASSERT_TRUE(toolbar);
  EXPECT_EQ(ComIdentity(toolbar), ComIdentity(ComPtr<IDeskBand>(band.Get())));
}

TEST_F(Toolbar, ThePictureAPersonSeesShowsCaptionsAndStates) {
  manager.Start();
  ActivateBrowser();
  const String picture = platform::ui::DescribeForm(Form());
  EXPECT_NE(picture.find(u"[Activate] ToolButton0 (pressed)\n"), String::npos);
  EXPECT_NE(picture.find(u"[Record] ToolButton8 (released)\n"), String::npos);
  EXPECT_NE(picture.find(u"[Add to profile field] ToolButton6 (menu)\n"), String::npos);
  EXPECT_NE(picture.find(u"[Options] ToolButton9\n"), String::npos);
}

// --- hints ---

TEST(HintPlacement, BelowThePointerCentredOrAboveAndInsideTheDesktop) {
  const TRect desktop{0, 0, 1024, 768};
  EXPECT_EQ(HintPosition({500, 300}, 60, 19, desktop), (TPoint{470, 320}));
  // Near the bottom, with more room above: above the pointer.
  EXPECT_EQ(HintPosition({500, 760}, 60, 19, desktop), (TPoint{470, 739}));
  // Near the bottom but the desktop is short: still below when there is
  // more room below than above.
  EXPECT_EQ(HintPosition({500, 10}, 60, 19, TRect{0, 0, 1024, 40}), (TPoint{470, 30}));
  // Near the right edge it ends at the desktop's width; near the left edge
  // it starts at the desktop's left.
  EXPECT_EQ(HintPosition({1020, 300}, 60, 19, desktop), (TPoint{964, 320}));
  EXPECT_EQ(HintPosition({5, 300}, 61, 19, desktop), (TPoint{0, 320}));
  EXPECT_EQ(HintPosition({-5, 300}, 61, 19, desktop), (TPoint{0, 320}));
}

TEST(HintPlacement, ADesktopThatDoesNotStartAtZeroKeepsThePopupOnIt) {
  const TRect leftMonitor{-1280, 0, 0, 1024};
  EXPECT_EQ(HintPosition({-10, 500}, 60, 19, leftMonitor), (TPoint{-60, 520}));
  EXPECT_EQ(HintPosition({-1275, 500}, 60, 19, leftMonitor), (TPoint{-1280, 520}));
  const TRect lowerMonitor{0, 768, 1024, 1536};
  EXPECT_EQ(HintPosition({500, 1530}, 60, 19, lowerMonitor), (TPoint{470, 1509}));
}

// The file whose code an object runs: the library that made it.
std::string CodeOf(IUnknown* object) {
  Dl_info info{};
  void* vtable = *reinterpret_cast<void**>(object);
  if (::dladdr(*reinterpret_cast<void**>(vtable), &info) == 0 || info.dli_fname == nullptr) return {};
  return std::filesystem::canonical(info.dli_fname).string();
}

TEST_F(Toolbar, UnregisteredTheAutomationObjectIsOurOwn) {
  ASSERT_TRUE(Form().Agent());
  EXPECT_EQ(CodeOf(Form().Agent().Get()), CodeOf(CreateQMAgentObject().Get()));
  EXPECT_EQ(Form().KtMngToolBar().ButtonCount(), 10);
  EXPECT_TRUE(backend.Entries(TKind::Message).empty());
}

// After the add-on's library registered itself, as "quillbrowse addon
// register" does.
class RegisteredToolbar : public Toolbar {
protected:
  void Register() override {
    void* handle = ::dlopen(QM_QUILLMATE_LIBRARY, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(handle, nullptr) << ::dlerror();
    const auto reg = reinterpret_cast<DllRegisterServerFunc>(::dlsym(handle, DllRegisterServerName));
    ASSERT_NE(reg, nullptr);
    ASSERT_EQ(reg(), S_OK);
  }
};

TEST_F(RegisteredToolbar, TheAutomationObjectComesFromTheRegisteredLibraryAndRunsTheCommands) {
  ASSERT_TRUE(Form().Agent());
  EXPECT_EQ(CodeOf(Form().Agent().Get()), std::filesystem::canonical(QM_QUILLMATE_LIBRARY).string());
  ASSERT_EQ(Form().KtMngToolBar().ButtonCount(), 10);
  EXPECT_EQ(Button(6).Caption(), u"Add to profile field");
  EXPECT_FALSE(Button(0).Enabled());
  // The library's object finds this window's agent through the browser.
  manager.Start();
  ActivateBrowser();
  ASSERT_TRUE(Button(0).Enabled());
  EXPECT_TRUE(Button(0).Down());
  Press(0);
  EXPECT_FALSE(window.Agent().GetActive());
  EXPECT_FALSE(Button(0).Down());
}

// A registration that names a library which is gone.
class BrokenRegistrationToolbar : public Toolbar {
protected:
  void Register() override {
    TRegistry reg;
    reg.RootKey = TRegRoot::ClassesRoot;
    reg.OpenKey(u"CLSID\\" + GuidToString(CLASS_QMAgent) + u"\\InprocServer32", true);
    reg.WriteString(u"", Utf8ToUtf16(folder + "/libgone.so"));
  }
};

TEST_F(BrokenRegistrationToolbar, TheFailureIsShownAndTheBandStaysWithoutButtons) {
  EXPECT_FALSE(Form().Agent());
  EXPECT_EQ(Form().KtMngToolBar().ButtonCount(), 0);
  const auto messages = backend.Entries(TKind::Message);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].Text.find(u"libgone.so does not exist"), String::npos)
      << Utf16ToUtf8(messages[0].Text);
  ActivateBrowser();  // nothing to refresh, and no failure either
  EXPECT_EQ(backend.Entries(TKind::Message).size(), 1u);
}

class ToolbarHints : public Toolbar {
protected:
  // Moves the pointer onto a button as a person does.
  void PointAt(int index, TPoint at = {5, 5}) { Button(index).UserMouseMove(at); }
};

TEST_F(ToolbarHints, TheHintOpensAfterTheDelayUnderThePointerAndGoesAfterTheDisplayTime) {
  TIEBandForm& form = Form();
  PointAt(3);
  EXPECT_EQ(form.HintControl(), &Button(3));
  EXPECT_TRUE(form.HintTimer().Enabled());
  EXPECT_EQ(form.HintTimer().Interval(), TIEBandForm::HintPause);
  EXPECT_TRUE(form.TrackTimer().Enabled());
  EXPECT_FALSE(form.HintForm().HintVisible());
  form.HintTimer().Tick();
  ASSERT_TRUE(form.HintForm().HintVisible());
  EXPECT_EQ(form.HintForm().HintLabel().Caption(), u"Fill form");
  EXPECT_TRUE(IsWindowTopmost(form.HintForm().Handle()));
  const TPoint pointer = GetCursorPos();
  TRect popup;
  ASSERT_TRUE(GetWindowRect(form.HintForm().Handle(), popup));
  EXPECT_EQ(popup.Top, pointer.Y + 20);
  EXPECT_EQ(popup.Left, pointer.X - popup.Width() / 2);
  EXPECT_EQ(popup.Width(), 6 + form.HintForm().HintLabel().Width());
  EXPECT_EQ(form.HintTimer().Interval(), TIEBandForm::HintHidePause);
  form.TrackTimer().Tick();
  EXPECT_TRUE(form.HintForm().HintVisible()) << "the pointer is still on the button";
  form.HintTimer().Tick();
  EXPECT_FALSE(form.HintForm().HintVisible());
  EXPECT_FALSE(form.HintTimer().Enabled());
  EXPECT_TRUE(backend.Entries(TKind::FormShown).size() == 1u) << "only the toolbar was presented";
}

TEST_F(ToolbarHints, MovingToAnotherButtonHidesTheHintAndStartsANewDelay) {
  TIEBandForm& form = Form();
  PointAt(3);
  form.HintTimer().Tick();
  ASSERT_TRUE(form.HintForm().HintVisible());
  PointAt(3, {6, 6});  // the same button: nothing changes
  EXPECT_TRUE(form.HintForm().HintVisible());
  PointAt(4);
  EXPECT_FALSE(form.HintForm().HintVisible());
  EXPECT_EQ(form.HintControl(), &Button(4));
  EXPECT_FALSE(form.HintShown());
  EXPECT_EQ(form.HintTimer().Interval(), TIEBandForm::HintPause);
  form.HintTimer().Tick();
  EXPECT_EQ(form.HintForm().HintLabel().Caption(), u"Bind field");
}

TEST_F(ToolbarHints, LeavingTheButtonEndsTheHintAtTheNextTrackTick) {
  TIEBandForm& form = Form();
  PointAt(3);
  form.HintTimer().Tick();
  SetCursorPos({1000, 700});  // off the browser window
  form.TrackTimer().Tick();
  EXPECT_FALSE(form.HintForm().HintVisible());
  EXPECT_EQ(form.HintControl(), nullptr);
  EXPECT_FALSE(form.TrackTimer().Enabled());
  // Onto the next button without a mouse move of its own: the pointer is
  // on another control of the bar.
  PointAt(3);
  const TRect next = Button(4).ScreenRect();
  SetCursorPos({next.Left + 2, next.Top + 2});
  form.TrackTimer().Tick();
  EXPECT_EQ(form.HintControl(), nullptr);
}

TEST_F(ToolbarHints, AtTheBottomRightOfTheDesktopTheHintOpensAboveAndEndsAtTheEdge) {
  TIEBandForm& form = Form();
  // The browser window sits in the bottom right corner.
  MoveWindow(window.Window(), TRect::FromSize(1024 - Form().Width(), 768 - 22, Form().Width(), 22));
  const TRect last = Button(9).ScreenRect();
  PointAt(9, {last.Width() - 2, 20});
  const TPoint pointer = GetCursorPos();
  form.HintTimer().Tick();
  TRect popup;
  ASSERT_TRUE(GetWindowRect(form.HintForm().Handle(), popup));
  EXPECT_EQ(popup.Bottom, pointer.Y - 2);
  EXPECT_EQ(popup.Right, 1024);
}

TEST_F(ToolbarHints, PressingAButtonHidesItsHint) {
  manager.Start();
  ActivateBrowser();
  TIEBandForm& form = Form();
  PointAt(3);
  form.HintTimer().Tick();
  ASSERT_TRUE(form.HintForm().HintVisible());
  Press(3);
  EXPECT_FALSE(form.HintForm().HintVisible());
}

}  // namespace
}  // namespace qm

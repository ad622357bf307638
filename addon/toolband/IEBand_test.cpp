// The band frame: what a band answers its site, its form's life in the band
// registry and the thread hooks, activation and broadcast notices, focus.
#include "addon/toolband/IEBand.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>

#include "addon/toolband/IEBandRegistry.h"
#include "engines/memdom/MemBrowser.h"
#include "platform/ui/ScriptedBackend.h"
#include "testsupport/BandSite.h"

namespace qm {
namespace {

using namespace std::chrono_literals;
using namespace platform;
using testing::TBandSite;

constexpr CLSID TestBandClass = MakeGuid("{0D0F1E2A-0000-4000-8000-00000000B00D}");

// A band with a plain form that writes down what it hears.
class TTestBand final : public TIEToolBand {
public:
  struct TLog {
    std::mutex Lock;
    std::condition_variable Changed;
    std::vector<std::string> Heard;
    void Add(std::string what) {
      std::lock_guard lock(Lock);
      Heard.push_back(std::move(what));
      Changed.notify_all();
    }
    std::vector<std::string> Take() {
      std::lock_guard lock(Lock);
      return std::exchange(Heard, {});
    }
  };
  std::shared_ptr<TLog> Log = std::make_shared<TLog>();
  ~TTestBand() override { DestroyForm(); }

protected:
  CLSID BandClassID() override { return TestBandClass; }
  String Title() override { return u"Test band"; }
  std::unique_ptr<TIEBandForm> CreateForm() override {
    auto form = std::make_unique<TIEBandForm>(u"TestBandForm", *this);
    form->SetBounds(0, 0, 200, 24);
    form->OnActivation = [log = Log](TIEBandForm&, bool active) {
      log->Add(active ? "active" : "inactive");
    };
    form->OnBroadcast = [log = Log](TIEBandForm&, uint32_t w, int32_t l) {
      log->Add("broadcast " + std::to_string(w) + " " + std::to_string(l));
    };
    return form;
  }
};

// A browser window: a top-level window, the built-in engine's browser, and
// the band site of that window.
struct TBrowserWindow {
  TBrowserWindow() {
    TWindowParams p;
    p.ClassName = u"BrowserWindow";
    p.Rect = TRect::FromSize(0, 0, 800, 600);
    p.Visible = true;
    Window = CreateWindow(p);
    Site = MakeCom<TBandSite>(Window, ComPtr<PageBrowser>(Browser.Get()));
  }
  ~TBrowserWindow() {
    Browser->Close();
    DestroyWindow(Window);
  }
  ComPtr<IUnknown> SiteUnknown() const { return Site.As<IUnknown>(); }

  HWND Window = NoWindow;
  ComPtr<memdom::MemBrowser> Browser =
      memdom::MemBrowser::Create(std::make_shared<memdom::MapResourceLoader>());
  ComPtr<TBandSite> Site;
};

int Hooks(int kind) {
  return ThreadHookCount(GetCurrentThreadId(), kind);
}

class IEBand : public ::testing::Test {
protected:
  ui::TScriptedBackend backend;
  ui::TBackendScope scope{backend};
  TBrowserWindow window;
  ComPtr<TTestBand> band = MakeCom<TTestBand>();
};

TEST_F(IEBand, ASiteWithAllItsPartsGetsAFormInsideItsWindow) {
  ASSERT_EQ(band->SetSite(window.SiteUnknown().Get()), S_OK);
  ASSERT_NE(band->Form(), nullptr);
  EXPECT_EQ(GetParent(band->Form()->Handle()), window.Window);
  EXPECT_EQ(band->ParentWindow(), window.Window);
  EXPECT_EQ(ComIdentity(band->Browser()), ComIdentity(window.Browser));
  HWND handle = NoWindow;
  ASSERT_EQ(band->GetWindow(handle), S_OK);
  EXPECT_EQ(handle, band->Form()->Handle());
  void* siteWindow = nullptr;
  ASSERT_EQ(band->GetSite(IOleWindow::Iid, &siteWindow), S_OK);
  ASSERT_NE(siteWindow, nullptr);
  ComPtr<IOleWindow>::Adopt(static_cast<IOleWindow*>(siteWindow));
  EXPECT_EQ(ProcessIEBands().FormCount(), 1);
  EXPECT_EQ(ProcessIEBands().RootWindow(), window.Window);
  // A second site keeps the form.
  TIEBandForm* form = band->Form();
  EXPECT_EQ(band->SetSite(window.SiteUnknown().Get()), S_OK);
  EXPECT_EQ(band->Form(), form);
  EXPECT_EQ(band->SetSite(nullptr), S_OK);
  EXPECT_FALSE(band->Site());
  void* none = reinterpret_cast<void*>(1);
  EXPECT_EQ(band->GetSite(IOleWindow::Iid, &none), E_FAIL);
  EXPECT_EQ(none, nullptr);
}

TEST_F(IEBand, AnIncompleteSiteIsRefusedAndMakesNoForm) {
  for (int missing = 0; missing < 4; ++missing) {
    TBandSite::TParts parts;
    (missing == 0 ? parts.Window
                  : missing == 1 ? parts.InputObjectSite
                                 : missing == 2 ? parts.CommandTarget : parts.Browser) = false;
    auto site = MakeCom<TBandSite>(window.Window, ComPtr<PageBrowser>(window.Browser.Get()), parts);
    auto fresh = MakeCom<TTestBand>();
    EXPECT_EQ(fresh->SetSite(static_cast<IOleWindow*>(site.Get())), E_FAIL) << missing;
    EXPECT_EQ(fresh->Form(), nullptr) << missing;
  }
  EXPECT_EQ(ProcessIEBands().FormCount(), 0);
  EXPECT_EQ(Hooks(WH_CALLWNDPROCRET), 0);
}

TEST_F(IEBand, BandInfoFillsOnlyWhatItsMaskAsks) {
  DESKBANDINFO info;
  info.Mask = DBIM_MINSIZE | DBIM_MAXSIZE | DBIM_INTEGRAL | DBIM_ACTUAL | DBIM_TITLE |
              DBIM_MODEFLAGS | DBIM_BKCOLOR;
  ASSERT_EQ(band->GetBandInfo(7, DBIF_VIEWMODE_VERTICAL, info), S_OK);
  EXPECT_EQ(band->BandID(), 7u);
  EXPECT_EQ(band->ViewMode(), DBIF_VIEWMODE_VERTICAL);
  // No form yet: a tool band's height is 22 and its actual size nothing.
  EXPECT_EQ(info.MinSize, (TPoint{0, 22}));
  EXPECT_EQ(info.MaxSize, (TPoint{-1, 22}));
  EXPECT_EQ(info.Integral, (TPoint{1, 1}));
  EXPECT_EQ(info.Actual, (TPoint{0, 0}));
  EXPECT_EQ(std::u16string(info.Title), u"Test band");
  EXPECT_EQ(info.Mask & DBIM_BKCOLOR, 0u);

  ASSERT_EQ(band->SetSite(window.SiteUnknown().Get()), S_OK);
  info.Mask = DBIM_MINSIZE | DBIM_ACTUAL;
  band->GetBandInfo(1, 0, info);
  EXPECT_EQ(info.MinSize, (TPoint{0, 24}));
  EXPECT_EQ(info.Actual, (TPoint{200, 24}));

  DESKBANDINFO untouched;
  untouched.Mask = DBIM_BKCOLOR;
  untouched.MinSize = {5, 6};
  untouched.Title[0] = u'x';
  ASSERT_EQ(band->GetBandInfo(1, 0, untouched), S_OK);
  EXPECT_EQ(untouched.Mask, 0u);
  EXPECT_EQ(untouched.MinSize, (TPoint{5, 6}));
  EXPECT_EQ(untouched.Title[0], u'x');
}

TEST_F(IEBand, PersistenceKeepsNothingAndNamesTheBandsClass) {
  CLSID id;
  ASSERT_EQ(band->GetClassID(id), S_OK);
  EXPECT_EQ(id, TestBandClass);
  EXPECT_EQ(band->IsDirty(), S_FALSE);
  EXPECT_EQ(band->Load(nullptr), S_OK);
  EXPECT_EQ(band->Save(nullptr, true), S_OK);
  uint64_t size = 0;
  EXPECT_EQ(band->GetSizeMax(size), E_NOTIMPL);
  EXPECT_EQ(band->TranslateAcceleratorIO(nullptr), S_FALSE);
}

TEST_F(IEBand, ShowingAndClosingTheBandShowsAndEndsItsForm) {
  ASSERT_EQ(band->SetSite(window.SiteUnknown().Get()), S_OK);
  ASSERT_EQ(band->ShowDW(true), S_OK);
  EXPECT_TRUE(IsWindowVisible(band->Form()->Handle()));
  ASSERT_EQ(band->ShowDW(false), S_OK);
  EXPECT_FALSE(IsWindowVisible(band->Form()->Handle()));
  const HWND form = band->Form()->Handle();
  ASSERT_EQ(band->CloseDW(0), S_OK);
  EXPECT_EQ(band->Form(), nullptr);
  EXPECT_FALSE(IsWindow(form));
  HWND handle = 1;
  EXPECT_EQ(band->GetWindow(handle), E_FAIL);
  EXPECT_EQ(ProcessIEBands().ThreadCount(), 0) << "the thread's entry went with its last form";
  EXPECT_EQ(band->ShowDW(true), S_OK) << "nothing to show is no failure";
}

TEST_F(IEBand, TwoBandFormsOnOneThreadShareOneHookOfEachKind) {
  auto second = MakeCom<TTestBand>();
  ASSERT_EQ(band->SetSite(window.SiteUnknown().Get()), S_OK);
  ASSERT_EQ(second->SetSite(window.SiteUnknown().Get()), S_OK);
  EXPECT_EQ(Hooks(WH_CALLWNDPROCRET), 1);
  EXPECT_EQ(Hooks(WH_GETMESSAGE), 1);
  EXPECT_EQ(ProcessIEBands().FormCount(), 2);
  band->CloseDW(0);
  EXPECT_EQ(Hooks(WH_CALLWNDPROCRET), 1);
  EXPECT_EQ(Hooks(WH_GETMESSAGE), 1);
  second->CloseDW(0);
  EXPECT_EQ(Hooks(WH_CALLWNDPROCRET), 0);
  EXPECT_EQ(Hooks(WH_GETMESSAGE), 0);
  EXPECT_EQ(ProcessIEBands().ThreadCount(), 0);
}

TEST_F(IEBand, AFormThatNeverJoinedTheRegistryTakesNoHooksWithIt) {
  ASSERT_EQ(band->SetSite(window.SiteUnknown().Get()), S_OK);
  {
    TIEBandForm stray(u"Stray", *band);
  }
  EXPECT_EQ(Hooks(WH_CALLWNDPROCRET), 1);
  EXPECT_EQ(ProcessIEBands().FormCount(), 1);
}

TEST_F(IEBand, TheFormHearsItsBrowserWindowsActivationButNotAMinimisedOne) {
  ASSERT_EQ(band->SetSite(window.SiteUnknown().Get()), S_OK);
  SendActivation(window.Window, WA_ACTIVE, false);
  SendActivation(window.Window, WA_INACTIVE, false);
  SendActivation(window.Window, WA_ACTIVE, true);  // minimised
  SendActivation(window.Window, WA_INACTIVE, true);
  SendActivation(window.Window, WA_CLICKACTIVE, false);  // restored by a click
  SendActivation(band->Form()->Handle(), WA_ACTIVE, false);  // not the root window
  EXPECT_TRUE(band->Log->Heard.empty()) << "notices arrive as posted messages";
  PumpWaitingMessages();
  EXPECT_EQ(band->Log->Take(),
            (std::vector<std::string>{"active", "inactive", "inactive", "active"}));
}

TEST_F(IEBand, ABroadcastToTheBrowserWindowReachesEveryForm) {
  auto second = MakeCom<TTestBand>();
  ASSERT_EQ(band->SetSite(window.SiteUnknown().Get()), S_OK);
  ASSERT_EQ(second->SetSite(window.SiteUnknown().Get()), S_OK);
  PostMessageA(window.Window, WM_BANDBROADCAST, 7, -9);
  PostMessageA(band->Form()->Handle(), WM_BANDBROADCAST, 1, 1);  // to one form only
  PumpWaitingMessages();
  // The browser window's broadcast is passed on when it is taken, so it
  // arrives after the one posted to the form directly.
  EXPECT_EQ(band->Log->Take(),
            (std::vector<std::string>{"broadcast 1 1", "broadcast 7 -9"}));
  EXPECT_EQ(second->Log->Take(), std::vector<std::string>{"broadcast 7 -9"});
}

TEST_F(IEBand, TheBandFollowsItsFormsFocusAndTellsTheSite) {
  ASSERT_EQ(band->SetSite(window.SiteUnknown().Get()), S_OK);
  EXPECT_EQ(band->HasFocusIO(), S_FALSE);
  ASSERT_EQ(band->UIActivateIO(true, nullptr), S_OK);
  EXPECT_EQ(band->HasFocusIO(), S_OK);
  EXPECT_EQ(GetFocus(), band->Form()->Handle());
  SetFocus(window.Window);
  EXPECT_EQ(band->HasFocusIO(), S_FALSE);
  EXPECT_EQ(window.Site->FocusNotices, (std::vector<bool>{true, false}));
  ASSERT_EQ(band->UIActivateIO(false, nullptr), S_OK);
  EXPECT_EQ(band->HasFocusIO(), S_FALSE) << "deactivating moves no focus";
  // The form's own procedure still gets every message.
  PostMessageA(window.Window, WM_BANDBROADCAST, 2, 3);
  PumpWaitingMessages();
  EXPECT_EQ(band->Log->Take(), std::vector<std::string>{"broadcast 2 3"});
}

// A browser window with its band on a thread of its own, as the host runs
// each window.
class TWindowThread {
public:
  TWindowThread() {
    std::promise<void> ready;
    thread_ = std::thread([this, &ready] {
      {
        TBrowserWindow window;
        auto band = MakeCom<TTestBand>();
        band->SetSite(window.SiteUnknown().Get());
        log_ = band->Log;
        windowHandle_ = window.Window;
        threadId_ = GetCurrentThreadId();
        ready.set_value();
        RunMessageLoop();
        band->CloseDW(0);
      }
    });
    ready.get_future().wait();
  }
  ~TWindowThread() {
    PostThreadMessage(threadId_, WM_QUIT, 0, 0);
    thread_.join();
  }
  HWND Window() const { return windowHandle_; }
  // Waits until the window's band heard n notices, and answers them.
  std::vector<std::string> WaitHeard(size_t n) {
    std::unique_lock lock(log_->Lock);
    log_->Changed.wait_for(lock, 10s, [&] { return log_->Heard.size() >= n; });
    return log_->Heard;
  }

private:
  std::thread thread_;
  std::shared_ptr<TTestBand::TLog> log_;
  HWND windowHandle_ = NoWindow;
  uint32_t threadId_ = 0;
};

TEST(IEBandThreads, TwoBrowserWindowsOnTwoThreadsEachHearOnlyTheirOwnActivation) {
  TWindowThread first;
  TWindowThread second;
  ASSERT_TRUE(ActivateWindow(first.Window()));
  ASSERT_TRUE(ActivateWindow(second.Window()));
  EXPECT_EQ(first.WaitHeard(2), (std::vector<std::string>{"active", "inactive"}));
  EXPECT_EQ(second.WaitHeard(1), std::vector<std::string>{"active"});
  ActivateWindow(NoWindow);
  EXPECT_EQ(second.WaitHeard(2), (std::vector<std::string>{"active", "inactive"}));
  EXPECT_EQ(first.WaitHeard(2).size(), 2u);
}

}  // namespace
}  // namespace qm

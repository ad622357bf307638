// How the host lays out the toolbar bands of a browser window: each band is
// asked for its sizes and given the room it asks for, one row per band.
#include "host/Toolbars.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <sstream>

#include "addon/toolband/IEToolbar.h"
#include "core/Common/QuilloraLib.h"
#include "host/BrowserWindow.h"
#include "platform/com/RunningObjects.h"
#include "platform/registry/Registry.h"
#include "platform/ui/Forms.h"
#include "platform/ui/ScriptedBackend.h"
#include "testsupport/BandSite.h"
#include "testsupport/BhoWindow.h"
#include "testsupport/TestManager.h"

namespace qm::host {
namespace {

using namespace platform;

DESKBANDINFO Sizes(TPoint min, TPoint max, TPoint actual) {
  DESKBANDINFO info;
  info.MinSize = min;
  info.MaxSize = max;
  info.Actual = actual;
  return info;
}

TEST(BandRect, ABandGetsItsIdealWidthWithinItsLimitsAndTheRow) {
  EXPECT_EQ(BandRect(Sizes({100, 22}, {-1, 22}, {300, 22}), 0, 1024),
            TRect::FromSize(0, 0, 300, 22));
  EXPECT_EQ(BandRect(Sizes({100, 22}, {-1, 22}, {300, 22}), 44, 1024),
            TRect::FromSize(0, 44, 300, 22))
      << "the row's top";
  EXPECT_EQ(BandRect(Sizes({100, 22}, {-1, 22}, {0, 0}), 0, 1024), TRect::FromSize(0, 0, 100, 22))
      << "no ideal width: its minimum";
  EXPECT_EQ(BandRect(Sizes({100, 22}, {250, 22}, {300, 22}), 0, 1024),
            TRect::FromSize(0, 0, 250, 22))
      << "no wider than its maximum";
  EXPECT_EQ(BandRect(Sizes({100, 22}, {-1, 22}, {300, 22}), 0, 200), TRect::FromSize(0, 0, 200, 22))
      << "no wider than the row";
  EXPECT_EQ(BandRect(Sizes({100, 22}, {-1, 22}, {300, 22}), 0, 60), TRect::FromSize(0, 0, 100, 22))
      << "never narrower than its minimum";
}

TEST(BandRect, ItsHeightIsItsMinimumUnlessItsActualHeightFitsItsLimits) {
  EXPECT_EQ(BandRect(Sizes({10, 22}, {-1, -1}, {50, 30}), 0, 1024).Height(), 30);
  EXPECT_EQ(BandRect(Sizes({10, 22}, {-1, 26}, {50, 30}), 0, 1024).Height(), 22);
  EXPECT_EQ(BandRect(Sizes({10, 22}, {-1, 22}, {50, 10}), 0, 1024).Height(), 22);
  EXPECT_EQ(BandRect(Sizes({-1, -1}, {-1, -1}, {0, 0}), 0, 1024), TRect::FromSize(0, 0, 0, 0))
      << "no limits and no sizes: nothing negative";
}

// A band with a plain window (no toolkit form) and the sizes a test gives.
class TSizedBand final : public ComObject<IDeskBand, IObjectWithSite> {
public:
  explicit TSizedBand(DESKBANDINFO sizes, bool answers = true) : sizes_(sizes), answers_(answers) {}
  ~TSizedBand() override { DestroyWindow(window_); }

  HRESULT SetSite(IUnknown* site) override {
    if (site == nullptr) return S_OK;
    const auto siteWindow = ComPtr<IUnknown>(site).As<IOleWindow>();
    HWND parent = NoWindow;
    if (!siteWindow || Failed(siteWindow->GetWindow(parent))) return E_FAIL;
    TWindowParams params;
    params.ClassName = u"SizedBand";
    params.Parent = parent;
    params.Rect = TRect::FromSize(5, 7, 11, 13);
    window_ = CreateWindow(params);
    return S_OK;
  }
  HRESULT GetSite(const IID&, void** site) override {
    *site = nullptr;
    return E_FAIL;
  }
  HRESULT GetWindow(HWND& window) override {
    window = window_;
    return S_OK;
  }
  HRESULT ContextSensitiveHelp(bool) override { return E_NOTIMPL; }
  HRESULT ShowDW(bool show) override {
    ShowWindow(window_, show);
    return S_OK;
  }
  HRESULT CloseDW(uint32_t) override { return S_OK; }
  HRESULT ResizeBorderDW(const TRect*, IUnknown*, bool) override { return E_NOTIMPL; }
  HRESULT GetBandInfo(uint32_t bandId, uint32_t, DESKBANDINFO& info) override {
    AskedAs.push_back(bandId);
    if (!answers_) return E_FAIL;
    const uint32_t mask = info.Mask;
    info = sizes_;
    info.Mask = mask;
    return S_OK;
  }

  std::vector<uint32_t> AskedAs;

private:
  DESKBANDINFO sizes_;
  bool answers_;
  HWND window_ = NoWindow;
};

class TSizedBandFactory final : public ComObject<IClassFactory> {
public:
  explicit TSizedBandFactory(ComPtr<TSizedBand> band) : band_(std::move(band)) {}
  HRESULT CreateInstance(IUnknown*, const IID& iid, void** object) override {
    return band_->QueryInterface(iid, object);
  }
  HRESULT LockServer(bool) override { return S_OK; }

private:
  ComPtr<TSizedBand> band_;
};

THelperClass SizedBandClass(const ComPtr<TSizedBand>& band, const char16_t* clsid) {
  return {ParseGuid(clsid), u"Sized", "", MakeCom<TSizedBandFactory>(band).As<IClassFactory>()};
}

TRect WindowRect(HWND window) {
  TRect rect;
  EXPECT_TRUE(GetWindowRect(window, rect));
  return rect;
}

TEST(ToolbarLayout, EachBandOfTheWindowGetsARowOfTheSizeItAsksFor) {
  auto engine = MakeEngine({});
  std::ostringstream out;
  TTranscript transcript(out);
  const auto narrow = MakeCom<TSizedBand>(Sizes({120, 22}, {-1, 22}, {0, 0}));
  const auto tall = MakeCom<TSizedBand>(Sizes({40, 30}, {-1, 30}, {5000, 30}));
  const auto mute = MakeCom<TSizedBand>(Sizes({40, 30}, {-1, 30}, {0, 0}), false);
  TBrowserWindow window(*engine, {}, transcript,
                        {SizedBandClass(narrow, u"{0A000000-0000-4000-8000-000000000001}"),
                         SizedBandClass(tall, u"{0A000000-0000-4000-8000-000000000002}"),
                         SizedBandClass(mute, u"{0A000000-0000-4000-8000-000000000003}")});
  window.Open();
  const std::vector<HWND> bands = window.ToolbarWindows();
  ASSERT_EQ(bands.size(), 3u);
  const TRect frame = WindowRect(window.Handle());
  EXPECT_EQ(WindowRect(bands[0]), TRect::FromSize(frame.Left, frame.Top, 120, 22));
  EXPECT_EQ(WindowRect(bands[1]), TRect::FromSize(frame.Left, frame.Top + 22, frame.Width(), 30))
      << "as wide as the window allows, in the next row";
  EXPECT_EQ(WindowRect(bands[2]), TRect::FromSize(frame.Left + 5, frame.Top + 7, 11, 13))
      << "a band that gives no sizes stays where it put itself";
  EXPECT_EQ(narrow->AskedAs, std::vector<uint32_t>{0});
  EXPECT_EQ(tall->AskedAs, std::vector<uint32_t>{1});
  EXPECT_NE(out.str().find("the toolbar {0A000000-0000-4000-8000-000000000003} gave no sizes"),
            std::string::npos)
      << out.str();
  window.Close();
}

// The toolbar looks its automation object up in the registry (a private,
// empty one here) and its agent looks for a manager (this process's only).
class QuilloraBar : public ::testing::Test {
protected:
  void SetUp() override {
    char pattern[] = "/tmp/qm-host-toolbar-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    folder_ = pattern;
    SetRegistryFile(folder_ + "/registry");
    RegisterActiveObjectProvider(CLASS_QoraServer, {});
  }
  void TearDown() override {
    SetRegistryFile("");
    std::filesystem::remove_all(folder_);
  }
  std::string folder_;
  ui::TScriptedBackend backend;
  ui::TBackendScope scope{backend};
  testing::TTestManager manager{false};
  testing::TBhoWindow browser;
};

TEST_F(QuilloraBar, ItIsPlacedThroughItsFormAsWideAsItsButtons) {
  const auto site =
      MakeCom<testing::TBandSite>(browser.Window(), ComPtr<PageBrowser>(browser.Browser().Get()));
  const auto band = MakeCom<TIEToolbar>();
  ASSERT_EQ(band->SetSite(site.As<IUnknown>().Get()), S_OK);
  HWND bandWindow = NoWindow;
  ASSERT_EQ(band->GetWindow(bandWindow), S_OK);
  auto& form = static_cast<TKtIEToolBandForm&>(*ui::FindFormByHandle(bandWindow));
  ASSERT_EQ(form.Width(), 268) << "as designed, before the host placed it";

  const auto placed = PlaceToolbarBand(*band, 0, bandWindow, 0, 1024);
  ASSERT_TRUE(placed);
  const int buttons = form.KtMngToolBar().Width();
  EXPECT_GT(buttons, 268);
  EXPECT_EQ(*placed, TRect::FromSize(0, 0, buttons, 22));
  EXPECT_EQ(form.Width(), buttons) << "the form knows the size it was given";
  EXPECT_EQ(form.Height(), 22);
  EXPECT_EQ(WindowRect(bandWindow).Width(), buttons);
  // On a narrow window it keeps the width its buttons need.
  EXPECT_EQ(PlaceToolbarBand(*band, 0, bandWindow, 0, 100)->Width(), buttons);
  band->CloseDW(0);
  band->SetSite(nullptr);
}

}  // namespace
}  // namespace qm::host

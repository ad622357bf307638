#include "addon/toolband/IEBand.h"

#include <algorithm>

#include "addon/toolband/IEBandRegistry.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/VxSystem.h"

namespace qm {
namespace {

using namespace platform;

// An entry point the browser calls: the body's status, or E_FAIL when
// something escaped it (reported with code first, its message left as
// error information).
template <class F>
HRESULT BandEntry(int code, F&& body) noexcept {
  HRESULT status = E_FAIL;
  const HRESULT edge = SafeCallEdge([&] { status = Reported(code, body); });
  return Succeeded(edge) ? status : E_FAIL;
}

}  // namespace

TIEBand::TIEBand() {
  Reported(loc::BandCreate, [] {});
}

TIEBand::~TIEBand() {
  Swallowed([&] { Reported(loc::BandDestroy, [&] { DestroyForm(); }); });
}

void TIEBand::DestroyForm() noexcept {
  if (!form_) return;
  Swallowed([&] { form_->Hide(); });
  form_.reset();
  savedWindowProc_ = nullptr;
  hasFocus_ = false;
}

HRESULT TIEBand::SetSite(IUnknown* site) {
  return BandEntry(loc::BandSetSite, [&]() -> HRESULT {
    site_ = nullptr;
    commandTarget_ = nullptr;
    browser_ = nullptr;
    if (site == nullptr) return S_OK;
    const ComPtr<IUnknown> given(site);
    parentWindow_ = NoWindow;
    if (const auto window = given.As<IOleWindow>()) {
      HWND handle = NoWindow;
      if (Succeeded(window->GetWindow(handle))) parentWindow_ = handle;
    }
    if (parentWindow_ == NoWindow) return E_FAIL;
    site_ = given.As<IInputObjectSite>();
    if (site_) commandTarget_ = site_.As<IOleCommandTarget>();
    if (commandTarget_) {
      browser_ = QueryService<PageBrowser>(commandTarget_.As<IServiceProvider>(), SID_SWebBrowserApp);
    }
    if (!site_ || !commandTarget_ || !browser_) return E_FAIL;
    return form_ || CreateBandForm() ? S_OK : E_FAIL;
  });
}

bool TIEBand::CreateBandForm() {
  return Swallowed([&] {
    Reported(loc::BandFormCreate, [&] {
      std::unique_ptr<TIEBandForm> form = CreateForm();
      ProcessIEBands().Register(*form, parentWindow_);
      form->CreateHintParts();
      savedWindowProc_ = SetWindowProc(
          form->Handle(), [this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
            return BandWindowProc(window, message, wParam, lParam);
          });
      form_ = std::move(form);
    });
  });
}

LRESULT TIEBand::BandWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  Swallowed([&] {
    Reported(loc::BandWindowProc, [&] {
      if (message == WM_SETFOCUS) FocusChanged(true);
      if (message == WM_KILLFOCUS) FocusChanged(false);
    });
  });
  // A copy: the form's handling may close the band's form, which drops the
  // saved procedure while it runs.
  const TWindowProc saved = savedWindowProc_;
  return CallWindowProc(saved, window, message, wParam, lParam);
}

void TIEBand::FocusChanged(bool focus) {
  hasFocus_ = focus;
  Reported(loc::BandFocusNotice, [&] {
    if (site_) site_->OnFocusChangeIS(static_cast<IDeskBand*>(this), focus);
  });
}

HRESULT TIEBand::GetSite(const IID& iid, void** site) {
  if (site == nullptr) return E_POINTER;
  *site = nullptr;
  return BandEntry(loc::BandGetSite, [&]() -> HRESULT {
    if (!site_) return E_FAIL;
    return site_->QueryInterface(iid, site);
  });
}

HRESULT TIEBand::GetWindow(HWND& window) {
  window = NoWindow;
  return BandEntry(loc::BandGetWindow, [&]() -> HRESULT {
    if (!form_) return E_FAIL;
    window = form_->Handle();
    return S_OK;
  });
}

HRESULT TIEBand::ContextSensitiveHelp(bool) {
  return E_NOTIMPL;
}

HRESULT TIEBand::ShowDW(bool show) {
  return BandEntry(loc::BandShowDW, [&]() -> HRESULT {
    if (form_) form_->SetVisible(show);
    return S_OK;
  });
}

HRESULT TIEBand::CloseDW(uint32_t) {
  return BandEntry(loc::BandCloseDW, [&]() -> HRESULT {
    ShowDW(false);
    DestroyForm();
    return S_OK;
  });
}

HRESULT TIEBand::ResizeBorderDW(const TRect*, IUnknown*, bool) {
  return E_NOTIMPL;
}

HRESULT TIEBand::GetBandInfo(uint32_t bandId, uint32_t viewMode, DESKBANDINFO& info) {
  return BandEntry(loc::BandGetBandInfo, [&]() -> HRESULT {
    bandId_ = bandId;
    viewMode_ = viewMode;
    if ((info.Mask & DBIM_MINSIZE) != 0) info.MinSize = {MinWidth(), MinHeight()};
    if ((info.Mask & DBIM_MAXSIZE) != 0) info.MaxSize = {MaxWidth(), MaxHeight()};
    if ((info.Mask & DBIM_INTEGRAL) != 0) info.Integral = {1, 1};
    if ((info.Mask & DBIM_ACTUAL) != 0) info.Actual = {ActualWidth(), ActualHeight()};
    if ((info.Mask & DBIM_TITLE) != 0) {
      const String title = Title();
      const size_t n = std::min(title.size(), std::size(info.Title) - 1);
      std::copy_n(title.begin(), n, info.Title);
      info.Title[n] = u'\0';
    }
    if ((info.Mask & DBIM_MODEFLAGS) != 0) info.ModeFlags = ModeFlags();
    info.Mask &= ~DBIM_BKCOLOR;  // the site's own background
    return S_OK;
  });
}

HRESULT TIEBand::UIActivateIO(bool activate, const void*) {
  return BandEntry(loc::BandUIActivateIO, [&]() -> HRESULT {
    if (activate && form_) platform::SetFocus(form_->Handle());
    return S_OK;
  });
}

HRESULT TIEBand::HasFocusIO() {
  return hasFocus_ ? S_OK : S_FALSE;
}

HRESULT TIEBand::TranslateAcceleratorIO(const void*) {
  return S_FALSE;
}

HRESULT TIEBand::GetClassID(CLSID& classId) {
  return BandEntry(loc::BandGetClassID, [&]() -> HRESULT {
    classId = BandClassID();
    return S_OK;
  });
}

HRESULT TIEBand::IsDirty() {
  return S_FALSE;
}

HRESULT TIEBand::Load(IStream*) {
  return S_OK;
}

HRESULT TIEBand::Save(IStream*, bool) {
  return S_OK;
}

HRESULT TIEBand::GetSizeMax(uint64_t&) {
  return E_NOTIMPL;
}

}  // namespace qm

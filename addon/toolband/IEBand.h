// TIEBand: the band object a browser creates by class identifier to show a
// toolbar in its window, and TIEToolBand, its size rules for a one-row
// tool band.
//
// What the browser does with a band (platform/com/BandInterfaces.h): it
// hands it the band site (SetSite), asks its sizes and title
// (GetBandInfo), shows it (ShowDW), moves the focus into it (UIActivateIO)
// and closes it (CloseDW). From the site the band takes its parent window,
// the site's input-object-site and command-target interfaces, and through
// the command target's service provider the browser. The first successful
// SetSite makes the band's form (FormClass, a child of the parent window),
// enters it in the band registry (so that it hears the browser window's
// activation, IEBandRegistry.h), gives it its hint parts and puts the
// band's own window procedure in front of the form's: it follows the
// keyboard focus (HasFocus) and tells the site of every change. The form
// lives until CloseDW or the band's end.
//
// A concrete band gives its class identifier, its form class, its title
// and its sizes. Every entry point the browser calls reports a failure with
// its location code and answers E_FAIL; nothing escapes to the browser.
//
// Reference counted; everything runs on the browser window's thread.
#pragma once

#include <memory>

#include "addon/toolband/IEBandForm.h"
#include "core/Common/QuilloraLib.h"
#include "platform/com/BandInterfaces.h"
#include "platform/dom/PageBrowser.h"
#include "platform/winsys/Messages.h"

namespace qm {

class TIEBand : public platform::ComObject<platform::IDeskBand, platform::IObjectWithSite,
                                           platform::IPersistStream, platform::IInputObject> {
public:
  TIEBand();
  ~TIEBand() override;

  // --- IObjectWithSite ---
  HRESULT SetSite(platform::IUnknown* site) override;
  HRESULT GetSite(const platform::IID& iid, void** site) override;
  // --- IOleWindow ---
  HRESULT GetWindow(platform::HWND& window) override;
  HRESULT ContextSensitiveHelp(bool enterMode) override;
  // --- IDockingWindow ---
  HRESULT ShowDW(bool show) override;
  HRESULT CloseDW(uint32_t reserved) override;
  HRESULT ResizeBorderDW(const platform::TRect* border, platform::IUnknown* site,
                         bool reserved) override;
  // --- IDeskBand ---
  HRESULT GetBandInfo(uint32_t bandId, uint32_t viewMode, platform::DESKBANDINFO& info) override;
  // --- IInputObject ---
  HRESULT UIActivateIO(bool activate, const void* message) override;
  HRESULT HasFocusIO() override;
  HRESULT TranslateAcceleratorIO(const void* message) override;
  // --- IPersistStream ---
  HRESULT GetClassID(platform::CLSID& classId) override;
  HRESULT IsDirty() override;
  HRESULT Load(platform::IStream* stream) override;
  HRESULT Save(platform::IStream* stream, bool clearDirty) override;
  HRESULT GetSizeMax(uint64_t& size) override;

  const platform::ComPtr<platform::IInputObjectSite>& Site() const noexcept { return site_; }
  platform::HWND ParentWindow() const noexcept { return parentWindow_; }
  const platform::ComPtr<platform::IOleCommandTarget>& CommandTarget() const noexcept {
    return commandTarget_;
  }
  const platform::ComPtr<platform::PageBrowser>& Browser() const noexcept { return browser_; }
  bool HasFocus() const noexcept { return hasFocus_; }
  uint32_t BandID() const noexcept { return bandId_; }
  uint32_t ViewMode() const noexcept { return viewMode_; }
  // The band's form; null before the first successful SetSite and after
  // CloseDW.
  TIEBandForm* Form() const noexcept { return form_.get(); }

protected:
  virtual platform::CLSID BandClassID() = 0;
  // Makes the form (the band's FormClass) inside ParentWindow.
  virtual std::unique_ptr<TIEBandForm> CreateForm() = 0;
  virtual String Title() = 0;
  virtual int32_t MinWidth() = 0;
  virtual int32_t MinHeight() = 0;
  virtual int32_t MaxWidth() = 0;
  virtual int32_t MaxHeight() = 0;
  virtual int32_t ActualWidth() = 0;
  virtual int32_t ActualHeight() = 0;
  virtual uint32_t ModeFlags() = 0;

  // Closes and frees the form (what CloseDW and the destructor do); a
  // concrete band calls it from its own destructor, while its form class
  // is still whole.
  void DestroyForm() noexcept;

private:
  // Makes, registers and hooks the form; false (no form) when that fails.
  bool CreateBandForm();
  void FocusChanged(bool focus);
  platform::LRESULT BandWindowProc(platform::HWND window, platform::UINT message,
                                   platform::WPARAM wParam, platform::LPARAM lParam);

  platform::ComPtr<platform::IInputObjectSite> site_;
  platform::HWND parentWindow_ = platform::NoWindow;
  platform::ComPtr<platform::IOleCommandTarget> commandTarget_;
  platform::ComPtr<platform::PageBrowser> browser_;
  bool hasFocus_ = false;
  uint32_t bandId_ = 0;
  uint32_t viewMode_ = 0;
  platform::TWindowProc savedWindowProc_;
  std::unique_ptr<TIEBandForm> form_;
};

// A one-row tool band: as tall as its form (22 without one), any width from
// 0 up, its actual size the form's.
class TIEToolBand : public TIEBand {
protected:
  int32_t MinWidth() override { return 0; }
  int32_t MinHeight() override { return Form() != nullptr ? Form()->Height() : 22; }
  int32_t MaxWidth() override { return -1; }
  int32_t MaxHeight() override { return Form() != nullptr ? Form()->Height() : 22; }
  int32_t ActualWidth() override { return Form() != nullptr ? Form()->Width() : 0; }
  int32_t ActualHeight() override { return Form() != nullptr ? Form()->Height() : 0; }
  uint32_t ModeFlags() override { return platform::DBIMF_NORMAL; }
};

}  // namespace qm

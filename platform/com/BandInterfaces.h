// The contracts between a browser's band site and the bands it hosts (the
// toolbars shown in a browser window), beside the site contracts of
// SiteInterfaces.h.
//
// How a browser hosts a band: it creates the band's class (registered under
// the desk-band category and the browser's toolbar key), hands it the site
// with IObjectWithSite::SetSite, asks IDeskBand::GetBandInfo for its sizes
// and title, takes its window from IOleWindow::GetWindow, shows it with
// IDockingWindow::ShowDW(true), and at the end calls CloseDW and
// SetSite(nullptr) before releasing it. The band site it hands over
// implements IOleWindow (the window the band lives in: the band's window
// becomes its child), IInputObjectSite (told when the band gains or loses
// the keyboard focus), IOleCommandTarget and, through the command target,
// IServiceProvider answering SID_SWebBrowserApp with the window's top
// PageBrowser. IPersistStream lets the browser save a band's state; a band
// may keep none.
//
// Shapes only; nothing here has behaviour of its own. Threads: a band and
// its site belong to their browser window's user-interface thread.
#pragma once

#include <cstdint>

#include "platform/com/Guid.h"
#include "platform/com/HResult.h"
#include "platform/com/SiteInterfaces.h"
#include "platform/com/Unknown.h"
#include "platform/com/Variant.h"

namespace qm::platform {

// The component category of bands a browser offers as toolbars.
inline constexpr GUID CATID_DeskBand = MakeGuid("{00021492-0000-0000-C000-000000000046}");

// A window that docks in its site's border.
struct IDockingWindow : IOleWindow {
  static constexpr IID Iid = MakeGuid("{012DD920-7B26-11D0-8CA9-00A0C92DBFE8}");
  using BaseInterface = IOleWindow;

  virtual HRESULT ShowDW(bool show) = 0;
  virtual HRESULT CloseDW(uint32_t reserved) = 0;
  // border: the site's border rectangle (may be null).
  virtual HRESULT ResizeBorderDW(const TRect* border, IUnknown* site, bool reserved) = 0;

protected:
  ~IDockingWindow() = default;
};

// What GetBandInfo fills: only the parts Mask asks for. A band clears a bit
// it doesn't fill (DBIM_BKCOLOR: the site's default background).
inline constexpr uint32_t DBIM_MINSIZE = 0x0001;
inline constexpr uint32_t DBIM_MAXSIZE = 0x0002;
inline constexpr uint32_t DBIM_INTEGRAL = 0x0004;
inline constexpr uint32_t DBIM_ACTUAL = 0x0008;
inline constexpr uint32_t DBIM_TITLE = 0x0010;
inline constexpr uint32_t DBIM_MODEFLAGS = 0x0020;
inline constexpr uint32_t DBIM_BKCOLOR = 0x0040;
inline constexpr uint32_t DBIMF_NORMAL = 0x0000;
// View modes the site passes.
inline constexpr uint32_t DBIF_VIEWMODE_NORMAL = 0x0000;
inline constexpr uint32_t DBIF_VIEWMODE_VERTICAL = 0x0001;

struct DESKBANDINFO {
  uint32_t Mask = 0;
  TPoint MinSize;   // X width, Y height; -1 means no limit
  TPoint MaxSize;
  TPoint Integral;  // the sizing step
  TPoint Actual;
  char16_t Title[256] = {};  // with its terminator
  uint32_t ModeFlags = DBIMF_NORMAL;
  uint32_t BackColor = 0;
};

struct IDeskBand : IDockingWindow {
  static constexpr IID Iid = MakeGuid("{EB0FE172-1A3A-11D0-89B3-00A0C90A90AC}");
  using BaseInterface = IDockingWindow;

  virtual HRESULT GetBandInfo(uint32_t bandId, uint32_t viewMode, DESKBANDINFO& info) = 0;

protected:
  ~IDeskBand() = default;
};

// An object that takes the keyboard focus inside its site.
struct IInputObject : IUnknown {
  static constexpr IID Iid = MakeGuid("{68284FAA-6A48-11D0-8C78-00C04FD918B4}");
  using BaseInterface = IUnknown;

  // message: the message that caused the activation, may be null.
  virtual HRESULT UIActivateIO(bool activate, const void* message) = 0;
  // S_OK when it has the focus, S_FALSE when not.
  virtual HRESULT HasFocusIO() = 0;
  // S_OK when it handled the key message, S_FALSE when not.
  virtual HRESULT TranslateAcceleratorIO(const void* message) = 0;

protected:
  ~IInputObject() = default;
};

// The site side: told whenever a hosted input object gains or loses the
// focus.
struct IInputObjectSite : IUnknown {
  static constexpr IID Iid = MakeGuid("{F1DB8392-7331-11D0-8C99-00A0C92DBFE8}");
  using BaseInterface = IUnknown;

  virtual HRESULT OnFocusChangeIS(IUnknown* object, bool focus) = 0;

protected:
  ~IInputObjectSite() = default;
};

// Commands by group and number. Bands only use the site's command target
// to reach its service provider; a site may answer every command with
// OLECMDERR_E_UNKNOWNGROUP.
inline constexpr HRESULT OLECMDERR_E_UNKNOWNGROUP = static_cast<HRESULT>(0x80040104u);
inline constexpr uint32_t OLECMDF_SUPPORTED = 0x1;
inline constexpr uint32_t OLECMDF_ENABLED = 0x2;

struct OLECMD {
  uint32_t CmdId = 0;
  uint32_t CmdF = 0;  // filled by QueryStatus
};

struct IOleCommandTarget : IUnknown {
  static constexpr IID Iid = MakeGuid("{B722BCCB-4E68-101B-A2BC-00AA00404770}");
  using BaseInterface = IUnknown;

  // group: null for the standard group.
  virtual HRESULT QueryStatus(const GUID* group, uint32_t count, OLECMD* commands) = 0;
  virtual HRESULT Exec(const GUID* group, uint32_t commandId, uint32_t options, const Variant* in,
                       Variant* out) = 0;

protected:
  ~IOleCommandTarget() = default;
};

// A byte stream a persistent object reads itself from or writes itself to.
struct IStream : IUnknown {
  static constexpr IID Iid = MakeGuid("{0000000C-0000-0000-C000-000000000046}");
  using BaseInterface = IUnknown;

  virtual HRESULT Read(void* buffer, uint32_t size, uint32_t& read) = 0;
  virtual HRESULT Write(const void* buffer, uint32_t size, uint32_t& written) = 0;

protected:
  ~IStream() = default;
};

struct IPersist : IUnknown {
  static constexpr IID Iid = MakeGuid("{0000010C-0000-0000-C000-000000000046}");
  using BaseInterface = IUnknown;

  virtual HRESULT GetClassID(CLSID& classId) = 0;

protected:
  ~IPersist() = default;
};

struct IPersistStream : IPersist {
  static constexpr IID Iid = MakeGuid("{00000109-0000-0000-C000-000000000046}");
  using BaseInterface = IPersist;

  // S_OK when there are unsaved changes, S_FALSE when not.
  virtual HRESULT IsDirty() = 0;
  virtual HRESULT Load(IStream* stream) = 0;
  virtual HRESULT Save(IStream* stream, bool clearDirty) = 0;
  virtual HRESULT GetSizeMax(uint64_t& size) = 0;

protected:
  ~IPersistStream() = default;
};

}  // namespace qm::platform

// One browser window of the host: its window handle, its top browser from
// the engine, the site that the helper objects and toolbar bands are given,
// the helper objects themselves (one of each loaded class) and the toolbar
// bands (one of each loaded toolbar class, sited, shown, and closed again
// with the window). Opening the window activates it, which the bands hear.
//
// The window also watches its page for the transcript: every navigation
// (a submission with its fields), every page loaded, and the values that
// changed in the page's controls without the user (the add-on's fills),
// reported when the page is left or when the host asks after settling.
//
// Everything here runs on the window's own thread (WindowThread.h); the
// object is made and destroyed there too.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "host/AddonLoader.h"
#include "host/BrowserEngine.h"
#include "host/Transcript.h"
#include "platform/com/BandInterfaces.h"
#include "platform/com/SiteInterfaces.h"

namespace qm::host {

class TBrowserWindow {
public:
  TBrowserWindow(TBrowserEngine& engine, const std::vector<THelperClass>& helpers, TTranscript& transcript,
                 const std::vector<THelperClass>& toolbars = {});
  ~TBrowserWindow();
  TBrowserWindow(const TBrowserWindow&) = delete;
  TBrowserWindow& operator=(const TBrowserWindow&) = delete;

  // Makes the window, its browser and site, then one helper object of each
  // class with the site given. A helper object that can't be made or
  // refuses its site is named in the transcript and left out.
  void Open();
  // Withdraws the site from the helper objects, releases them, closes the
  // browser and the window.
  void Close();

  const ComPtr<PageBrowser>& Browser() const noexcept { return browser_; }
  platform::HWND Handle() const noexcept { return window_; }
  size_t HelperCount() const noexcept { return helpers_.size(); }
  // The windows of the toolbar bands shown, in loading order.
  std::vector<platform::HWND> ToolbarWindows() const;
  // Writes the toolbars' buttons to the transcript: all of them the first
  // time, then those whose caption or state changed since.
  void ReportToolbars();

  void Navigate(const std::u16string& url);
  // Does all the work waiting in the window (loads, queued calls, the
  // dialogs' turn) until there is none; false when it had to stop after
  // maxTurns turns (a page that keeps navigating).
  bool Settle(int maxTurns = 500);
  // Remembers the values of the page's controls as they are now, so that
  // only later changes are reported.
  void TakeSnapshot();
  // Reports the changes since the snapshot and takes a new one.
  void ReportChanges();

private:
  struct TControlState {
    ComPtr<PageElement> Element;
    std::u16string Label;
    std::u16string Value;
    bool Checkable = false;
    bool Checked = false;
  };
  std::vector<TControlState> ReadControls();
  void ConnectTranscriptSink();
  void OpenToolbars();
  void CloseToolbars();

  struct TBand {
    std::u16string Caption;
    ComPtr<platform::IDeskBand> Band;
    platform::HWND Window = platform::NoWindow;
  };

  TBrowserEngine& engine_;
  std::vector<THelperClass> classes_;
  TTranscript& transcript_;
  platform::HWND window_ = platform::NoWindow;
  ComPtr<PageBrowser> browser_;
  ComPtr<IUnknown> site_;
  std::vector<ComPtr<platform::IObjectWithSite>> helpers_;
  std::vector<THelperClass> toolbarClasses_;
  std::vector<TBand> bands_;
  std::vector<std::u16string> toolbarsReported_;  // the lines last written
  ComPtr<platform::PageBrowserEvents> sink_;
  uint32_t sinkCookie_ = 0;
  std::vector<TControlState> snapshot_;
};

// The elements of a page for selectors: ById and ByName search the top
// document, then its frames in document order (depth first).
ComPtr<PageElement> FindElementById(const ComPtr<PageBrowser>& browser, std::u16string_view id);
ComPtr<PageElement> FindElementByName(const ComPtr<PageBrowser>& browser, std::u16string_view name);

}  // namespace qm::host

// The Chromium engine: the page document interface (platform/dom) over a
// real Chromium, driven through the DevTools protocol on a pipe. This is
// the engine's one entry point for hosts and tests.
//
//   auto engine = ChromiumEngine::Start();           // one browser process
//   ComPtr<ChromiumBrowser> tab = engine->OpenBrowser();  // a top browser
//   tab->Navigate(url, ...); ... pump the window thread's events ...
//
// The engine owns the browser process (see ChromiumProcess.h) and the
// connection; each ChromiumBrowser it opens is a tab with its frames, and
// belongs to the thread that opened it: its navigation and page events are
// posted to that thread's event queue (platform/com/PendingEvents.h) and
// run when the thread processes its events, as a window's message loop
// does. Calls that need the page wait for it, up to the call deadline
// (10 s unless set), and raise EChromiumError when it passes, when the
// page's renderer crashed or when the browser is gone.
//
// Page dialogs (alert, confirm, prompt, beforeunload) are dismissed at once,
// so that no call ever waits for a person, and reported to the tab.
//
// Closing the engine (or its last reference going) ends the browser's whole
// process group and removes its profile; the tabs then show nothing.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engines/chromium/ChromiumProcess.h"
#include "engines/chromium/DevToolsConnection.h"
#include "platform/com/PendingEvents.h"
#include "platform/com/SiteInterfaces.h"
#include "platform/dom/PageBrowser.h"

namespace qm::chromium {

using platform::ComPtr;

class Tab;
class EngineCore;

struct EngineOptions {
  // Without a window unless asked.
  bool Headless = true;
  std::chrono::milliseconds CallDeadline{10000};
  std::chrono::milliseconds StartDeadline{30000};
  std::string Binary = LaunchOptions().Binary;
  std::vector<std::string> ExtraArguments;
};

// A page dialog that was answered for the page.
struct PageDialog {
  std::u16string Type;  // "alert", "confirm", "prompt", "beforeunload"
  std::u16string Message;
  std::u16string Url;
};

class ChromiumBrowser;

class ChromiumEngine {
public:
  // Starts the browser; raises EChromiumError when it can't.
  static std::shared_ptr<ChromiumEngine> Start(EngineOptions options = {});
  ~ChromiumEngine();

  // A new tab, belonging to the calling thread.
  ComPtr<ChromiumBrowser> OpenBrowser();
  // Ends the browser; every tab is closed. Idempotent.
  void Close();
  bool Closed() const;
  pid_t ProcessGroup() const;
  const EngineOptions& Options() const noexcept { return options_; }

private:
  explicit ChromiumEngine(EngineOptions options);
  EngineOptions options_;
  std::shared_ptr<EngineCore> core_;
};

// A browser of the engine: a tab's top browser, or one of its frames.
class ChromiumBrowser final
    : public platform::ComObject<platform::PageBrowser, platform::IServiceProvider> {
public:
  ChromiumBrowser(Tab* tab, std::string frameId);
  ~ChromiumBrowser() override;

  // --- IServiceProvider: SID_SWebBrowserApp is the tab's top browser ---
  platform::HRESULT QueryService(const platform::GUID& service, const platform::IID& iid,
                                 void** object) override;

  // --- PageBrowser ---
  ComPtr<platform::IUnknown> Document() override;
  std::u16string LocationURL() override;
  void Navigate(const std::u16string& url, const platform::Variant& flags,
                const platform::Variant& targetFrameName, const platform::Variant& postData,
                const platform::Variant& headers) override;
  int64_t HWND() override { return 0; }
  bool Visible() override;
  void PutProperty(const std::u16string& name, const platform::Variant& value) override;
  platform::Variant GetProperty(const std::u16string& name) override;
  uint32_t Advise(const ComPtr<platform::PageBrowserEvents>& sink) override;
  void Unadvise(uint32_t cookie) override;

  // --- engine (top browser; on a frame they act on its tab) ---
  // Navigates and waits until the top document is complete (its
  // DocumentComplete has been raised); false when the wait timed out.
  bool Load(const std::u16string& url, std::chrono::milliseconds timeout = {});
  // Processes the calling thread's events until done() answers true or
  // timeout passes; answers done()'s last answer.
  bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  // Sends queued writes of every frame to the page now.
  void FlushWrites();
  // For a host's message loop: handles what has come in for the tab, and
  // answers whether anything is still under way (a top navigation not yet
  // complete, events queued, writes not yet sent). While a navigation is
  // under way it waits up to wait for the browser's next event first.
  bool DoPendingWork(std::chrono::milliseconds wait);
  void SetCallDeadline(std::chrono::milliseconds deadline);
  // Called (on the tab's thread) for every dialog the page opened.
  void SetDialogHandler(std::function<void(const PageDialog&)> handler);
  std::vector<PageDialog> Dialogs() const;
  // Counts the top document's completed loads (DocumentComplete of the top).
  uint64_t CompletedLoads() const;
  // Closes the tab; its browsers show nothing from then on.
  void Close();
  bool Closed() const noexcept { return tab_ == nullptr; }
  bool IsTop() const;
  const std::string& FrameId() const noexcept { return frameId_; }
  Tab* GetTab() const noexcept { return tab_; }

  // --- used by the tab ---
  void Detach() noexcept;
  std::vector<std::pair<uint32_t, ComPtr<platform::PageBrowserEvents>>> SinkSnapshot() const {
    return sinks_;
  }
  bool HasSink(uint32_t cookie) const;

private:
  // The frame a navigation with that target shows in; empty for a new
  // window.
  std::string TargetFrame(const platform::Variant& targetFrameName);

  Tab* tab_;
  std::string frameId_;
  std::shared_ptr<Tab> owned_;  // the top browser owns its tab
  std::vector<std::pair<uint32_t, ComPtr<platform::PageBrowserEvents>>> sinks_;
  std::map<std::u16string, platform::Variant> properties_;
  friend class ChromiumEngine;
};

}  // namespace qm::chromium

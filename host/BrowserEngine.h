// The seam between the browser host and a document engine.
//
// An engine makes the top browser of each window (a PageBrowser whose
// navigation events the add-on hears), does the work its browsers leave
// for later when the window's message loop asks (queued loads, events from
// a browser process), and performs a person's gestures on its elements.
// The built-in engine (MemdomEngine.h) is one; the Chromium engine plugs
// in the same way.
//
// An engine object is made on the host's main thread; everything else is
// called on the window thread that owns the browser in question.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/dom/PageBrowser.h"
#include "platform/dom/PageDocument.h"
#include "platform/winsys/WindowRegistry.h"

namespace qm::host {

using platform::ComPtr;
using platform::IUnknown;
using platform::PageBrowser;
using platform::PageElement;

class TBrowserEngine {
public:
  virtual ~TBrowserEngine() = default;

  // "memdom", "chromium".
  virtual std::string Name() const = 0;

  // Makes the top browser of the window (visible, its HWND the window's).
  virtual ComPtr<PageBrowser> CreateTopBrowser(platform::HWND window) = 0;
  // Closes a browser that CreateTopBrowser made.
  virtual void CloseBrowser(const ComPtr<PageBrowser>& browser) = 0;

  // Does the work waiting for browser (loads asked for, events that came
  // in) and answers whether there was any. The window's loop calls it until
  // it answers false: then the page and everything it started is done.
  virtual bool Pump(const ComPtr<PageBrowser>& browser) = 0;

  // A person's gestures on an element of one of this engine's pages; each
  // raises what the engine raises for it (focus, keys, mouse, change).
  virtual void Focus(const ComPtr<PageElement>& element) = 0;
  // Type replaces the control's text, as a person who selects it first.
  virtual void Type(const ComPtr<PageElement>& control, std::u16string_view text) = 0;
  virtual void Choose(const ComPtr<PageElement>& select, int index) = 0;
  // False when the element could not be clicked as a person would (it has
  // no box on the screen) and was clicked as a program clicks it instead.
  virtual bool Click(const ComPtr<PageElement>& element) = 0;
};

struct TEngineOptions {
  std::string Name = "memdom";
  bool Headful = false;  // a browser window on the screen, where the engine has one
  // Told of every page that could not be fetched.
  std::function<void(const std::u16string& url, const std::string& reason)> OnLoadFailure;
};

// The engine of that name; raises platform::Exception for an unknown one.
std::unique_ptr<TBrowserEngine> MakeEngine(const TEngineOptions& options);
// The Chromium engine (host/ChromiumEngine.cpp); raises when the browser
// can't be started.
std::unique_ptr<TBrowserEngine> MakeChromiumEngine(const TEngineOptions& options);

}  // namespace qm::host

// The Chromium engine behind the host: one browser process for the
// session, a tab for each window, and a person's gestures done the way the
// page hears them from a user (values arrive with input and change).
#include <chrono>
#include <memory>

#include "engines/chromium/ChromiumEngine.h"
#include "engines/chromium/UserInput.h"
#include "host/BrowserEngine.h"

namespace qm::host {

namespace {

using namespace std::chrono_literals;

class TChromiumEngine final : public TBrowserEngine {
public:
  explicit TChromiumEngine(const TEngineOptions& options) {
    chromium::EngineOptions engineOptions;
    engineOptions.Headless = !options.Headful;
    engine_ = chromium::ChromiumEngine::Start(engineOptions);
  }

  std::string Name() const override { return "chromium"; }

  ComPtr<PageBrowser> CreateTopBrowser(platform::HWND) override {
    return ComPtr<PageBrowser>(engine_->OpenBrowser().Get());
  }

  void CloseBrowser(const ComPtr<PageBrowser>& browser) override {
    if (auto* tab = Tab(browser)) tab->Close();
  }

  bool Pump(const ComPtr<PageBrowser>& browser) override {
    auto* tab = Tab(browser);
    return tab != nullptr && tab->DoPendingWork(20ms);
  }

  // Focus and keys go through the browser's own input, so the page hears
  // them as it hears a person (trusted key, input and change events).
  void Focus(const ComPtr<PageElement>& element) override { chromium::FocusElement(element); }
  void Type(const ComPtr<PageElement>& control, std::u16string_view text) override {
    chromium::TypeText(control, text, chromium::TypingMode::Replace);
  }
  void Choose(const ComPtr<PageElement>& select, int index) override {
    if (auto view = select.As<platform::PageSelectElement>()) view->setSelectedIndex(index);
  }
  // The mouse clicks where the element shows; one with no box on the
  // screen is clicked through the page, as a program would.
  bool Click(const ComPtr<PageElement>& element) override {
    if (!element) return true;
    if (chromium::ClickElement(element)) return true;
    element->click();
    return false;
  }

private:
  static chromium::ChromiumBrowser* Tab(const ComPtr<PageBrowser>& browser) {
    return dynamic_cast<chromium::ChromiumBrowser*>(browser.Get());
  }

  std::shared_ptr<chromium::ChromiumEngine> engine_;
};

}  // namespace

std::unique_ptr<TBrowserEngine> MakeChromiumEngine(const TEngineOptions& options) {
  return std::make_unique<TChromiumEngine>(options);
}

}  // namespace qm::host

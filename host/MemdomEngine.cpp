// The built-in engine behind the host: MemBrowser over the session's
// network loader, with the engine's own user gestures.
#include <functional>
#include <memory>

#include "engines/memdom/MemBrowser.h"
#include "engines/memdom/UserActions.h"
#include "host/BrowserEngine.h"
#include "host/HttpLoader.h"
#include "platform/rtl/Exception.h"
#include "platform/rtl/Utf.h"

namespace qm::host {

namespace {

class TMemdomEngine final : public TBrowserEngine {
public:
  explicit TMemdomEngine(const TEngineOptions& options) : onFailure_(options.OnLoadFailure) {}

  std::string Name() const override { return "memdom"; }

  ComPtr<PageBrowser> CreateTopBrowser(platform::HWND window) override {
    // Each window is a browsing session of its own, with its own cookies.
    auto loader = std::make_shared<THttpResourceLoader>();
    loader->OnFailure = onFailure_;
    ComPtr<memdom::MemBrowser> browser = memdom::MemBrowser::Create(loader);
    browser->SetWindowHandle(window);
    browser->SetVisible(true);
    return ComPtr<PageBrowser>(browser.Get());
  }

  void CloseBrowser(const ComPtr<PageBrowser>& browser) override {
    if (auto* mem = Mem(browser)) mem->Close();
  }

  bool Pump(const ComPtr<PageBrowser>& browser) override {
    auto* mem = Mem(browser);
    if (mem == nullptr || !mem->HasPendingNavigation()) return false;
    mem->RunPendingNavigation();
    return true;
  }

  void Focus(const ComPtr<PageElement>& element) override { memdom::FocusElement(element); }
  void Type(const ComPtr<PageElement>& control, std::u16string_view text) override {
    // The old text goes first, as a person selects it before typing.
    if (auto input = control.As<platform::PageInputElement>()) {
      if (!input->value().empty()) input->setValue(u"");
    } else if (auto area = control.As<platform::PageTextAreaElement>()) {
      if (!area->value().empty()) area->setValue(u"");
    }
    memdom::TypeText(control, text);
  }
  void Choose(const ComPtr<PageElement>& select, int index) override { memdom::ChooseOption(select, index); }
  bool Click(const ComPtr<PageElement>& element) override {
    memdom::ClickAsUser(element);
    return true;
  }

private:
  static memdom::MemBrowser* Mem(const ComPtr<PageBrowser>& browser) {
    return dynamic_cast<memdom::MemBrowser*>(browser.Get());
  }

  std::function<void(const std::u16string&, const std::string&)> onFailure_;
};

}  // namespace

std::unique_ptr<TBrowserEngine> MakeEngine(const TEngineOptions& options) {
  if (options.Name == "memdom") return std::make_unique<TMemdomEngine>(options);
  if (options.Name == "chromium") return MakeChromiumEngine(options);
  throw platform::Exception(platform::W("Unknown engine '" + options.Name + "' (known: memdom, chromium)"));
}

}  // namespace qm::host

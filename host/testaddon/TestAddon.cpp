// A small component library for the host's tests: one helper object class,
// registered like the add-on's, that shows the host's whole loading road
// working without the add-on itself. On every top-level page it fills the
// empty inputs named "greeting" and, when the page has an element with id
// "ask", asks a question in a message box and writes the answer into it.
#include "addon/server/ComServer.h"
#include "platform/com/SiteInterfaces.h"
#include "platform/dom/PageBrowser.h"
#include "platform/dom/PageDocument.h"
#include "platform/ui/Backend.h"

namespace qm::server {

namespace {

using platform::ComObject;
using platform::MakeCom;
using platform::PageBrowser;
using platform::PageDocument;

constexpr CLSID CLASS_TestHelper = platform::MakeGuid("{5A1D0C3E-7B2F-4E61-9D08-3C4B5A6E7F01}");

class TTestHelper final : public ComObject<platform::IObjectWithSite> {
public:
  HRESULT SetSite(IUnknown* site) override {
    if (browser_ && cookie_ != 0) browser_->Unadvise(cookie_);
    browser_ = nullptr;
    cookie_ = 0;
    if (site == nullptr) return platform::S_OK;
    const auto provider = ComPtr<IUnknown>(site).As<platform::IServiceProvider>();
    browser_ = platform::QueryService<PageBrowser>(provider, platform::SID_SWebBrowserApp);
    if (!browser_) return platform::E_FAIL;
    auto window = ComPtr<IUnknown>(site).As<platform::IOleWindow>();
    platform::HWND handle = platform::NoWindow;
    if (!window || platform::Failed(window->GetWindow(handle))) return platform::E_FAIL;
    owner_ = handle;
    auto sink = MakeCom<platform::BrowserEventHandlers>();
    sink->OnDocumentComplete = [this](auto&, const ComPtr<PageBrowser>& browser, const std::u16string&) {
      if (platform::ComIdentity(browser) == platform::ComIdentity(browser_)) PageLoaded();
    };
    cookie_ = browser_->Advise(ComPtr<platform::PageBrowserEvents>(sink.Get()));
    return platform::S_OK;
  }
  HRESULT GetSite(const platform::IID&, void** site) override {
    *site = nullptr;
    return platform::E_FAIL;
  }

private:
  void PageLoaded() {
    const auto document = browser_->Document().As<PageDocument>();
    if (!document) return;
    const auto all = document->all();
    for (int32_t i = 0; i < all->length(); ++i) {
      const auto element = all->item(i);
      const auto input = element.As<platform::PageInputElement>();
      if (input && input->name() == u"greeting" && input->value().empty()) input->setValue(u"hello from the add-on");
      const platform::Variant id = element->getAttribute(u"id");
      if (id.GetKind() == platform::Variant::Kind::String && id.AsString() == u"ask" && input) {
        const int answer = platform::ui::MessageBox(owner_, u"Shall I write yes?", u"Test add-on",
                                                    platform::ui::TMsgIcon::Question,
                                                    platform::ui::TMsgButtons::YesNo);
        input->setValue(answer == platform::ui::IDYES ? u"yes" : u"no");
      }
    }
  }

  ComPtr<PageBrowser> browser_;
  uint32_t cookie_ = 0;
  platform::HWND owner_ = platform::NoWindow;
};

class TTestHelperFactory final : public TComObjectFactory {
public:
  explicit TTestHelperFactory(TComServer& server)
      : TComObjectFactory(server, CLASS_TestHelper, u"TestHelper", u"Quillbrowse Test Helper",
                          TInstancing::MultiInstance, TThreadingModel::Apartment) {}

  void UpdateRegistry(bool reg, const std::u16string& fileName) override {
    TComObjectFactory::UpdateRegistry(reg, fileName);
    UpdateHelperObjectKey(reg, ClassID(), Description());
  }

protected:
  ComPtr<IUnknown> CreateComObject() override { return MakeCom<TTestHelper>().As<IUnknown>(); }
};

}  // namespace

TComServer& LibraryServer() {
  static TComServer* server = [] {
    auto* made = new TComServer(u"QuillbrowseTest");
    made->Add(MakeCom<TTestHelperFactory>(*made));
    return made;
  }();
  return *server;
}

}  // namespace qm::server

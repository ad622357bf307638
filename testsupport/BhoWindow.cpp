#include "testsupport/BhoWindow.h"

#include <stdexcept>
#include <utility>

#include "core/Common/StreamUtils.h"
#include "core/Common/TextUtils.h"
#include "platform/com/OleException.h"
#include "platform/dom/PageDocument.h"
#include "platform/winsys/Messages.h"
#include "platform/winsys/WindowRegistry.h"

namespace qm::testing {

using platform::ComPtr;
using platform::PageElement;

// --- TTestSite ---

platform::HRESULT TTestSite::QueryService(const platform::GUID& service, const platform::IID& iid,
                                          void** object) {
  if (object == nullptr) return platform::E_POINTER;
  *object = nullptr;
  if (service != platform::SID_SWebBrowserApp || !browser_) return platform::E_NOINTERFACE;
  return browser_->QueryInterface(iid, object);
}

platform::HRESULT TTestSite::GetWindow(platform::HWND& window) {
  window = window_;
  return window_ == platform::NoWindow ? platform::E_FAIL : platform::S_OK;
}

// --- TBhoWindow ---

TBhoWindow::TBhoWindow() : TBhoWindow(TOptions{}) {}

TBhoWindow::TBhoWindow(TOptions options)
    : loader_(options.Loader ? options.Loader : std::make_shared<memdom::MapResourceLoader>()),
      scripts_(std::make_shared<memdom::ScriptBindings>()),
      followMetaRefresh_(options.FollowMetaRefresh) {
  browser_ = memdom::MemBrowser::Create(loader_, scripts_);
  platform::TWindowParams params;
  params.ClassName = u"QuillbrowseWindow";
  params.Text = u"Test window";
  params.Rect = platform::TRect::FromSize(100, 100, 800, 600);
  params.Visible = true;
  window_ = platform::CreateWindow(params);
  if (options.BrowserKnowsWindow) browser_->SetWindowHandle(window_);
  site_ = platform::MakeCom<TTestSite>(ComPtr<platform::PageBrowser>(browser_.Get()), window_);
  helper_ = CreateVxBrowserHelperObject();
  if (options.Attach) Attach();
}

TBhoWindow::~TBhoWindow() {
  if (helper_) helper_->SetSite(nullptr);
  helper_ = nullptr;
  site_ = nullptr;
  if (browser_) browser_->Close();
  browser_ = nullptr;
  platform::DestroyWindow(window_);
}

void TBhoWindow::AddPage(const std::u16string& url, std::string html,
                         std::u16string contentType) {
  Pages().Add(url, std::move(html), std::move(contentType));
}

memdom::MapResourceLoader& TBhoWindow::Pages() {
  auto* pages = dynamic_cast<memdom::MapResourceLoader*>(loader_.get());
  if (pages == nullptr) throw std::logic_error("this window's pages don't come from memory");
  return *pages;
}

TVxBrowserHelperObject& TBhoWindow::Helper() const {
  TVxBrowserHelperObject* helper =
      TVxBrowserHelperObject::FromObject(ComPtr<platform::IUnknown>(helper_.Get()));
  if (helper == nullptr) throw std::logic_error("no helper object");
  return *helper;
}

void TBhoWindow::Attach() {
  platform::OleCheck(helper_->SetSite(site_.As<platform::IUnknown>().Get()));
}

void TBhoWindow::Detach() {
  platform::OleCheck(helper_->SetSite(nullptr));
}

void TBhoWindow::Navigate(const std::u16string& url) {
  browser_->Navigate(url, {}, {}, {}, {});
}

size_t TBhoWindow::RunPending(size_t maxLoads) {
  size_t loads = 0;
  for (;;) {
    // What the window thread's message loop does when it looks: the
    // queued calls (the manager's events), posted messages and due timers.
    platform::PumpWaitingMessages();
    platform::ui::CurrentBackend().Idle();
    if (loads >= maxLoads) break;
    if (!browser_->HasPendingNavigation() && !FollowMetaRefresh()) break;
    if (browser_->RunPendingNavigation()) ++loads;
  }
  return loads;
}

bool TBhoWindow::FollowMetaRefresh() {
  const ComPtr<memdom::MemDocument> document = Document();
  if (!followMetaRefresh_ || !document || document == refreshed_) return false;
  refreshed_ = document;
  const auto metas = document->all()->tags(u"meta");
  for (int32_t i = 0; i < metas->length(); ++i) {
    const auto meta = metas->item(i).As<platform::PageMetaElement>();
    if (!meta || AsciiLowerCase(meta->httpEquiv()) != u"refresh") continue;
    // "0; url=next.html": only an immediate refresh is followed here.
    const std::u16string content = meta->content();
    const size_t cut = content.find_first_of(u";,");
    if (Trim(content.substr(0, cut)) != u"0") return false;
    std::u16string target;
    if (cut != std::u16string::npos) {
      target = Trim(content.substr(cut + 1));
      if (AsciiLowerCase(target.substr(0, 4)) == u"url=") target = Trim(target.substr(4));
    }
    Navigate(document->ResolveUrl(target.empty() ? document->url() : target));
    return browser_->HasPendingNavigation();
  }
  return false;
}

size_t TBhoWindow::Load(const std::u16string& url, size_t maxLoads) {
  Navigate(url);
  return RunPending(maxLoads);
}

bool TBhoWindow::PumpUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    RunPending();
    if (done()) return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    platform::WaitMessage(std::chrono::milliseconds(20));
  }
}

ComPtr<memdom::MemDocument> TBhoWindow::Document() const {
  return browser_->HtmlDocument();
}

ComPtr<memdom::MemDocument> TBhoWindow::FrameDocument(std::u16string_view name) const {
  std::vector<ComPtr<memdom::MemBrowser>> pending = browser_->Frames();
  while (!pending.empty()) {
    const ComPtr<memdom::MemBrowser> frame = std::move(pending.back());
    pending.pop_back();
    if (frame->FrameName() == name) return frame->HtmlDocument();
    for (ComPtr<memdom::MemBrowser>& inner : frame->Frames())
      pending.push_back(std::move(inner));
  }
  return nullptr;
}

ComPtr<PageElement> TBhoWindow::Element(std::u16string_view id) const {
  return Element(Document(), id);
}

ComPtr<PageElement> TBhoWindow::Element(const ComPtr<memdom::MemDocument>& doc,
                                        std::u16string_view id) const {
  if (!doc) return nullptr;
  return ComPtr<PageElement>(doc->ElementById(id));
}

std::u16string TBhoWindow::Value(std::u16string_view id) const {
  const ComPtr<PageElement> element = Element(id);
  if (const auto input = element.As<platform::PageInputElement>()) return input->value();
  if (const auto textarea = element.As<platform::PageTextAreaElement>()) return textarea->value();
  if (const auto select = element.As<platform::PageSelectElement>()) return select->value();
  return {};
}

void SavePageForms(TBhoWindow& window, IQoraServer& server, const String& name) {
  TVxBrowserHelperObject& helper = window.Helper();
  helper.RescanForms();
  TTransitFormSet forms;
  helper.PageForms().BuildTransitSet(forms, CardPartsAll);
  TMemoryStream stream;
  forms.WriteToStream(stream);
  bool saved = false;
  bool passwordNeeded = false;
  platform::OleCheck(server.SaveFormSet(helper.Agent().PageKey(), name, helper.Agent().PageUrl(),
                                        StreamToVariant(stream), saved, passwordNeeded));
  if (!saved) throw std::runtime_error("the manager saved nothing");
}

}  // namespace qm::testing

#include "engines/memdom/MemBrowser.h"

#include <algorithm>
#include <utility>

#include "engines/memdom/MemEvents.h"
#include "platform/net/AddressJoin.h"
#include "platform/rtl/Exception.h"

namespace qm::memdom {
namespace {

class MemPlainDocument final : public platform::ComObject<IMemPlainDocument> {
public:
  MemPlainDocument(std::u16string url, std::u16string contentType, std::string bytes)
      : url_(std::move(url)), contentType_(std::move(contentType)), bytes_(std::move(bytes)) {}
  std::u16string Url() override { return url_; }
  std::u16string ContentType() override { return contentType_; }
  const std::string& Bytes() override { return bytes_; }

private:
  std::u16string url_;
  std::u16string contentType_;
  std::string bytes_;
};

bool IsHtmlType(std::u16string_view mediaType) {
  return mediaType.empty() || mediaType == u"text/html" || mediaType == u"application/xhtml+xml";
}

ComPtr<MemBrowser> BrowserOf(const ComPtr<platform::PageBrowser>& browser) {
  const ComPtr<IMemFrameContent> content = browser.As<IMemFrameContent>();
  if (!content) return {};
  return ComPtr<MemBrowser>(static_cast<MemBrowser*>(content.Get()));
}

}  // namespace

MemBrowser::MemBrowser(std::shared_ptr<ResourceLoader> loader,
                       std::shared_ptr<ScriptBindings> scripts, MemBrowser* parent,
                       std::u16string name)
    : loader_(std::move(loader)),
      scripts_(std::move(scripts)),
      parent_(parent),
      name_(std::move(name)) {
  if (!scripts_) scripts_ = std::make_shared<ScriptBindings>();
}

ComPtr<MemBrowser> MemBrowser::Create(std::shared_ptr<ResourceLoader> loader,
                                      std::shared_ptr<ScriptBindings> scripts) {
  if (!loader) throw platform::Exception(u"A browser needs a resource loader");
  return ComPtr<MemBrowser>(new MemBrowser(std::move(loader), std::move(scripts), nullptr, u""));
}

MemBrowser::~MemBrowser() {
  Close();
}

platform::HRESULT MemBrowser::QueryService(const platform::GUID& service, const platform::IID& iid,
                                 void** object) {
  if (object == nullptr) return platform::E_POINTER;
  *object = nullptr;
  if (service != platform::SID_SWebBrowserApp) return platform::E_NOINTERFACE;
  return Top().QueryInterface(iid, object);
}

MemBrowser& MemBrowser::Top() noexcept {
  MemBrowser* b = this;
  while (b->parent_ != nullptr)
    b = b->parent_;
  return *b;
}

void MemBrowser::Close() noexcept {
  if (closed_) return;
  closed_ = true;
  queue_.clear();
  sinks_.Clear();
  document_ = nullptr;
  // Closing the document drops its frame elements, which close their
  // browsers in turn.
  if (ComPtr<MemDocument> html = std::move(htmlDocument_)) html->Close();
}

void MemBrowser::FrameElementGone() noexcept {
  parent_ = nullptr;
  Close();
}

ComPtr<IUnknown> MemBrowser::Document() {
  return closed_ ? ComPtr<IUnknown>() : document_;
}

void MemBrowser::Navigate(const std::u16string& url, const Variant& flags,
                          const Variant& targetFrameName, const Variant& postData,
                          const Variant& headers) {
  (void)flags;
  if (closed_) return;
  NavigationRequest request;
  request.Url = url;
  if (!url_.empty()) {
    try {
      request.Url = platform::CombineAddress(url_, url);
    } catch (const platform::Exception&) {
      // An address that doesn't join is taken as it is.
    }
  }
  request.Method = u"get";
  if (postData.GetKind() == Variant::Kind::ByteArray && postData.ArrayCount() > 0) {
    request.Method = u"post";
    request.PostData = postData.AsByteArray().Items;
  }
  if (!headers.IsEmptyOrNull()) request.Headers = headers.ToText();
  if (!targetFrameName.IsEmptyOrNull()) request.Target = targetFrameName.ToText();
  BeginNavigation(std::move(request));
}

void MemBrowser::PutProperty(const std::u16string& name, const Variant& value) {
  properties_[name] = value;
}

Variant MemBrowser::GetProperty(const std::u16string& name) {
  const auto it = properties_.find(name);
  return it == properties_.end() ? Variant() : it->second;
}

uint32_t MemBrowser::Advise(const ComPtr<platform::PageBrowserEvents>& sink) {
  if (!sink) throw platform::Exception(u"No event sink to connect");
  return closed_ ? NextConnectionCookie() : sinks_.Add(sink);
}

void MemBrowser::Unadvise(uint32_t cookie) { sinks_.Remove(cookie); }

// --- navigation -------------------------------------------------------

MemBrowser* MemBrowser::FindFrame(const std::u16string& name) {
  std::vector<ComPtr<MemBrowser>> pending{ComPtr<MemBrowser>(&Top())};
  while (!pending.empty()) {
    ComPtr<MemBrowser> b = std::move(pending.back());
    pending.pop_back();
    if (b->parent_ != nullptr && b->name_ == name) return b.Get();
    for (ComPtr<MemBrowser>& f : b->Frames())
      pending.push_back(std::move(f));
  }
  return nullptr;
}

MemBrowser* MemBrowser::ResolveTarget(const std::u16string& target, bool& newWindow) {
  newWindow = false;
  if (target.empty() || EqualsIgnoringAsciiCase(target, u"_self")) return this;
  if (EqualsIgnoringAsciiCase(target, u"_top")) return &Top();
  if (EqualsIgnoringAsciiCase(target, u"_parent")) return parent_ != nullptr ? parent_ : this;
  if (!EqualsIgnoringAsciiCase(target, u"_blank")) {
    if (MemBrowser* frame = FindFrame(target)) return frame;
  }
  newWindow = true;
  return nullptr;
}

void MemBrowser::BeginNavigation(NavigationRequest request) {
  if (closed_) return;
  const ComPtr<MemBrowser> self(this);
  bool newWindow = false;
  MemBrowser* target = ResolveTarget(request.Target, newWindow);
  if (newWindow) {
    ComPtr<platform::PageBrowser> supplied;
    if (!Top().RaiseNewWindow2(supplied)) return;
    ComPtr<MemBrowser> window = BrowserOf(supplied);
    if (!window && Top().onNewWindow_) window = Top().onNewWindow_();
    if (!window || window.Get() == this) return;
    request.Target.clear();
    window->BeginNavigation(std::move(request));
    return;
  }
  const ComPtr<MemBrowser> targetRef(target);
  if (!target->RaiseBeforeNavigate2(request) || target->closed_) return;
  MemBrowser& top = target->Top();
  std::erase_if(top.queue_, [target](const Pending& p) { return p.Target.Get() == target; });
  top.queue_.push_back({targetRef, std::move(request)});
  if (top.onQueued_) top.onQueued_();
}

void MemBrowser::NavigateFrom(MemDocument& document, const NavigationRequest& request) {
  if (closed_ || &document != htmlDocument_.Get()) return;
  BeginNavigation(request);
}

bool MemBrowser::HasPendingNavigation() const {
  const MemBrowser* b = this;
  while (b->parent_ != nullptr)
    b = b->parent_;
  return !b->queue_.empty();
}

bool MemBrowser::RunPendingNavigation() {
  MemBrowser& top = Top();
  if (top.running_ || top.queue_.empty()) return false;
  const ComPtr<MemBrowser> keepTop(&top);
  Pending next = std::move(top.queue_.front());
  top.queue_.erase(top.queue_.begin());
  if (next.Target->closed_) return true;
  struct Running {
    bool& Flag;
    ~Running() { Flag = false; }
  } running{top.running_};
  top.running_ = true;
  int depth = 0;
  for (MemBrowser* b = next.Target->parent_; b != nullptr; b = b->parent_)
    ++depth;
  next.Target->LoadNow(next.Request, depth, true);
  return true;
}

size_t MemBrowser::RunPendingNavigations(size_t limit) {
  size_t count = 0;
  while (count < limit && RunPendingNavigation())
    ++count;
  return count;
}

void MemBrowser::Load(const std::u16string& url) {
  Navigate(url, {}, {}, {}, {});
  RunPendingNavigations();
}

std::vector<ComPtr<MemBrowser>> MemBrowser::Frames() {
  std::vector<ComPtr<MemBrowser>> frames;
  if (closed_ || !htmlDocument_) return frames;
  for (MemElement* e : htmlDocument_->Order()) {
    if (!e->Is(ElementKind::Frame) && !e->Is(ElementKind::IFrame)) continue;
    if (ComPtr<MemBrowser> b = BrowserOf(static_cast<MemFrameElement*>(e)->contentBrowser())) {
      frames.push_back(std::move(b));
    }
  }
  return frames;
}

void MemBrowser::ShowDocument(ComPtr<IUnknown> document, ComPtr<MemDocument> html,
                              std::u16string url) {
  const ComPtr<MemDocument> old = std::move(htmlDocument_);
  document_ = std::move(document);
  htmlDocument_ = std::move(html);
  url_ = std::move(url);
  if (old) old->Close();
}

void MemBrowser::LoadNow(const NavigationRequest& request, int depth, bool ownDownload) {
  const ComPtr<MemBrowser> self(this);
  std::u16string url = request.Url;
  std::optional<Resource> resource;
  if (url != u"about:blank") {
    try {
      resource = loader_->Load(request);
    } catch (...) {
      resource.reset();  // a failing loader is a missing page
    }
  }
  if (resource && !resource->Url.empty()) url = resource->Url;  // redirected
  DocumentOptions options{url, {}, scripts_, this};
  if (!resource) {
    ComPtr<MemDocument> html = MemDocument::Load({}, options);
    ShowDocument(html.As<IUnknown>(), html, url);
  } else if (IsHtmlType(MediaTypeOf(resource->ContentType))) {
    options.Charset = CharsetOfContentType(resource->ContentType);
    ComPtr<MemDocument> html = MemDocument::Load(resource->Bytes, options);
    ShowDocument(html.As<IUnknown>(), html, url);
  } else {
    ShowDocument(MakeCom<MemPlainDocument>(url, resource->ContentType, std::move(resource->Bytes))
                     .As<IUnknown>(),
                 nullptr, url);
  }
  RaiseNavigateComplete2(url);
  if (closed_) return;
  LoadFrames(depth);
  if (closed_) return;
  // A load of its own ends its download here; frames loaded with their
  // parent end within the parent's.
  if (ownDownload) RaiseDownloadComplete();
  RaiseDocumentComplete(url);
  if (!closed_ && htmlDocument_) FireLoad(*ComPtr<MemDocument>(htmlDocument_));
}

void MemBrowser::LoadFrames(int depth) {
  if (!htmlDocument_) return;
  std::vector<ComPtr<MemElement>> frames;
  for (MemElement* e : htmlDocument_->Order()) {
    if (e->Is(ElementKind::Frame) || e->Is(ElementKind::IFrame)) frames.emplace_back(e);
  }
  const ComPtr<MemDocument> document = htmlDocument_;
  for (const ComPtr<MemElement>& e : frames) {
    if (closed_ || htmlDocument_ != document) return;
    if (!e->IsConnected()) continue;
    auto* frame = static_cast<MemFrameElement*>(e.Get());
    std::u16string src = frame->src();
    if (src.empty()) src = u"about:blank";
    ComPtr<MemBrowser> child(new MemBrowser(loader_, scripts_, this, frame->name()));
    frame->SetContentBrowser(ComPtr<platform::PageBrowser>(child.Get()));
    bool repeats = false;
    for (MemBrowser* b = this; b != nullptr; b = b->parent_)
      repeats = repeats || b->url_ == src;
    NavigationRequest request;
    request.Url = depth + 1 > MaxFrameDepth || repeats ? u"about:blank" : src;
    request.Method = u"get";
    if (!child->RaiseBeforeNavigate2(request) || child->closed_) continue;
    child->LoadNow(request, depth + 1, false);
  }
}

// --- events -----------------------------------------------------------

template <class Call>
void MemBrowser::ForEachSink(Call call) {
  std::vector<ComPtr<MemBrowser>> chain;
  for (MemBrowser* b = this; b != nullptr; b = b->parent_)
    chain.emplace_back(b);
  for (const ComPtr<MemBrowser>& b : chain) {
    for (const auto& [cookie, sink] : b->sinks_.Snapshot()) {
      if (!b->sinks_.Has(cookie)) continue;
      try {
        call(*sink);
      } catch (...) {
        // A sink's failure is its own; the browser goes on.
      }
    }
  }
}

bool MemBrowser::RaiseBeforeNavigate2(const NavigationRequest& request) {
  bool cancel = false;
  const ComPtr<platform::PageBrowser> self(this);
  const Variant postData =
      request.PostData.empty() ? Variant() : Variant::FromBytes(request.PostData);
  ForEachSink([&](platform::PageBrowserEvents& sink) {
    sink.BeforeNavigate2(self, request.Url, 0, request.Target, postData, request.Headers, cancel);
  });
  return !cancel;
}

void MemBrowser::RaiseNavigateComplete2(const std::u16string& url) {
  const ComPtr<platform::PageBrowser> self(this);
  ForEachSink([&](platform::PageBrowserEvents& sink) { sink.NavigateComplete2(self, url); });
}

void MemBrowser::RaiseDocumentComplete(const std::u16string& url) {
  const ComPtr<platform::PageBrowser> self(this);
  ForEachSink([&](platform::PageBrowserEvents& sink) { sink.DocumentComplete(self, url); });
}

void MemBrowser::RaiseDownloadComplete() {
  ForEachSink([](platform::PageBrowserEvents& sink) { sink.DownloadComplete(); });
}

bool MemBrowser::RaiseNewWindow2(ComPtr<platform::PageBrowser>& newBrowser) {
  bool cancel = false;
  ForEachSink([&](platform::PageBrowserEvents& sink) { sink.NewWindow2(newBrowser, cancel); });
  return !cancel;
}

}  // namespace qm::memdom

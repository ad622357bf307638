#include "engines/chromium/ChromiumTab.h"
#include "platform/net/AddressJoin.h"
#include "platform/rtl/Exception.h"

namespace qm::chromium {

ChromiumBrowser::ChromiumBrowser(Tab* tab, std::string frameId)
    : tab_(tab), frameId_(std::move(frameId)) {}

ChromiumBrowser::~ChromiumBrowser() {
  // The top browser's tab goes with it (and takes its frames along).
  std::shared_ptr<Tab> owned = std::move(owned_);
  if (owned) owned->Close();
}

void ChromiumBrowser::Detach() noexcept {
  tab_ = nullptr;
  sinks_.clear();
}

void ChromiumBrowser::Close() {
  if (tab_ == nullptr) return;
  if (owned_) {
    std::shared_ptr<Tab> owned = owned_;
    owned->Close();  // detaches this browser too
  }
}

platform::HRESULT ChromiumBrowser::QueryService(const platform::GUID& service, const platform::IID& iid,
                                              void** object) {
  if (object == nullptr) return platform::E_POINTER;
  *object = nullptr;
  if (service != platform::SID_SWebBrowserApp || tab_ == nullptr) return platform::E_NOINTERFACE;
  if (IsTop()) return QueryInterface(iid, object);
  const ComPtr<ChromiumBrowser> top = tab_->BrowserOf(tab_->MainFrameId());
  if (!top) return platform::E_NOINTERFACE;
  return top->QueryInterface(iid, object);
}

bool ChromiumBrowser::IsTop() const {
  return tab_ != nullptr && (frameId_.empty() || frameId_ == tab_->MainFrameId());
}

ComPtr<platform::IUnknown> ChromiumBrowser::Document() {
  if (tab_ == nullptr) return {};
  const std::string& id = frameId_.empty() ? tab_->MainFrameId() : frameId_;
  FrameInfo* frame = tab_->Frame(id);
  if (frame == nullptr || (frame->Url.empty() && frame->ContextId == 0)) return {};
  return tab_->DocumentOf(id).As<platform::IUnknown>();
}

std::u16string ChromiumBrowser::LocationURL() {
  if (tab_ == nullptr) return {};
  FrameInfo* frame = tab_->Frame(frameId_.empty() ? tab_->MainFrameId() : frameId_);
  return frame == nullptr ? std::u16string() : frame->Url;
}

namespace {

bool SameName(std::u16string_view a, std::u16string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char16_t c) { return c >= u'A' && c <= u'Z' ? char16_t(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::string ChromiumBrowser::TargetFrame(const platform::Variant& targetFrameName) {
  const std::string self = frameId_.empty() ? tab_->MainFrameId() : frameId_;
  const std::u16string target = targetFrameName.IsEmptyOrNull() ? u"" : targetFrameName.ToText();
  if (target.empty() || SameName(target, u"_self")) return self;
  if (SameName(target, u"_top")) return tab_->MainFrameId();
  if (SameName(target, u"_parent")) {
    const FrameInfo* frame = tab_->Frame(self);
    return frame == nullptr || frame->ParentId.empty() ? self : frame->ParentId;
  }
  return SameName(target, u"_blank") ? std::string() : tab_->FrameNamed(target);
}

void ChromiumBrowser::Navigate(const std::u16string& url, const platform::Variant& flags,
                               const platform::Variant& targetFrameName,
                               const platform::Variant& postData,
                               const platform::Variant& headers) {
  if (tab_ == nullptr) return;
  const std::string id = TargetFrame(targetFrameName);
  ApprovedNavigation navigation;
  navigation.Url = url;
  const std::u16string current = LocationURL();
  if (!current.empty()) {
    try {
      navigation.Url = platform::CombineAddress(current, url);
    } catch (const platform::Exception&) {
      // An address that doesn't join is taken as it is.
    }
  }
  if (postData.GetKind() == platform::Variant::Kind::ByteArray && postData.ArrayCount() > 0) {
    navigation.PostData = postData.AsByteArray().Items;
  }
  if (!headers.IsEmptyOrNull()) navigation.Headers = headers.ToText();
  const platform::Variant announced =
      navigation.PostData.empty() ? platform::Variant()
                                  : platform::Variant::FromBytes(navigation.PostData);
  Tab* tab = tab_;
  const ComPtr<ChromiumBrowser> self(this);
  if (id.empty()) {
    // No frame of that name: a new window, shown by the browser a sink
    // hands over; without one (or cancelled) the navigation goes nowhere.
    ComPtr<platform::PageBrowser> supplied;
    if (!tab->RaiseNewWindow2(supplied) || !supplied ||
        platform::ComIdentity(supplied) == platform::ComIdentity(ComPtr<platform::PageBrowser>(this))) {
      return;
    }
    supplied->Navigate(navigation.Url, flags, {}, announced,
                       navigation.Headers.empty() ? platform::Variant()
                                                  : platform::Variant::FromString(navigation.Headers));
    return;
  }
  if (!tab->RaiseBeforeNavigate2(id, navigation.Url, announced, navigation.Headers)) return;
  if (tab_ == nullptr) return;
  // The page's own writes go first: a navigation ends the page.
  tab->FlushWrites();
  tab->Navigate(id, std::move(navigation));
}

bool ChromiumBrowser::Visible() {
  return tab_ != nullptr && !tab_->Headless();
}

void ChromiumBrowser::PutProperty(const std::u16string& name, const platform::Variant& value) {
  properties_[name] = value;
}

platform::Variant ChromiumBrowser::GetProperty(const std::u16string& name) {
  const auto it = properties_.find(name);
  return it == properties_.end() ? platform::Variant() : it->second;
}

uint32_t ChromiumBrowser::Advise(const ComPtr<platform::PageBrowserEvents>& sink) {
  if (!sink) throw platform::Exception(u"No event sink to connect");
  const uint32_t cookie = NextSinkCookie();
  if (tab_ != nullptr) sinks_.emplace_back(cookie, sink);
  return cookie;
}

void ChromiumBrowser::Unadvise(uint32_t cookie) {
  std::erase_if(sinks_, [cookie](const auto& entry) { return entry.first == cookie; });
}

bool ChromiumBrowser::HasSink(uint32_t cookie) const {
  for (const auto& entry : sinks_) {
    if (entry.first == cookie) return true;
  }
  return false;
}

bool ChromiumBrowser::Load(const std::u16string& url, std::chrono::milliseconds timeout) {
  if (tab_ == nullptr) return false;
  Tab* tab = tab_;
  if (timeout.count() <= 0) timeout = tab->Deadline();
  const uint64_t before = tab->TopNavigations();
  const uint64_t crashes = tab->Crashes();
  const std::string main = tab->MainFrameId();
  Navigate(url, {}, {}, {}, {});
  const auto loaded = [&] {
    if (tab_ == nullptr || tab->TopNavigations() == before) return false;
    FrameInfo* frame = tab->Frame(main);
    return frame != nullptr && frame->ContextId != 0 && frame->LoadedId == frame->LoaderId;
  };
  // A page whose renderer dies on the way never completes.
  WaitUntil([&] { return loaded() || tab_ == nullptr || tab->Crashes() != crashes; }, timeout);
  return loaded();
}

bool ChromiumBrowser::WaitUntil(const std::function<bool()>& done,
                                std::chrono::milliseconds timeout) {
  if (tab_ == nullptr) return done();
  return tab_->WaitUntil(done, timeout);
}

void ChromiumBrowser::FlushWrites() {
  if (tab_ != nullptr) tab_->FlushWrites();
}

bool ChromiumBrowser::DoPendingWork(std::chrono::milliseconds wait) {
  if (tab_ == nullptr) return false;
  Tab* tab = tab_;
  tab->Pump();
  if (tab_ == nullptr) return false;
  tab->FlushWrites();
  if (tab_ == nullptr) return false;
  if (tab->Loading() && !tab->HasQueuedEvents()) platform::WaitForPendingEvents(wait);
  return tab_ != nullptr && (tab->Loading() || tab->HasQueuedEvents());
}

void ChromiumBrowser::SetCallDeadline(std::chrono::milliseconds deadline) {
  if (tab_ != nullptr) tab_->SetDeadline(deadline);
}

void ChromiumBrowser::SetDialogHandler(std::function<void(const PageDialog&)> handler) {
  if (tab_ != nullptr) tab_->DialogHandler = std::move(handler);
}

std::vector<PageDialog> ChromiumBrowser::Dialogs() const {
  return tab_ != nullptr ? tab_->Dialogs : std::vector<PageDialog>();
}

uint64_t ChromiumBrowser::CompletedLoads() const {
  return tab_ != nullptr ? tab_->CompletedLoads() : 0;
}

}  // namespace qm::chromium

// The helper object: creation and destruction, the site, the browser and
// window events, the agent's relays, and the small commands that reach the
// manager (profiles, the page's cards, the manager's own window).
#include "addon/BHO/BHOUnit.h"

#include <limits>
#include <utility>

#include "addon/BHO/MSHTMLUtils.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/QMCommonUtils.h"
#include "core/Common/TextUtils.h"
#include "core/Common/VxSystem.h"
#include "platform/com/ErrorInfo.h"

namespace qm {

using platform::IUnknown;
using platform::PageDocument;

namespace {

// Sets a flag false when the scope ends, however it ends.
struct TClearOnExit {
  bool& Flag;
  ~TClearOnExit() { Flag = false; }
};

// Runs a handler of a page event at the event's edge: nothing escapes into
// the page.
template <class F>
void AtEventEdge(F&& body) noexcept {
  try {
    body();
  } catch (...) {
    // A failed event call; the page goes on.
  }
}

bool HasPostData(const Variant& postData) {
  return postData.IsArray() && postData.ArrayCount() > 0;
}

// A list answer that holds something: neither empty, null nor an empty array.
bool HasItems(const Variant& list) {
  return !list.IsEmptyOrNull() && (!list.IsArray() || list.ArrayCount() > 0);
}

// A manager call whose failure only means "no answer".
bool Answered(platform::HRESULT status) {
  if (platform::Succeeded(status)) return true;
  platform::ClearErrorInfo();
  return false;
}

}  // namespace

// --- creation and destruction ---

TVxBrowserHelperObject::~TVxBrowserHelperObject() {
  Swallowed([&] {
    Reported(loc::HelperDestroy, [&] {
      // Nothing of the page or the agent reaches this object from here on.
      if (browserEvents_) browserEvents_->Disconnect();
      if (windowEvents_) windowEvents_->Disconnect();
      if (docListener_) docListener_->DetachAll();
      CutAgent();
      agent_ = nullptr;
      pageForms_.reset();
      windowEvents_.reset();
      docListener_.reset();
      browserEvents_.reset();
      tracer_.reset();
    });
  });
}

TVxBrowserHelperObject* TVxBrowserHelperObject::FromObject(const ComPtr<IUnknown>& object) {
  const auto site = object.As<platform::IObjectWithSite>();
  return dynamic_cast<TVxBrowserHelperObject*>(site.Get());
}

void TVxBrowserHelperObject::Initialize() {
  Reported(loc::HelperInitialize, [&] {
    if (initialized_) return;
    tracer_ = std::make_unique<TAutoSubmitTracer>();
    agent_ = platform::MakeCom<TQuillmateAgent>();
    WireAgent();
    browser_ = nullptr;
    browserEvents_ = std::make_unique<TWebBrowserEvents>(BrowserHandlers());
    windowEvents_ = std::make_unique<THTMLEventSink>(
        [this](PageEventType type, const ComPtr<PageEvent>&) {
          if (type != PageEventType::Load) return true;
          const ComPtr<TVxBrowserHelperObject> self(this);
          AtEventEdge([&] { OnWindowLoad(); });
          return true;
        });
    docListener_ = std::make_unique<THTMLDocListener>();
    docListener_->OnClick = [this](const ComPtr<PageEvent>& event) {
      const ComPtr<TVxBrowserHelperObject> self(this);
      AtEventEdge([&] { OnDocumentClick(event); });
    };
    docListener_->OnMouseDown = [this](const ComPtr<PageEvent>& event) {
      const ComPtr<TVxBrowserHelperObject> self(this);
      AtEventEdge([&] { OnDocumentMouseDown(event); });
    };
    docListener_->OnMouseUp = [this](const ComPtr<PageEvent>& event) {
      const ComPtr<TVxBrowserHelperObject> self(this);
      AtEventEdge([&] { OnDocumentMouseUp(event); });
    };
    pageForms_ = std::make_unique<TPageFormSet>();
    initialized_ = true;
  });
}

ComPtr<platform::IObjectWithSite> CreateVxBrowserHelperObject() {
  const ComPtr<TVxBrowserHelperObject> helper = platform::MakeCom<TVxBrowserHelperObject>();
  helper->Initialize();
  return ComPtr<platform::IObjectWithSite>(helper.Get());
}

TWebBrowserEvents::THandlers TVxBrowserHelperObject::BrowserHandlers() {
  TWebBrowserEvents::THandlers h;
  h.OnBeforeNavigate2 = [this](const ComPtr<PageBrowser>& browser, const std::u16string& url,
                               int32_t, const std::u16string&, const Variant& postData,
                               const std::u16string&, bool& cancel) {
    const ComPtr<TVxBrowserHelperObject> self(this);
    OnBeforeNavigate(browser, url, postData, cancel);
  };
  h.OnNavigateComplete2 = [this](const ComPtr<PageBrowser>& browser, const std::u16string& url) {
    const ComPtr<TVxBrowserHelperObject> self(this);
    OnNavigateComplete(browser, url);
  };
  h.OnDocumentComplete = [this](const ComPtr<PageBrowser>& browser, const std::u16string& url) {
    const ComPtr<TVxBrowserHelperObject> self(this);
    OnDocumentComplete(browser, url);
  };
  h.OnDownloadComplete = [this] {
    const ComPtr<TVxBrowserHelperObject> self(this);
    OnDownloadComplete();
  };
  h.OnNewWindow2 = [this](ComPtr<PageBrowser>&, bool&) { OnNewWindow(); };
  return h;
}

// The agent's 21 relays, each to the operation that carries it out. The
// relays keep this object alive while they run.
void TVxBrowserHelperObject::WireAgent() {
  TQuillmateAgent& a = *agent_;
  const auto keep = [this] { return ComPtr<TVxBrowserHelperObject>(this); };
  a.SetOnBeforeShowDialog([this, keep](TQuillmateAgent&) {
    const auto self = keep();
    Reported(loc::DialogShowingRelay, [&] { ProcessPage(browser_, false, false, false, false); });
  });
  a.SetOnFillCard([this, keep](TQuillmateAgent&, const String& set, bool onlyEmpty, bool submit,
                               const String& card) {
    const auto self = keep();
    FillRequest(set, card, onlyEmpty, submit);
  });
  a.SetOnFillProfile([this, keep](TQuillmateAgent&, const String& profile, bool onlyEmpty) {
    const auto self = keep();
    FillFromProfile(profile, onlyEmpty);
  });
  a.SetOnPlayNavigation([this, keep](TQuillmateAgent&, const String& address, const String& card) {
    const auto self = keep();
    PlayNavigationCard(address, card);
  });
  a.SetOnSendMail([this, keep](TQuillmateAgent&, const String& address, const String& card) {
    const auto self = keep();
    SendMailCardCommand(address, card);
  });
  a.SetOnSetDefault([this, keep](TQuillmateAgent&, const String& first, const String& second) {
    const auto self = keep();
    SetDefaultCardCommand(first, second);
  });
  a.SetOnSetActiveProfile([this, keep](TQuillmateAgent&, const String& profile) {
    const auto self = keep();
    SelectProfileCommand(profile);
  });
  a.SetOnDelete([this, keep](TQuillmateAgent&, const String& first, const String& second) {
    const auto self = keep();
    DeleteCardCommand(first, second);
  });
  const auto command = [keep](void (TVxBrowserHelperObject::*operation)()) {
    return [keep, operation](TQuillmateAgent&) {
      const auto self = keep();
      ((*self).*operation)();
    };
  };
  a.SetOnSaveForms([this, keep](TQuillmateAgent&) {
    const auto self = keep();
    SaveForms(nullptr);
  });
  a.SetOnClearForms(command(&TVxBrowserHelperObject::ClearForms));
  a.SetOnBindField(command(&TVxBrowserHelperObject::BindFieldCommand));
  a.SetOnUnbindField(command(&TVxBrowserHelperObject::UnbindFieldCommand));
  a.SetOnAddSynonym(command(&TVxBrowserHelperObject::AddSynonymCommand));
  a.SetOnAddValue(command(&TVxBrowserHelperObject::AddValueCommand));
  a.SetOnAddAllValues(command(&TVxBrowserHelperObject::AddAllValuesCommand));
  a.SetOnShowManager([this, keep](TQuillmateAgent&, const Variant& kind, const Variant& url,
                                  const Variant& name) {
    const auto self = keep();
    ShowInManagerCommand(kind, url, name);
  });
  a.SetOnConnect([this, keep](TQuillmateAgent&) {
    const auto self = keep();
    Reported(loc::ConnectionRelay, [&] { RefreshProfiles(); });
  });
  a.SetOnManagerQuit(command(&TVxBrowserHelperObject::OnManagerQuit));
  a.SetOnUrlChange([this, keep](TQuillmateAgent&) {
    const auto self = keep();
    Reported(loc::PageAddressRelay, [&] { FetchPageCards(); });
  });
  a.SetOnRecordingStopped([this, keep](TQuillmateAgent&, const String& firstUrl,
                                       const Variant& recording) {
    const auto self = keep();
    SaveNavigations(firstUrl, recording);
  });
  a.SetOnBannerClick([this, keep](TQuillmateAgent&, const String& address) {
    const auto self = keep();
    NavigateTo(address);
  });
}

void TVxBrowserHelperObject::CutAgent() noexcept {
  if (!agent_) return;
  TQuillmateAgent& a = *agent_;
  a.SetOnBeforeShowDialog(nullptr);
  a.SetOnFillCard(nullptr);
  a.SetOnFillProfile(nullptr);
  a.SetOnPlayNavigation(nullptr);
  a.SetOnSendMail(nullptr);
  a.SetOnSetDefault(nullptr);
  a.SetOnSetActiveProfile(nullptr);
  a.SetOnDelete(nullptr);
  a.SetOnSaveForms(nullptr);
  a.SetOnClearForms(nullptr);
  a.SetOnBindField(nullptr);
  a.SetOnUnbindField(nullptr);
  a.SetOnAddSynonym(nullptr);
  a.SetOnAddValue(nullptr);
  a.SetOnAddAllValues(nullptr);
  a.SetOnShowManager(nullptr);
  a.SetOnConnect(nullptr);
  a.SetOnManagerQuit(nullptr);
  a.SetOnUrlChange(nullptr);
  a.SetOnRecordingStopped(nullptr);
  a.SetOnBannerClick(nullptr);
}

// --- the site ---

platform::HRESULT TVxBrowserHelperObject::SetSite(IUnknown* site) {
  const ComPtr<TVxBrowserHelperObject> self(this);
  return SafeCallEdge([&] {
    Reported(loc::HelperSetSite, [&] {
      if (!initialized_) Initialize();
      if (site == nullptr) {
        agent_->DestroyDialog();
        browserEvents_->Disconnect();
        browser_ = nullptr;
        return;
      }
      const ComPtr<IUnknown> siteRef(site);
      const ComPtr<PageBrowser> browser = platform::QueryService<PageBrowser>(
          siteRef.As<platform::IServiceProvider>(), platform::SID_SWebBrowserApp);
      if (!browser) throw Exception(u"The site offers no web browser");
      browser_ = browser;
      browserEvents_->Connect(browser_);
      docListener_->SetBrowser(browser_);
      browserWindow_ = FindBrowserWindow(siteRef);
      agent_->SetOwnerWindow(browserWindow_);
      browser_->PutProperty(AgentBrowserProperty,
                            Variant::FromUnknown(ComPtr<IUnknown>(
                                static_cast<IQuillmateAgent*>(agent_.Get()))));
    });
  });
}

platform::HRESULT TVxBrowserHelperObject::GetSite(const platform::IID&, void** site) {
  if (site != nullptr) *site = nullptr;
  return platform::S_OK;
}

platform::HWND TVxBrowserHelperObject::FindBrowserWindow(const ComPtr<IUnknown>& site) const {
  int64_t handle = 0;
  Swallowed([&] { handle = browser_->HWND(); });
  if (handle > 0 && handle <= std::numeric_limits<platform::HWND>::max()) {
    return static_cast<platform::HWND>(handle);
  }
  platform::HWND window = platform::NoWindow;
  Swallowed([&] {
    const auto oleWindow = site.As<platform::IOleWindow>();
    if (!oleWindow || platform::Failed(oleWindow->GetWindow(window))) window = platform::NoWindow;
  });
  return window;
}

bool TVxBrowserHelperObject::IsTopBrowser(const ComPtr<PageBrowser>& browser) const {
  return browser && browser_ && platform::ComIdentity(browser) == platform::ComIdentity(browser_);
}

ComPtr<IQoraServer> TVxBrowserHelperObject::Server() const {
  return agent_->GetServer();
}

// --- browser and window events ---

void TVxBrowserHelperObject::OnBeforeNavigate(const ComPtr<PageBrowser>& browser,
                                              const std::u16string& url, const Variant& postData,
                                              bool& cancel) {
  // One submission is handled once: the flag ends with this event.
  const TClearOnExit endSubmit{submitInProgress_};
  Reported(loc::OnBeforeNavigate, [&] {
    navigatedAfterPress_ = true;
    navigationStarted_ = true;
    const bool top = IsTopBrowser(browser);
    if (!filling_ && !submitInProgress_ && agent_->OnSubmit() != 0 && agent_->IsConnected()) {
      if (top) {
        // A form that a script added or removed since the last scan may be
        // what is being submitted: the navigation waits for the next try.
        const int before = pageForms_->Count();
        RescanForms();
        if (pageForms_->Count() != before) {
          cancel = true;
          return;
        }
      }
      if (!topPageLoading_ && !pageForms_->Empty() && HasPostData(postData)) AskSaveSubmission();
    }
    if (top) {
      windowEvents_->Disconnect();
      tracer_->CheckNavigation(url);
      agent_->ResetPage();
    }
  });
}

void TVxBrowserHelperObject::OnNavigateComplete(const ComPtr<PageBrowser>& browser,
                                                const std::u16string& url) {
  Reported(loc::OnNavigateComplete, [&] {
    docListener_->Reattach();
    navigationStarted_ = false;
    if (!browser) return;
    if (IsTopBrowser(browser)) {
      topPageLoading_ = true;
      if (agent_->IsConnected()) {
        if (const auto server = Server()) Answered(server->NotifyNavigateComplete());
      }
      agent_->SetUrl(NormalizeUrl(url));
      Swallowed([&] { ListenToWindowLoad(); });
    }
    RescanForms();
  });
}

void TVxBrowserHelperObject::ListenToWindowLoad() {
  const auto document = browser_ ? browser_->Document().As<PageDocument>() : nullptr;
  const auto window = document ? document->parentWindow() : nullptr;
  windowEvents_->Connect(ComPtr<PageEventSource>(window.Get()));
}

void TVxBrowserHelperObject::OnDocumentComplete(const ComPtr<PageBrowser>& browser,
                                                const std::u16string& url) {
  Reported(loc::OnDocumentComplete, [&] {
    navigationStarted_ = false;
    if (IsTopBrowser(browser)) {
      topPageLoading_ = false;
      docListener_->Reattach();
      TraceMetaRefresh();
      agent_->SetUrl(NormalizeUrl(url));
      return;
    }
    // A frame that completes after its page did: the page changed.
    if (browser && !topPageLoading_ && !processing_) ProcessLoadedPage(browser);
  });
}

void TVxBrowserHelperObject::TraceMetaRefresh() {
  ComPtr<PageDocument> document;
  Swallowed([&] { document = browser_->Document().As<PageDocument>(); });
  std::u16string target;
  if (!document || !FindMetaRefresh(document, target)) return;
  // The refresh leads to its target resolved against the page, which is
  // the address its navigation will carry; the trace compares the two.
  Swallowed([&] { target = CombineUrl(document->url(), target, ICU_BROWSER_MODE); });
  tracer_->Register(agent_->PageKey(), target, AutoMetaRefresh, u"");
}

void TVxBrowserHelperObject::OnDownloadComplete() {
  Reported(loc::OnDownloadComplete, [&] {
    docListener_->Reattach();
    navigationStarted_ = false;
    RescanForms();
  });
}

void TVxBrowserHelperObject::OnNewWindow() {
  submitInProgress_ = false;
}

void TVxBrowserHelperObject::OnWindowLoad() {
  Reported(loc::OnWindowLoad, [&] {
    navigationStarted_ = false;
    if (!processing_) ProcessLoadedPage(browser_);
  });
}

void TVxBrowserHelperObject::ProcessLoadedPage(const ComPtr<PageBrowser>& browser) {
  Reported(loc::ProcessLoadedPage, [&] {
    processing_ = true;
    const TClearOnExit endProcessing{processing_};
    const ComPtr<PageBrowser> page = browser;
    TQuillmateAgent& agent = *agent_;
    const bool active = agent.GetActive();
    const bool fill = active && agent.AutoFill();
    const bool submit = fill && agent.AutoSubmit();
    const bool show = active && agent.AutoShow();
    try {
      ProcessPage(page, fill, submit, show, true);
      UpdatePageNote(true);
    } catch (const EBeforeNavigate&) {
      navigationStarted_ = false;  // the page is being left; the rest is moot
    }
    // A fill that the navigation it caused interrupted goes on here, unless
    // the automatic fill takes care of the page.
    if (!agent.AutoFill() && pendingFill_) {
      FillRequest(pendingFillName_, pendingFillCard_, true, pendingFillSubmit_);
    }
  });
}

// --- commands that reach the manager ---

void TVxBrowserHelperObject::RefreshAfterChange() {
  Reported(loc::RefreshAfterChange, [&] {
    try {
      const bool wasVisible = agent_->IsDialogVisible();
      agent_->ResetPage();
      ProcessPage(browser_, false, false, false, false);
      FetchPageCards();
      RefreshProfiles();
      agent_->RefreshDialog();
      if (wasVisible) agent_->ShowDialogUnlessDismissed();
    } catch (const EBeforeNavigate&) {
      throw;
    } catch (const std::exception&) {
      // What could be refreshed was.
    }
  });
}

void TVxBrowserHelperObject::RefreshProfiles() {
  Reported(loc::RefreshProfiles, [&] {
    if (!agent_->IsConnected()) return;
    const auto server = Server();
    Variant list;
    String active;
    if (!server || !Answered(server->GetProfiles(list, active))) return;
    if (HasItems(list)) agent_->SetProfiles(list, active);
  });
}

void TVxBrowserHelperObject::FetchPageCards() {
  Reported(loc::FetchPageCards, [&] {
    if (!agent_->IsConnected()) return;
    const auto server = Server();
    if (!server) return;
    const String key = agent_->PageKey();
    Variant list;
    String selected;
    if (Answered(server->ListCards(CardKindMail, key, list, selected)) && HasItems(list)) {
      agent_->SetMailCards(list, selected);
    }
    list = Variant();
    selected.clear();
    if (Answered(server->ListCards(CardKindNavigation, key, list, selected)) && HasItems(list)) {
      agent_->SetNavigationCards(list, selected);
    }
  });
}

void TVxBrowserHelperObject::SelectProfileCommand(const std::u16string& profile) {
  Reported(loc::SelectProfileCommand, [&] {
    try {
      if (!agent_->IsConnected()) return;
      const auto server = Server();
      if (!server) return;
      platform::OleCheck(server->SetActiveProfile(profile));
      RefreshAfterChange();
    } catch (const EBeforeNavigate&) {
      navigationStarted_ = false;
    }
  });
}

void TVxBrowserHelperObject::ShowInManagerCommand(const Variant& kind, const Variant& url,
                                                  const Variant& name) {
  Reported(loc::ShowInManagerCommand, [&] {
    if (!agent_->IsConnected()) return;
    const auto server = Server();
    if (!server) return;
    const std::u16string kindText = kind.ToText();
    std::u16string address = url.ToText();
    const std::u16string card = name.ToText();
    // The toolbar passes nothing: the manager opens at this page.
    if (kindText.empty() && address.empty() && card.empty()) address = agent_->PageKey();
    const int32_t kindNumber = kindText.empty() ? 0 : TextToInt(Trim(kindText));
    bool shown = false;
    platform::OleCheck(server->ShowInManager(kindNumber, address, card, shown));
  });
}

void TVxBrowserHelperObject::OnManagerQuit() {
  Reported(loc::OnManagerQuit, [&] {
    pageForms_->Clear();
    agent_->ResetPage();
  });
}

void TVxBrowserHelperObject::NavigateTo(const std::u16string& address) {
  if (const ComPtr<PageBrowser> browser = browser_) browser->Navigate(address, {}, {}, {}, {});
}

}  // namespace qm

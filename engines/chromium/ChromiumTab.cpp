// The tab: opening its target, calls to its pages, its frames and their
// documents, and the navigation and page events in the order PageBrowser.h
// gives them.
#include "engines/chromium/ChromiumTab.h"

#include <utility>

#include "engines/chromium/ChromiumElement.h"
#include "engines/chromium/PageScript.h"
#include "platform/rtl/Utf.h"

namespace qm::chromium {

using platform::W;

namespace {

std::string Base64(const std::vector<uint8_t>& bytes) {
  static constexpr char table[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  for (size_t i = 0; i < bytes.size(); i += 3) {
    const uint32_t n = (uint32_t{bytes[i]} << 16) |
                       (i + 1 < bytes.size() ? uint32_t{bytes[i + 1]} << 8 : 0) |
                       (i + 2 < bytes.size() ? uint32_t{bytes[i + 2]} : 0);
    out.push_back(table[(n >> 18) & 63]);
    out.push_back(table[(n >> 12) & 63]);
    out.push_back(i + 1 < bytes.size() ? table[(n >> 6) & 63] : '=');
    out.push_back(i + 2 < bytes.size() ? table[n & 63] : '=');
  }
  return out;
}

std::vector<uint8_t> FromBase64(std::string_view text) {
  std::vector<uint8_t> out;
  uint32_t buffer = 0;
  int bits = 0;
  for (const char c : text) {
    int v;
    if (c >= 'A' && c <= 'Z') v = c - 'A';
    else if (c >= 'a' && c <= 'z') v = c - 'a' + 26;
    else if (c >= '0' && c <= '9') v = c - '0' + 52;
    else if (c == '+' || c == '-') v = 62;
    else if (c == '/' || c == '_') v = 63;
    else continue;
    buffer = (buffer << 6) | static_cast<uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out.push_back(static_cast<uint8_t>((buffer >> bits) & 0xFF));
    }
  }
  return out;
}

std::u16string WithoutFragment(std::u16string_view url) {
  return std::u16string(url.substr(0, url.find(u'#')));
}

// Headers the browser adds to every request are not the navigation's own.
bool IsBrowserHeader(std::string name) {
  for (char& c : name)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  static const std::set<std::string> own = {
      "user-agent", "accept",  "accept-language", "accept-encoding", "upgrade-insecure-requests",
      "referer",    "origin",  "cache-control",   "pragma",          "connection",
      "host",       "cookie",  "content-length"};
  return own.count(name) > 0 || name.rfind("sec-", 0) == 0;
}

}  // namespace

Tab::Tab(std::shared_ptr<EngineCore> core, std::chrono::milliseconds deadline, bool headless)
    : core_(std::move(core)), deadline_(deadline), headless_(headless) {}

Tab::~Tab() {
  Close();
}

void Tab::Open(ChromiumBrowser* top) {
  const Json created = core_->Connection().Call("Target.createTarget", {{"url", "about:blank"}},
                                                {}, deadline_);
  targetId_ = created.value("targetId", "");
  mainFrame_ = targetId_;
  EnsureFrame(mainFrame_);
  top_ = top;
  inbox_ = core_->InboxOfTarget(targetId_);
  {
    std::lock_guard lock(inbox_->Lock);
    inbox_->Thread = platform::CurrentThreadEvents();
    inbox_->Pump = [this, alive = std::weak_ptr<int>(alive_)] {
      if (!alive.expired()) Pump();
    };
    if (!inbox_->Events.empty()) {
      inbox_->PumpPosted = true;
      platform::PostThreadEvent(inbox_->Thread, inbox_->Pump);
    }
  }
  // The page is set up (and its session known) once it has been attached.
  if (!WaitUntil([this] { return !session_.empty(); }, deadline_)) {
    throw EChromiumError(EChromiumError::Kind::Deadline, u"The new tab was not attached in time");
  }
  // Its set-up went out before it ran; a page-side call answered after it
  // means the page domain hears the first navigation.
  Call("Runtime.evaluate", {{"expression", "0"}}, session_);
}

void Tab::Close() noexcept {
  if (closed_) return;
  closed_ = true;
  if (inbox_) {
    std::lock_guard lock(inbox_->Lock);
    inbox_->Pump = nullptr;
    inbox_->Events.clear();
  }
  std::map<std::string, FrameInfo> frames;
  frames.swap(frames_);
  for (auto& [id, frame] : frames) {
    if (frame.Document) frame.Document->Close();
    if (frame.Browser) frame.Browser->Detach();
  }
  if (top_ != nullptr) top_->Detach();
  top_ = nullptr;
  for (const auto& [session, popup] : popups_) {
    if (!popup.Settled && !core_->Connection().Closed())
      core_->Connection().Send("Target.closeTarget", {{"targetId", popup.TargetId}}, {});
  }
  popups_.clear();
  if (!targetId_.empty() && !core_->Connection().Closed()) {
    core_->Connection().Send("Target.closeTarget", {{"targetId", targetId_}});
  }
}

// --- calls ------------------------------------------------------------

Json Tab::Call(std::string_view method, Json params, const std::string& session) {
  if (closed_) throw EChromiumError(EChromiumError::Kind::Closed, u"The tab is closed");
  return core_->Connection().Call(method, std::move(params), session, deadline_,
                                  [this] { PumpForCall(); });
}

void Tab::Send(std::string_view method, Json params, const std::string& session) {
  if (!closed_) core_->Connection().Send(method, std::move(params), session);
}

Json Tab::CallPage(const std::string& frameId, const Json& arguments) {
  using Clock = std::chrono::steady_clock;
  const auto until = Clock::now() + deadline_;
  const auto ready = [&] {
    FrameInfo* f = Frame(frameId);
    return f == nullptr || f->Gone || f->ContextId != 0;
  };
  for (;;) {
    // A document's world is announced just after the document itself (and
    // after a navigation has replaced the document object, so the world a
    // call finds is always its document's).
    while (!ready() && Clock::now() < until) {
      PumpForCall();
      if (!ready()) core_->Connection().WaitForWake(std::chrono::milliseconds(20));
    }
    FrameInfo* frame = Frame(frameId);
    if (frame == nullptr || frame->Gone) {
      throw EChromiumError(EChromiumError::Kind::Closed, u"The frame has gone away");
    }
    if (frame->ContextId == 0) {
      throw EChromiumError(EChromiumError::Kind::Deadline,
                           u"The page's document was not ready in time");
    }
    if (Frozen(frame->Session)) {
      // The browser holds every call to a page whose navigation waits for us.
      throw EChromiumError(EChromiumError::Kind::Refused,
                           u"The page can't be asked while its navigation waits to be allowed");
    }
    const std::string session = frame->Session;
    const int64_t context = frame->ContextId;
    try {
      const Json result = Call("Runtime.callFunctionOn",
                               {{"functionDeclaration", PageCallFunction},
                                {"executionContextId", context},
                                {"arguments", Json::array({{{"value", arguments}}})},
                                {"returnByValue", true}},
                               session);
      if (const auto thrown = result.find("exceptionDetails"); thrown != result.end()) {
        throw EChromiumError(EChromiumError::Kind::Refused,
                             u"The page script failed: " + W(thrown->value("text", "")));
      }
      return result["result"].value("value", Json());
    } catch (const EChromiumError& e) {
      // The world went away under the call, before we heard of it: wait
      // for the one that replaces it.
      if (e.GetKind() != EChromiumError::Kind::Refused ||
          e.Message().find(u"context") == std::u16string::npos || Clock::now() >= until) {
        throw;
      }
      FrameInfo* again = Frame(frameId);
      if (again != nullptr && again->ContextId == context) again->ContextId = 0;
    }
  }
}

bool Tab::Frozen(const std::string& session) const {
  return !frozenSession_.empty() && session == frozenSession_;
}

// --- frames -----------------------------------------------------------

FrameInfo* Tab::Frame(const std::string& frameId) {
  const auto it = frames_.find(frameId);
  return it == frames_.end() ? nullptr : &it->second;
}

FrameInfo& Tab::EnsureFrame(const std::string& frameId) {
  FrameInfo& frame = frames_[frameId];
  frame.Id = frameId;
  return frame;
}

ComPtr<ChromiumBrowser> Tab::BrowserOf(const std::string& frameId) {
  FrameInfo* frame = Frame(frameId);
  if (frame == nullptr || frame->Gone) return {};
  if (frameId == mainFrame_) return ComPtr<ChromiumBrowser>(top_);
  if (!frame->Browser) frame->Browser = platform::MakeCom<ChromiumBrowser>(this, frameId);
  return frame->Browser;
}

ComPtr<ChromiumDocument> Tab::DocumentOf(const std::string& frameId) {
  FrameInfo* frame = Frame(frameId);
  if (frame == nullptr || frame->Gone || closed_) return {};
  if (!frame->Document || frame->Document->Closed()) {
    frame->Document = platform::MakeCom<ChromiumDocument>(this, frameId);
  }
  return frame->Document;
}

std::string Tab::SessionOf(const std::string& frameId) {
  for (const FrameInfo* f = Frame(frameId); f != nullptr; f = Frame(f->ParentId)) {
    if (!f->Session.empty()) return f->Session;
    if (f->ParentId.empty()) break;
  }
  return session_;
}

std::string Tab::FrameNamed(const std::u16string& name) {
  for (const auto& [id, frame] : frames_) {
    if (!frame.Gone && id != mainFrame_ && !name.empty() && frame.Name == name) return id;
  }
  return {};
}

Json Tab::CallOnElement(ChromiumDocument& document, int64_t elementId, std::string_view method,
                        Json params) {
  FrameInfo* frame = Frame(document.FrameId());
  if (frame == nullptr || frame->ContextId == 0) return {};
  const std::string session = frame->Session;
  const Json object = Call("Runtime.callFunctionOn",
                           {{"functionDeclaration", PageCallFunction},
                            {"executionContextId", frame->ContextId},
                            {"arguments", Json::array({{{"value", Json::array({"node", elementId})}}})}},
                           session);
  const std::string objectId = object["result"].value("objectId", "");
  if (objectId.empty()) return {};
  params["objectId"] = objectId;
  Json answer;
  try {
    answer = Call(method, std::move(params), session);
  } catch (...) {
    Send("Runtime.releaseObject", {{"objectId", objectId}}, session);
    throw;
  }
  Send("Runtime.releaseObject", {{"objectId", objectId}}, session);
  return answer;
}

std::string Tab::FrameOfElement(ChromiumDocument& document, int64_t elementId) {
  const Json node = CallOnElement(document, elementId, "DOM.describeNode", Json::object());
  if (!node.is_object() || !node.contains("node")) return {};
  return node["node"].value("frameId", "");
}

// --- navigation -------------------------------------------------------

template <class CallSink>
void Tab::ForEachSink(const std::string& frameId, CallSink call) {
  std::vector<ComPtr<ChromiumBrowser>> chain;
  std::set<std::string> seen;
  for (FrameInfo* f = Frame(frameId); f != nullptr && seen.insert(f->Id).second;
       f = f->ParentId.empty() ? nullptr : Frame(f->ParentId)) {
    if (ComPtr<ChromiumBrowser> b = BrowserOf(f->Id)) chain.push_back(std::move(b));
  }
  for (const ComPtr<ChromiumBrowser>& b : chain) {
    for (const auto& [cookie, sink] : b->SinkSnapshot()) {
      if (!b->HasSink(cookie)) continue;
      try {
        call(*sink);
      } catch (...) {
        // A sink's failure is its own; the browser goes on.
      }
    }
  }
}

bool Tab::RaiseBeforeNavigate2(const std::string& frameId, const std::u16string& url,
                               const Variant& postData, const std::u16string& headers) {
  const ComPtr<platform::PageBrowser> browser(BrowserOf(frameId).Get());
  if (!browser) return true;
  bool cancel = false;
  ForEachSink(frameId, [&](platform::PageBrowserEvents& sink) {
    sink.BeforeNavigate2(browser, url, 0, u"", postData, headers, cancel);
  });
  return !cancel;
}

void Tab::Navigate(const std::string& frameId, ApprovedNavigation navigation) {
  FrameInfo* frame = Frame(frameId);
  if (frame == nullptr || frame->Gone || closed_) return;
  const std::string url = platform::U8(navigation.Url);
  approved_[frameId] = std::move(navigation);
  if (frameId == mainFrame_) loading_ = true;
  Json params = {{"url", url}};
  if (frameId != mainFrame_) params["frameId"] = frameId;
  Send("Page.navigate", std::move(params), SessionOf(frameId));
}

void Tab::OnRequestPaused(const Json& params, const std::string& session) {
  const std::string requestId = params.value("requestId", "");
  const std::string frameId = params.value("frameId", "");
  const Json& request = params["request"];
  const std::u16string url = W(request.value("url", ""));
  EnsureFrame(frameId);
  Json go = {{"requestId", requestId}};
  if (params.contains("redirectedRequestId")) {
    // A server's redirect goes on the navigation already announced (and
    // allowed): the navigation completes at the address it ends at, as in
    // the built-in engine, and a sink hears of it once.
    Send("Fetch.continueRequest", std::move(go), session);
    return;
  }
  const auto approved = approved_.find(frameId);
  if (approved != approved_.end() && WithoutFragment(approved->second.Url) == url) {
    // Announced by our own Navigate already; it may carry a body.
    if (!approved->second.PostData.empty()) {
      go["method"] = "POST";
      go["postData"] = Base64(approved->second.PostData);
      Json headers = Json::array();
      std::u16string_view rest = approved->second.Headers;
      while (!rest.empty()) {
        const size_t end = rest.find(u"\r\n");
        const std::u16string_view line = rest.substr(0, end);
        const size_t colon = line.find(u':');
        if (colon != std::u16string_view::npos) {
          std::u16string_view value = line.substr(colon + 1);
          while (!value.empty() && value.front() == u' ') value.remove_prefix(1);
          headers.push_back({{"name", platform::U8(line.substr(0, colon))},
                             {"value", platform::U8(value)}});
        }
        if (end == std::u16string_view::npos) break;
        rest.remove_prefix(end + 2);
      }
      for (const auto& [name, value] : request["headers"].items()) {
        if (IsBrowserHeader(name)) headers.push_back({{"name", name}, {"value", value}});
      }
      go["headers"] = std::move(headers);
    }
    approved_.erase(approved);
    Send("Fetch.continueRequest", std::move(go), session);
    return;
  }
  std::vector<uint8_t> body;
  if (const auto entries = request.find("postDataEntries"); entries != request.end()) {
    for (const Json& entry : *entries) {
      const std::vector<uint8_t> part = FromBase64(entry.value("bytes", ""));
      body.insert(body.end(), part.begin(), part.end());
    }
  }
  std::u16string headers;
  for (const auto& [name, value] : request["headers"].items()) {
    if (IsBrowserHeader(name) || !value.is_string()) continue;
    headers += W(name) + u": " + W(value.get<std::string>()) + u"\r\n";
  }
  const Variant postData = body.empty() ? Variant() : Variant::FromBytes(std::move(body));
  // While the request waits, the browser holds every call to the page: the
  // sinks read what was last taken of it.
  const std::string wasFrozen = std::exchange(frozenSession_, session);
  bool allowed = false;
  try {
    allowed = RaiseBeforeNavigate2(frameId, url, postData, headers);
  } catch (...) {
    allowed = true;
  }
  frozenSession_ = wasFrozen;
  if (allowed && !closed_) {
    if (frameId == mainFrame_) loading_ = true;
    Send("Fetch.continueRequest", std::move(go), session);
  } else if (!closed_) {
    go["errorReason"] = "Aborted";
    Send("Fetch.failRequest", std::move(go), session);
  }
}

void Tab::ReplaceDocument(FrameInfo& frame) {
  ComPtr<ChromiumDocument> old = std::move(frame.Document);
  frame.Document = nullptr;
  if (old) old->Close();
}

void Tab::OnFrameNavigated(const Json& info, const std::string& session) {
  const std::string id = info.value("id", "");
  FrameInfo& frame = EnsureFrame(id);
  const std::string loader = info.value("loaderId", "");
  if (!loader.empty() && loader == frame.LoaderId) return;  // heard from two sessions
  frame.LoaderId = loader;
  frame.ParentId = info.value("parentId", "");
  frame.Url = W(info.value("url", "") + info.value("urlFragment", ""));
  frame.Name = W(info.value("name", ""));
  frame.Gone = false;
  if (frame.Session.empty()) frame.Session = session;
  approved_.erase(id);
  if (id == mainFrame_) ++topNavigations_;
  ReplaceDocument(frame);
  const ComPtr<platform::PageBrowser> browser(BrowserOf(id).Get());
  const std::u16string url = frame.Url;
  ForEachSink(id, [&](platform::PageBrowserEvents& sink) { sink.NavigateComplete2(browser, url); });
}

void Tab::OnLifecycle(const Json& params) {
  if (params.value("name", "") != "load") return;
  const std::string id = params.value("frameId", "");
  FrameInfo* frame = Frame(id);
  if (frame == nullptr) return;
  const std::string loader = params.value("loaderId", "");
  if (!loader.empty() && loader == frame->LoadedId) return;
  // Only the load of the document we announced counts: a late one of the
  // document before (a new tab's first blank page) is not this document's.
  if (frame->LoaderId.empty() || (!loader.empty() && loader != frame->LoaderId)) return;
  frame->LoadedId = loader;
  const ComPtr<platform::PageBrowser> browser(BrowserOf(id).Get());
  const std::u16string url = frame->Url;
  const bool top = id == mainFrame_;
  if (top) ForEachSink(id, [](platform::PageBrowserEvents& sink) { sink.DownloadComplete(); });
  ForEachSink(id, [&](platform::PageBrowserEvents& sink) { sink.DocumentComplete(browser, url); });
  if (top) {
    ++completedLoads_;
    loading_ = false;
  }
  if (ComPtr<ChromiumDocument> document = DocumentOf(id)) {
    document->MarkChanged();
    document->FireLoad();
  }
}

void Tab::OnBindingCalled(const Json& params, const std::string& session) {
  if (params.value("name", "") != PageBindingName) return;
  const int64_t context = params.value("executionContextId", int64_t{0});
  for (auto& [id, frame] : frames_) {
    if (frame.ContextId != context || frame.Session != session) continue;
    const Json event = Json::parse(params.value("payload", ""), nullptr, false);
    if (event.is_discarded()) return;
    const ComPtr<ChromiumDocument> document = DocumentOf(id);
    if (!document) return;
    document->MarkChanged();
    if (event.value("k", "") == "e") document->DispatchPageEvent(event);
    return;
  }
}

void Tab::OnCrashed(const std::string& session) {
  ++crashes_;
  if (session == session_) loading_ = false;
  for (auto& [id, frame] : frames_) {
    if (frame.Session != session && !(session == session_ && frame.Session.empty())) continue;
    frame.ContextId = 0;
    ReplaceDocument(frame);
  }
}

bool Tab::RaiseNewWindow2(ComPtr<platform::PageBrowser>& supplied) {
  bool cancel = false;
  ForEachSink(mainFrame_, [&](platform::PageBrowserEvents& sink) {
    sink.NewWindow2(supplied, cancel);
  });
  return !cancel;
}

void Tab::OnWindowOpen(const Json& params) {
  ComPtr<platform::PageBrowser> supplied;
  const bool cancel = !RaiseNewWindow2(supplied);
  // The browser's own new window shows the page only when nobody stopped it
  // or took it over.
  const bool allow = !cancel && !supplied;
  if (!unanswered_.empty()) {
    const std::string session = unanswered_.front();
    unanswered_.pop_front();
    SettlePopup(session, allow);
  } else {
    answers_.push_back(allow);
  }
  if (!cancel && supplied) {
    supplied->Navigate(W(params.value("url", "")), {}, {}, {}, {});
  }
}

void Tab::OnPopupMessage(const std::string& method, const Json& params, const std::string& session) {
  const auto popup = popups_.find(session);
  if (popup == popups_.end()) return;
  if (method == "Fetch.requestPaused") {
    Popup& p = popup->second;
    const std::string requestId = params.value("requestId", "");
    if (!p.Settled) {
      p.Held.push_back(requestId);
    } else if (p.Allowed) {
      Send("Fetch.continueRequest", {{"requestId", requestId}}, session);
    } else {
      // Paused while its window was being closed: it still goes nowhere.
      Send("Fetch.failRequest", {{"requestId", requestId}, {"errorReason", "Aborted"}}, session);
    }
  }
}

void Tab::SettlePopup(const std::string& session, bool allow) {
  const auto popup = popups_.find(session);
  if (popup == popups_.end() || popup->second.Settled) return;
  Popup& p = popup->second;
  p.Settled = true;
  p.Allowed = allow;
  for (const std::string& request : p.Held) {
    if (allow) {
      Send("Fetch.continueRequest", {{"requestId", request}}, session);
    } else {
      Send("Fetch.failRequest", {{"requestId", request}, {"errorReason", "Aborted"}}, session);
    }
  }
  p.Held.clear();
  if (allow) {
    // The window is the browser's own from now on.
    core_->Connection().Send("Target.detachFromTarget", {{"sessionId", session}}, {});
  } else {
    core_->Connection().Send("Target.closeTarget", {{"targetId", p.TargetId}}, {});
  }
}

void Tab::OnAttached(const Json& params, const std::string& parentSession) {
  const std::string session = params.value("sessionId", "");
  const Json& info = params["targetInfo"];
  const std::string type = info.value("type", "");
  const std::string targetId = info.value("targetId", "");
  if (params.value("quillmatePopup", false)) {
    popups_[session].TargetId = targetId;
    if (!answers_.empty()) {
      const bool allow = answers_.front();
      answers_.pop_front();
      SettlePopup(session, allow);
    } else {
      unanswered_.push_back(session);
    }
    return;
  }
  if (parentSession.empty() && targetId == targetId_) {
    session_ = session;
    sessions_.insert(session);
    EnsureFrame(mainFrame_).Session = session;
  } else if (type == "iframe") {
    // An out-of-process frame: its target id is its frame id.
    sessions_.insert(session);
    FrameInfo& frame = EnsureFrame(targetId);
    frame.Session = session;
    frame.ContextId = 0;
    frame.Gone = false;
  }
}

void Tab::ForgetSession(const std::string& session) {
  sessions_.erase(session);
  for (auto& [id, frame] : frames_) {
    if (frame.Session != session) continue;
    frame.ContextId = 0;
    ReplaceDocument(frame);
  }
  if (session == session_) {
    session_.clear();
  }
}

void Tab::Handle(const Json& message) {
  const std::string method = message.value("method", "");
  const std::string session = message.value("sessionId", "");
  const Json& params = message.contains("params") ? message["params"] : Json::object();
  if (popups_.count(session) > 0) {
    OnPopupMessage(method, params, session);
    return;
  }
  if (method == "Target.detachedFromTarget" && popups_.erase(params.value("sessionId", "")) > 0) {
    std::erase(unanswered_, params.value("sessionId", ""));
    return;
  }
  if (method == "Fetch.requestPaused") {
    OnRequestPaused(params, session);
  } else if (method == "Runtime.bindingCalled") {
    OnBindingCalled(params, session);
  } else if (method == "Runtime.executionContextCreated") {
    const Json& context = params["context"];
    if (context.value("name", "") != PageWorldName) return;
    const std::string frameId = context["auxData"].value("frameId", "");
    FrameInfo& frame = EnsureFrame(frameId);
    frame.ContextId = context.value("id", int64_t{0});
    frame.Session = session;
    if (frame.Document) frame.Document->MarkChanged();
  } else if (method == "Runtime.executionContextsCleared") {
    for (auto& [id, frame] : frames_) {
      if (frame.Session == session) frame.ContextId = 0;
    }
  } else if (method == "Runtime.executionContextDestroyed") {
    const int64_t context = params.value("executionContextId", int64_t{0});
    for (auto& [id, frame] : frames_) {
      if (frame.ContextId == context && frame.Session == session) frame.ContextId = 0;
    }
  } else if (method == "Page.frameNavigated") {
    OnFrameNavigated(params["frame"], session);
  } else if (method == "Page.navigatedWithinDocument") {
    if (FrameInfo* frame = Frame(params.value("frameId", ""))) frame->Url = W(params.value("url", ""));
  } else if (method == "Page.frameAttached") {
    FrameInfo& frame = EnsureFrame(params.value("frameId", ""));
    frame.ParentId = params.value("parentFrameId", "");
    frame.Gone = false;
    if (frame.Session.empty()) frame.Session = session;
  } else if (method == "Page.frameDetached") {
    if (params.value("reason", "") == "swap") return;  // it goes out of process
    if (FrameInfo* frame = Frame(params.value("frameId", ""))) {
      frame->Gone = true;
      ReplaceDocument(*frame);
      if (frame->Browser) frame->Browser->Detach();
      frame->Browser = nullptr;
    }
  } else if (method == "Page.lifecycleEvent") {
    OnLifecycle(params);
  } else if (method == "Page.frameRequestedNavigation") {
    // The page asked for a navigation (a submission, a link, a script); its
    // request reaches us a moment later. Until it has been decided, the top
    // page is on its way out, whoever made the click that started it.
    if (params.value("frameId", "") == mainFrame_ &&
        params.value("disposition", "") == "currentTab") {
      loading_ = true;
    }
  } else if (method == "Page.frameStoppedLoading") {
    // A top navigation that failed (or went nowhere) ends here too.
    if (params.value("frameId", "") == mainFrame_) loading_ = false;
  } else if (method == "Page.javascriptDialogOpening") {
    PageDialog dialog{W(params.value("type", "")), W(params.value("message", "")),
                      W(params.value("url", ""))};
    Dialogs.push_back(dialog);
    if (DialogHandler) DialogHandler(dialog);
  } else if (method == "Page.windowOpen") {
    OnWindowOpen(params);
  } else if (method == "Inspector.targetCrashed") {
    OnCrashed(session);
  } else if (method == "Target.attachedToTarget") {
    OnAttached(params, session);
  } else if (method == "Target.detachedFromTarget") {
    ForgetSession(params.value("sessionId", ""));
  }
}

// --- pumping ----------------------------------------------------------

void Tab::Pump() {
  if (closed_ || !inbox_) return;
  ++pumping_;
  struct Done {
    int& Depth;
    ~Done() { --Depth; }
  } done{pumping_};
  for (;;) {
    Json message;
    {
      std::lock_guard lock(inbox_->Lock);
      if (inbox_->Events.empty()) {
        inbox_->PumpPosted = false;
        return;
      }
      message = std::move(inbox_->Events.front());
      inbox_->Events.pop_front();
    }
    try {
      Handle(message);
    } catch (...) {
      // One event that fails (a sink, a page gone meanwhile) must not stop
      // the ones after it.
    }
    if (closed_) return;
  }
}

namespace {

// Events a waiting call may depend on.
bool NeededForProgress(const Json& message) {
  const std::string method = message.value("method", "");
  return method == "Fetch.requestPaused" || method == "Runtime.executionContextCreated" ||
         method == "Runtime.executionContextDestroyed" ||
         method == "Runtime.executionContextsCleared" || method == "Inspector.targetCrashed" ||
         method == "Target.attachedToTarget" || method == "Target.detachedFromTarget" ||
         method == "Page.frameNavigated";
}

}  // namespace

void Tab::PumpForCall() {
  if (closed_ || !inbox_) return;
  size_t count = 0;
  {
    std::lock_guard lock(inbox_->Lock);
    for (size_t i = 0; i < inbox_->Events.size(); ++i) {
      if (NeededForProgress(inbox_->Events[i])) count = i + 1;
    }
  }
  for (size_t i = 0; i < count && !closed_; ++i) {
    Json message;
    {
      std::lock_guard lock(inbox_->Lock);
      if (inbox_->Events.empty()) return;
      message = std::move(inbox_->Events.front());
      inbox_->Events.pop_front();
    }
    try {
      Handle(message);
    } catch (...) {
    }
  }
}

bool Tab::WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  using Clock = std::chrono::steady_clock;
  const auto until = Clock::now() + timeout;
  for (;;) {
    Pump();
    if (done()) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
    if (left.count() <= 0) return done();
    platform::WaitForPendingEvents(std::min(left, std::chrono::milliseconds(50)));
    platform::ProcessPendingEvents();
  }
}

bool Tab::HasQueuedEvents() {
  if (!inbox_) return false;
  std::lock_guard lock(inbox_->Lock);
  return !inbox_->Events.empty();
}

void Tab::ScheduleFlush() {
  if (flushPosted_ || closed_ || !inbox_) return;
  flushPosted_ = true;
  platform::PostThreadEvent(inbox_->Thread, [this, alive = std::weak_ptr<int>(alive_)] {
    if (alive.expired()) return;
    flushPosted_ = false;
    FlushWrites();
  });
}

void Tab::FlushWrites() {
  flushPosted_ = false;
  std::vector<ComPtr<ChromiumDocument>> documents;
  for (auto& [id, frame] : frames_) {
    if (frame.Document && frame.Document->HasPendingWrites()) documents.push_back(frame.Document);
  }
  for (const ComPtr<ChromiumDocument>& d : documents) {
    try {
      d->FlushWrites();
    } catch (...) {
      // A frame that can't take its writes (gone, crashed) loses them.
    }
  }
}

}  // namespace qm::chromium

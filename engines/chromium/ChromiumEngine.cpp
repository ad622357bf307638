// The engine's core: the connection, the set-up of every target before it
// runs, and the routing of events to the tabs (see ChromiumTab.h).
#include "engines/chromium/ChromiumEngine.h"

#include "engines/chromium/ChromiumTab.h"
#include "engines/chromium/PageScript.h"
#include "platform/rtl/Utf.h"

namespace qm::chromium {

EngineCore::EngineCore(const EngineOptions& options) {
  LaunchOptions launch;
  launch.Binary = options.Binary;
  launch.Headless = options.Headless;
  launch.ExtraArguments = options.ExtraArguments;
  connection_ = std::make_unique<DevToolsConnection>(
      launch, [this](Json& message) { Route(message); }, options.StartDeadline);
  // Every page, and through each page its frames, is attached paused, so
  // that it is set up before any of its scripts run.
  connection_->Call("Target.setAutoAttach",
                    {{"autoAttach", true}, {"waitForDebuggerOnStart", true}, {"flatten", true}},
                    {}, options.StartDeadline);
}

EngineCore::~EngineCore() {
  Close();
}

void EngineCore::Close() {
  connection_->Shutdown();
}

std::shared_ptr<Inbox> EngineCore::InboxOfTarget(const std::string& targetId) {
  std::lock_guard lock(lock_);
  std::shared_ptr<Inbox>& inbox = targetInboxes_[targetId];
  if (!inbox) inbox = std::make_shared<Inbox>();
  return inbox;
}

void EngineCore::SetUpTarget(const std::string& session, const Json& info) {
  const std::string type = info.value("type", "");
  DevToolsConnection& c = *connection_;
  if (type == "page" || type == "iframe") {
    // Sent in one burst; the target runs its first script only after the
    // last of them.
    c.Send("Page.enable", Json::object(), session);
    c.Send("Page.setLifecycleEventsEnabled", {{"enabled", true}}, session);
    c.Send("Runtime.addBinding", {{"name", PageBindingName}, {"executionContextName", PageWorldName}},
           session);
    c.Send("Page.addScriptToEvaluateOnNewDocument",
           {{"source", PageScriptSource()}, {"worldName", PageWorldName}, {"runImmediately", true}},
           session);
    c.Send("Runtime.enable", Json::object(), session);
    // Our own tabs and their frames announce their navigations; a window a
    // page opened on its own is not ours to hold up.
    if (info.value("openerId", "").empty() || type == "iframe")
      c.Send("Fetch.enable",
           {{"patterns", Json::array({{{"resourceType", "Document"}, {"requestStage", "Request"}}})}},
           session);
    c.Send("Target.setAutoAttach",
           {{"autoAttach", true}, {"waitForDebuggerOnStart", true}, {"flatten", true}}, session);
  }
  // Anything else (workers) just runs.
  c.Send("Runtime.runIfWaitingForDebugger", Json::object(), session);
}

void EngineCore::Deliver(const std::shared_ptr<Inbox>& inbox, Json message) {
  std::function<void()> pump;
  platform::ThreadEventTarget thread;
  {
    std::lock_guard lock(inbox->Lock);
    inbox->Events.push_back(std::move(message));
    if (!inbox->PumpPosted && inbox->Pump) {
      inbox->PumpPosted = true;
      pump = inbox->Pump;
      thread = inbox->Thread;
    }
  }
  if (pump) platform::PostThreadEvent(thread, std::move(pump));
  connection_->Wake();
}

void EngineCore::Route(Json& message) {
  const std::string method = message.value("method", "");
  const std::string session = message.value("sessionId", "");
  Json& params = message["params"];
  std::shared_ptr<Inbox> inbox;

  if (method == "Target.attachedToTarget") {
    bool popup = false;
    const std::string child = params.value("sessionId", "");
    const Json& info = params["targetInfo"];
    const std::string targetId = info.value("targetId", "");
    {
      std::lock_guard lock(lock_);
      if (!session.empty()) {
        const auto it = sessionInboxes_.find(session);
        if (it != sessionInboxes_.end()) inbox = it->second;
      } else if (const std::string opener = info.value("openerId", "");
                 !opener.empty() && info.value("type", "") == "page" &&
                 targetSessions_.count(opener) > 0 && sessionInboxes_.count(targetSessions_[opener]) > 0) {
        // A window one of our pages opened: its opener's tab decides
        // whether it may be (NewWindow2), so it is that tab's to hold.
        inbox = sessionInboxes_[targetSessions_[opener]];
        popup = true;
      } else {
        std::shared_ptr<Inbox>& target = targetInboxes_[targetId];
        if (!target) target = std::make_shared<Inbox>();
        inbox = target;
      }
      if (inbox) sessionInboxes_[child] = inbox;
      targetSessions_[targetId] = child;
    }
    if (popup) {
      // Its document request waits until the opener's sinks have answered.
      params["quillmatePopup"] = true;
      connection_->Send("Fetch.enable",
                        {{"patterns", Json::array({{{"resourceType", "Document"},
                                                    {"requestStage", "Request"}}})}},
                        child);
      connection_->Send("Runtime.runIfWaitingForDebugger", Json::object(), child);
    } else {
      SetUpTarget(child, info);
    }
  } else if (method == "Page.javascriptDialogOpening") {
    // Dismissed at once: a dialog would block every later call.
    connection_->Send("Page.handleJavaScriptDialog", {{"accept", false}}, session);
  } else if (method == "Inspector.targetCrashed") {
    connection_->FailSession(session, u"The page's renderer crashed", false);
  } else if (method == "Target.targetCrashed") {
    // Told at the browser's level: the tab hears it as its page's crash.
    std::string crashed;
    {
      std::lock_guard lock(lock_);
      const auto it = targetSessions_.find(params.value("targetId", ""));
      if (it != targetSessions_.end()) crashed = it->second;
    }
    if (crashed.empty()) return;
    connection_->FailSession(crashed, u"The page's renderer crashed", false);
    message = {{"method", "Inspector.targetCrashed"}, {"params", Json::object()},
               {"sessionId", crashed}};
    Route(message);
    return;
  } else if (method == "Target.detachedFromTarget") {
    connection_->FailSession(params.value("sessionId", ""), u"The page's frame went away", true);
  }

  if (!inbox) {
    std::lock_guard lock(lock_);
    const std::string key =
        method == "Target.detachedFromTarget" ? params.value("sessionId", "") : session;
    const auto it = sessionInboxes_.find(key.empty() ? session : key);
    if (it == sessionInboxes_.end()) return;  // the browser's own, or a target nobody claimed
    inbox = it->second;
  }
  Deliver(inbox, std::move(message));
}

// --- ChromiumEngine ---------------------------------------------------

ChromiumEngine::ChromiumEngine(EngineOptions options) : options_(std::move(options)) {}

std::shared_ptr<ChromiumEngine> ChromiumEngine::Start(EngineOptions options) {
  std::shared_ptr<ChromiumEngine> engine(new ChromiumEngine(std::move(options)));
  engine->core_ = std::make_shared<EngineCore>(engine->options_);
  return engine;
}

ChromiumEngine::~ChromiumEngine() {
  Close();
}

void ChromiumEngine::Close() {
  if (core_) core_->Close();
}

bool ChromiumEngine::Closed() const {
  return !core_ || core_->Connection().Closed();
}

pid_t ChromiumEngine::ProcessGroup() const {
  return core_ ? core_->Connection().ProcessGroup() : -1;
}

ComPtr<ChromiumBrowser> ChromiumEngine::OpenBrowser() {
  if (Closed()) throw EChromiumError(EChromiumError::Kind::Closed, u"The browser has gone away");
  auto tab = std::make_shared<Tab>(core_, options_.CallDeadline, options_.Headless);
  ComPtr<ChromiumBrowser> top = platform::MakeCom<ChromiumBrowser>(tab.get(), std::string());
  top->owned_ = tab;
  tab->Open(top.Get());
  return top;
}

}  // namespace qm::chromium

// Inside the engine: the shared core (connection and routing of protocol
// events to tabs) and the tab (its frames, their documents and the
// navigation events).
//
// Threads. The core's routing runs on the connection's reader thread: it
// sets up every new target before it runs (in one burst of commands, not
// waiting), answers page dialogs, fails the calls of a crashed renderer,
// and queues every other event in the inbox of the tab the target belongs
// to, then posts the tab's pump to the tab's thread. Everything of the tab
// except its inbox belongs to that thread. A call to the page waits on the
// connection and pumps the tab's inbox meanwhile, so the tab's events keep
// their order and a navigation never waits for a thread that waits for it.
#pragma once

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <unordered_map>

#include "engines/chromium/ChromiumDocument.h"
#include "engines/chromium/ChromiumEngine.h"

namespace qm::chromium {

// The events of one tab, from the reader thread to the tab's thread.
struct Inbox {
  std::mutex Lock;
  std::deque<Json> Events;
  bool PumpPosted = false;
  platform::ThreadEventTarget Thread;
  std::function<void()> Pump;  // set by the tab that claims the inbox
};

class EngineCore : public std::enable_shared_from_this<EngineCore> {
public:
  explicit EngineCore(const EngineOptions& options);
  ~EngineCore();

  DevToolsConnection& Connection() { return *connection_; }
  // The inbox of a page target (made when the target is first seen).
  std::shared_ptr<Inbox> InboxOfTarget(const std::string& targetId);
  void Close();

private:
  void Route(Json& message);
  void SetUpTarget(const std::string& session, const Json& info);
  void Deliver(const std::shared_ptr<Inbox>& inbox, Json message);

  std::unique_ptr<DevToolsConnection> connection_;
  std::mutex lock_;
  std::unordered_map<std::string, std::shared_ptr<Inbox>> targetInboxes_;
  std::unordered_map<std::string, std::shared_ptr<Inbox>> sessionInboxes_;
  std::unordered_map<std::string, std::string> targetSessions_;
};

struct FrameInfo {
  std::string Id;
  std::string ParentId;
  std::string Session;     // the session that serves the frame's documents
  int64_t ContextId = 0;   // our world in the frame's current document
  std::u16string Url;
  std::u16string Name;
  std::string LoaderId;    // of the last navigation raised
  std::string LoadedId;    // of the last load raised
  ComPtr<ChromiumBrowser> Browser;
  ComPtr<ChromiumDocument> Document;
  bool Gone = false;
};

// A navigation our own Navigate asked for, already announced.
struct ApprovedNavigation {
  std::u16string Url;
  std::vector<uint8_t> PostData;
  std::u16string Headers;
};

class Tab {
public:
  Tab(std::shared_ptr<EngineCore> core, std::chrono::milliseconds deadline, bool headless);
  ~Tab();

  // Makes the target and waits until it is set up; raises on failure.
  void Open(ChromiumBrowser* top);
  void Close() noexcept;
  bool Closed() const noexcept { return closed_; }
  bool Headless() const noexcept { return headless_; }

  // --- calls ---
  Json Call(std::string_view method, Json params, const std::string& session);
  void Send(std::string_view method, Json params, const std::string& session);
  // Calls the page script of frame's current document.
  Json CallPage(const std::string& frameId, const Json& arguments);
  // The pages of session can't be asked now (a navigation of theirs waits
  // for its BeforeNavigate2 sinks).
  bool Frozen(const std::string& session) const;
  bool FrozenFrame(const std::string& frameId) {
    const FrameInfo* f = Frame(frameId);
    return f != nullptr && Frozen(f->Session);
  }
  void SetDeadline(std::chrono::milliseconds deadline) { deadline_ = deadline; }
  std::chrono::milliseconds Deadline() const noexcept { return deadline_; }

  // --- frames ---
  FrameInfo* Frame(const std::string& frameId);
  FrameInfo& EnsureFrame(const std::string& frameId);
  const std::string& MainFrameId() const noexcept { return mainFrame_; }
  ComPtr<ChromiumBrowser> BrowserOf(const std::string& frameId);
  ComPtr<ChromiumDocument> DocumentOf(const std::string& frameId);
  // The frame shown by a frame element (through the protocol's DOM view).
  std::string FrameOfElement(ChromiumDocument& document, int64_t elementId);
  // Calls a protocol method on the element's node (its objectId added to
  // params) in the session of its frame; null when the element is gone.
  Json CallOnElement(ChromiumDocument& document, int64_t elementId, std::string_view method,
                     Json params);
  std::string SessionOf(const std::string& frameId);
  // The frame of that name (its name attribute or window name); empty
  // when none has it.
  std::string FrameNamed(const std::u16string& name);

  // --- navigation ---
  // Raises BeforeNavigate2; false when a sink cancelled.
  bool RaiseBeforeNavigate2(const std::string& frameId, const std::u16string& url,
                            const Variant& postData, const std::u16string& headers);
  void Navigate(const std::string& frameId, ApprovedNavigation navigation);
  // Raises NewWindow2 on the top browser; false when a sink cancelled.
  bool RaiseNewWindow2(ComPtr<platform::PageBrowser>& supplied);

  // --- writes and events ---
  void ScheduleFlush();
  void FlushWrites();
  // Handles the tab's queued events in order.
  void Pump();
  // Inside a call: handles the queued events up to the last one that a
  // waiting call may depend on (a paused request, a new world, a crash),
  // so that events keep their order and a call made by one event's sink
  // does not run the sinks of the events after it.
  void PumpForCall();
  bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  uint64_t CompletedLoads() const noexcept { return completedLoads_; }
  uint64_t TopNavigations() const noexcept { return topNavigations_; }
  uint64_t Crashes() const noexcept { return crashes_; }
  // A top navigation is under way (announced, not yet complete or failed).
  bool Loading() const noexcept { return loading_; }
  bool HasQueuedEvents();
  std::function<void(const PageDialog&)> DialogHandler;
  std::vector<PageDialog> Dialogs;

private:
  void Handle(const Json& message);
  void OnAttached(const Json& params, const std::string& parentSession);
  void OnFrameNavigated(const Json& frame, const std::string& session);
  void OnLifecycle(const Json& params);
  void OnRequestPaused(const Json& params, const std::string& session);
  void OnBindingCalled(const Json& params, const std::string& session);
  void OnCrashed(const std::string& session);
  void OnWindowOpen(const Json& params);
  void OnPopupMessage(const std::string& method, const Json& params, const std::string& session);
  // Lets a window a page opened be (its held requests go on and we let go
  // of it) or closes it before anything of it went out.
  void SettlePopup(const std::string& session, bool allow);
  void ForgetSession(const std::string& session);
  void ReplaceDocument(FrameInfo& frame);
  template <class Call>
  void ForEachSink(const std::string& frameId, Call call);

  std::shared_ptr<EngineCore> core_;
  std::shared_ptr<Inbox> inbox_;
  std::chrono::milliseconds deadline_;
  bool headless_;
  bool closed_ = false;
  std::string targetId_;
  std::string session_;
  std::string mainFrame_;
  ChromiumBrowser* top_ = nullptr;  // owns this tab; never held from here
  std::map<std::string, FrameInfo> frames_;
  std::map<std::string, ApprovedNavigation> approved_;
  std::set<std::string> sessions_;
  // Windows our pages opened: by session, their target and the document
  // requests they hold until NewWindow2 has been answered for them.
  struct Popup {
    std::string TargetId;
    std::vector<std::string> Held;
    bool Settled = false;
    bool Allowed = false;
  };
  std::map<std::string, Popup> popups_;
  // Popups not yet answered, and answers (true: let it be) given before
  // their window came, each in the order the page opened them.
  std::deque<std::string> unanswered_;
  std::deque<bool> answers_;
  bool flushPosted_ = false;
  uint64_t completedLoads_ = 0;
  uint64_t topNavigations_ = 0;
  uint64_t crashes_ = 0;
  bool loading_ = false;
  std::string frozenSession_;
  int pumping_ = 0;
  // Work posted to the thread checks this before it touches the tab.
  std::shared_ptr<int> alive_ = std::make_shared<int>(0);
};

}  // namespace qm::chromium

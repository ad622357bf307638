// The DevTools protocol over the browser's pipe: one JSON message per
// NUL-terminated record in each direction, commands with numbered replies,
// events with the session of their target.
//
// A reader thread of its own starts the browser (so that the browser's
// parent-death signal is tied to a thread that lives exactly as long as
// the connection), then reads. Replies complete their calls; events go to
// the handler given at construction, on the reader thread, in arrival
// order. The handler must be quick and must not call Call (it may Send).
//
// Call blocks the calling thread until the reply, the deadline, the end of
// the connection or a failure of the call's session, and meanwhile runs
// the caller's `service` function whenever Wake was called, so that a
// window thread that waits still handles its own events (a page's
// navigation must not wait for a thread that waits for the page). Every
// member is thread safe.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <thread>

#include "engines/chromium/ChromiumProcess.h"
#include "platform/rtl/Exception.h"

namespace qm::chromium {

using Json = nlohmann::json;

// A failure of the browser or of one of its pages: a command refused, a
// deadline passed, a renderer or the browser gone. The message says which.
class EChromiumError : public platform::Exception {
public:
  enum class Kind : uint8_t { Refused, Deadline, Crashed, Closed };
  EChromiumError(Kind kind, std::u16string message)
      : Exception(std::move(message)), kind_(kind) {}
  Kind GetKind() const noexcept { return kind_; }

private:
  Kind kind_;
};

class DevToolsConnection {
public:
  using EventHandler = std::function<void(Json& message)>;

  // Starts the browser and the reader; raises when the browser can't start
  // or doesn't answer within startDeadline.
  DevToolsConnection(const LaunchOptions& options, EventHandler onEvent,
                     std::chrono::milliseconds startDeadline);
  // Ends the browser (its whole process group) and the reader.
  ~DevToolsConnection();
  DevToolsConnection(const DevToolsConnection&) = delete;
  DevToolsConnection& operator=(const DevToolsConnection&) = delete;

  // Sends a command without waiting; answers its id (0 when the connection
  // is closed). onReply, when given, runs on the reader thread with the
  // reply (or with null when the command failed or the connection ended).
  int64_t Send(std::string_view method, Json params, const std::string& session = {},
               std::function<void(const Json* result)> onReply = {});

  // Sends and waits for the result. Raises EChromiumError: Refused with the
  // browser's message, Deadline, Crashed (the session's page died) or
  // Closed. service (may be empty) runs on the calling thread after each
  // Wake while waiting.
  Json Call(std::string_view method, Json params, const std::string& session,
            std::chrono::milliseconds deadline, const std::function<void()>& service = {});

  // Wakes every waiting Call so that it runs its service function.
  void Wake();
  // Blocks until the next Wake or timeout.
  void WaitForWake(std::chrono::milliseconds timeout);
  // Fails the calls pending on session as Crashed; with forever (the
  // session has ended), every later one too.
  void FailSession(const std::string& session, const std::u16string& message, bool forever);
  bool Closed() const;
  // Ends the browser and waits for the reader; afterwards every call fails
  // as Closed. Idempotent; the destructor does it too.
  void Shutdown();
  pid_t ProcessGroup() const noexcept { return group_; }
  pid_t BrowserPid() const noexcept { return group_; }

private:
  struct Pending {
    std::string Session;
    bool Done = false;
    bool Failed = false;
    EChromiumError::Kind FailKind = EChromiumError::Kind::Refused;
    std::u16string Error;
    Json Result;
    std::function<void(const Json*)> OnReply;
  };

  // Registers call under a new id and sends; 0 when the connection is
  // closed.
  int64_t Post(std::string_view method, Json params, const std::string& session,
               const std::shared_ptr<Pending>& call);
  void ReaderMain(LaunchOptions options);
  void Dispatch(std::string_view record);
  void CloseAll(const std::u16string& why);

  EventHandler onEvent_;
  std::unique_ptr<ChromiumProcess> process_;
  pid_t group_ = -1;
  int socket_ = -1;
  std::thread reader_;

  mutable std::mutex lock_;
  std::condition_variable changed_;
  std::mutex writeLock_;
  int64_t nextId_ = 0;
  uint64_t wakes_ = 0;
  bool started_ = false;
  bool closed_ = false;
  std::u16string closedWhy_;
  std::u16string startError_;
  std::map<int64_t, std::shared_ptr<Pending>> pending_;
  std::map<std::string, std::u16string> failedSessions_;
};

}  // namespace qm::chromium

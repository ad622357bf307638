#include "engines/chromium/DevToolsConnection.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/rtl/Utf.h"

namespace qm::chromium {

using platform::W;

DevToolsConnection::DevToolsConnection(const LaunchOptions& options, EventHandler onEvent,
                                       std::chrono::milliseconds startDeadline)
    : onEvent_(std::move(onEvent)) {
  reader_ = std::thread([this, options] { ReaderMain(options); });
  {
    std::unique_lock lock(lock_);
    changed_.wait(lock, [&] { return started_ || closed_; });
    if (!started_) {
      const std::u16string why = startError_.empty() ? closedWhy_ : startError_;
      lock.unlock();
      reader_.join();
      throw EChromiumError(EChromiumError::Kind::Closed, why);
    }
  }
  try {
    Call("Browser.getVersion", Json::object(), {}, startDeadline);
  } catch (...) {
    Shutdown();  // ends the browser we started before the error leaves
    throw;
  }
}

DevToolsConnection::~DevToolsConnection() {
  Shutdown();
}

void DevToolsConnection::Shutdown() {
  {
    std::lock_guard lock(lock_);
    if (socket_ >= 0) ::shutdown(socket_, SHUT_RDWR);
  }
  if (reader_.joinable() && reader_.get_id() != std::this_thread::get_id()) reader_.join();
}

bool DevToolsConnection::Closed() const {
  std::lock_guard lock(lock_);
  return closed_;
}

void DevToolsConnection::ReaderMain(LaunchOptions options) {
  try {
    process_ = std::make_unique<ChromiumProcess>(options);
  } catch (const platform::Exception& e) {
    std::lock_guard lock(lock_);
    startError_ = e.Message();
    closed_ = true;
    changed_.notify_all();
    return;
  }
  {
    std::lock_guard lock(lock_);
    socket_ = process_->Socket();
    group_ = process_->Group();
    started_ = true;
  }
  changed_.notify_all();

  std::string buffer;
  std::string chunk(1 << 16, '\0');
  size_t scanned = 0;
  for (;;) {
    const ssize_t got = read(socket_, chunk.data(), chunk.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    buffer.append(chunk.data(), static_cast<size_t>(got));
    size_t start = 0;
    for (size_t end = buffer.find('\0', scanned); end != std::string::npos;
         end = buffer.find('\0', start)) {
      Dispatch(std::string_view(buffer).substr(start, end - start));
      start = end + 1;
    }
    buffer.erase(0, start);
    scanned = buffer.size();
  }
  CloseAll(u"The browser has gone away");
  // Ends the browser from the thread that started it: its parent-death
  // signal belongs to this thread.
  process_->Terminate();
}

namespace {

// QM_CHROMIUM_TRACE=1 prints every protocol message to the standard error.
bool Tracing() {
  static const bool on = getenv("QM_CHROMIUM_TRACE") != nullptr;
  return on;
}

void Trace(const char* direction, std::string_view text) {
  if (!Tracing()) return;
  const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now().time_since_epoch());
  fprintf(stderr, "%lld %s %.*s\n", static_cast<long long>(now.count() % 100000), direction, static_cast<int>(std::min<size_t>(text.size(), 600)),
          text.data());
}

}  // namespace

void DevToolsConnection::Dispatch(std::string_view record) {
  Trace("<-", record);
  Json message = Json::parse(record, nullptr, false);
  if (message.is_discarded() || !message.is_object()) return;  // not ours to fix
  const auto id = message.find("id");
  if (id == message.end() || !id->is_number_integer()) {
    try {
      if (onEvent_) onEvent_(message);
    } catch (...) {
      // One bad event must not end the connection.
    }
    return;
  }
  std::shared_ptr<Pending> call;
  {
    std::lock_guard lock(lock_);
    const auto it = pending_.find(id->get<int64_t>());
    if (it == pending_.end()) return;
    call = it->second;
    pending_.erase(it);
    if (const auto error = message.find("error"); error != message.end()) {
      call->Failed = true;
      call->FailKind = EChromiumError::Kind::Refused;
      call->Error = W(error->value("message", std::string("the browser refused the command")));
    } else {
      call->Result = std::move(message["result"]);
    }
    call->Done = true;
  }
  changed_.notify_all();
  if (call->OnReply) {
    try {
      call->OnReply(call->Failed ? nullptr : &call->Result);
    } catch (...) {
    }
  }
}

void DevToolsConnection::CloseAll(const std::u16string& why) {
  std::map<int64_t, std::shared_ptr<Pending>> failed;
  {
    std::lock_guard lock(lock_);
    if (!closed_) {
      closed_ = true;
      closedWhy_ = why;
    }
    failed.swap(pending_);
    for (auto& [id, call] : failed) {
      call->Done = true;
      call->Failed = true;
      call->FailKind = EChromiumError::Kind::Closed;
      call->Error = why;
    }
  }
  changed_.notify_all();
  for (auto& [id, call] : failed) {
    if (!call->OnReply) continue;
    try {
      call->OnReply(nullptr);
    } catch (...) {
    }
  }
}

int64_t DevToolsConnection::Send(std::string_view method, Json params, const std::string& session,
                                 std::function<void(const Json*)> onReply) {
  auto call = std::make_shared<Pending>();
  call->OnReply = std::move(onReply);
  return Post(method, std::move(params), session, call);
}

int64_t DevToolsConnection::Post(std::string_view method, Json params, const std::string& session,
                                 const std::shared_ptr<Pending>& call) {
  call->Session = session;
  int64_t id;
  {
    std::lock_guard lock(lock_);
    if (closed_) return 0;
    id = ++nextId_;
    pending_[id] = call;
  }
  Json message = {{"id", id}, {"method", method}, {"params", std::move(params)}};
  if (!session.empty()) message["sessionId"] = session;
  std::string text = message.dump(-1, ' ', false, Json::error_handler_t::replace);
  Trace("->", text);
  text.push_back('\0');
  std::lock_guard write(writeLock_);
  size_t sent = 0;
  while (sent < text.size()) {
    const ssize_t n = ::send(socket_, text.data() + sent, text.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      CloseAll(u"The browser's pipe is broken");
      return id;
    }
    sent += static_cast<size_t>(n);
  }
  return id;
}

Json DevToolsConnection::Call(std::string_view method, Json params, const std::string& session,
                              std::chrono::milliseconds deadline,
                              const std::function<void()>& service) {
  using Clock = std::chrono::steady_clock;
  const auto until = Clock::now() + deadline;
  {
    std::lock_guard lock(lock_);
    if (const auto it = failedSessions_.find(session); it != failedSessions_.end()) {
      throw EChromiumError(EChromiumError::Kind::Crashed, it->second);
    }
    if (closed_) throw EChromiumError(EChromiumError::Kind::Closed, closedWhy_);
  }
  const auto call = std::make_shared<Pending>();
  const int64_t id = Post(method, std::move(params), session, call);
  std::unique_lock lock(lock_);
  if (id == 0) throw EChromiumError(EChromiumError::Kind::Closed, closedWhy_);
  uint64_t seenWakes = wakes_;
  for (;;) {
    if (call->Done) break;
    if (service && wakes_ != seenWakes) {
      seenWakes = wakes_;
      lock.unlock();
      service();
      lock.lock();
      continue;
    }
    if (changed_.wait_until(lock, until) == std::cv_status::timeout && !call->Done &&
        wakes_ == seenWakes) {
      pending_.erase(id);
      throw EChromiumError(EChromiumError::Kind::Deadline,
                           u"The browser did not answer " + W(method) + u" within " +
                               W(std::to_string(deadline.count())) + u" ms");
    }
  }
  if (call->Failed) {
    throw EChromiumError(call->FailKind, W(method) + u": " + call->Error);
  }
  return std::move(call->Result);
}

void DevToolsConnection::Wake() {
  {
    std::lock_guard lock(lock_);
    ++wakes_;
  }
  changed_.notify_all();
}

void DevToolsConnection::WaitForWake(std::chrono::milliseconds timeout) {
  std::unique_lock lock(lock_);
  const uint64_t seen = wakes_;
  changed_.wait_for(lock, timeout, [&] { return wakes_ != seen || closed_; });
}

void DevToolsConnection::FailSession(const std::string& session, const std::u16string& message,
                                     bool forever) {
  std::vector<std::shared_ptr<Pending>> failed;
  {
    std::lock_guard lock(lock_);
    if (forever) failedSessions_[session] = message;
    for (auto it = pending_.begin(); it != pending_.end();) {
      if (it->second->Session != session) {
        ++it;
        continue;
      }
      it->second->Done = true;
      it->second->Failed = true;
      it->second->FailKind = EChromiumError::Kind::Crashed;
      it->second->Error = message;
      failed.push_back(it->second);
      it = pending_.erase(it);
    }
  }
  changed_.notify_all();
  for (auto& call : failed) {
    if (!call->OnReply) continue;
    try {
      call->OnReply(nullptr);
    } catch (...) {
    }
  }
}

}  // namespace qm::chromium

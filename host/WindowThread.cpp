#include "host/WindowThread.h"

#include "platform/winsys/Messages.h"

namespace qm::host {

TWindowThread::TWindowThread() {
  std::promise<platform::ThreadEventTarget> ready;
  auto started = ready.get_future();
  thread_ = std::thread([this, &ready] {
    platform::detail::EnsureMessageQueue();  // before anyone posts to it
    ready.set_value(platform::CurrentThreadEvents());
    Loop();
  });
  target_ = started.get();
}

TWindowThread::~TWindowThread() {
  platform::PostThreadEvent(target_, [] { platform::PostQuitMessage(0); });
  if (thread_.joinable()) thread_.join();
}

void TWindowThread::SetIdleWork(std::function<bool()> work) { idleWork_ = std::move(work); }

void TWindowThread::Loop() {
  platform::RunMessageLoop([this] {
    while (idleWork_ && idleWork_()) {
    }
  });
}

}  // namespace qm::host

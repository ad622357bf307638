#include "host/WindowThread.h"

#include "platform/ui/Backend.h"

namespace qm::host {

TWindowThread::TWindowThread() {
  std::promise<platform::ThreadEventTarget> ready;
  auto started = ready.get_future();
  thread_ = std::thread([this, &ready] {
    ready.set_value(platform::CurrentThreadEvents());
    Loop();
  });
  target_ = started.get();
}

TWindowThread::~TWindowThread() {
  platform::PostThreadEvent(target_, [this] { quit_ = true; });
  if (thread_.joinable()) thread_.join();
}

void TWindowThread::SetIdleWork(std::function<bool()> work) {
  // Installed from the window thread itself or before any work runs.
  idleWork_ = std::move(work);
}

void TWindowThread::Loop() {
  using namespace std::chrono_literals;
  while (!quit_) {
    const int ran = platform::ProcessPendingEvents();
    bool busy = ran > 0;
    if (quit_) break;
    if (idleWork_ && idleWork_()) busy = true;
    platform::ui::CurrentBackend().Idle();
    if (!busy) platform::WaitForPendingEvents(200ms);
  }
}

}  // namespace qm::host

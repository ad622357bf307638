#include "platform/ui/Timers.h"

#include <chrono>

#include "platform/winsys/Messages.h"

namespace qm::platform::ui {
namespace {
constexpr uintptr_t TimerId = 1;
}

TTimer::TTimer(std::u16string name) : TComponent(std::move(name)) {
  TWindowParams params;
  params.ClassName = u"TTimer";
  window_ = CreateWindow(params);
  SetWindowProc(window_, [this](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
    if (message == WM_TIMER) Tick();
    return 0;
  });
  Restart();
}

TTimer::~TTimer() {
  DestroyWindow(window_);  // its timer goes with it
}

void TTimer::SetInterval(uint32_t milliseconds) {
  if (milliseconds == interval_) return;
  interval_ = milliseconds;
  Restart();
}

void TTimer::SetEnabled(bool enabled) {
  if (enabled == enabled_) return;
  enabled_ = enabled;
  Restart();
}

void TTimer::Tick() {
  if (enabled_ && interval_ > 0 && OnTimer) OnTimer(*this);
}

void TTimer::Restart() {
  KillTimer(window_, TimerId);
  if (enabled_ && interval_ > 0) SetTimer(window_, TimerId, std::chrono::milliseconds(interval_));
}

}  // namespace qm::platform::ui

// TTimer: a component that raises OnTimer every Interval milliseconds
// while it is enabled.
//
// The ticks are the window system's WM_TIMER messages of a hidden window
// the timer makes on its thread, so they arrive from that thread's message
// loop (platform/winsys/Messages.h) and never while other code runs.
// Changing Interval or Enabled restarts the count; an interval of 0 stops
// the ticks. Tick delivers one tick now, exactly as a WM_TIMER would: code
// that reacts to time is tested by calling it instead of waiting.
//
// Owned by whoever creates it (usually a form); used on the thread that
// created it.
#pragma once

#include <cstdint>
#include <string>

#include "platform/ui/Controls.h"

namespace qm::platform::ui {

class TTimer : public TComponent {
public:
  explicit TTimer(std::u16string name);
  ~TTimer() override;
  const char16_t* ClassName() const override { return u"TTimer"; }

  uint32_t Interval() const noexcept { return interval_; }
  void SetInterval(uint32_t milliseconds);
  bool Enabled() const noexcept { return enabled_; }
  void SetEnabled(bool enabled);

  TNotifyEvent OnTimer;

  // One tick: OnTimer, when the timer is enabled with an interval.
  void Tick();

private:
  void Restart();

  HWND window_ = NoWindow;
  uint32_t interval_ = 1000;
  bool enabled_ = true;
};

}  // namespace qm::platform::ui

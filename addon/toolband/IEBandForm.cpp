#include "addon/toolband/IEBandForm.h"

#include "addon/toolband/IEBand.h"
#include "addon/toolband/IEBandRegistry.h"
#include "core/Common/LocationCodes.h"
#include "core/Common/VxSystem.h"

namespace qm {
namespace {

using namespace platform;
using namespace platform::ui;

// The direct child of host under a screen point, disabled ones included;
// the one on top when children overlap.
TControl* ControlAtScreen(TWinControl& host, TPoint point) {
  for (int i = host.ChildCount() - 1; i >= 0; --i) {
    TControl& child = host.Child(i);
    if (child.Visible() && child.ScreenRect().Contains(point)) return &child;
  }
  return nullptr;
}

}  // namespace

TIEBandForm::TIEBandForm(std::u16string name, TIEBand& band)
    : TForm(std::move(name), TParented{band.ParentWindow()}), band_(band) {
  Reported(loc::BandFormConstruct, [&] { SetBorderStyle(TBorderStyle::None); });
}

TIEBandForm::~TIEBandForm() {
  Swallowed([&] { Reported(loc::BandFormDestroy, [&] { ProcessIEBands().Unregister(*this); }); });
}

std::u16string TIEBandForm::HintText(TControl&) {
  return {};
}

void TIEBandForm::CreateHintParts() {
  hintTimer_ = std::make_unique<TTimer>(u"HintTimer");
  hintTimer_->SetEnabled(false);
  hintTimer_->OnTimer = [this](TComponent&) { HintTimerTick(); };
  trackTimer_ = std::make_unique<TTimer>(u"TrackTimer");
  trackTimer_->SetEnabled(false);
  trackTimer_->SetInterval(TrackInterval);
  trackTimer_->OnTimer = [this](TComponent&) { TrackTimerTick(); };
  hintForm_ = std::make_unique<TBtnHintForm>();
}

void TIEBandForm::ControlMouseMove(TControl& control) {
  Reported(loc::HintMouseMove, [&] {
    if (&control == hintControl_ || !hintTimer_) return;
    HideHint();
    hintControl_ = &control;
    hintShown_ = false;
    hintTimer_->SetInterval(HintPause);
    hintTimer_->SetEnabled(true);
    trackTimer_->SetEnabled(true);
  });
}

void TIEBandForm::HideHint() {
  Reported(loc::HintHide, [&] {
    if (!hintTimer_) return;
    hintTimer_->SetEnabled(false);
    hintForm_->HideHint();
  });
}

void TIEBandForm::HintTimerTick() {
  Reported(loc::HintTimer, [&] {
    hintTimer_->SetEnabled(false);
    if (hintShown_ || hintControl_ == nullptr) {
      HideHint();
      return;
    }
    const std::u16string text =
        Reported(loc::HintText, [&] { return HintText(*hintControl_); });
    hintForm_->SetHintText(text);
    hintForm_->ShowFor(GetCursorPos());
    hintShown_ = true;
    hintTimer_->SetInterval(HintHidePause);
    hintTimer_->SetEnabled(true);  // the next tick hides it
  });
}

bool TIEBandForm::PointerOnHintControl() const {
  // Only forms have windows of their own here: a control's window is its
  // form's, and the control under the pointer is found among the children
  // of its container.
  auto* windowed = dynamic_cast<TForm*>(hintControl_);
  TWinControl* host = windowed != nullptr ? windowed : hintControl_->Parent();
  if (host == nullptr || host->Form() == nullptr) return false;
  const TPoint pointer = GetCursorPos();
  if (WindowFromPoint(pointer) != host->Form()->Handle()) return false;
  return windowed != nullptr || ControlAtScreen(*host, pointer) == hintControl_;
}

void TIEBandForm::TrackTimerTick() {
  Reported(loc::HintTrackTimer, [&] {
    if (hintControl_ == nullptr) {
      HideHint();
      trackTimer_->SetEnabled(false);
      return;
    }
    if (PointerOnHintControl()) return;
    HideHint();
    trackTimer_->SetEnabled(false);
    hintControl_ = nullptr;
  });
}

LRESULT TIEBandForm::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_BANDACTIVATION) {
    if (OnActivation) OnActivation(*this, lParam != 0);
    return 0;
  }
  if (message == WM_BANDBROADCAST) {
    if (OnBroadcast) OnBroadcast(*this, static_cast<uint32_t>(wParam), static_cast<int32_t>(lParam));
    return 0;
  }
  return TForm::WndProc(message, wParam, lParam);
}

}  // namespace qm

// TIEBandForm: the base of the window a band shows inside its browser's
// band site, with the hint machinery of its buttons.
//
// The form is a parented form: a child of its band's ParentWindow. From
// its registration (TProcessIEBands, done by the band when it makes the
// form) to its destruction it hears its browser window's activation and the
// broadcast message as posted messages: WM_BANDACTIVATION raises
// OnActivation with active = (lParam != 0), WM_BANDBROADCAST raises
// OnBroadcast; an unset handler is skipped.
//
// Hints: a mouse move over a control other than the one hinted
// (ControlMouseMove) hides the hint and starts the hint delay; when
// HintTimer ticks, the popup (TBtnHintForm) opens near the pointer with
// HintText of the control and stays for the hint display time; TrackTimer
// checks every 100 ms that the pointer is still over the control and hides
// the hint when it is not. The timers tick from the thread's message loop;
// tests call their Tick.
//
// Owned by its band; runs on the band's thread. Failures of the hint code
// are reported with its location codes (145 to 149) and raised again.
#pragma once

#include <functional>
#include <memory>

#include "addon/toolband/BtnHintForm.h"
#include "platform/ui/Forms.h"
#include "platform/ui/Timers.h"

namespace qm {

class TIEBand;

class TIEBandForm : public platform::ui::TForm {
public:
  // The application's hint pause and hint hide pause.
  static constexpr uint32_t HintPause = 500;
  static constexpr uint32_t HintHidePause = 2500;
  static constexpr uint32_t TrackInterval = 100;

  // A form inside band.ParentWindow() (code 143).
  TIEBandForm(std::u16string name, TIEBand& band);
  // Leaves the band registry (code 144).
  ~TIEBandForm() override;

  TIEBand& Band() const noexcept { return band_; }
  // The text the hint popup shows for control; the base answers none.
  virtual std::u16string HintText(platform::ui::TControl& control);

  // The band makes these right after registering the form: HintTimer
  // (disabled), TrackTimer (disabled, every 100 ms) and the popup.
  void CreateHintParts();
  platform::ui::TTimer& HintTimer() const { return *hintTimer_; }
  platform::ui::TTimer& TrackTimer() const { return *trackTimer_; }
  TBtnHintForm& HintForm() const { return *hintForm_; }
  bool HintShown() const noexcept { return hintShown_; }
  platform::ui::TControl* HintControl() const noexcept { return hintControl_; }

  // The pointer moved over control (code 145).
  void ControlMouseMove(platform::ui::TControl& control);
  // Stops the hint delay and hides the popup (code 146).
  void HideHint();

  std::function<void(TIEBandForm& sender, bool active)> OnActivation;
  std::function<void(TIEBandForm& sender, uint32_t wParam, int32_t lParam)> OnBroadcast;

protected:
  platform::LRESULT WndProc(platform::UINT message, platform::WPARAM wParam,
                            platform::LPARAM lParam) override;

private:
  void HintTimerTick();   // code 147
  void TrackTimerTick();  // code 148
  // Whether the pointer is still over HintControl.
  bool PointerOnHintControl() const;

  TIEBand& band_;
  std::unique_ptr<platform::ui::TTimer> hintTimer_;
  std::unique_ptr<platform::ui::TTimer> trackTimer_;
  bool hintShown_ = false;
  platform::ui::TControl* hintControl_ = nullptr;
  std::unique_ptr<TBtnHintForm> hintForm_;
};

}  // namespace qm

// TForm: a top-level window holding named controls.
//
// A form has a caption, an outer size (Width, Height) and a client size
// (ClientWidth, ClientHeight) that differ by its border's frame and caption
// bar (FrameMetrics), size constraints, border icons, a position rule
// applied whenever it is shown, a modal result, and an owner window, the
// window it belongs to (a browser window). It registers one window in the
// window registry (platform/winsys), owned by the owner window, whose
// rectangle, text and visibility follow the form's.
//
// Shown modelessly (Show / Hide) the form stays up while the program goes
// on; ShowModal hands it to the backend (Backend.h), which presents it and
// feeds the user's actions until the modal result is set, and answers that
// result. Hiding raises OnHide, showing OnShow, each only on a change.
//
// Keys: UserKeyDown delivers a key as the keyboard does: to the form's
// OnKeyDown first when KeyPreview is set, then to the focused control's
// OnKeyDown, then Enter presses the default button and Escape the cancel
// button, unless a handler consumed the key (set it to 0).
//
// A parented form lives inside another window instead (a band inside the
// browser's band site): its window is a child of that window, its bounds
// are in that window's coordinates, and it is never shown modally.
//
// Messages: the form's window procedure calls WndProc, which a form class
// overrides to handle the messages posted or sent to its window (calling
// the inherited one for the rest). What escapes WndProc is shown to the
// user by ShowException (Backend.h), as the toolkit's default handler
// does, and the message answers 0.
//
// The form owns its controls and pop-up menus; whoever creates a form
// destroys it, which destroys its window. Used on one thread, the thread
// that created it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Controls.h"
#include "platform/ui/Menus.h"
#include "platform/winsys/Messages.h"

namespace qm::platform::ui {

enum class TBorderStyle : uint8_t { None, Single, Sizeable, Dialog, ToolWindow };
enum TBorderIcon : uint8_t { biSystemMenu = 1, biMinimize = 2, biMaximize = 4, biHelp = 8 };
enum class TPosition : uint8_t { Designed, ScreenCenter, DesktopCenter, OwnerCenter };

// The frame thickness on each side and the caption bar's height of a
// border style, in pixels at 96 dots per inch.
struct TFrameMetrics {
  int Frame = 0;
  int CaptionBar = 0;
};
TFrameMetrics FrameMetrics(TBorderStyle style);

struct TSizeConstraints {
  int MinWidth = 0;  // 0: no limit
  int MinHeight = 0;
  int MaxWidth = 0;
  int MaxHeight = 0;
};

enum class TCloseAction : uint8_t { None, Hide };

class TForm : public TWinControl {
public:
  TForm(std::u16string name, HWND ownerWindow);
  struct TParented {
    HWND Window = NoWindow;
  };
  // A form inside parent.Window (which must be a window: raises Exception
  // "Invalid window handle" otherwise).
  TForm(std::u16string name, TParented parent);
  ~TForm() override;
  const char16_t* ClassName() const override { return u"TForm"; }

  // The form's own window in the registry.
  HWND Handle() const noexcept { return handle_; }
  HWND OwnerWindow() const noexcept { return ownerWindow_; }
  // The window a parented form lives in; NoWindow for a top-level form.
  HWND ParentWindow() const noexcept { return parentWindow_; }

  void SetCaption(std::u16string caption) override;

  TBorderStyle BorderStyle() const noexcept { return borderStyle_; }
  // Keeps the client size.
  void SetBorderStyle(TBorderStyle style);
  uint8_t BorderIcons() const noexcept { return borderIcons_; }
  void SetBorderIcons(uint8_t icons) noexcept { borderIcons_ = icons; }
  TPosition Position() const noexcept { return position_; }
  void SetPosition(TPosition position) noexcept { position_ = position; }
  bool KeyPreview() const noexcept { return keyPreview_; }
  void SetKeyPreview(bool value) noexcept { keyPreview_ = value; }

  // The outer size is clamped to the constraints.
  void SetBounds(int left, int top, int width, int height) override;
  int ClientWidth() const;
  int ClientHeight() const;
  void SetClientSize(int width, int height);
  TRect ClientRect() const override;
  TPoint ClientOrigin() const override;
  const TSizeConstraints& Constraints() const noexcept { return constraints_; }
  // Applies at once: a form smaller than a new minimum grows to it.
  void SetConstraints(const TSizeConstraints& constraints);

  void SetVisible(bool visible) override;
  void Show() { SetVisible(true); }
  void Hide() { SetVisible(false); }
  // Shows the form modally and answers its modal result once the backend
  // ends the loop; the form is hidden again afterwards.
  int ShowModal();
  bool Modal() const noexcept { return modal_; }
  int ModalResult() const noexcept { return modalResult_; }
  void SetModalResult(int result) noexcept { modalResult_ = result; }
  // The window's close box: a modal form ends with mrCancel; a modeless
  // one runs OnClose (default action Hide) and hides.
  void Close();

  TControl* ActiveControl() const noexcept { return activeControl_; }
  // Moves the focus: OnExit of the old control, OnEnter of the new one.
  void SetActiveControl(TControl* control);
  // The first showing, enabled button with Default (Cancel) set, or null.
  TButton* DefaultButton();
  TButton* CancelButton();

  // Component lookup by name, in the whole tree and the menus; null when
  // missing.
  TComponent* FindComponent(std::u16string_view name);
  TControl* FindControl(std::u16string_view name);
  // The control of that name and class; raises EUserAction otherwise.
  template <class T>
  T& Get(std::u16string_view name) {
    auto* found = dynamic_cast<T*>(FindControl(name));
    if (found == nullptr) MissingControl(name);
    return *found;
  }
  // Every control of the tree in document order (parents before children).
  std::vector<TControl*> AllControls();

  TPopupMenu& AddPopupMenu(std::u16string name);
  int PopupMenuCount() const noexcept { return static_cast<int>(menus_.size()); }

  TNotifyEvent OnShow;
  TNotifyEvent OnHide;
  std::function<void(TComponent& sender, TCloseAction& action)> OnClose;

  // The keyboard, as described at the top.
  void UserKeyDown(uint16_t key);
  void UserClose() { Close(); }

protected:
  // Handles a message of the form's window; the base answers
  // DefWindowProc.
  virtual LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);

private:
  void AttachWindowProc();
  void ApplyPosition();
  void SyncWindow();
  [[noreturn]] static void MissingControl(std::u16string_view name);

  HWND handle_ = NoWindow;
  HWND ownerWindow_ = NoWindow;
  HWND parentWindow_ = NoWindow;
  TBorderStyle borderStyle_ = TBorderStyle::Sizeable;
  uint8_t borderIcons_ = biSystemMenu | biMinimize | biMaximize;
  TPosition position_ = TPosition::Designed;
  bool keyPreview_ = false;
  TSizeConstraints constraints_;
  bool modal_ = false;
  int modalResult_ = mrNone;
  TControl* activeControl_ = nullptr;
  std::vector<std::unique_ptr<TPopupMenu>> menus_;
};

// The live form whose window this is, null when there is none (backends
// keep handles, not pointers, so a form destroyed meanwhile is noticed).
TForm* FindFormByHandle(HWND handle);

}  // namespace qm::platform::ui

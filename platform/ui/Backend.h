// Backends: who presents forms, menus and message boxes, and where the
// user's actions come from.
//
// Forms and dialogs never know which backend runs them. The host installs
// one for the process (SetBackend): the scripted backend for tests and
// scripted runs, the terminal backend for people. Without one, a headless
// backend answers as a user who closes everything: modal forms end with
// mrCancel, menus are dismissed, a message box gets its cancel-like button
// (Cancel, or No, or Ok when that is the only one).
//
// MessageBox is the one call the program uses for messages; its buttons
// and answers use the platform's numbers (IDOK 1, IDCANCEL 2, IDYES 6,
// IDNO 7).
//
// The installed backend is process-wide; a backend object serves the
// threads the host lets it serve (both here serve one user-interface
// thread at a time).
#pragma once

#include <string>

#include "platform/ui/Forms.h"

namespace qm::platform::ui {

enum class TMsgIcon : uint8_t { None, Error, Question, Warning, Information };
enum class TMsgButtons : uint8_t { Ok, OkCancel, YesNo, YesNoCancel };
inline constexpr int IDOK = 1;
inline constexpr int IDCANCEL = 2;
inline constexpr int IDYES = 6;
inline constexpr int IDNO = 7;

struct TMessage {
  HWND Owner = NoWindow;
  std::u16string Text;
  std::u16string Caption;
  TMsgIcon Icon = TMsgIcon::None;
  TMsgButtons Buttons = TMsgButtons::Ok;
};

// The buttons of a set in their order on screen, and the one that means
// "no thanks" (what closing the box answers).
std::vector<int> ButtonsOf(TMsgButtons buttons);
int CancelAnswer(TMsgButtons buttons);
const char16_t* ButtonCaption(int button);
const char16_t* IconName(TMsgIcon icon);

class TUiBackend {
public:
  virtual ~TUiBackend() = default;

  // Presents a modal form and feeds it the user's actions until its modal
  // result is set. A backend that runs out of actions (the script ends,
  // the input stream ends) closes the form, which ends it with mrCancel.
  virtual void RunModal(TForm& form) = 0;
  // A modeless form became visible, or was hidden.
  virtual void FormShown(TForm& form) = 0;
  virtual void FormHidden(TForm& form) = 0;
  // Shows the items of an opened pop-up menu; answers the index of the
  // item the user picked, -1 for none.
  virtual int PopupMenu(TPopupMenu& menu, TPoint at) = 0;
  // Answers the pressed button, one of ButtonsOf(message.Buttons).
  virtual int MessageBox(const TMessage& message) = 0;
  // Called by the host's message loop when the thread has nothing else to
  // do: the moment a user acts on the modeless forms that are up.
  virtual void Idle() {}
};

// The installed backend (the headless one when none is).
TUiBackend& CurrentBackend();
// Installs a backend (nullptr: the headless one); answers the previous one
// (nullptr when that was the headless one). The backend must outlive its
// installation.
TUiBackend* SetBackend(TUiBackend* backend);

// Installs a backend for a scope and restores the previous one.
class TBackendScope {
public:
  explicit TBackendScope(TUiBackend& backend) : previous_(SetBackend(&backend)) {}
  ~TBackendScope() { SetBackend(previous_); }
  TBackendScope(const TBackendScope&) = delete;
  TBackendScope& operator=(const TBackendScope&) = delete;

private:
  TUiBackend* previous_;
};

// Shows a message box owned by owner; answers the pressed button.
int MessageBox(HWND owner, std::u16string text, std::u16string caption, TMsgIcon icon,
               TMsgButtons buttons);

// The toolkit's default handler of a failure that reached a form's message
// handling: the failure's message in an error box captioned "Error". Never
// raises.
void ShowException(HWND owner, const std::exception& e) noexcept;

}  // namespace qm::platform::ui

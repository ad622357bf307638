#include "platform/ui/Forms.h"

#include <algorithm>
#include <mutex>
#include <unordered_map>

#include "platform/ui/Backend.h"

namespace qm::platform::ui {

namespace {

struct TLiveForms {
  std::mutex Lock;
  std::unordered_map<HWND, TForm*> Forms;
};

TLiveForms& LiveForms() {
  static TLiveForms live;
  return live;
}

}  // namespace

TForm* FindFormByHandle(HWND handle) {
  TLiveForms& live = LiveForms();
  std::lock_guard<std::mutex> lock(live.Lock);
  const auto it = live.Forms.find(handle);
  return it == live.Forms.end() ? nullptr : it->second;
}

TFrameMetrics FrameMetrics(TBorderStyle style) {
  switch (style) {
    case TBorderStyle::None:
      return {0, 0};
    case TBorderStyle::Single:
      return {3, 19};
    case TBorderStyle::Sizeable:
      return {4, 19};
    case TBorderStyle::Dialog:
      return {3, 19};
    case TBorderStyle::ToolWindow:
      return {3, 15};
  }
  return {0, 0};
}

TForm::TForm(std::u16string name, HWND ownerWindow)
    : TWinControl(std::move(name)), ownerWindow_(ownerWindow) {
  StoreVisible(false);
  TWindowParams params;
  params.ClassName = u"TForm";
  // A form whose owner has gone is simply unowned.
  params.Owner = IsWindow(ownerWindow) ? ownerWindow : NoWindow;
  handle_ = CreateWindow(params);
  AttachWindowProc();
}

TForm::TForm(std::u16string name, TParented parent)
    : TWinControl(std::move(name)), parentWindow_(parent.Window) {
  StoreVisible(false);
  TWindowParams params;
  params.ClassName = u"TForm";
  params.Parent = parent.Window;
  if (!IsWindow(parent.Window)) throw Exception(u"Invalid window handle");
  handle_ = CreateWindow(params);
  AttachWindowProc();
}

void TForm::AttachWindowProc() {
  // The handle is kept by value: a handler may destroy the form.
  SetWindowProc(handle_, [this, handle = handle_](HWND, UINT message, WPARAM wParam,
                                                  LPARAM lParam) -> LRESULT {
    try {
      return WndProc(message, wParam, lParam);
    } catch (const std::exception& e) {
      ShowException(handle, e);
      return 0;
    }
  });
  TLiveForms& live = LiveForms();
  std::lock_guard<std::mutex> lock(live.Lock);
  live.Forms[handle_] = this;
}

LRESULT TForm::WndProc(UINT message, WPARAM wParam, LPARAM lParam) {
  return DefWindowProc(handle_, message, wParam, lParam);
}

TForm::~TForm() {
  {
    TLiveForms& live = LiveForms();
    std::lock_guard<std::mutex> lock(live.Lock);
    live.Forms.erase(handle_);
  }
  DestroyWindow(handle_);
}

void TForm::SetCaption(std::u16string caption) {
  SetWindowText(handle_, caption);
  TWinControl::SetCaption(std::move(caption));
}

void TForm::SetBorderStyle(TBorderStyle style) {
  const int width = ClientWidth();
  const int height = ClientHeight();
  borderStyle_ = style;
  SetClientSize(width, height);
}

void TForm::SetBounds(int left, int top, int width, int height) {
  const auto clamp = [](int value, int min, int max) {
    if (max > 0) value = std::min(value, max);
    if (min > 0) value = std::max(value, min);
    return value;
  };
  width = clamp(width, constraints_.MinWidth, constraints_.MaxWidth);
  height = clamp(height, constraints_.MinHeight, constraints_.MaxHeight);
  TWinControl::SetBounds(left, top, width, height);
  SyncWindow();
}

int TForm::ClientWidth() const {
  const TFrameMetrics m = FrameMetrics(borderStyle_);
  return std::max(0, Width() - 2 * m.Frame);
}

int TForm::ClientHeight() const {
  const TFrameMetrics m = FrameMetrics(borderStyle_);
  return std::max(0, Height() - 2 * m.Frame - m.CaptionBar);
}

void TForm::SetClientSize(int width, int height) {
  const TFrameMetrics m = FrameMetrics(borderStyle_);
  SetBounds(Left(), Top(), width + 2 * m.Frame, height + 2 * m.Frame + m.CaptionBar);
}

TRect TForm::ClientRect() const {
  return TRect::FromSize(0, 0, ClientWidth(), ClientHeight());
}

TPoint TForm::ClientOrigin() const {
  const TFrameMetrics m = FrameMetrics(borderStyle_);
  TRect parent;
  if (parentWindow_ == NoWindow || !GetWindowRect(parentWindow_, parent)) parent = TRect{};
  return {parent.Left + Left() + m.Frame, parent.Top + Top() + m.Frame + m.CaptionBar};
}

void TForm::SetConstraints(const TSizeConstraints& constraints) {
  constraints_ = constraints;
  SetBounds(Left(), Top(), Width(), Height());
}

void TForm::SyncWindow() {
  MoveWindow(handle_, BoundsRect());
}

void TForm::ApplyPosition() {
  if (parentWindow_ != NoWindow) return;  // placed by the window it lives in
  TRect area = GetDesktopRect();
  switch (position_) {
    case TPosition::Designed:
      return;
    case TPosition::OwnerCenter: {
      TRect owner;
      if (GetWindowRect(ownerWindow_, owner)) area = owner;
      break;
    }
    case TPosition::ScreenCenter:
    case TPosition::DesktopCenter:
      break;
  }
  SetBounds(area.Left + (area.Width() - Width()) / 2, area.Top + (area.Height() - Height()) / 2,
            Width(), Height());
}

void TForm::SetVisible(bool visible) {
  if (visible == Visible()) return;
  StoreVisible(visible);
  if (visible) {
    ApplyPosition();
    ShowWindow(handle_, true);
    if (OnShow) OnShow(*this);
    if (!modal_ && Visible()) CurrentBackend().FormShown(*this);
  } else {
    ShowWindow(handle_, false);
    if (OnHide) OnHide(*this);
    if (!modal_) CurrentBackend().FormHidden(*this);
  }
}

int TForm::ShowModal() {
  if (Visible() || parentWindow_ != NoWindow) throw Exception(u"Cannot make a visible window modal");
  modal_ = true;
  modalResult_ = mrNone;
  try {
    SetVisible(true);
    CurrentBackend().RunModal(*this);
  } catch (...) {
    SetVisible(false);
    modal_ = false;
    throw;
  }
  if (modalResult_ == mrNone) modalResult_ = mrCancel;
  SetVisible(false);
  modal_ = false;
  return modalResult_;
}

void TForm::Close() {
  if (modal_) {
    if (modalResult_ == mrNone) modalResult_ = mrCancel;
    return;
  }
  TCloseAction action = TCloseAction::Hide;
  if (OnClose) OnClose(*this, action);
  if (action == TCloseAction::Hide) Hide();
}

void TForm::SetActiveControl(TControl* control) {
  if (control == activeControl_) return;
  TControl* previous = activeControl_;
  activeControl_ = control;
  if (previous != nullptr) previous->DoExit();
  if (control != nullptr) control->DoEnter();
}

namespace {

TButton* FindButton(TForm& form, bool wantDefault) {
  for (TControl* c : form.AllControls()) {
    auto* button = dynamic_cast<TButton*>(c);
    if (button == nullptr || !button->Showing() || !button->EffectivelyEnabled()) continue;
    if (wantDefault ? button->Default() : button->Cancel()) return button;
  }
  return nullptr;
}

void Collect(TWinControl& container, std::vector<TControl*>& out) {
  for (int i = 0; i < container.ChildCount(); ++i) {
    TControl& child = container.Child(i);
    out.push_back(&child);
    if (auto* inner = dynamic_cast<TWinControl*>(&child)) Collect(*inner, out);
  }
}

}  // namespace

TButton* TForm::DefaultButton() {
  return FindButton(*this, true);
}
TButton* TForm::CancelButton() {
  return FindButton(*this, false);
}

std::vector<TControl*> TForm::AllControls() {
  std::vector<TControl*> out;
  Collect(*this, out);
  return out;
}

TControl* TForm::FindControl(std::u16string_view name) {
  for (TControl* c : AllControls()) {
    if (SameName(c->Name(), name)) return c;
  }
  return nullptr;
}

TComponent* TForm::FindComponent(std::u16string_view name) {
  if (TControl* c = FindControl(name)) return c;
  for (const auto& menu : menus_) {
    if (SameName(menu->Name(), name)) return menu.get();
  }
  return nullptr;
}

void TForm::MissingControl(std::u16string_view name) {
  throw EUserAction(u"No control named '" + std::u16string(name) + u"' of that kind");
}

TPopupMenu& TForm::AddPopupMenu(std::u16string name) {
  menus_.push_back(std::make_unique<TPopupMenu>(std::move(name)));
  return *menus_.back();
}

void TForm::UserKeyDown(uint16_t key) {
  if (!Showing()) throw EUserAction(u"'" + Name() + u"' is not showing");
  if (keyPreview_ && OnKeyDown) OnKeyDown(*this, key);
  if (key != 0 && activeControl_ != nullptr && activeControl_->OnKeyDown) {
    activeControl_->OnKeyDown(*activeControl_, key);
  }
  if (key == VK_RETURN) {
    if (TButton* button = DefaultButton()) button->Click();
  } else if (key == VK_ESCAPE) {
    if (TButton* button = CancelButton()) button->Click();
  }
}

}  // namespace qm::platform::ui

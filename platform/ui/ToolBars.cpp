#include "platform/ui/ToolBars.h"

#include <algorithm>
#include <string>

#include "platform/ui/Menus.h"

namespace qm::platform::ui {
namespace {

constexpr int AverageCharWidth = 6;
constexpr int ButtonEdges = 8;    // the frame and padding left and right
constexpr int PictureToText = 4;  // between the picture and the caption

[[noreturn]] void RaiseListIndex(int index) {
  const std::string digits = std::to_string(index);
  throw Exception(u"List index out of bounds (" + std::u16string(digits.begin(), digits.end()) +
                  u")");
}

TToolBar* BarOf(TControl& button) {
  return dynamic_cast<TToolBar*>(button.Parent());
}

}  // namespace

int DefaultFontTextWidth(std::u16string_view text) {
  return static_cast<int>(text.size()) * AverageCharWidth;
}

// --- TImageList ---

int TImageList::AddIcon(const HICON& icon) {
  if (!icon || icon->Width != width_ || icon->Height != height_) throw Exception(u"Invalid image");
  icons_.push_back(icon);
  return Count() - 1;
}

const HICON& TImageList::Icon(int index) const {
  if (index < 0 || index >= Count()) RaiseListIndex(index);
  return icons_[static_cast<size_t>(index)];
}

// --- TToolButton ---

void TToolButton::SetStyle(TToolButtonStyle style) {
  style_ = style;
  if (TToolBar* bar = BarOf(*this)) bar->ArrangeButtons();
}

void TToolButton::SetAutoSize(bool value) {
  autoSize_ = value;
  if (TToolBar* bar = BarOf(*this)) bar->ArrangeButtons();
}

void TToolButton::SetCaption(std::u16string caption) {
  if (caption == Caption()) return;
  TControl::SetCaption(std::move(caption));
  if (TToolBar* bar = BarOf(*this)) bar->ArrangeButtons();
}

void TToolButton::UserClick() {
  PrepareUserAction();
  if (style_ == TToolButtonStyle::Check) down_ = !down_;
  Click();
}

// --- TToolBar ---

TToolButton& TToolBar::AddButton(std::u16string name) {
  TToolButton& button = Add<TToolButton>(std::move(name));
  button.SetBounds(0, 0, buttonWidth_, buttonHeight_);
  ArrangeButtons();
  return button;
}

TToolButton& TToolBar::InsertButtonInFront(std::u16string name) {
  TToolButton& button = Add<TToolButton>(std::move(name));
  MoveToFront(button);
  button.SetBounds(0, 0, buttonWidth_, buttonHeight_);
  ArrangeButtons();
  return button;
}

TToolButton& TToolBar::Button(int index) const {
  if (index < 0 || index >= ButtonCount()) RaiseListIndex(index);
  return static_cast<TToolButton&>(Child(index));
}

void TToolBar::SetButtonWidth(int width) {
  buttonWidth_ = width;
  ArrangeButtons();
}

void TToolBar::SetList(bool value) {
  list_ = value;
  ArrangeButtons();
}

void TToolBar::SetShowCaptions(bool value) {
  showCaptions_ = value;
  ArrangeButtons();
}

void TToolBar::SetAutoSize(bool value) {
  autoSize_ = value;
  ArrangeButtons();
}

int TToolBar::ButtonExtent(const TToolButton& button) const {
  if (!button.AutoSize()) return buttonWidth_;
  const int picture = images_ != nullptr ? images_->Width() : 0;
  int width = picture + ButtonEdges;
  if (showCaptions_ && !button.Caption().empty()) {
    const int text = DefaultFontTextWidth(button.Caption());
    width = list_ ? width + PictureToText + text : std::max(width, text + ButtonEdges);
  }
  if (button.Style() == TToolButtonStyle::DropDown) width += 12;  // the arrow
  return std::max(width, buttonWidth_);
}

void TToolBar::ArrangeButtons() {
  int left = 0;
  for (int i = 0; i < ButtonCount(); ++i) {
    TToolButton& button = Button(i);
    if (!button.Visible()) continue;
    const int width = ButtonExtent(button);
    button.SetBounds(left, 0, width, buttonHeight_);
    left += width;
  }
  if (autoSize_) SetBounds(Left(), Top(), left, std::max(Height(), buttonHeight_));
}

}  // namespace qm::platform::ui
